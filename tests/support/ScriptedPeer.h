// A TCP peer on a loopback port that accepts one connection, sends a fixed script of bytes
// (optionally closing afterwards) and keeps what the other side sent. For replies that no
// well-behaved device app would send.
#pragma once

#include <chrono>
#include <string>
#include <thread>

namespace testsupport {

class ScriptedPeer {
  public:
    // Sends `script` as soon as the first line arrives, then closes when closeAfter is set
    // or keeps the connection open until the client closes.
    // ipv6 listens on ::1 instead of 127.0.0.1. A gap sends the script one byte at a time
    // with that pause between bytes, stopping when the client has gone.
    ScriptedPeer(std::string script, bool closeAfter, bool ipv6 = false,
                 std::chrono::milliseconds gap = std::chrono::milliseconds(0));
    ~ScriptedPeer();

    std::string port() const { return std::to_string(portNumber); }
    // What the client sent, once it closed its end.
    std::string received();

  private:
    int listenFd = -1;
    int portNumber = 0;
    std::string got;
    std::thread thread;
};

}  // namespace testsupport
