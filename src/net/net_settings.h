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
    int port = kDefaultGamePort;                       // the session's port (UDP)
    std::vector<std::string> hosts;                    // also asked directly: "name" or "name:port"
    bool broadcast = true;                             // false: ask only `hosts`
};

// "BroadcastAddress", "BindAddress", "Port" (1..65535) and "Hosts" (comma list).
NetworkSettings ReadNetworkSettings(const SettingsFile& file);

// Splits "host[:port]"; the port is `defaultPort` when none is given.  False
// when the port is not a number in 1..65535 or the host is empty.
bool SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port);

}  // namespace zq
