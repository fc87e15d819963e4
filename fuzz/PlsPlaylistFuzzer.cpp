// The PLS playlist reader.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "library/PlsPlaylist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    PlsPlaylist::parse(text, QStringLiteral("/nonexistent/playlists"), error);
    return 0;
}
