// The engine's connection to a device app: the JSON line protocol over one TCP connection,
// the handshake, and the transfers the sync driver asks for. Raises only the
// media::CMediaException family. Used by one thread; the cancel flag is the one datum another
// thread writes.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "media/IPipelinedTransfer.h"
#include "media/IWifiMediaTransfer.h"
#include "media/ServerConnectInfo.h"
#include "quillory_export.h"

namespace mycsocks {
class CSockException;
class CTcpClient;
}  // namespace mycsocks

class QUILLORY_EXPORT WifiTransfer : public media::IWifiMediaTransfer,
                                     public media::IPipelinedTransfer {
  public:
    // cancelFlag is owned by the caller and must outlive the transfer; a value of 1 or more
    // makes the next file chunk raise media::CCancelException. It is read atomically.
    explicit WifiTransfer(int* cancelFlag);
    virtual ~WifiTransfer();
    WifiTransfer(const WifiTransfer&) = delete;
    WifiTransfer& operator=(const WifiTransfer&) = delete;

    // Connects to host:port and performs the "version" handshake. Raises CMediaConnectException
    // when the device cannot be reached, and what sendCommand raises.
    void init() override;
    void syncMedia(std::string location, std::string artist, std::string album,
                   std::string fileName) override;
    void syncArt(std::string location, std::string artist, std::string album,
                 std::string fileName) override;
    void remove(std::string artist, std::string album, std::string fileName) override;
    void removePlaylists() override;
    void syncPlaylist(std::string location, std::string fileName) override;
    void done() override;
    void free() override;
    std::string checkAndRefreshExisting(std::string location, std::string artist, std::string album,
                                        std::string fileName, bool refresh) override;
    void setHost(std::string host) override;
    void setPort(std::string port) override;
    // One command; on "ok" every reply member as text, on another response an empty map.
    // Raises CMediaDisconnectException, CMediaCommunicationException, CMediaRefusedException.
    std::map<std::string, std::string> sendCommand(
        std::map<std::string, std::string> command) override;
    ServerConnectInfo& getServerVersionInfo() override;

    // Sending ahead of the replies (see media::IPipelinedTransfer).
    void sendCheck(std::string location, std::string artist, std::string album,
                   std::string fileName, bool refresh) override;
    std::string readCheckReply() override;
    long sendOffer(std::string command, std::string location, std::string artistDir,
                   std::string albumDir, std::string fileName) override;
    bool readReply() override;
    void sendFileBytes(std::string location, long size) override;

    // Sends one serialised command line and reads its reply (see sendCommand).
    std::map<std::string, std::string> sendCommandStr(const std::string& line);
    // Reads one reply: true on "ok", false on another response; raises on "fail" or a bad reply.
    bool checkResponseOK();
    // Streams exactly size bytes of the local file in 1 KiB chunks, checking the cancel flag
    // before each. A file whose size is no longer `size` closes the connection and raises
    // CMediaException: the device drops what it got, and no desynchronised bytes follow.
    void transmitFile(std::string location, long size);

    // Uses an already connected stream socket as the connection, without a handshake (for
    // tests and fuzzing). The transfer then owns it.
    void attach(int connectedSocket);
    // Time-outs for the next init(), in ms: connecting, then each send and each reply line
    // (by default 10 s and 60 s).
    void setTimeouts(int connectMs, int idleMs);

  private:
    // transmitFile with chunks of chunkBytes.
    void streamFile(const std::string& location, long size, std::size_t chunkBytes);
    // Sends a command line, turning a socket failure into CMediaDisconnectException.
    void sendLine(const std::string& line);
    // Reads one reply as sendCommand answers it.
    std::map<std::string, std::string> readCommandReply();
    static std::string checkCommand(const std::string& location, const std::string& artist,
                                    const std::string& album, const std::string& fileName,
                                    bool refresh);
    // The file-sending exchange shared by syncMedia, syncArt and syncPlaylist; returns the
    // second reply's outcome. A track or art file the device declines (a first reply neither
    // "ok" nor "fail") raises CMediaDeclinedException; a declined playlist returns true.
    bool sendFile(std::map<std::string, std::string> command, const std::string& location);
    bool cancelled() const;
    // Closes the connection and raises CCancelException.
    [[noreturn]] void cancel();
    // Raises CCancelException when the cancel flag is set (a signal meant as a cancel broke
    // the call), otherwise CMediaDisconnectException with the socket's error text.
    [[noreturn]] void linkFailed(const mycsocks::CSockException& error, bool logged);

    std::unique_ptr<mycsocks::CTcpClient> client;  // never null
    std::string host;
    std::string port;
    ServerConnectInfo serverInfo;
    int* cancelFlag;
};
