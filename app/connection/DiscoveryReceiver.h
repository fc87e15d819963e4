// Listens for device app announcements on the multicast group 230.0.0.1, UDP port 4446, on a
// thread of its own, and hands each valid announcement to a handler on that thread. Each
// receiver owns its socket, so stopping one never touches a newer receiver's socket.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "connection/ServerPacket.h"

class DiscoveryReceiver {
public:
    using Handler = std::function<void(const ServerPacket&)>;

    // Starts listening at once. Set-up failures are reported with perror and end listening;
    // a datagram that is not a valid announcement is dropped. An empty datagram or a failed
    // read ends listening too.
    explicit DiscoveryReceiver(Handler handler);
    // Leaves the group, wakes the blocked read, and joins the thread.
    ~DiscoveryReceiver();
    DiscoveryReceiver(const DiscoveryReceiver&) = delete;
    DiscoveryReceiver& operator=(const DiscoveryReceiver&) = delete;

    // Whether the receiver is still listening.
    bool listening() const { return running; }

private:
    void loop();

    Handler handler;
    int sd = -1;
    std::atomic<bool> running{true};
    std::atomic<bool> stopping{false};
    std::thread thread;
};
