// The M3U playlists of one sync, one per chosen library playlist, written in the working folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/ITunesMediaFile.h"
#include "media/PlayList.h"

namespace media {

class QUILLORY_EXPORT PlaylistWriter {
public:
    // Creates one playlist per name, in order, under folder (which ends with "/"); this
    // already replaces the previous files of those names. Never throws for file errors.
    PlaylistWriter(std::vector<std::string> names, std::string syncLocation, std::string folder);
    ~PlaylistWriter();

    PlaylistWriter(const PlaylistWriter&) = delete;
    PlaylistWriter& operator=(const PlaylistWriter&) = delete;

    // Remembers the track for writeInPlaylists.
    void addMediaFile(itunesinfo::ITunesMediaFile track);
    // Nothing to do: constructing each playlist already deleted its old file.
    void removeExistingPlaylists();
    // Writes every remembered track into each playlist it belongs to, then closes them all.
    void writeInPlaylists();
    // Each playlist's path, in the order of the names (a name cleaned to an earlier one's
    // file name repeats that path).
    std::vector<std::string> getAbsolutePlaylistNames() const;

private:
    std::string folder;
    std::vector<std::unique_ptr<PlayList>> playlists;
    std::vector<itunesinfo::ITunesMediaFile> tracks;
};

}  // namespace media
