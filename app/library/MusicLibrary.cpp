#include "MusicLibrary.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include "M3uLibrary.h"
#include "XmlLibrary.h"

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

std::unique_ptr<MusicLibrary> MusicLibrary::open(const QString& path) {
    QString error;
    std::unique_ptr<MusicLibrary> library;
    if (QFileInfo(path).isDir()) {
        library = M3uLibrary::load(path, error);
    } else if (QFileInfo(path).isFile()) {
        library = XmlLibrary::load(path, error);
    } else {
        error = path + QStringLiteral(": no such library file or playlist folder");
    }
    if (!library) qCWarning(lcLibrary).noquote() << "Cannot open the music library:" << error;
    return library;
}
