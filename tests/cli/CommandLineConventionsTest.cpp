// The programs' command lines as a Linux system expects them, checked against the programs
// themselves: --version, the bash and zsh completions, and the manual pages' options.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

const QString kSource = QStringLiteral(QUILLORY_SOURCE_DIR);
const QString kSample = QStringLiteral(QUILLORY_SAMPLE_LIBRARY "/Library.xml");

struct Program {
    QString name;
    QString binary;
};

QList<Program> programs() {
    QList<Program> all{{QStringLiteral("quillory-sync"), QStringLiteral(QUILLORY_SYNC_BIN)},
                       {QStringLiteral("quillory-device"), QStringLiteral(QUILLORY_DEVICE_BIN)}};
#ifdef QUILLORY_APP_BIN
    all.append({QStringLiteral("QuilloryMac"), QStringLiteral(QUILLORY_APP_BIN)});
#endif
    return all;
}

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

Ran run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(60000)) return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The options at the start of a line: "-d, --device HOST:PORT  the..." gives -d and --device.
QSet<QString> leadingOptions(const QString& line) {
    QSet<QString> options;
    for (QString word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!word.startsWith(QLatin1Char('-'))) break;
        if (word.endsWith(QLatin1Char(','))) word.chop(1);
        options.insert(word);
    }
    return options;
}

// The options an --help text lists: its indented lines that start with a dash.
QSet<QString> helpOptions(const QString& help) {
    QSet<QString> options;
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("  ")) && line.trimmed().startsWith(QLatin1Char('-')))
            options.unite(leadingOptions(line));
    }
    return options;
}

// The options a manual page lists: the tags of the tagged paragraphs of its OPTIONS section,
// with the font escapes removed.
QSet<QString> pageOptions(const QString& roff) {
    QSet<QString> options;
    bool inOptions = false;
    bool tagFollows = false;
    for (QString line : roff.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH"))) {
            inOptions = line == QLatin1String(".SH OPTIONS");
        } else if (inOptions && line == QLatin1String(".TP")) {
            tagFollows = true;
        } else if (tagFollows) {
            tagFollows = false;
            for (const char* font : {"\\fB", "\\fI", "\\fR", "\\fP"})
                line.remove(QLatin1String(font));
            options.unite(leadingOptions(line.replace(QLatin1String("\\-"), QLatin1String("-"))));
        }
    }
    return options;
}

QStringList sorted(const QSet<QString>& set) {
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

TEST(CommandLineConventionsTest, EveryProgramTellsItsVersion) {
    for (const Program& program : programs()) {
        const Ran ran = run(program.binary, {QStringLiteral("--version")});
        EXPECT_EQ(ran.status, 0) << program.name.toStdString();
        EXPECT_EQ(ran.out.toStdString(),
                  program.name.toStdString() + " " + QUILLORY_VERSION_TEXT + "\n");
        EXPECT_EQ(ran.err.toStdString(), "") << program.name.toStdString();
    }
}

TEST(CommandLineConventionsTest, ManualPagesListExactlyTheOptionsOfHelp) {
    for (const Program& program : programs()) {
        const Ran help = run(program.binary, {QStringLiteral("--help")});
        ASSERT_EQ(help.status, 0) << program.name.toStdString();
        const QSet<QString> fromHelp = helpOptions(help.out);
        EXPECT_GE(fromHelp.size(), 2) << program.name.toStdString();
        const QString page = readText(kSource + QStringLiteral("/doc/man/%1.1").arg(program.name));
        ASSERT_FALSE(page.isEmpty()) << program.name.toStdString();
        EXPECT_EQ(sorted(pageOptions(page)), sorted(fromHelp)) << program.name.toStdString();
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS",
                                    "EXAMPLES", "SEE ALSO"}) {
            EXPECT_TRUE(page.contains(QStringLiteral("\n.SH %1\n").arg(QLatin1String(section))))
                << program.name.toStdString() << ": " << section;
        }
    }
}

TEST(CommandLineConventionsTest, ManualPagesFormatWithoutWarnings) {
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty()) GTEST_SKIP() << "man-db is not installed (scripts/bootstrap installs it)";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    for (const QString& page : QDir(kSource + QStringLiteral("/doc/man")).entryList({"*.1"})) {
        const QString path = kSource + QStringLiteral("/doc/man/") + page;
        const Ran ran =
            run(man, {QStringLiteral("--warnings"), QStringLiteral("-l"), path}, environment);
        EXPECT_EQ(ran.status, 0) << page.toStdString();
        EXPECT_EQ(ran.err.toStdString(), "") << page.toStdString();
        EXPECT_TRUE(ran.out.contains(QStringLiteral("SYNOPSIS"))) << page.toStdString();
    }
}

class CompletionTest : public testing::Test {
  protected:
    // The programs of the build first on the path, a home of their own.
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.path().string()));
        environment.insert(QStringLiteral("PATH"),
                           QFileInfo(QStringLiteral(QUILLORY_SYNC_BIN)).absolutePath() +
                               QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
        environment.remove(QStringLiteral("QUILLORY_LIBRARY"));
        return environment;
    }

    // What the program's bash completion offers for the command line words, the last one being
    // completed, each offer as the shell reads it back (quotes and backslashes undone).
    QSet<QString> bashOffers(const QString& script, const QStringList& words) {
        static const QString driver = QStringLiteral(
            "source \"$1\" || exit 3; shift\n"
            "spec=$(complete -p \"$1\") || exit 4\n"
            "spec=${spec#*-F }; function=${spec%% *}\n"
            "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1))\n"
            "COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}\n"
            "\"$function\" \"$1\" \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
            "for word in \"${COMPREPLY[@]}\"; do eval \"printf '%s\\n' $word\"; done\n");
        const Ran ran =
            run(QStringLiteral("bash"),
                QStringList{QStringLiteral("--norc"), QStringLiteral("--noprofile"),
                            QStringLiteral("-c"), driver, QStringLiteral("bash"), script} +
                    words,
                environment());
        EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
        EXPECT_EQ(ran.err.toStdString(), "");
        const QStringList lines = ran.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return QSet<QString>(lines.begin(), lines.end());
    }

    // The same from zsh, with the completion functions of folder (tests/support/zsh-complete).
    QSet<QString> zshOffers(const QString& folder, const QStringList& words) {
        const Ran ran =
            run(QStringLiteral("zsh"),
                QStringList{QStringLiteral("-f"),
                            kSource + QStringLiteral("/tests/support/zsh-complete"), folder} +
                    words,
                environment());
        EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
        const QStringList lines = ran.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return QSet<QString>(lines.begin(), lines.end());
    }

    static QSet<QString> optionsOf(const char* binary) {
        return helpOptions(run(QString::fromUtf8(binary), {QStringLiteral("--help")}).out);
    }

    TempDir home;
};

TEST_F(CompletionTest, BashCompletesQuillorySync) {
    const QString script = kSource + QStringLiteral("/cli/completion/quillory-sync.bash");
    TempDir spaced;
    spaced.write("my music/lists/It's Late.m3u", "");
    const QString lists = QString::fromStdString(spaced.file("my music/lists"));
    const QSet<QString> sample{QStringLiteral("Morning Mix"), QStringLiteral("Focus: Deep Work"),
                               QStringLiteral("Café Nights")};
    const struct {
        QStringList words;
        QSet<QString> offers;
    } cases[] = {
        {{"quillory-sync", "--pl"}, {"--playlist"}},
        {{"quillory-sync", "--library", kSample, "--playlist", ""}, sample},
        {{"quillory-sync", "-a", "-l", kSample, "-q", "-p", "Mo"}, {"Morning Mix"}},
        // The library path as typed on the line, quoted.
        {{"quillory-sync", "--library", QStringLiteral("'%1'").arg(lists), "-p", ""},
         {"It's Late"}},
        {{"quillory-sync", "--device", ""}, {}},
        // Every option of --help, and no other.
        {{"quillory-sync", "-"}, optionsOf(QUILLORY_SYNC_BIN)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sorted(bashOffers(script, c.words)), sorted(c.offers))
            << c.words.join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(CompletionTest, BashCompletesQuilloryDevice) {
    const QString script = kSource + QStringLiteral("/device/completion/quillory-device.bash");
    const struct {
        QStringList words;
        QSet<QString> offers;
    } cases[] = {
        {{"quillory-device", "--ro"}, {"--root"}},
        {{"quillory-device", "--root", "/tmp", "--protocol", "1"}, {"1.0", "1.1"}},
        {{"quillory-device", "--port", ""}, {}},
        {{"quillory-device", "-"}, optionsOf(QUILLORY_DEVICE_BIN)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sorted(bashOffers(script, c.words)), sorted(c.offers))
            << c.words.join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(CompletionTest, ZshCompletesBothPrograms) {
    const QString zsh = QStandardPaths::findExecutable(QStringLiteral("zsh"));
    if (zsh.isEmpty()) GTEST_SKIP() << "zsh is not installed";
    const QString sync = kSource + QStringLiteral("/cli/completion");
    const QString device = kSource + QStringLiteral("/device/completion");
    const struct {
        QString folder;
        QStringList words;
        QSet<QString> offers;
    } cases[] = {
        {sync, {"quillory-sync", "--pl"}, {"--playlist"}},
        {sync,
         {"quillory-sync", "--library", kSample, "--playlist", ""},
         {"Morning Mix", "Focus: Deep Work", "Café Nights"}},
        {sync, {"quillory-sync", "-a", "-l", kSample, "-p", "Mo"}, {"Morning Mix"}},
        {sync, {"quillory-sync", "-"}, optionsOf(QUILLORY_SYNC_BIN)},
        {device, {"quillory-device", "--ro"}, {"--root"}},
        {device, {"quillory-device", "--protocol", ""}, {"1.0", "1.1", "2.0"}},
        {device, {"quillory-device", "-"}, optionsOf(QUILLORY_DEVICE_BIN)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sorted(zshOffers(c.folder, c.words)), sorted(c.offers))
            << c.words.join(QLatin1Char(' ')).toStdString();
    }
}

}  // namespace
