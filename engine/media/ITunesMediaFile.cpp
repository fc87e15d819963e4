#include "media/ITunesMediaFile.h"

#include <algorithm>
#include <utility>

namespace itunesinfo {

ITunesMediaFile::ITunesMediaFile(std::string artist, std::string album, std::string fileName,
                                 int64_t size, std::string location, std::string artLocation,
                                 std::vector<std::string> playlists)
    : MediaFile(std::move(artist), std::move(album), std::move(fileName), STATUS_UNCHECKED),
      playlists(std::move(playlists)),
      size(size),
      location(std::move(location)),
      artLocation(std::move(artLocation)) {}

bool ITunesMediaFile::belongsToPlaylist(const std::string& name) const {
    return std::find(playlists.begin(), playlists.end(), name) != playlists.end();
}

}  // namespace itunesinfo
