#include "media/PlaylistWriter.h"

#include <map>
#include <set>
#include <utility>

#include "util/Utils.h"

namespace media {

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The file stem of each distinct name; see the constructor's contract.
std::map<std::string, std::string> fileStems(const std::vector<std::string>& names) {
    std::map<std::string, std::set<std::string>> byStem;  // folded stem -> names, byte order
    for (const std::string& name : names) {
        byStem[lowerAscii(Utils::makeValidDirName(name))].insert(name);
    }
    std::set<std::string> taken;
    for (const auto& [folded, group] : byStem) taken.insert(folded);
    std::map<std::string, std::string> stems;
    for (const auto& [folded, group] : byStem) {
        bool first = true;
        int next = 2;
        for (const std::string& name : group) {
            const std::string stem = Utils::makeValidDirName(name);
            if (first) {
                stems[name] = stem;
                first = false;
                continue;
            }
            std::string candidate;
            do {
                candidate = stem + " (" + std::to_string(next++) + ")";
            } while (taken.count(lowerAscii(candidate)) != 0);
            taken.insert(lowerAscii(candidate));
            stems[name] = candidate;
        }
    }
    return stems;
}

}  // namespace

PlaylistWriter::PlaylistWriter(std::vector<std::string> names, const std::string& syncLocation,
                               std::string folder)
    : folder(std::move(folder)) {
    const std::map<std::string, std::string> stems = fileStems(names);
    std::set<std::string> made;
    playlists.reserve(names.size());
    for (std::string& name : names) {
        if (!made.insert(name).second) continue;  // the same playlist chosen twice
        const std::string& stem = stems.at(name);
        playlists.push_back(
            std::make_unique<PlayList>(std::move(name), syncLocation, this->folder, stem));
    }
}

PlaylistWriter::~PlaylistWriter() {
    for (std::unique_ptr<PlayList>& playlist : playlists) playlist->free();
}

void PlaylistWriter::addMediaFile(const itunesinfo::ITunesMediaFile& track) {
    for (std::unique_ptr<PlayList>& playlist : playlists) playlist->WriteIfRelevant(track);
}

void PlaylistWriter::removeExistingPlaylists() {}

void PlaylistWriter::writeInPlaylists() {
    for (std::unique_ptr<PlayList>& playlist : playlists) playlist->finish();
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
