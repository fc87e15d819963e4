// The reference device server: speaks the device app's side of the sync protocol on TCP and
// stores what it receives in a DeviceStore. Serves one client at a time; every wait on a client
// is bounded (see ClientConnection::Limits), and a silent client gives way to a new one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ClientConnection.h"
#include "DeviceOptions.h"
#include "DeviceStore.h"
#include "FaultInjector.h"
#include "PartsFolder.h"

namespace Json {
class Value;
}

class DeviceServer {
  public:
    // Creates the root folder and clears the temporary files a killed server left in it.
    // Throws std::runtime_error (or std::filesystem::filesystem_error) when it cannot.
    explicit DeviceServer(DeviceOptions options);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Binds and listens; returns the port (the kernel's choice for port 0). Throws
    // std::runtime_error with the system's reason.
    int listen();
    // Accepts and serves clients, one at a time, until stop(). Call after listen(). A client
    // whose handling throws is dropped and logged; serving goes on.
    void run();
    // Serves one already connected client socket until it closes, taking ownership of it (for
    // tests and fuzzing; run() does this for every accepted client). Exceptions propagate, so
    // that a fuzzer sees them.
    void serveConnection(int fd);
    // Ends run() and the current client. Any thread.
    void stop();
    // Arms a fault from now on (for tests); a "slow" fault in progress stops throttling. Any
    // thread.
    void setFault(const FaultPlan& fault);
    // Waits up to bound until run() serves no client (a client still waiting to be accepted
    // does not count); true when that happened. Any thread.
    bool waitUntilIdle(std::chrono::milliseconds bound);

    const DeviceOptions& settings() const { return options; }
    const DeviceStore& store() const { return files; }

  private:
    enum class Next { Continue, Close };
    // A command's members by name (see CommandReader).
    using Command = std::map<std::string, std::string>;

    ClientConnection::Limits limits() const;
    void setServing(bool now);
    void serve(ClientConnection& client);
    // parts: the folder the connection receives its files in.
    Next handle(ClientConnection& client, PartsFolder& parts, const std::string& line);
    // Answers the command as the fault says, instead of carrying it out.
    Next answerWithFault(ClientConnection& client, const FaultPlan& fault, const std::string& name);
    Next version(ClientConnection& client);
    Next receiveFile(ClientConnection& client, PartsFolder& parts, const std::string& name,
                     const Command& command, bool playlist);
    Next checkExisting(ClientConnection& client, const Command& command);
    void remove(const Command& command);
    bool reply(ClientConnection& client, const Json::Value& members);
    bool refuse(ClientConnection& client, const std::string& reason);
    void logCommand(const std::string& line);

    DeviceOptions options;
    DeviceStore files;
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    std::atomic<bool> stopping{false};

    FaultInjector faults;

    std::mutex servingMutex;
    std::condition_variable servingChanged;
    bool serving = false;  // guarded by servingMutex
};
