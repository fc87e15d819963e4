// One row of the cache's devices table.
#pragma once

#include <string>

#include "quillory_export.h"

namespace media {

class QUILLORY_EXPORT MediaDevice {
public:
    MediaDevice(std::string deviceId, std::string name, std::string version,
                std::string syncLocation, std::string extra);

    std::string deviceId;
    std::string name;
    std::string version;
    std::string syncLocation;
    std::string extra;
};

}  // namespace media
