#include "CliOptions.h"

#include "BuildConfig.h"

namespace {

// The options that take a value, in both spellings.
bool takesValue(const QString& option) {
    static const QStringList withValue{
        QStringLiteral("--device"),       QStringLiteral("-d"),
        QStringLiteral("--playlist"),     QStringLiteral("-p"),
        QStringLiteral("--library"),      QStringLiteral("-l"),
        QStringLiteral("--music-folder"), QStringLiteral("--seconds")};
    return withValue.contains(option);
}

// The arguments with each option and each value apart: "--library=PATH" becomes "--library",
// "PATH"; "-aqpMix" becomes "-a", "-q", "-p", "Mix". A value is never split, so a playlist
// named "-x" or "--all" stays one.
QStringList separated(const QStringList& arguments) {
    QStringList out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto valueFollows = [&](const QString& option) {
            if (takesValue(option) && i + 1 < arguments.size()) out << arguments[++i];
        };
        if (argument.startsWith(QLatin1String("--"))) {
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            if (equals > 0 && takesValue(argument.left(equals))) {
                out << argument.left(equals) << argument.mid(equals + 1);
            } else {
                out << argument;
                valueFollows(argument);
            }
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 2) {
            for (qsizetype at = 1; at < argument.size(); ++at) {
                const QString option = QLatin1Char('-') + argument[at];
                out << option;
                if (!takesValue(option)) continue;
                const QString rest = argument.mid(at + 1);
                if (rest.isEmpty()) {
                    valueFollows(option);
                } else {
                    out << rest;
                }
                break;
            }
        } else {
            out << argument;
            valueFollows(argument);
        }
    }
    return out;
}

}  // namespace

QString CliOptions::help() {
    return QStringLiteral(
        "Usage: quillory-sync -d HOST:PORT (-p NAME ... | -a) [options]\n"
        "       quillory-sync --list-playlists [-l PATH] [--music-folder PATH]\n"
        "       quillory-sync --discover [--seconds N]\n"
        "       quillory-sync -h | --version\n"
        "\n"
        "Syncs playlists of your music library to a phone running the Quillory device\n"
        "app (or to quillory-device), as the desktop program does: tracks the phone\n"
        "already holds are not sent again, tracks no chosen playlist wants are deleted\n"
        "from it.\n"
        "\n"
        "  -d, --device HOST:PORT\n"
        "                       the device app's address and port ([IPv6]:PORT for IPv6)\n"
        "  -p, --playlist NAME  a playlist to keep on the device; repeat for more\n"
        "  -a, --all            every playlist of the library\n"
        "  -n, --dry-run        print what a sync would send and delete, and change\n"
        "                       nothing\n"
        "  -l, --library PATH   the music library: an exported iTunes Library.xml,\n"
        "                       Rhythmbox's folder (or its rhythmdb.xml), Strawberry's\n"
        "                       strawberry.db, Clementine's clementine.db, or a folder of\n"
        "                       M3U, M3U8, XSPF, PLS or Audacious playlists (default:\n"
        "                       QUILLORY_LIBRARY, the desktop program's choice, then the\n"
        "                       first of the usual places with playlists:\n"
        "                       ~/Music/Library.xml, Rhythmbox, Strawberry, Clementine,\n"
        "                       ~/Music/Playlists, MPD's and Audacious's playlists)\n"
        "      --music-folder PATH\n"
        "                       where the tracks of a Library.xml exported on another\n"
        "                       computer are now (default: the desktop program's choice,\n"
        "                       else the folder that holds the library file)\n"
        "      --list-playlists print the library's playlists and exit\n"
        "      --discover       list device apps announcing themselves on this network\n"
        "      --seconds N      how long --discover listens (default 3)\n"
        "      --no-pipelining  one command at a time and every album's art in every\n"
        "                       sync, for a device app that cannot take commands sent\n"
        "                       ahead\n"
        "  -q, --quiet          print nothing but errors: no progress, no summary\n"
        "  -v, --verbose        show the log on standard error instead of writing it to\n"
        "                       ~/quillory/quillory-sync.log\n"
        "  -h, --help           show this text and exit\n"
        "      --version        show the version and exit\n"
        "\n"
        "Ctrl-C cancels a running sync at the next file chunk; the next sync sends what\n"
        "is missing. Exit status: 0 success, 2 bad arguments, 3 error_connect,\n"
        "4 error_disconnect, 5 error_refused, 6 error_communication, 7 error_db,\n"
        "8 error, 130 error_cancel. See quillory-sync(1).\n");
}

QString CliOptions::version() {
    return QStringLiteral("quillory-sync %1\n").arg(QStringLiteral(QUILLORY_VERSION));
}

bool CliOptions::splitDevice(const QString& text, QString& host, QString& port) {
    QString address;
    qsizetype colon = -1;
    if (text.startsWith(QLatin1Char('['))) {
        // An IPv6 address holds colons of its own: only the one right after the bracket splits.
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0 || text.mid(close + 1, 1) != QLatin1String(":")) return false;
        address = text.mid(1, close - 1);
        colon = close + 1;
    } else {
        colon = text.lastIndexOf(QLatin1Char(':'));
        if (colon < 0) return false;
        address = text.left(colon);
        // Without brackets "fe80::1:5000" could be an address alone or one with a port.
        if (address.contains(QLatin1Char(':'))) return false;
    }
    const QString number = text.mid(colon + 1);
    if (address.isEmpty() || number.isEmpty()) return false;
    host = address;
    port = number;
    return true;
}

std::optional<CliOptions> CliOptions::parse(const QStringList& given, QString& error) {
    CliOptions options;
    bool listing = false;
    bool discovering = false;
    QString device;
    const QStringList arguments = separated(given);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto is = [&argument](const char* name, const char* letter = nullptr) {
            return argument == QLatin1String(name) ||
                   (letter != nullptr && argument == QLatin1String(letter));
        };
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = argument + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (is("--help", "-h")) {
            options.action = Action::Help;
            return options;
        } else if (is("--version")) {
            options.action = Action::Version;
            return options;
        } else if (is("--device", "-d")) {
            const auto text = value();
            if (!text) return std::nullopt;
            device = *text;
        } else if (is("--playlist", "-p")) {
            const auto text = value();
            if (!text) return std::nullopt;
            options.playlists << *text;
        } else if (is("--library", "-l")) {
            const auto text = value();
            if (!text) return std::nullopt;
            options.library = *text;
        } else if (is("--music-folder")) {
            const auto text = value();
            if (!text) return std::nullopt;
            options.musicFolder = *text;
        } else if (is("--seconds")) {
            const auto text = value();
            if (!text) return std::nullopt;
            bool ok = false;
            options.discoverSeconds = text->toDouble(&ok);
            if (!ok || options.discoverSeconds <= 0 || options.discoverSeconds > 3600) {
                error = QStringLiteral("--seconds needs a number of seconds");
                return std::nullopt;
            }
        } else if (is("--all", "-a")) {
            options.all = true;
        } else if (is("--list-playlists")) {
            listing = true;
        } else if (is("--discover")) {
            discovering = true;
        } else if (is("--verbose", "-v")) {
            options.verbose = true;
        } else if (is("--quiet", "-q")) {
            options.quiet = true;
        } else if (is("--dry-run", "-n")) {
            options.dryRun = true;
        } else if (is("--no-pipelining")) {
            options.pipelining = false;
        } else {
            error = QStringLiteral("unknown argument ") + argument;
            return std::nullopt;
        }
    }
    if (listing) {
        options.action = Action::ListPlaylists;
    } else if (discovering) {
        options.action = Action::Discover;
    } else {
        if (device.isEmpty()) {
            error = QStringLiteral("--device HOST:PORT is required to sync");
            return std::nullopt;
        }
        if (!splitDevice(device, options.host, options.port)) {
            error = QStringLiteral("--device needs HOST:PORT, not ") + device;
            return std::nullopt;
        }
        if (options.playlists.isEmpty() && !options.all) {
            error = QStringLiteral("name the playlists to sync with --playlist, or use --all");
            return std::nullopt;
        }
    }
    return options;
}
