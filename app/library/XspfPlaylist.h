// One XSPF playlist (the XML Shareable Playlist Format that MPD, Audacious, VLC and other
// players write): playlist/trackList/track elements, in order. Plain functions; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "library/MusicLibrary.h"

class XspfPlaylist {
  public:
    // The tracks of an XSPF document. Each track's location is the first of its <location>
    // URIs that names an existing file: absolute file URIs (also file://localhost) or URI
    // references relative to baseFolder, percent-decoded; none when no file exists (streams,
    // missing files). <title>, <creator> (the artist) and <album> are kept; other elements
    // (annotations, durations, images, extensions, the playlist's own title) are left out.
    // Element names are matched with or without the XSPF namespace or a prefix.
    // Absent, with the reason in error, when the bytes are not XML or not an XSPF playlist
    // (no <playlist> root with a <trackList>).
    static std::optional<std::vector<LibraryItem>> parse(const QByteArray& bytes,
                                                         const QString& baseFolder, QString& error);
};
