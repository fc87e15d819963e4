#include "media/PlayList.h"

#include <cstdio>
#include <utility>

#include "util/Utils.h"

namespace media {

PlayList::PlayList(std::string name, std::string syncLocation, std::string folder)
    : name(std::move(name)), syncLocation(std::move(syncLocation)) {
    path = folder + Utils::makeValidDirName(this->name) + ".m3u";
    std::remove(path.c_str());
    stream.open(path, std::ios::out | std::ios::app | std::ios::binary);
    if (stream.is_open()) stream << "#EXTM3U";
}

PlayList::~PlayList() {
    free();
}

void PlayList::WriteIfRelevant(itunesinfo::ITunesMediaFile track) {
    if (!track.belongsToPlaylist(name) || !stream.is_open()) return;
    stream << '\n'
           << "./" << Utils::makeValidDirName(track.getArtist()) << '/'
           << Utils::makeValidDirName(track.getAlbum()) << '/' << track.getFileName();
}

void PlayList::free() {
    if (stream.is_open()) stream.close();
}

}  // namespace media
