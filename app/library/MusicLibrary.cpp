#include "library/MusicLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include "library/ClementineLibrary.h"
#include "library/PlaylistFolderLibrary.h"
#include "library/RhythmboxLibrary.h"
#include "library/XmlLibrary.h"

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

namespace {

// Whether the file starts with the header of an SQLite database.
bool isSqlite(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

}  // namespace

std::unique_ptr<MusicLibrary> MusicLibrary::open(const QString& path, QString& error,
                                                 const QString& musicFolder) {
    const QFileInfo info(path);
    if (const auto folder = RhythmboxLibrary::folderOf(path)) {
        return RhythmboxLibrary::load(*folder, error);
    }
    if (info.isDir()) return PlaylistFolderLibrary::load(path, error);
    if (!info.isFile()) {
        error = path + QStringLiteral(": no such library file or playlist folder");
        return nullptr;
    }
    if (isSqlite(path)) return ClementineLibrary::load(path, error);
    return XmlLibrary::load(path, musicFolder, error);
}

std::unique_ptr<MusicLibrary> MusicLibrary::open(const QString& path) {
    QString error;
    std::unique_ptr<MusicLibrary> library = open(path, error);
    if (!library) qCWarning(lcLibrary).noquote() << "Cannot open the music library:" << error;
    return library;
}
