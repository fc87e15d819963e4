// Applies the device server's armed FaultPlan command by command: tells whether the fault fires
// for a command and, for a fault that changes how the command ends rather than answering in its
// place, answers the server's questions at the points of the handling where it acts.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "ClientConnection.h"
#include "FaultPlan.h"

class FaultInjector {
  public:
    explicit FaultInjector(FaultPlan plan);
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    // Arms plan from now on; a "slow" fault in progress stops throttling. Any thread.
    void arm(const FaultPlan& plan);

    // The calls below are for the serving thread only.

    // Counts a well-formed command and logs a fault that fires for it. Returns the fault when
    // it answers in the command's place (refuse, garbage, no or other response, close, stall);
    // any other kind is kept for the questions below until the next command.
    std::optional<FaultPlan> onCommand(const std::string& command);

    // True when the connection closes right after the command's first reply.
    bool closeAfterReply() const;
    // How many of a file's size bytes are taken; fewer than size closes the connection then.
    uint64_t bytesToTake(uint64_t size) const;
    // True when the connection closes once the whole file is taken, before it is stored.
    bool closeBeforeSecondReply() const;
    // True when the connection closes once the file is stored, instead of the second reply.
    bool closeAfterStoring() const;
    // Holds a file's reader to a "slow" fault's rate: returns once taken bytes are due since
    // started, at once without such a fault, and early when the server stops or arm ends it.
    void pace(const ClientConnection& client, ClientConnection::Clock::time_point started,
              uint64_t taken) const;

  private:
    std::mutex mutex;
    FaultPlan armed;  // guarded by mutex; a fault that fires is copied out under it
    // The rate of a "slow" fault that fired, in bytes per second; 0 when none (arm clears it,
    // so a throttle in progress ends).
    std::atomic<int64_t> slowRate{0};
    // The fault kept for the command in hand, and its byte count.
    FaultPlan::Kind kept = FaultPlan::Kind::None;
    int64_t keptBytes = 0;
};
