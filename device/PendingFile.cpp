#include "PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <utility>

namespace {

// A name no other part file is likely to hold; O_EXCL settles the rest.
std::string partName() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char text[32];
    std::snprintf(text, sizeof text, "part-%016llx", static_cast<unsigned long long>(random()));
    return text;
}

}  // namespace

PendingFile::PendingFile(const DeviceStore& owner, PartsFolder& folder, DeviceStore::Place place)
    : store(owner), target(std::move(place)) {
    parts = folder.open(error);
    if (!ok()) return;
    for (int attempt = 0; attempt < 16 && !file.valid(); ++attempt) {
        temporary = partName();
        // Private until committed; O_NOFOLLOW so that a link planted under the name is refused.
        file.reset(::openat(parts, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.valid() && errno != EEXIST) break;
    }
    if (!file.valid()) {
        error = std::generic_category().message(errno);
        temporary.clear();
    }
}

PendingFile::~PendingFile() {
    discard();
}

void PendingFile::write(const char* bytes, std::size_t length) {
    while (ok() && length > 0) {
        const ssize_t written = ::write(file.get(), bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = std::generic_category().message(errno);
            return;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

bool PendingFile::commit() {
    if (ok()) {
        // The file was made private; a received track is an ordinary file.
        ::fchmod(file.get(), 0644);
        if (::close(file.release()) != 0) error = std::generic_category().message(errno);
    }
    UniqueFd folder;
    if (ok()) folder = store.openFolder(target, true, error);
    // renameat replaces a link at the target itself, never what it points at.
    if (ok() &&
        ::renameat(parts, temporary.c_str(), folder.get(), target.name.c_str()) != 0) {
        error = errno == EISDIR ? "a folder of that name exists" : std::generic_category().message(errno);
    }
    if (ok()) temporary.clear();
    // Settled before the caller replies: a client that hears the answer finds no part file.
    discard();
    return ok();
}

void PendingFile::discard() {
    file.reset();
    if (!temporary.empty()) ::unlinkat(parts, temporary.c_str(), 0);
    temporary.clear();
}
