#include "LibraryGuard.h"

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
    if (reading.opened) return {};
    if (reading.path.isEmpty()) {
        return QStringLiteral(
            "No music library was found. Choose one with File > Choose Music Library File... "
            "(or File > Choose Playlist Folder...).");
    }
    return QStringLiteral(
               "The music library %1 cannot be read: it is missing, moved or on a drive that is "
               "not plugged in. Plug the drive in, or choose the library with File > Choose Music "
               "Library File... (or File > Choose Playlist Folder...).")
        .arg(reading.path);
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
