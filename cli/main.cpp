// quillory-sync: syncs playlists of the music library to a device app from a terminal or script.
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSet>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "CliOptions.h"
#include "LogRouting.h"
#include "SyncFailure.h"
#include "TerminalProgress.h"
#include "connection/ConnectionAttempt.h"
#include "connection/DiscoveryReceiver.h"
#include "library/LibraryLocator.h"
#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"
#include "main/LibraryGuard.h"
#include "main/SyncInvoker.h"
#include "update/Environment.h"
#include "update/ProgramIdentity.h"

namespace {

std::atomic<SyncInvoker*> running{nullptr};

void onInterrupt(int) {
    // The first Ctrl-C cancels the sync at the next file chunk; a second one ends the program.
    if (SyncInvoker* invoker = running.load()) invoker->cancelSync();
    signal(SIGINT, SIG_DFL);
}

void say(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toUtf8().constData());
}

int discover(double seconds, FILE* errors) {
    QList<ServerPacket> seen;
    std::mutex mutex;
    {
        DiscoveryReceiver receiver([&](const ServerPacket& packet) {
            const std::lock_guard<std::mutex> lock(mutex);
            for (const ServerPacket& known : seen) {
                if (known.isEqual(packet)) return;
            }
            seen.append(packet);
            say(stdout, QStringLiteral("%1\t%2:%3")
                            .arg(packet.product.value_or(QStringLiteral("(no name)")),
                                 packet.host.value_or(QStringLiteral("?")),
                                 packet.port.value_or(QStringLiteral("?"))));
            std::fflush(stdout);
        });
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (receiver.listening() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (seen.isEmpty())
        say(errors, QStringLiteral("quillory-sync: no device app announced itself"));
    return seen.isEmpty() ? 1 : 0;
}

void reportDryRun(const SyncResult& result, qsizetype playlists) {
    say(stdout, QStringLiteral("Dry run: nothing was changed on the device or in the cache."));
    say(stdout, QStringLiteral("A sync would delete %1 files from the device:")
                    .arg(result.wouldDelete.size()));
    for (const QString& file : result.wouldDelete) say(stdout, QStringLiteral("  ") + file);
    say(stdout, QStringLiteral("A sync would send %1 files:").arg(result.wouldSend.size()));
    for (const QString& file : result.wouldSend) say(stdout, QStringLiteral("  ") + file);
    say(stdout,
        QStringLiteral("A sync would also replace the device's playlists with the %1 chosen ones, "
                       "leave %2 tracks that are already there and skip %3 that "
                       "cannot be read.")
            .arg(playlists)
            .arg(result.summary.present)
            .arg(result.summary.skipped));
}

}  // namespace

int main(int argc, char** argv) {
    // Read before the application object exists, so that the log has its place before Qt or
    // the library can write a line.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    const std::optional<CliOptions> options = CliOptions::parse(arguments, error);
    if (!options) {
        say(stderr, QStringLiteral("quillory-sync: %1\nTry quillory-sync --help.").arg(error));
        return 2;
    }
    if (options->action == CliOptions::Action::Help) {
        std::fputs(CliOptions::help().toUtf8().constData(), stdout);
        return 0;
    }
    if (options->action == CliOptions::Action::Version) {
        std::fputs(CliOptions::version().toUtf8().constData(), stdout);
        return 0;
    }
    if (!options->verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("quillory.*.debug=false"));
    FILE* errors = LogRouting::route(options->verbose ? QString()
                                                      : Environment::defaultWorkingDir() +
                                                            QStringLiteral("/quillory-sync.log"));

    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillory"));
    QCoreApplication::setApplicationName(QStringLiteral("QuilloryMac"));
    if (options->action == CliOptions::Action::Discover) {
        return discover(options->discoverSeconds, errors);
    }
    Environment& environment = Environment::sharedEnv();

    // Every library problem is an error before anything is sent: a sync without the library's
    // playlists would delete from the device every track they hold.
    LibraryGuard::Reading reading;
    reading.path = options->library.isEmpty() ? LibraryLocator::locate() : options->library;
    if (reading.path.isEmpty()) {
        say(errors, QStringLiteral("quillory-sync: no music library found; name one with "
                                   "--library. Nothing was sent."));
        return 2;
    }
    QString unreadable;
    std::unique_ptr<MusicLibrary> library = MusicLibrary::open(
        reading.path, unreadable,
        options->musicFolder.isEmpty() ? LibraryLocator::musicFolder() : options->musicFolder);
    reading = LibraryGuard::readingOf(reading.path, library.get(), unreadable);
    if (!reading.opened) {
        say(errors, QStringLiteral("quillory-sync: cannot read the music library: %1. Nothing "
                                   "was sent.")
                        .arg(unreadable));
        return 2;
    }
    for (const QString& part : reading.unreadable) {
        say(errors, QStringLiteral("quillory-sync: left out, cannot be read: ") + part);
    }
    const QStringList& available = reading.names;
    if (options->action == CliOptions::Action::ListPlaylists) {
        for (const QString& name : available) say(stdout, name);
        return 0;
    }

    QStringList chosen;
    for (const QString& name : options->all ? available : options->playlists) {
        if (!chosen.contains(name)) chosen << name;
    }
    if (chosen.isEmpty()) {
        say(errors, QStringLiteral("quillory-sync: the music library %1 has no playlists. Nothing "
                                   "was sent.")
                        .arg(reading.path));
        return 2;
    }
    // The command line cannot be asked: a name the library lacks is an error, never a removal.
    const LibraryGuard::Decision decision = LibraryGuard::beforeSync(reading, chosen, {});
    if (decision.verdict != LibraryGuard::Verdict::Go) {
        QStringList quoted;
        for (const QString& name : decision.missing) quoted << QStringLiteral("\"%1\"").arg(name);
        say(errors,
            QStringLiteral("quillory-sync: the library has no playlist %1. Nothing was sent.")
                .arg(quoted.join(QStringLiteral(", "))));
        return 2;
    }

    std::optional<QMap<QString, QString>> serverInfo;
    const StringPair attempt = ConnectionAttempt::run(options->host, options->port, serverInfo);
    if (!serverInfo) {
        const QString kind = attempt.key.value_or(QString());
        say(errors, QStringLiteral("quillory-sync: ") +
                        SyncFailure::describe(kind, attempt.value.value_or(QString())));
        return SyncFailure::exitStatus(kind);
    }
    ProgramIdentity::shared().setDevicePackage(serverInfo->value(QStringLiteral("package")));
    if (!options->quiet) {
        say(stdout, QStringLiteral("Connected to %1, syncing into %2")
                        .arg(serverInfo->value(QStringLiteral("devicename")),
                             serverInfo->value(QStringLiteral("synclocation"))));
    }

    QList<ITunesMediaFileObc> tracks =
        MusicProvider::getMusicMediaFiles(library.get(), chosen,
                                          MusicProvider::trackCacheFile(environment.workingDir()))
            .value_or(QList<ITunesMediaFileObc>());
    const qsizetype trackCount = tracks.size();
    // The records are all the sync needs from here: a large library is not held twice.
    library.reset();

    TerminalProgress progress(stdout);
    SyncInvoker invoker;
    if (!options->pipelining) invoker.setFastSync(false);
    invoker.setDryRun(options->dryRun);
    const ObserverRegistration updates(QStringLiteral("update"), [&](const Notification& update) {
        if (options->quiet) return;
        progress.report(update.userInfo.value(QStringLiteral("percent")).toInt(),
                        update.userInfo.value(QStringLiteral("message")).toString());
    });
    running = &invoker;
    signal(SIGINT, onInterrupt);
    const SyncResult result =
        invoker.sync(options->host, options->port, chosen, std::move(tracks), *serverInfo);
    running = nullptr;
    signal(SIGINT, SIG_DFL);
    progress.finish();

    if (!result.succeeded()) {
        say(errors, QStringLiteral("quillory-sync: ") +
                        SyncFailure::describe(result.type(), result.message()));
        return SyncFailure::exitStatus(result.type());
    }
    if (options->dryRun) {
        reportDryRun(result, chosen.size());
        return 0;
    }
    if (options->quiet) return 0;
    say(stdout, QStringLiteral("Summary: ") + result.summaryLine());
    if (result.declinedFiles.isEmpty()) {
        say(stdout, QStringLiteral("Sync finished: the device holds the %1 tracks of %2 playlists.")
                        .arg(trackCount)
                        .arg(chosen.size()));
        return 0;
    }
    say(stdout, QStringLiteral("Sync finished, but the device declined %1 files; the next sync "
                               "offers them again:")
                    .arg(result.declinedFiles.size()));
    for (const QString& file : result.declinedFiles) say(stdout, QStringLiteral("  ") + file);
    return 0;
}
