// Whether a sync may go ahead with the music library as it reads now. A library that cannot be
// read gives no playlists, and a sync of that would delete every track from the device; so an
// unreadable library refuses the sync, and sync-list names the library no longer has (whose
// tracks the sync would remove) need the user's word first. Plain data; any thread.
#pragma once

#include <QString>
#include <QStringList>

class MusicLibrary;

class LibraryGuard {
  public:
    // The library as read at one moment.
    struct Reading {
        QString path;         // where it was looked for; "" when none is configured or found
        bool opened = false;  // whether it could be read
        QStringList names;    // its playlist names (empty when not opened)
        QString kind;         // the kind of library ("" when not opened)
        QString error;        // why it could not be read ("" when opened or not found)
        QStringList unreadable;  // parts of an opened library left out, "path: reason"
    };
    // The reading of library, opened from path (null when it failed with error).
    static Reading readingOf(const QString& path, const MusicLibrary* library,
                             const QString& error);
    enum class Verdict { Go, Refuse, Confirm };
    struct Decision {
        Verdict verdict = Verdict::Go;
        QStringList missing;  // the sync-list names the library lacks, in sync-list order
    };

    // The names of syncList that are not among names, each once, in syncList order.
    static QStringList missingNames(const QStringList& syncList, const QStringList& names);
    // Refuse when the library cannot be read; Confirm when sync-list names are missing from it
    // and not all of them are in confirmed (names the user already agreed to lose); else Go.
    static Decision beforeSync(const Reading& reading, const QStringList& syncList,
                               const QStringList& confirmed);

    // What the window says about the library: "" when it was read whole; else which file could
    // not be read, why, and what to do about it, or which parts of it were left out.
    static QString notice(const Reading& reading);
    // Which library is in use: "Library: KIND, PATH"; "" when none was read.
    static QString inUse(const Reading& reading);
    // The refused sync's sheet.
    static QString refusalTitle() { return QStringLiteral("Music library not available"); }
    static QString refusalText(const Reading& reading);
    // The confirmation sheet before a sync that removes the missing playlists' tracks.
    static QString confirmationTitle() { return QStringLiteral("Playlists missing"); }
    static QString confirmationText(const QStringList& missing);
};
