#include "DeviceStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* const kPlaylistFolder = "playlists";
// Older servers kept a file being received beside its target under this prefix.
const char* const kLegacyPartPrefix = ".quillory-part-";

// The reason a single path component is unsafe, or "".
std::string checkName(const std::string& name, const char* what) {
    if (name.empty()) return std::string("empty ") + what;
    if (name == "." || name == "..") return std::string(what) + " may not be . or ..";
    if (name.find('\0') != std::string::npos) return std::string(what) + " holds a NUL byte";
    if (name.find('/') != std::string::npos) return std::string(what) + " holds a slash";
    if (name.size() > 255) return std::string(what) + " is longer than 255 bytes";
    return "";
}

// Opens the folder `name` inside the folder `at` without following a symbolic link (O_NOFOLLOW
// refuses a link as the last component, and every earlier component was opened the same way),
// making it first when create is set. -1 with errno set on failure.
int openChild(int at, const std::string& name, bool create) {
    if (create && ::mkdirat(at, name.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    return ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Why `name` in `at` could not be opened as a folder.
std::string folderFailure(int at, const std::string& name, int error) {
    struct stat info {};
    if ((error == ELOOP || error == ENOTDIR) &&
        ::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode)) return name + " is a symbolic link";
        if (!S_ISDIR(info.st_mode)) return name + " is not a folder";
    }
    return name + ": " + std::generic_category().message(error);
}

bool isA(int at, const std::string& name, mode_t type) {
    struct stat info {};
    return ::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           (info.st_mode & S_IFMT) == type;
}

// The names in a folder (without "." and ".."), read in full before the caller changes it.
std::vector<std::string> namesIn(int folder) {
    std::vector<std::string> names;
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(copy), ::closedir);
    if (!dir) {
        ::close(copy);
        return names;
    }
    // The copy shares its position with `folder`, which an earlier listing may have moved.
    ::rewinddir(dir.get());
    // Each call reads its own directory stream, which no other thread sees.
    while (const dirent* entry = ::readdir(dir.get())) {  // NOLINT(concurrency-mt-unsafe)
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

// Deletes the ".quillory-part-*" files of older servers beneath `folder`, as deep as they could
// have put them.
void clearLegacyParts(int folder, std::size_t depth) {
    for (const std::string& name : namesIn(folder)) {
        if (name.rfind(kLegacyPartPrefix, 0) == 0 && isA(folder, name, S_IFREG)) {
            ::unlinkat(folder, name.c_str(), 0);
        } else if (depth > 0 && isA(folder, name, S_IFDIR)) {
            const UniqueFd child(openChild(folder, name, false));
            if (child.valid()) clearLegacyParts(child.get(), depth - 1);
        }
    }
}

}  // namespace

std::string DeviceStore::Place::relative() const {
    std::string path;
    for (const std::string& folder : folders) path += folder + "/";
    return path + name;
}

DeviceStore::DeviceStore(const fs::path& root) {
    fs::create_directories(root);
    base = fs::canonical(root);
    rootFd.reset(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd.valid()) {
        throw std::runtime_error(base.string() + ": " + std::generic_category().message(errno));
    }
    clearLeftovers();
}

void DeviceStore::clearLeftovers() const {
    const int root = rootFd.get();
    if (isA(root, kPartsFolder, S_IFDIR)) {
        const UniqueFd parts(openChild(root, kPartsFolder, false));
        if (parts.valid()) {
            for (const std::string& name : namesIn(parts.get())) {
                if (!isA(parts.get(), name, S_IFDIR)) ::unlinkat(parts.get(), name.c_str(), 0);
            }
        }
        ::unlinkat(root, kPartsFolder, AT_REMOVEDIR);
    } else {
        // Not a folder of ours (a link or a file planted under the name): out of the way.
        ::unlinkat(root, kPartsFolder, 0);
    }
    // artist/album plus the subfolders a file name may hold.
    clearLegacyParts(root, 2 + kMaxFileNameParts - 1);
}

std::string DeviceStore::mediaPath(const std::string& artist, const std::string& album,
                                   const std::string& fileName, Place& place) const {
    // Counted before anything is split, so that a name of thousands of parts costs nothing.
    const std::size_t parts =
        static_cast<std::size_t>(std::count(fileName.begin(), fileName.end(), '/')) + 1;
    if (parts > kMaxFileNameParts) {
        return "file name has more than " + std::to_string(kMaxFileNameParts) + " parts";
    }
    if (artist.size() + album.size() + fileName.size() + 2 > kMaxPathBytes) {
        return "path is longer than " + std::to_string(kMaxPathBytes) + " bytes";
    }
    // An artist or album that cleans to nothing adds no folder, as "./" + "" + "/" does in
    // the playlist entry that points at the file.
    Place result;
    for (const auto& [name, what] : {std::pair{&artist, "artist"}, std::pair{&album, "album"}}) {
        if (name->empty()) continue;
        std::string reason = checkName(*name, what);
        if (!reason.empty()) return reason;
        result.folders.push_back(*name);
    }
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type slash = fileName.find('/', start);
        const std::string part = fileName.substr(start, slash - start);
        std::string reason = checkName(part, "file name");
        if (!reason.empty()) return reason;
        if (slash == std::string::npos) {
            result.name = part;
            break;
        }
        result.folders.push_back(part);
        start = slash + 1;
    }
    if (!result.folders.empty() && result.folders.front() == kPartsFolder) {
        return std::string(kPartsFolder) + " is reserved";
    }
    place = std::move(result);
    return "";
}

std::string DeviceStore::playlistPath(const std::string& fileName, Place& place) const {
    std::string reason = checkName(fileName, "playlist name");
    if (!reason.empty()) return reason;
    place = Place{{kPlaylistFolder}, fileName};
    return "";
}

std::vector<UniqueFd> DeviceStore::openChain(const Place& place, bool create,
                                             std::string& reason) const {
    std::vector<UniqueFd> chain;
    chain.emplace_back(::fcntl(rootFd.get(), F_DUPFD_CLOEXEC, 0));
    if (!chain.back().valid()) {
        reason = std::generic_category().message(errno);
        return {};
    }
    for (const std::string& name : place.folders) {
        const int at = chain.back().get();
        UniqueFd next(openChild(at, name, create));
        if (!next.valid()) {
            reason = folderFailure(at, name, errno);
            return {};
        }
        chain.push_back(std::move(next));
    }
    return chain;
}

UniqueFd DeviceStore::openFolder(const Place& place, bool create, std::string& reason) const {
    std::vector<UniqueFd> chain = openChain(place, create, reason);
    return chain.empty() ? UniqueFd() : std::move(chain.back());
}

UniqueFd DeviceStore::openPartsFolder(std::string& reason) const {
    UniqueFd parts(openChild(rootFd.get(), kPartsFolder, true));
    if (!parts.valid()) reason = folderFailure(rootFd.get(), kPartsFolder, errno);
    return parts;
}

void DeviceStore::tidyPartsFolder() const {
    ::unlinkat(rootFd.get(), kPartsFolder, AT_REMOVEDIR);
}

uint64_t DeviceStore::freeBytes() const {
    struct statvfs info {};
    if (::fstatvfs(rootFd.get(), &info) != 0) return 0;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string DeviceStore::check(const Place& place, uint64_t size, bool refresh) const {
    std::string reason;
    const UniqueFd folder = openFolder(place, false, reason);
    struct stat info {};
    if (!folder.valid() ||
        ::fstatat(folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode)) {
        return "doesnotexist";
    }
    if (static_cast<uint64_t>(info.st_size) != size) return "sizemismatch";
    if (refresh) ::utimensat(folder.get(), place.name.c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
    return "exists";
}

void DeviceStore::remove(const Place& place) const {
    std::string reason;
    const std::vector<UniqueFd> chain = openChain(place, false, reason);
    if (chain.empty() || isA(chain.back().get(), place.name, S_IFDIR)) return;
    ::unlinkat(chain.back().get(), place.name.c_str(), 0);
    // Tidy the folders the file leaves empty (rmdir refuses the others), never the root itself.
    for (std::size_t i = place.folders.size(); i > 0; --i) {
        if (::unlinkat(chain[i - 1].get(), place.folders[i - 1].c_str(), AT_REMOVEDIR) != 0) break;
    }
}

void DeviceStore::removePlaylists() const {
    std::string reason;
    const UniqueFd folder = openFolder(Place{{kPlaylistFolder}, ""}, false, reason);
    if (!folder.valid()) return;
    for (const std::string& name : namesIn(folder.get())) {
        if (isA(folder.get(), name, S_IFREG)) ::unlinkat(folder.get(), name.c_str(), 0);
    }
}
