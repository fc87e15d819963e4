#include "LibraryLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

QStringList LibraryLocator::usualPlaces() {
    const QString home = QDir::homePath();
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) music = home + QStringLiteral("/Music");
    return {
        music + QStringLiteral("/Library.xml"),
        music + QStringLiteral("/iTunes/iTunes Music Library.xml"),
        music + QStringLiteral("/iTunes/iTunes Library.xml"),
        music + QStringLiteral("/Playlists"),
        home + QStringLiteral("/.mpd/playlists"),
        home + QStringLiteral("/.config/mpd/playlists"),
    };
}

QString LibraryLocator::locate() {
    const QString fromEnvironment = qEnvironmentVariable("QUILLORY_LIBRARY");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QString chosen = QSettings().value(QLatin1String(kSettingsKey)).toString();
    if (!chosen.isEmpty()) return chosen;
    for (const QString& place : usualPlaces()) {
        if (QFileInfo::exists(place)) return place;
    }
    return {};
}

void LibraryLocator::choose(const QString& path) {
    QSettings().setValue(QLatin1String(kSettingsKey), path);
}
