// The Strawberry and Clementine database reader on a file of the input's bytes, then the
// provider on what it read.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>

#include "library/ClementineLibrary.h"
#include "library/MusicProvider.h"

namespace {

// SQLite reads a file, so each input is written over one file of this process's own, removed
// when the process ends.
struct InputFile {
    const QString path = QDir::tempPath() + QStringLiteral("/fuzz-clementine-%1.db").arg(getpid());
    ~InputFile() { QFile::remove(path); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InputFile input;
    const QString& path = input.path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    QString error;
    const std::unique_ptr<ClementineLibrary> library = ClementineLibrary::load(path, error);
    if (library) {
        const QStringList names = MusicProvider::getPlaylistNames(library.get());
        MusicProvider::getMusicMediaFiles(library.get(), names);
    }
    return 0;
}
