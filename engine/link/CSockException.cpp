#include "link/CSockException.h"

#include <utility>

namespace mycsocks {

CSockException::CSockException(std::string message) : message(std::move(message)) {}
CSockException::~CSockException() = default;

const char* CSockException::what() const noexcept {
    return message.c_str();
}

}  // namespace mycsocks
