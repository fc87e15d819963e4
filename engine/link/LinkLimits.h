// The device link's time-outs and bounds, in one place.
#pragma once

namespace mycsocks {

// How long a connection attempt to one address may take before it fails with ETIMEDOUT.
constexpr int kConnectTimeoutMs = 10'000;
// How long a send or a reply may stall on an open connection before it fails with ETIMEDOUT:
// a phone that leaves the network or sleeps mid-sync must not hang the sync.
constexpr int kIdleTimeoutMs = 60'000;
// The longest reply line read; a device that sends more without a line end is not a device app.
constexpr unsigned long kMaxReplyLineBytes = 1024UL * 1024;
// Bytes per send when streaming a file.
constexpr unsigned long kFileChunkBytes = 1024;

}  // namespace mycsocks
