// Where the reference device server keeps what it receives. The layout beneath the root:
//
//   ARTIST/ALBUM/FILE          tracks and album art (an empty artist or album adds no folder)
//   playlists/NAME             playlist files
//   .quillory-parts/part-*     files still being received; hidden, so that neither a playlist
//                              nor the device's media scanner takes them for music. Emptied
//                              when a store opens; made by a connection's first file and
//                              removed, when empty, as that connection ends.
//
// Every name from a client is checked here, and every path is resolved beneath the root one
// folder at a time without following symbolic links, so nothing outside the root is ever
// written, deleted or reported, whatever links were planted inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "UniqueFd.h"

class DeviceStore {
  public:
    // A checked place beneath the root: its folders from the root down, and its file name.
    struct Place {
        std::vector<std::string> folders;
        std::string name;
        // "folder/.../name", for logs.
        std::string relative() const;
    };

    // A file name may hold this many names ("sub/sub/file"); a few is all any library needs.
    static constexpr std::size_t kMaxFileNameParts = 4;
    // The longest path beneath the root a client may ask for, in bytes.
    static constexpr std::size_t kMaxPathBytes = 1024;
    // The hidden folder of files being received.
    static constexpr const char* kPartsFolder = ".quillory-parts";

    // Creates the root folder when missing, opens it and deletes the temporary files a server
    // killed mid-file left behind (in the parts folder, and ".quillory-part-*" files beside
    // their targets as older servers kept them). Throws std::runtime_error or
    // std::filesystem::filesystem_error when the root cannot be made or opened.
    explicit DeviceStore(const std::filesystem::path& root);

    // The root's canonical path.
    const std::filesystem::path& root() const { return base; }

    // The place of a track or an art file. artist and album are single names (an empty one adds
    // no folder); fileName may hold "/" between up to kMaxFileNameParts names (it is then stored
    // in subfolders). Empty names, "." and "..", NUL bytes, names over 255 bytes, paths over
    // kMaxPathBytes and the parts folder are refused: returns the reason, or "" with place set.
    std::string mediaPath(const std::string& artist, const std::string& album,
                          const std::string& fileName, Place& place) const;
    // The place of a playlist file: a single name under playlists/.
    std::string playlistPath(const std::string& fileName, Place& place) const;

    // Bytes the root's file system can still take.
    uint64_t freeBytes() const;
    // "doesnotexist", "sizemismatch" or "exists" for a regular file that should hold size bytes;
    // with refresh, an existing file's time is updated (as a media scanner refresh). A symbolic
    // link, at the place or on the way to it, does not exist.
    std::string check(const Place& place, uint64_t size, bool refresh) const;
    // Deletes the file and the folders it leaves empty, up to the root. Missing files are fine; a
    // symbolic link is deleted itself, never what it points at.
    void remove(const Place& place) const;
    // Deletes every playlist file.
    void removePlaylists() const;

    // The folder of place, opened without following links; with create, missing folders are
    // made. An invalid descriptor and the reason on failure.
    UniqueFd openFolder(const Place& place, bool create, std::string& reason) const;
    // The parts folder, made when missing. An invalid descriptor and the reason on failure.
    UniqueFd openPartsFolder(std::string& reason) const;
    // Removes the parts folder if nothing is left in it.
    void tidyPartsFolder() const;

  private:
    // The root and the folders of place, each opened from the one before; empty on failure.
    std::vector<UniqueFd> openChain(const Place& place, bool create, std::string& reason) const;
    void clearLeftovers() const;

    std::filesystem::path base;
    UniqueFd rootFd;
};
