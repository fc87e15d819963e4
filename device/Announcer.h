// Announces the device server on the multicast group 230.0.0.1:4446 as the device app does:
// one JSON object {"ip", "port", "product"} per interval, from a thread of its own.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class Announcer {
public:
    // Starts announcing at once. ttl 0 keeps datagrams on this host; interfaceAddress (IPv4,
    // may be empty) picks the outgoing interface. Throws std::runtime_error when the socket
    // cannot be made.
    Announcer(const std::string& ip, int port, const std::string& product, double intervalSeconds, int ttl,
              const std::string& interfaceAddress);
    // Stops and joins the thread.
    ~Announcer();
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    // The datagram sent each time.
    const std::string& message() const { return datagram; }

    // The local address from which the group is reached, as text; "127.0.0.1" if none.
    static std::string outgoingAddress(const std::string& interfaceAddress);

private:
    void loop(double intervalSeconds);

    int fd = -1;
    std::string datagram;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};
