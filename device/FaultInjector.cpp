#include "FaultInjector.h"

#include <algorithm>
#include <iostream>
#include <utility>

FaultInjector::FaultInjector(FaultPlan plan) : armed(std::move(plan)) {}

void FaultInjector::arm(const FaultPlan& plan) {
    const std::lock_guard<std::mutex> lock(mutex);
    armed = plan;
    slowRate = 0;
}

std::optional<FaultPlan> FaultInjector::onCommand(const std::string& command) {
    kept = FaultPlan::Kind::None;
    FaultPlan fired;
    {
        // Copied under the lock: arm may re-arm from another thread at any time.
        const std::lock_guard<std::mutex> lock(mutex);
        if (armed.fires(command)) {
            fired = armed;
            if (fired.kind == FaultPlan::Kind::Slow) slowRate = fired.bytes;
        }
    }
    if (fired.kind == FaultPlan::Kind::None) return std::nullopt;
    std::cerr << "quillory-device: injecting fault on " << command << "\n";
    switch (fired.kind) {
        case FaultPlan::Kind::Refuse:
        case FaultPlan::Kind::Garbage:
        case FaultPlan::Kind::NoResponse:
        case FaultPlan::Kind::OtherResponse:
        case FaultPlan::Kind::Close:
        case FaultPlan::Kind::Stall:
            return fired;
        default:
            kept = fired.kind;
            keptBytes = fired.bytes;
            return std::nullopt;
    }
}

bool FaultInjector::closeAfterReply() const {
    return kept == FaultPlan::Kind::CloseAfterReply;
}

uint64_t FaultInjector::bytesToTake(uint64_t size) const {
    if (kept != FaultPlan::Kind::CloseAfterBytes) return size;
    return std::min<uint64_t>(size, static_cast<uint64_t>(keptBytes));
}

bool FaultInjector::closeBeforeSecondReply() const {
    return kept == FaultPlan::Kind::CloseBeforeSecondReply;
}

bool FaultInjector::closeAfterStoring() const {
    return kept == FaultPlan::Kind::StoreThenClose;
}

void FaultInjector::pace(const ClientConnection& client,
                         ClientConnection::Clock::time_point started, uint64_t taken) const {
    if (kept != FaultPlan::Kind::Slow) return;
    // The rate is read again every few milliseconds: arm() may end the throttle half-way, even
    // in the middle of one long pause.
    for (;;) {
        const int64_t rate = slowRate.load();
        if (rate <= 0) return;
        const auto due = started + std::chrono::duration_cast<ClientConnection::Clock::duration>(
                                       std::chrono::duration<double>(static_cast<double>(taken) /
                                                                     static_cast<double>(rate)));
        const auto now = ClientConnection::Clock::now();
        if (now >= due) return;
        if (!client.pauseUntil(std::min(due, now + std::chrono::milliseconds(50)))) return;
    }
}
