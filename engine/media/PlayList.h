// One M3U playlist file being written for a sync: "#EXTM3U", then per track an LF and
// "./artist/album/file" with cleaned folder names; no line end at the end.
#pragma once

#include <fstream>
#include <string>

#include "media/ITunesMediaFile.h"

namespace media {

class PlayList {
  public:
    // Deletes any old file at folder + fileStem + ".m3u", creates it and writes the header.
    // fileStem defaults to makeValidDirName(name). Throws media::CMediaException naming the
    // file when it cannot be created.
    PlayList(std::string name, std::string syncLocation, const std::string& folder,
             std::string fileStem = {});
    ~PlayList();

    PlayList(const PlayList&) = delete;
    PlayList& operator=(const PlayList&) = delete;

    // Appends the track's entry when it belongs to this playlist.
    void WriteIfRelevant(const itunesinfo::ITunesMediaFile& track);
    std::string getAbsolutePath() const { return path; }
    // Closes the file; safe to call again.
    void free();
    // Closes the file and throws media::CMediaException naming it when any write failed.
    void finish();

  private:
    std::string name;
    std::string path;
    std::ofstream stream;
    std::string syncLocation;
};

}  // namespace media
