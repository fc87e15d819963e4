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
// Bytes per send when the fast mode streams a file. One send per kilobyte cost four seconds of
// CPU per GiB, time the sender then lacks on a busy machine. The cancel flag is still read
// before every send: a cancel lets at most 64 KiB more go, about 2 ms at Wi-Fi rates, while
// the socket's send buffer holds megabytes that leave in any case; and a send blocked on a full
// buffer waits as long for room for 1 KiB as for 64 KiB.
constexpr unsigned long kFastFileChunkBytes = 64 * 1024;

}  // namespace mycsocks
