// The iTunes-style XML library reader, then the provider on what it read.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "library/MusicProvider.h"
#include "library/XmlLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::unique_ptr<XmlLibrary> library =
        XmlLibrary::parse(xml, QStringLiteral("/nonexistent/Library.xml"), QString(), error);
    if (library) {
        const QStringList names = MusicProvider::getPlaylistNames(library.get());
        MusicProvider::getMusicMediaFiles(library.get(), names);
    }
    return 0;
}
