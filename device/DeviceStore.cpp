#include "DeviceStore.h"

#include <sys/statvfs.h>

#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* const kPlaylistFolder = "playlists";

// The reason a single path component is unsafe, or "".
std::string checkName(const std::string& name, const char* what) {
    if (name.empty()) return std::string("empty ") + what;
    if (name == "." || name == "..") return std::string(what) + " may not be . or ..";
    if (name.find('\0') != std::string::npos) return std::string(what) + " holds a NUL byte";
    if (name.find('/') != std::string::npos) return std::string(what) + " holds a slash";
    if (name.size() > 255) return std::string(what) + " is longer than 255 bytes";
    return "";
}

}  // namespace

DeviceStore::DeviceStore(const fs::path& root) {
    fs::create_directories(root);
    base = fs::canonical(root);
}

std::string DeviceStore::mediaPath(const std::string& artist, const std::string& album,
                                   const std::string& fileName, fs::path& path) const {
    // An artist or album that cleans to nothing adds no folder, as "./" + "" + "/" does in
    // the playlist entry that points at the file.
    fs::path result = base;
    for (const auto& [name, what] : {std::pair{&artist, "artist"}, std::pair{&album, "album"}}) {
        if (name->empty()) continue;
        const std::string reason = checkName(*name, what);
        if (!reason.empty()) return reason;
        result /= *name;
    }
    std::string reason;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type slash = fileName.find('/', start);
        const std::string part = fileName.substr(start, slash - start);
        reason = checkName(part, "file name");
        if (!reason.empty()) return reason;
        result /= part;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    path = result;
    return "";
}

std::string DeviceStore::playlistPath(const std::string& fileName, fs::path& path) const {
    const std::string reason = checkName(fileName, "playlist name");
    if (!reason.empty()) return reason;
    path = base / kPlaylistFolder / fileName;
    return "";
}

std::string DeviceStore::prepareFolders(const fs::path& path) const {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) return error.message();
    if (fs::is_directory(path, error)) return "a folder of that name exists";
    return "";
}

uint64_t DeviceStore::freeBytes() const {
    struct statvfs info {};
    if (statvfs(base.c_str(), &info) != 0) return 0;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string DeviceStore::check(const fs::path& path, uint64_t size, bool refresh) const {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return "doesnotexist";
    if (fs::file_size(path, error) != size || error) return "sizemismatch";
    if (refresh) fs::last_write_time(path, fs::file_time_type::clock::now(), error);
    return "exists";
}

void DeviceStore::remove(const fs::path& path) const {
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path, error))) return;
    fs::remove(path, error);
    // Tidy the folders the file leaves empty, never the root itself.
    for (fs::path folder = path.parent_path(); folder != base && folder.has_relative_path();
         folder = folder.parent_path()) {
        if (!fs::is_empty(folder, error) || error || !fs::remove(folder, error)) break;
    }
}

void DeviceStore::removePlaylists() const {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(base / kPlaylistFolder, error)) {
        if (entry.is_regular_file(error)) fs::remove(entry.path(), error);
    }
}
