// The operations the sync driver needs of a connection to a device. The slot order is fixed.
#pragma once

#include <string>

namespace media {

class IMediaTransfer {
public:
    // Opens the connection and performs the handshake. Throws the CMediaException family.
    virtual void init() = 0;
    // Stores the local file on the device as artistDir/albumDir/fileName. Throws on failure
    // or cancel; CMediaDeclinedException when the device declines the file (nothing was sent
    // and the connection stays usable).
    virtual void syncMedia(std::string location, std::string artistDir, std::string albumDir,
                           std::string fileName) = 0;
    // Stores the image on the device under that name. Throws as syncMedia does.
    virtual void syncArt(std::string location, std::string artistDir, std::string albumDir,
                         std::string fileName) = 0;
    // Deletes that file on the device.
    virtual void remove(std::string artistDir, std::string albumDir, std::string fileName) = 0;
    // Deletes every playlist the device holds.
    virtual void removePlaylists() = 0;
    // Stores the local playlist file on the device under fileName.
    virtual void syncPlaylist(std::string location, std::string fileName) = 0;
    // Ends the conversation with a farewell command.
    virtual void done() = 0;
    // Closes the connection; safe after a failed command and when already closed.
    virtual void free() = 0;
    // The device's answer about that file: "doesnotexist" or "sizemismatch" mean it must be
    // sent again, anything else that it is present.
    virtual std::string checkAndRefreshExisting(std::string location, std::string artist,
                                                std::string album, std::string fileName,
                                                bool refresh) = 0;

protected:
    ~IMediaTransfer() = default;
};

}  // namespace media
