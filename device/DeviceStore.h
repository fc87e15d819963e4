// Where the reference device server keeps what it receives: tracks and art as
// root/artist/album/file, playlists in root/playlists. Every name from a client is checked
// here, so nothing is ever written or deleted outside the root.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

class DeviceStore {
public:
    // Creates the root folder when missing.
    explicit DeviceStore(const std::filesystem::path& root);

    const std::filesystem::path& root() const { return base; }

    // The place of a track or an art file. artist and album are single names (an empty one adds
    // no folder); fileName may hold "/" between names (it is then stored in subfolders). Empty
    // file names, "." and "..",
    // absolute paths, NUL bytes and names over 255 bytes are refused: returns the reason,
    // or "" with path set.
    std::string mediaPath(const std::string& artist, const std::string& album,
                          const std::string& fileName, std::filesystem::path& path) const;
    // The place of a playlist file: a single name under root/playlists.
    std::string playlistPath(const std::string& fileName, std::filesystem::path& path) const;
    // Creates the folders a path under the root needs; returns the reason on failure.
    std::string prepareFolders(const std::filesystem::path& path) const;

    // Bytes the root's file system can still take.
    uint64_t freeBytes() const;
    // "doesnotexist", "sizemismatch" or "exists" for a file that should hold size bytes; with
    // refresh, an existing file's time is updated (as a media scanner refresh).
    std::string check(const std::filesystem::path& path, uint64_t size, bool refresh) const;
    // Deletes the file and the folders it leaves empty, up to the root. Missing files are fine.
    void remove(const std::filesystem::path& path) const;
    // Deletes every playlist file.
    void removePlaylists() const;

private:
    std::filesystem::path base;
};
