#include "CliOptions.h"

QString CliOptions::help() {
    return QStringLiteral(
        "Usage: quillory-sync --device HOST:PORT (--playlist NAME ... | --all) [options]\n"
        "       quillory-sync --list-playlists [--library PATH] [--music-folder PATH]\n"
        "       quillory-sync --discover [--seconds N]\n"
        "\n"
        "Syncs playlists of your music library to a phone running the Quillory device app (or\n"
        "to quillory-device), as the desktop program does: tracks the phone already holds are\n"
        "not sent again, tracks no chosen playlist wants are deleted from it.\n"
        "\n"
        "  --device HOST:PORT   the device app's address and port ([IPv6]:PORT for IPv6)\n"
        "  --playlist NAME      a playlist to keep on the device; repeat for more\n"
        "  --all                every playlist of the library\n"
        "  --library PATH       the music library: an exported iTunes Library.xml, Rhythmbox's\n"
        "                       folder (or its rhythmdb.xml), Strawberry's strawberry.db,\n"
        "                       Clementine's clementine.db, or a folder of M3U, M3U8, XSPF, PLS\n"
        "                       or Audacious playlists (default: QUILLORY_LIBRARY, the desktop\n"
        "                       program's choice, then the first of the usual places with\n"
        "                       playlists: ~/Music/Library.xml, Rhythmbox, Strawberry,\n"
        "                       Clementine, ~/Music/Playlists, MPD's and Audacious's playlists)\n"
        "  --music-folder PATH  where the tracks of a Library.xml exported on another computer\n"
        "                       are now (default: the desktop program's choice, else the folder\n"
        "                       that holds the library file)\n"
        "  --list-playlists     print the library's playlists and exit\n"
        "  --discover           list device apps announcing themselves on this network\n"
        "  --seconds N          how long --discover listens (default 3)\n"
        "  -n, --dry-run        print what a sync would send and delete, and change nothing\n"
        "  --no-pipelining      one command at a time and every album's art in every sync,\n"
        "                       for a device app that cannot take commands sent ahead\n"
        "  --verbose            show the engine's log instead of writing it to\n"
        "                       ~/quillory/quillory-sync.log\n"
        "  --help               show this text\n"
        "\n"
        "Ctrl-C cancels a running sync at the next file chunk; the next sync sends what is\n"
        "missing. Exit status: 0 success, 2 bad arguments, 3 error_connect, 4 error_disconnect,\n"
        "5 error_refused, 6 error_communication, 7 error_db, 8 error, 130 error_cancel.\n");
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

std::optional<CliOptions> CliOptions::parse(const QStringList& arguments, QString& error) {
    CliOptions options;
    bool listing = false;
    bool discovering = false;
    QString device;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = argument + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.action = Action::Help;
            return options;
        } else if (argument == QLatin1String("--device")) {
            const auto text = value();
            if (!text) return std::nullopt;
            device = *text;
        } else if (argument == QLatin1String("--playlist")) {
            const auto text = value();
            if (!text) return std::nullopt;
            options.playlists << *text;
        } else if (argument == QLatin1String("--library")) {
            const auto text = value();
            if (!text) return std::nullopt;
            options.library = *text;
        } else if (argument == QLatin1String("--music-folder")) {
            const auto text = value();
            if (!text) return std::nullopt;
            options.musicFolder = *text;
        } else if (argument == QLatin1String("--seconds")) {
            const auto text = value();
            if (!text) return std::nullopt;
            bool ok = false;
            options.discoverSeconds = text->toDouble(&ok);
            if (!ok || options.discoverSeconds <= 0 || options.discoverSeconds > 3600) {
                error = QStringLiteral("--seconds needs a number of seconds");
                return std::nullopt;
            }
        } else if (argument == QLatin1String("--all")) {
            options.all = true;
        } else if (argument == QLatin1String("--list-playlists")) {
            listing = true;
        } else if (argument == QLatin1String("--discover")) {
            discovering = true;
        } else if (argument == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (argument == QLatin1String("--dry-run") || argument == QLatin1String("-n")) {
            options.dryRun = true;
        } else if (argument == QLatin1String("--no-pipelining")) {
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
