#include "media/MediaFile.h"

#include <utility>

namespace media {

MediaFile::MediaFile(std::string artist, std::string album, std::string fileName,
                     SyncStatus status)
    : artist(std::move(artist)),
      album(std::move(album)),
      fileName(std::move(fileName)),
      status(status) {}

}  // namespace media
