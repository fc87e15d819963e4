#include "PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

PendingFile::PendingFile(std::filesystem::path path, std::string failure)
    : target(std::move(path)), error(std::move(failure)) {
    if (!ok()) return;
    temporary = (target.parent_path() / ".quillory-part-XXXXXX").string();
    fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = std::strerror(errno);
        temporary.clear();
    }
}

PendingFile::~PendingFile() {
    if (fd >= 0) ::close(fd);
    if (!temporary.empty()) ::unlink(temporary.c_str());
}

void PendingFile::write(const char* bytes, std::size_t length) {
    while (ok() && length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

bool PendingFile::commit() {
    if (!ok()) return false;
    // mkstemp makes the file private; a received track is an ordinary file.
    fchmod(fd, 0644);
    if (::close(fd) != 0) error = std::strerror(errno);
    fd = -1;
    if (ok() && std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
    }
    if (!ok()) return false;
    temporary.clear();
    return true;
}
