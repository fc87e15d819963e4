#include "MusicLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include "PlaylistFolderLibrary.h"
#include "XmlLibrary.h"

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

std::unique_ptr<MusicLibrary> MusicLibrary::open(const QString& path, QString& error,
                                                 const QString& musicFolder) {
    const QFileInfo info(path);
    if (info.isDir()) return PlaylistFolderLibrary::load(path, error);
    if (!info.isFile()) {
        error = path + QStringLiteral(": no such library file or playlist folder");
        return nullptr;
    }
    return XmlLibrary::load(path, musicFolder, error);
}

std::unique_ptr<MusicLibrary> MusicLibrary::open(const QString& path) {
    QString error;
    std::unique_ptr<MusicLibrary> library = open(path, error);
    if (!library) qCWarning(lcLibrary).noquote() << "Cannot open the music library:" << error;
    return library;
}
