// A small HTTP/1.0 server on a loopback port for the update tests: fixed answers per path,
// optionally after a delay or by closing without an answer; keeps every request target.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class HttpFixture {
public:
    struct Answer {
        int status = 200;
        std::string body;
        int delayMs = 0;      // wait before answering
        bool close = false;   // close the connection without an answer
    };

    HttpFixture();
    ~HttpFixture();

    // Paths without an answer get 404.
    void answer(const std::string& path, Answer response);
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    // Every request target (path and query) received so far.
    std::vector<std::string> requests();

private:
    void serve(int fd);

    int listenFd = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::map<std::string, Answer> answers;
    std::vector<std::string> seen;
    std::thread thread;
};

}  // namespace testsupport
