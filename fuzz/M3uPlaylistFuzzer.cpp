// The M3U/M3U8 playlist reader.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "library/M3uPlaylist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    M3uPlaylist::parse(text, QStringLiteral("/nonexistent/playlists"));
    return 0;
}
