// One playlist as Audacious keeps it ($XDG_CONFIG_HOME/audacious/playlists/NNNN.audpl, listed
// in display order by the folder's "order" file): "key=value" lines, a leading title= naming
// the playlist, then per entry a uri= line followed by that entry's fields (title=, artist=,
// album=, length=, ...); values other than the URI are percent-encoded. Plain functions; any
// thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "library/MusicLibrary.h"

class AudaciousPlaylist {
  public:
    // The playlist: its name is the first title= before any uri= ("" when there is none) and
    // its items are the uri= entries in order. An entry's location is the file its URI names
    // (file URIs, also file://localhost, or references relative to baseFolder), absent when
    // no such file exists (streams, CD tracks, missing files); its title, artist and album
    // are percent-decoded. Other fields and [section] headings are left out.
    // Absent, with the reason in error, when the text has content but no key=value line.
    static std::optional<LibraryPlaylist> parse(const QByteArray& bytes, const QString& baseFolder,
                                                QString& error);
};
