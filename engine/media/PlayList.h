// One M3U playlist file being written for a sync: "#EXTM3U", then per track an LF and
// "./artist/album/file" with cleaned folder names; no line end at the end.
#pragma once

#include <fstream>
#include <string>

#include "media/ITunesMediaFile.h"

namespace media {

class QUILLORY_EXPORT PlayList {
public:
    // Deletes any old file at folder + makeValidDirName(name) + ".m3u", creates it and writes
    // the header. A file that cannot be created leaves a silent playlist that writes nothing.
    PlayList(std::string name, std::string syncLocation, std::string folder);
    ~PlayList();

    PlayList(const PlayList&) = delete;
    PlayList& operator=(const PlayList&) = delete;

    // Appends the track's entry when it belongs to this playlist.
    void WriteIfRelevant(itunesinfo::ITunesMediaFile track);
    std::string getAbsolutePath() const { return path; }
    // Closes the file; safe to call again.
    void free();

private:
    std::string name;
    std::string path;
    std::ofstream stream;
    std::string syncLocation;
};

}  // namespace media
