// The device protocol taken apart so that commands can be sent ahead of their replies. The device
// app reads its commands from a stream and answers each in order, so a sync need not wait one
// round trip per command: it sends existence checks in a window and offers the next file before
// reading the previous file's last reply. A file's bytes are never sent before its offer was
// answered "ok", since a device that declines or refuses would read them as commands.
// Implemented by the same object as the IWifiMediaTransfer of the connection; one thread.
#pragma once

#include <string>

namespace media {

class IPipelinedTransfer {
public:
    // Sends "check_and_refresh_existing" for the file without reading the reply.
    virtual void sendCheck(std::string location, std::string artist, std::string album,
                           std::string fileName, bool refresh) = 0;
    // Reads the oldest outstanding reply as the answer to a check: its "status", or empty text
    // when the reply is neither "ok" nor "fail". Throws as checkAndRefreshExisting does.
    virtual std::string readCheckReply() = 0;
    // Sends the command offering a file ("syncmedia" or "syncart") without reading the reply;
    // returns the size it announced, the count sendFileBytes must send.
    virtual long sendOffer(std::string command, std::string location, std::string artistDir,
                           std::string albumDir, std::string fileName) = 0;
    // Reads the oldest outstanding reply of an offer or a file: true on "ok", false on any other
    // answer (for an offer: declined). Throws CMediaRefusedException on "fail" and the rest of
    // the family for a broken connection or reply.
    virtual bool readReply() = 0;
    // Streams exactly size bytes of the file (see WifiTransfer::transmitFile), in chunks of up
    // to 64 KiB with the cancel flag read before each.
    virtual void sendFileBytes(std::string location, long size) = 0;

protected:
    ~IPipelinedTransfer() = default;
};

}  // namespace media
