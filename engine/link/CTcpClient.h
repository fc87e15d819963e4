// One blocking TCP connection to a device app: connect, send bytes and lines, read reply lines
// without ever consuming a byte past a line end (nothing is buffered between calls). Every failure
// is logged with the tag "CTCPClient" and raised as CSockException. One thread at a time.
#pragma once

#include <sys/socket.h>

#include <string>

#include "link/LinkLimits.h"

namespace mycsocks {

class CTcpClient {
  public:
    CTcpClient() = default;
    // Does not close the socket: the owner calls closeclient.
    virtual ~CTcpClient();
    CTcpClient(const CTcpClient&) = delete;
    CTcpClient& operator=(const CTcpClient&) = delete;

    // Time-outs for the next connectSock, in ms: connecting, then each send, and each reply
    // line as a whole (counted from the start of the line).
    void setTimeouts(int connectMs, int idleMs);
    // A flag (not owned; null for none) that, holding 1 or more when a signal interrupts a
    // blocked send or receive, makes it fail with "Interrupted system call" instead of resuming.
    void setCancelFlag(int* flag) { cancelFlag = flag; }

    // Resolves host and port (IPv4 or IPv6, numeric or names) and connects to the first address
    // that accepts. Ignores SIGPIPE for the process. Throws CSockException with the resolver's
    // or the system's text.
    void connectSock(const std::string& host, const std::string& port);
    // Sends every byte; throws CSockException on failure (a time-out reads "Connection timed out").
    void sendData(const void* bytes, unsigned int length);
    // Sends the line followed by LF.
    void sendStr(std::string line);
    // Reads up to and including the first LF or CR. Throws CSockException when the peer closes,
    // the read fails, or the whole line has not arrived within the idle time-out (a peer that
    // trickles bytes cannot hold it longer). A line of kMaxReplyLineBytes without an end is
    // returned as it is, without terminator; the caller treats it as malformed.
    std::string receiveLine();
    // Takes an already connected stream socket instead of connecting (tests and fuzzing feed
    // replies through a socket pair this way). The client then owns it.
    void adoptSocket(int connectedSocket);
    // While corked, small sends are gathered into full segments; uncorking pushes what is held.
    // Used around a file so that its 1 KiB chunks do not each wait for an acknowledgement.
    void setCork(bool on);
    // Closes the socket if one is held; safe to call again.
    void closeclient();

    void logMsg(const std::string& text, const std::string& detail);
    static void* get_in_addr(struct sockaddr* address);

  private:
    // Connects one resolved candidate within the connect time-out; errno tells why not.
    bool connectWithin(int socketFd, const struct sockaddr* address, socklen_t length);
    bool cancelled() const;

    int socketFd = -1;
    int connectTimeoutMs = kConnectTimeoutMs;
    int idleTimeoutMs = kIdleTimeoutMs;
    int* cancelFlag = nullptr;
};

}  // namespace mycsocks
