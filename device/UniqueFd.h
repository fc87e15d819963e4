// Owns one file descriptor and closes it when it goes: the device server's sockets, folders
// and files never leak on an early return.
#pragma once

#include <unistd.h>

#include <utility>

class UniqueFd {
  public:
    UniqueFd() = default;
    // Takes ownership of fd (-1 for none).
    explicit UniqueFd(int fd) : fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    // Gives up ownership: returns the descriptor without closing it.
    int release() { return std::exchange(fd, -1); }
    // Closes the descriptor held (if any) and takes fd instead.
    void reset(int other = -1) {
        if (fd >= 0) ::close(fd);
        fd = other;
    }

  private:
    int fd = -1;
};
