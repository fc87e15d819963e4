#include "library/LibraryLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "library/MusicLibrary.h"

namespace {

// $XDG_DATA_HOME or $XDG_CONFIG_HOME, with the freedesktop.org defaults when unset or relative.
QString xdgFolder(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? value : QDir::homePath() + fallback;
}

}  // namespace

QStringList LibraryLocator::usualPlaces() {
    const QString home = QDir::homePath();
    const QString data = xdgFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
    const QString config = xdgFolder("XDG_CONFIG_HOME", QStringLiteral("/.config"));
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) music = home + QStringLiteral("/Music");
    return {
        music + QStringLiteral("/Library.xml"),
        music + QStringLiteral("/iTunes/iTunes Music Library.xml"),
        music + QStringLiteral("/iTunes/iTunes Library.xml"),
        data + QStringLiteral("/rhythmbox"),
        data + QStringLiteral("/strawberry/strawberry/strawberry.db"),
        config + QStringLiteral("/Clementine/clementine.db"),
        music + QStringLiteral("/Playlists"),
        home + QStringLiteral("/.mpd/playlists"),
        config + QStringLiteral("/mpd/playlists"),
        config + QStringLiteral("/audacious/playlists"),
    };
}

QString LibraryLocator::locate() {
    QString fromEnvironment = qEnvironmentVariable("QUILLORY_LIBRARY");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    QString chosen = QSettings().value(QLatin1String(kSettingsKey)).toString();
    if (!chosen.isEmpty()) return chosen;
    QString firstExisting;
    for (const QString& place : usualPlaces()) {
        if (!QFileInfo::exists(place)) continue;
        QString error;
        const auto library = MusicLibrary::open(place, error, musicFolder());
        if (library && !library->allPlaylists().empty()) return place;
        if (firstExisting.isEmpty()) firstExisting = place;
    }
    return firstExisting;
}

void LibraryLocator::choose(const QString& path) {
    QSettings().setValue(QLatin1String(kSettingsKey), path);
}

QString LibraryLocator::musicFolder() {
    return QSettings().value(QLatin1String(kMusicFolderKey)).toString();
}

void LibraryLocator::chooseMusicFolder(const QString& path) {
    QSettings().setValue(QLatin1String(kMusicFolderKey), path);
}
