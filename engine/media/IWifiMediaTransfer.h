// A device connection over the network: IMediaTransfer plus its address, raw commands and the
// connected device's description. The slot order is fixed.
#pragma once

#include <map>
#include <string>

#include "media/IMediaTransfer.h"
#include "media/ServerConnectInfo.h"

namespace media {

class IWifiMediaTransfer : public IMediaTransfer {
public:
    // Address used by the next init().
    virtual void setHost(std::string host) = 0;
    virtual void setPort(std::string port) = 0;
    // One command and its parsed reply. Throws the CMediaException family.
    virtual std::map<std::string, std::string> sendCommand(
        std::map<std::string, std::string> command) = 0;
    // The description of the connected device: one object for the transfer's whole life,
    // refreshed in place by every init().
    virtual ServerConnectInfo& getServerVersionInfo() = 0;

protected:
    ~IWifiMediaTransfer() = default;
};

}  // namespace media
