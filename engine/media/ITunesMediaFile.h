// One source track handed from the program to the engine: a MediaFile plus where its bytes and
// its album art are found locally and which library playlists hold it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "quillory_export.h"

namespace itunesinfo {

class QUILLORY_EXPORT ITunesMediaFile : public media::MediaFile {
public:
    // Status starts as STATUS_UNCHECKED.
    ITunesMediaFile(std::string artist, std::string album, std::string fileName, int64_t size,
                    std::string location, std::string artLocation,
                    std::vector<std::string> playlists);

    int64_t getSize() const { return size; }
    std::string getLocation() const { return location; }
    std::string getArtLocation() const { return artLocation; }

    // Exact byte comparison with each playlist name: no case folding, no trimming.
    bool belongsToPlaylist(const std::string& name) const;

private:
    std::vector<std::string> playlists;
    int64_t size;
    std::string location;
    std::string artLocation;
};

}  // namespace itunesinfo
