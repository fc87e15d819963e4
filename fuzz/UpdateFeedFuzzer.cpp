// The update feed reader.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "update/UpdateChecker.h"
#include "update/VersionComparator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray feed(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto found = UpdateChecker::parseFeed(feed)) {
        VersionComparator::isVersion(found->first, QStringLiteral("1.0.0"));
    }
    return 0;
}
