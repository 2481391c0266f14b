// Where network games are hosted and searched for: the "[Network]" section of
// the settings file beside the nickname.
#pragma once

#include <string>
#include <vector>

#include "core/settings_file.h"

namespace zq {

inline constexpr int kDefaultGamePort = 28416;

struct NetworkSettings {
    std::string broadcastAddress = "255.255.255.255";  // where the search for sessions goes
    std::string bindAddress = "0.0.0.0";               // where a hosted session listens
    // Where a hosted session also listens for IPv6 players ("::" every
    // address, "" not at all).  A session bound to 127.0.0.1 listens on ::1.
    std::string bindAddress6 = "::";
    int port = kDefaultGamePort;                       // the session's port (UDP)
    std::vector<std::string> hosts;                    // also asked directly: "name" or "name:port"
    bool broadcast = true;                             // false: ask only `hosts`
    // Ask the home router (UPnP-IGD, then NAT-PMP) to forward the port while
    // a game is hosted.  The settings file turns it on unless it says
    // "PortMapping=0"; a record made in code leaves it off, so nothing a
    // test builds ever talks to a router.
    bool portMapping = false;
};

// "BroadcastAddress", "BindAddress", "BindAddress6", "Port" (1..65535),
// "Hosts" (comma list) and "PortMapping" (0 or 1, 1 when missing).
NetworkSettings ReadNetworkSettings(const SettingsFile& file);

// Splits "host[:port]", "[ipv6]:port" or a bare IPv6 address ("::1", taken
// whole); the port is `defaultPort` when none is given.  False when the port
// is not a number in 1..65535, the host is empty or a bracket is unclosed.
bool SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port);

}  // namespace zq
