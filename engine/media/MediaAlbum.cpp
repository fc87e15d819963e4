#include "media/MediaAlbum.h"

#include <utility>

namespace media {

MediaAlbum::MediaAlbum(std::string artist, std::string album)
    : artist(std::move(artist)), album(std::move(album)) {}

}  // namespace media
