// The engine's two reply readers, fed whatever a device might send through a socket pair.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "link/WifiTransfer.h"
#include "media/CMediaException.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    // Inputs are bounded by -max_len, well below a socket pair's buffer.
    if (size > 0 && ::write(pair[1], data, size) < 0) return 0;
    ::shutdown(pair[1], SHUT_WR);
    int cancel = 0;
    WifiTransfer transfer(&cancel);
    transfer.attach(pair[0]);
    try {
        transfer.sendCommandStr("{    \"command\" : \"version\" } ");
    } catch (const media::CMediaException&) {
    }
    for (int reply = 0; reply < 64; ++reply) {
        try {
            transfer.checkResponseOK();
        } catch (const media::CMediaException& error) {
            if (std::string(error.what()) == "error_disconnect" &&
                error.message != "response value is null") {
                break;  // nothing more to read
            }
        }
    }
    transfer.free();
    ::close(pair[1]);
    return 0;
}
