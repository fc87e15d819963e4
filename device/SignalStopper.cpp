#include "SignalStopper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void SignalStopper::block() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalStopper::SignalStopper(std::function<void()> stop) {
    const sigset_t set = stopSignals();
    signals.reset(::signalfd(-1, &set, SFD_CLOEXEC));
    int pipeFds[2];
    if (!signals.valid() || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("signal handling: ") + std::generic_category().message(errno));
    }
    wakeRead.reset(pipeFds[0]);
    wakeWrite.reset(pipeFds[1]);
    // A signal descriptor and a wake pipe rather than sigwait(): the destructor can end the
    // wait without sending this process a signal.
    thread = std::thread([this, stop = std::move(stop)] {
        pollfd watched[2] = {{signals.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
        while (::poll(watched, 2, -1) < 0 && errno == EINTR) {
        }
        if ((watched[0].revents & POLLIN) != 0) stop();
    });
}

SignalStopper::~SignalStopper() {
    const char wake = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite.get(), &wake, 1);
    thread.join();
}
