#include "main/LibraryGuard.h"

#include <QFileInfo>

#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"

LibraryGuard::Reading LibraryGuard::readingOf(const QString& path, const MusicLibrary* library,
                                              const QString& error) {
    Reading reading;
    reading.path = path;
    reading.opened = library != nullptr;
    reading.names = MusicProvider::getPlaylistNames(library);
    reading.kind = library != nullptr ? library->kind() : QString();
    reading.error = library != nullptr ? QString() : error;
    if (library != nullptr) reading.unreadable = library->unreadable();
    return reading;
}

QStringList LibraryGuard::missingNames(const QStringList& syncList, const QStringList& names) {
    QStringList missing;
    for (const QString& name : syncList) {
        if (!names.contains(name) && !missing.contains(name)) missing << name;
    }
    return missing;
}

LibraryGuard::Decision LibraryGuard::beforeSync(const Reading& reading, const QStringList& syncList,
                                                const QStringList& confirmed) {
    if (!reading.opened) return {Verdict::Refuse, {}};
    const QStringList missing = missingNames(syncList, reading.names);
    for (const QString& name : missing) {
        if (!confirmed.contains(name)) return {Verdict::Confirm, missing};
    }
    return {Verdict::Go, missing};
}

QString LibraryGuard::notice(const Reading& reading) {
    if (reading.opened && !reading.unreadable.isEmpty()) {
        return QStringLiteral("Some playlist files cannot be read and are left out:\n") +
               reading.unreadable.join(QLatin1Char('\n'));
    }
    if (reading.opened) return {};
    if (reading.path.isEmpty()) {
        return QStringLiteral(
            "No music library was found. Choose one with File > Choose Music Library File... "
            "(or File > Choose Library Folder...).");
    }
    if (!reading.error.isEmpty() && QFileInfo::exists(reading.path)) {
        return QStringLiteral(
                   "The music library %1 cannot be read (%2). Choose another with File > Choose "
                   "Music Library File... (or File > Choose Library Folder...).")
            .arg(reading.path, reading.error);
    }
    return QStringLiteral(
               "The music library %1 cannot be read: it is missing, moved or on a drive that is "
               "not plugged in. Plug the drive in, or choose the library with File > Choose Music "
               "Library File... (or File > Choose Library Folder...).")
        .arg(reading.path);
}

QString LibraryGuard::inUse(const Reading& reading) {
    if (!reading.opened) return {};
    return QStringLiteral("Library: %1, %2").arg(reading.kind, reading.path);
}

QString LibraryGuard::refusalText(const Reading& reading) {
    return notice(reading) + QStringLiteral("\n\nNothing was synced: the device was not touched.");
}

QString LibraryGuard::confirmationText(const QStringList& missing) {
    QStringList quoted;
    for (const QString& name : missing) quoted << QStringLiteral("\"%1\"").arg(name);
    return QStringLiteral(
               "These playlists of the sync list are no longer in the music library: %1.\n\n"
               "Syncing now removes their tracks from the device (unless another playlist "
               "wants them). Continue?")
        .arg(quoted.join(QStringLiteral(", ")));
}
