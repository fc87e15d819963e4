#include "media/PlayList.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "media/CMediaException.h"
#include "util/Utils.h"

namespace media {

namespace {
[[noreturn]] void cannotWrite(const std::string& path, int error) {
    throw CMediaException("cannot write the playlist file " + path +
                          (error != 0 ? ": " + std::generic_category().message(error) : ""));
}
}  // namespace

PlayList::PlayList(std::string name, std::string syncLocation, const std::string& folder,
                   std::string fileStem)
    : name(std::move(name)), syncLocation(std::move(syncLocation)) {
    if (fileStem.empty()) fileStem = Utils::makeValidDirName(this->name);
    path = folder + fileStem + ".m3u";
    std::remove(path.c_str());
    errno = 0;
    stream.open(path, std::ios::out | std::ios::app | std::ios::binary);
    // Sent on with a missing playlist, the sync would report success while the device's
    // playlists are gone.
    if (!stream.is_open()) cannotWrite(path, errno);
    stream << "#EXTM3U";
}

PlayList::~PlayList() {
    free();
}

void PlayList::WriteIfRelevant(const itunesinfo::ITunesMediaFile& track) {
    if (!track.belongsToPlaylist(name) || !stream.is_open()) return;
    stream << '\n'
           << "./" << Utils::makeValidDirName(track.getArtist()) << '/'
           << Utils::makeValidDirName(track.getAlbum()) << '/' << track.getFileName();
}

void PlayList::free() {
    if (stream.is_open()) stream.close();
}

void PlayList::finish() {
    errno = 0;
    if (stream.is_open()) stream.close();
    if (stream.fail()) cannotWrite(path, errno);
}

}  // namespace media
