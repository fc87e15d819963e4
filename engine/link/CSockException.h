// A socket or resolver failure inside the device link; never leaves the engine (WifiTransfer
// turns it into the media::CMediaException family).
#pragma once

#include <exception>
#include <string>

namespace mycsocks {

class CSockException : public std::exception {
  public:
    explicit CSockException(std::string message);
    ~CSockException() override;
    // The system's or the resolver's error text.
    const char* what() const noexcept override;

  private:
    std::string message;
};

}  // namespace mycsocks
