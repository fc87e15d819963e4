#include "support/HttpFixture.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testsupport {

HttpFixture::HttpFixture() {
    listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 8) != 0) {
        throw std::runtime_error("cannot listen");
    }
    socklen_t length = sizeof address;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    thread = std::thread([this] {
        while (!stopping) {
            pollfd waiting{listenFd, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) continue;
            const int fd = ::accept(listenFd, nullptr, nullptr);
            if (fd >= 0) serve(fd);
        }
    });
}

HttpFixture::~HttpFixture() {
    stopping = true;
    thread.join();
    ::close(listenFd);
}

void HttpFixture::answer(const std::string& path, Answer response) {
    const std::lock_guard<std::mutex> lock(mutex);
    answers[path] = std::move(response);
}

std::vector<std::string> HttpFixture::requests() {
    const std::lock_guard<std::mutex> lock(mutex);
    return seen;
}

void HttpFixture::serve(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string::size_type space = request.find(' ');
    const std::string target =
        space == std::string::npos ? "" : request.substr(space + 1, request.find(' ', space + 1) - space - 1);
    Answer response{404, "not found", 0, false};
    {
        const std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(target);
        const auto found = answers.find(target.substr(0, target.find('?')));
        if (found != answers.end()) response = found->second;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(response.delayMs);
    while (!stopping && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!response.close && !stopping) {
        const std::string reply = "HTTP/1.0 " + std::to_string(response.status) + " X\r\nContent-Length: " +
                                  std::to_string(response.body.size()) + "\r\nConnection: close\r\n\r\n" +
                                  response.body;
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
    ::close(fd);
}

}  // namespace testsupport
