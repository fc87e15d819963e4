// Names one album (and so one album-art image) on a device, by raw artist and album name.
#pragma once

#include <string>

#include "quillory_export.h"

namespace media {

class QUILLORY_EXPORT MediaAlbum {
public:
    MediaAlbum(std::string artist, std::string album);

    std::string getArtist() const { return artist; }
    std::string getAlbum() const { return album; }

private:
    std::string artist;
    std::string album;
};

}  // namespace media
