// The M3U playlists of one sync, one per chosen library playlist, written in the working folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/ITunesMediaFile.h"
#include "media/PlayList.h"

namespace media {

class PlaylistWriter {
  public:
    // Creates one playlist per distinct name, in order, under folder (which ends with "/");
    // this already replaces the previous files of those names. Names that clean to the same
    // file name (ignoring letter case, as the phone's storage does) keep separate files: in
    // byte order of the names, the first keeps the cleaned name and the others get " (2)",
    // " (3)" and so on, so each keeps its file from sync to sync whatever the list's order.
    // Throws media::CMediaException naming a file that cannot be created.
    PlaylistWriter(std::vector<std::string> names, const std::string& syncLocation, std::string folder);
    ~PlaylistWriter();

    PlaylistWriter(const PlaylistWriter&) = delete;
    PlaylistWriter& operator=(const PlaylistWriter&) = delete;

    // Adds the track's entry to each playlist it belongs to (the lines go out as they come,
    // so the writer holds no copy of the library).
    void addMediaFile(const itunesinfo::ITunesMediaFile& track);
    // Nothing to do: constructing each playlist already deleted its old file.
    void removeExistingPlaylists();
    // Closes every playlist. Throws media::CMediaException naming a file that could not be
    // written completely.
    void writeInPlaylists();
    // Each playlist's path, in the order of the distinct names.
    std::vector<std::string> getAbsolutePlaylistNames() const;

  private:
    std::string folder;
    std::vector<std::unique_ptr<PlayList>> playlists;
};

}  // namespace media
