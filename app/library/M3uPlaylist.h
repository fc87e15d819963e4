// One M3U/M3U8 playlist, as MPD, players' exports and Windows players write it: one entry a
// line, #EXTINF lines giving the next entry's title. Plain functions; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "library/MusicLibrary.h"

class M3uPlaylist {
  public:
    // The entries of a playlist text (see PlaylistText for its encodings): absolute paths,
    // paths relative to baseFolder (also with "\" between folders) or file URLs. #EXTINF titles
    // are kept; other # lines and blank lines are skipped. Entries whose file does not exist
    // have no location. Any text is a playlist, so this never fails.
    static std::vector<LibraryItem> parse(const QByteArray& bytes, const QString& baseFolder);
};
