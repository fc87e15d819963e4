// The engine's error family: the only exceptions that leave libQuillorylib. `message` is the
// text for the user; what() is a fixed kind code by which callers tell the kinds apart.
#pragma once

#include <exception>
#include <string>

#include "quillory_export.h"

namespace media {

class QUILLORY_EXPORT CMediaException : public std::exception {
  public:
    explicit CMediaException(std::string message);
    ~CMediaException() override;
    // "error"
    const char* what() const noexcept override;

    std::string message;
};

// The media cache failed: SQLite's message for the connection.
class QUILLORY_EXPORT CDBException : public CMediaException {
  public:
    explicit CDBException(std::string message);
    ~CDBException() override;
    const char* what() const noexcept override;  // "error_db"
};

// The device app could not be reached.
class QUILLORY_EXPORT CMediaConnectException : public CMediaException {
  public:
    explicit CMediaConnectException(std::string message);
    ~CMediaConnectException() override;
    const char* what() const noexcept override;  // "error_connect"
};

// An open connection failed, or a reply came without its status.
class QUILLORY_EXPORT CMediaDisconnectException : public CMediaException {
  public:
    explicit CMediaDisconnectException(std::string message);
    ~CMediaDisconnectException() override;
    const char* what() const noexcept override;  // "error_disconnect"
};

// The device app answered "fail"; the message is its reason.
class QUILLORY_EXPORT CMediaRefusedException : public CMediaException {
  public:
    explicit CMediaRefusedException(std::string message);
    ~CMediaRefusedException() override;
    const char* what() const noexcept override;  // "error_refused"
};

// The device app declined one file (a first reply neither "ok" nor "fail"): nothing of it was
// sent. The sync driver skips that file and goes on; other callers see a refusal.
class QUILLORY_EXPORT CMediaDeclinedException : public CMediaRefusedException {
  public:
    explicit CMediaDeclinedException(std::string message);
    ~CMediaDeclinedException() override;
};

// A reply that could not be understood.
class QUILLORY_EXPORT CMediaCommunicationException : public CMediaException {
  public:
    explicit CMediaCommunicationException(std::string message);
    ~CMediaCommunicationException() override;
    const char* what() const noexcept override;  // "error_communication"
};

// A file transfer saw the cancel flag set.
class QUILLORY_EXPORT CCancelException : public CMediaException {
  public:
    explicit CCancelException(std::string message);
    ~CCancelException() override;
    const char* what() const noexcept override;  // "error_cancel"
};

}  // namespace media
