#include "media/PlaylistWriter.h"

#include <utility>

namespace media {

PlaylistWriter::PlaylistWriter(std::vector<std::string> names, std::string syncLocation,
                               std::string folder)
    : folder(std::move(folder)) {
    playlists.reserve(names.size());
    for (std::string& name : names) {
        playlists.push_back(std::make_unique<PlayList>(std::move(name), syncLocation,
                                                       this->folder));
    }
}

PlaylistWriter::~PlaylistWriter() {
    for (std::unique_ptr<PlayList>& playlist : playlists) playlist->free();
}

void PlaylistWriter::addMediaFile(itunesinfo::ITunesMediaFile track) {
    tracks.push_back(std::move(track));
}

void PlaylistWriter::removeExistingPlaylists() {}

void PlaylistWriter::writeInPlaylists() {
    for (const itunesinfo::ITunesMediaFile& track : tracks) {
        for (std::unique_ptr<PlayList>& playlist : playlists) playlist->WriteIfRelevant(track);
    }
    for (std::unique_ptr<PlayList>& playlist : playlists) playlist->free();
}

std::vector<std::string> PlaylistWriter::getAbsolutePlaylistNames() const {
    std::vector<std::string> paths;
    paths.reserve(playlists.size());
    for (const std::unique_ptr<PlayList>& playlist : playlists) {
        paths.push_back(playlist->getAbsolutePath());
    }
    return paths;
}

}  // namespace media
