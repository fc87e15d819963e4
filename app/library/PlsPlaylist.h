// One PLS playlist (the INI-like text of Winamp, SHOUTcast and many players): a [playlist]
// section with FileN, TitleN and LengthN keys. Plain functions; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "library/MusicLibrary.h"

class PlsPlaylist {
  public:
    // The entries of the [playlist] section (see PlaylistText for its encodings), in the order
    // of their numbers N (from 1; gaps allowed; keys in any case). FileN is a path (absolute,
    // relative to baseFolder, also with "\" between folders) or a file URL; its location is
    // absent when it names no existing file. TitleN is kept; LengthN, NumberOfEntries (the
    // FileN keys are what counts), Version and other sections are left out. When FileN is
    // written twice the last one counts; a TitleN without a FileN makes no entry.
    // Absent, with the reason in error, when there is no [playlist] section.
    static std::optional<std::vector<LibraryItem>> parse(const QByteArray& bytes,
                                                         const QString& baseFolder, QString& error);
};
