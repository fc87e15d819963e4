#include "update/PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <cerrno>

Q_LOGGING_CATEGORY(lcPrivate, "quillory.folder")

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

}  // namespace

QString PrivateFolder::path() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty()) base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return base + QStringLiteral("/quillory");
}

QString PrivateFolder::ensure(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        qCWarning(lcPrivate).noquote()
            << "Error: Create folder failed" << folder << ":" << qt_error_string(errno);
        return {};
    }
    // Opened without following a link, then checked and narrowed through the descriptor, so
    // that what is checked is what is used.
    const Descriptor dir{
        ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    struct stat info {};
    if (dir.fd < 0 || ::fstat(dir.fd, &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid()) {
        qCWarning(lcPrivate).noquote()
            << "Not using" << folder << ": not a folder of this user's own (or a link)";
        return {};
    }
    if ((info.st_mode & 07777) != 0700 && ::fchmod(dir.fd, 0700) != 0) {
        qCWarning(lcPrivate).noquote()
            << "Cannot make" << folder << "private:" << qt_error_string(errno);
        return {};
    }
    return folder;
}

int PrivateFolder::openForWriting(const QString& folder, const QString& name) {
    if (!isPlainName(name)) return -1;
    const Descriptor dir{::open(QFile::encodeName(folder).constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (dir.fd < 0) return -1;
    const QByteArray file = QFile::encodeName(name);
    // O_NONBLOCK: a planted FIFO must not block the open; such a thing is replaced below.
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    int fd = ::openat(dir.fd, file.constData(), flags, 0600);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        fd = -1;
        errno = ELOOP;
    }
    if (fd < 0 && (errno == ELOOP || errno == ENXIO || errno == EISDIR)) {
        // A link or something else planted under the name: it goes, and a new file is made.
        if (::unlinkat(dir.fd, file.constData(), 0) != 0 && errno == EISDIR) {
            ::unlinkat(dir.fd, file.constData(), AT_REMOVEDIR);
        }
        fd = ::openat(dir.fd, file.constData(), flags | O_EXCL, 0600);
    }
    if (fd < 0) return -1;
    if (::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool PrivateFolder::writeFile(const QString& folder, const QString& name, const QByteArray& bytes) {
    const Descriptor file{openForWriting(folder, name)};
    if (file.fd < 0) return false;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t now = ::write(file.fd, bytes.constData() + written,
                                    static_cast<std::size_t>(bytes.size() - written));
        if (now < 0 && errno == EINTR) continue;
        if (now <= 0) return false;
        written += now;
    }
    return true;
}
