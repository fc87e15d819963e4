#include "main/AppCommandLine.h"

#include "BuildConfig.h"

QString AppCommandLine::version() {
    return QStringLiteral("QuilloryMac %1\n").arg(QStringLiteral(QUILLORY_VERSION));
}

QString AppCommandLine::help() {
    return QStringLiteral(
        "Usage: QuilloryMac [--version] [--help] [Qt options]\n"
        "\n"
        "Syncs playlists of your music library to an Android phone running the Quillory device\n"
        "app over Wi-Fi. Move playlists into the sync list, connect to the phone and press Sync.\n"
        "\n"
        "  --version   print the version and exit\n"
        "  --help      print this text and exit\n"
        "\n"
        "The music library is the one chosen with File > Choose Music Library File... (or\n"
        "QUILLORY_LIBRARY in the environment). For syncing from a terminal, see quillory-sync.\n");
}

std::optional<QString> AppCommandLine::answer(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            return version();
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) return help();
    }
    return std::nullopt;
}

QString AppCommandLine::about() {
    return QStringLiteral(
               "QuilloryMac %1\n\nSyncs playlists of your music library to an Android phone "
               "over Wi-Fi.\n\nLicence: %2\nHome page: %3")
        .arg(QStringLiteral(QUILLORY_VERSION), QStringLiteral(QUILLORY_LICENCE),
             QStringLiteral(QUILLORY_HELP_PAGE));
}
