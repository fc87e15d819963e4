#include "media/CMediaException.h"

#include <utility>

namespace media {

CMediaException::CMediaException(std::string message) : message(std::move(message)) {}
CMediaException::~CMediaException() = default;
const char* CMediaException::what() const noexcept {
    return "error";
}

#define QUILLORY_MEDIA_EXCEPTION(Class, kind)                                  \
    Class::Class(std::string message) : CMediaException(std::move(message)) {} \
    Class::~Class() = default;                                                 \
    const char* Class::what() const noexcept {                                 \
        return kind;                                                           \
    }

QUILLORY_MEDIA_EXCEPTION(CDBException, "error_db")
QUILLORY_MEDIA_EXCEPTION(CMediaConnectException, "error_connect")
QUILLORY_MEDIA_EXCEPTION(CMediaDisconnectException, "error_disconnect")
QUILLORY_MEDIA_EXCEPTION(CMediaRefusedException, "error_refused")
QUILLORY_MEDIA_EXCEPTION(CMediaCommunicationException, "error_communication")
QUILLORY_MEDIA_EXCEPTION(CCancelException, "error_cancel")

#undef QUILLORY_MEDIA_EXCEPTION

CMediaDeclinedException::CMediaDeclinedException(std::string message)
    : CMediaRefusedException(std::move(message)) {}
CMediaDeclinedException::~CMediaDeclinedException() = default;

}  // namespace media
