// The session transport over ENet: the host is the hub every other player
// connects to and forwards what one player sends to the others; sessions are
// found by a UDP query to the broadcast address and to the hosts the player
// named, answered on the session's own port.
#pragma once

#include <memory>

#include "net/net_settings.h"
#include "net/transport.h"

namespace zq {

inline constexpr const char* kUdpProvider = "UDP/IP on this network";
inline constexpr const char* kLoopbackProvider = "Loopback (this computer)";

// With `gameClock` ENet's timers run on the milliseconds FrameTime gives
// (games stepped in lockstep by a test); otherwise on the wall clock.
std::unique_ptr<NetTransport> MakeEnetTransport(const NetworkSettings& settings, bool gameClock = false);

}  // namespace zq
