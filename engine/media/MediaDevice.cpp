#include "media/MediaDevice.h"

#include <utility>

namespace media {

MediaDevice::MediaDevice(std::string deviceId, std::string name, std::string version,
                         std::string syncLocation, std::string extra)
    : deviceId(std::move(deviceId)),
      name(std::move(name)),
      version(std::move(version)),
      syncLocation(std::move(syncLocation)),
      extra(std::move(extra)) {}

}  // namespace media
