// The Rhythmbox library reader, then the provider on what it read. The input is rhythmdb.xml,
// then, after the first NUL byte, playlists.xml; without a NUL there is no playlists file.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "library/MusicProvider.h"
#include "library/RhythmboxLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray database = split < 0 ? input : input.left(split);
    std::optional<QByteArray> playlists;
    if (split >= 0) playlists = input.mid(split + 1);
    QString error;
    const std::unique_ptr<RhythmboxLibrary> library = RhythmboxLibrary::parse(
        database, playlists, QStringLiteral("/nonexistent/rhythmbox"), error);
    if (library) {
        const QStringList names = MusicProvider::getPlaylistNames(library.get());
        MusicProvider::getMusicMediaFiles(library.get(), names);
    }
    return 0;
}
