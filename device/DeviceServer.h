// The reference device server: speaks the device app's side of the sync protocol on TCP and
// stores what it receives in a DeviceStore. Serves one client at a time.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "DeviceOptions.h"
#include "DeviceStore.h"

class ClientConnection;
namespace Json {
class Value;
}

class DeviceServer {
public:
    // Creates the root folder. Throws std::runtime_error when it cannot.
    explicit DeviceServer(DeviceOptions options);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Binds and listens; returns the port (the kernel's choice for port 0). Throws
    // std::runtime_error with the system's reason.
    int listen();
    // Accepts and serves clients, one at a time, until stop(). Call after listen().
    void run();
    // Serves one already connected client socket until it closes, taking ownership of it (for
    // tests and fuzzing; run() does this for every accepted client).
    void serveConnection(int fd);
    // Ends run() and the current client. Any thread.
    void stop();
    // Arms a fault from now on (for tests). Any thread.
    void setFault(const FaultPlan& fault);

    const DeviceOptions& settings() const { return options; }
    const DeviceStore& store() const { return files; }

private:
    enum class Next { Continue, Close };

    void serve(ClientConnection& client);
    Next handle(ClientConnection& client, const std::string& line);
    Next version(ClientConnection& client);
    Next receiveFile(ClientConnection& client, const std::string& name, const Json::Value& command,
                     bool playlist);
    Next checkExisting(ClientConnection& client, const Json::Value& command);
    void remove(const Json::Value& command);
    bool reply(ClientConnection& client, const Json::Value& members);
    bool refuse(ClientConnection& client, const std::string& reason);
    void logCommand(const std::string& line);

    DeviceOptions options;
    DeviceStore files;
    FaultPlan::Kind pendingFault = FaultPlan::Kind::None;
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::mutex clientMutex;
    std::mutex faultMutex;
    ClientConnection* current = nullptr;
};
