#include "net/net_settings.h"

#include "core/text.h"

namespace zq {

NetworkSettings ReadNetworkSettings(const SettingsFile& file) {
    NetworkSettings s;
    s.broadcastAddress = file.GetString("Network", "BroadcastAddress", s.broadcastAddress);
    s.bindAddress = file.GetString("Network", "BindAddress", s.bindAddress);
    s.bindAddress6 = file.GetString("Network", "BindAddress6", s.bindAddress6);
    s.portMapping = file.GetInt("Network", "PortMapping", 1) != 0;
    const int port = file.GetInt("Network", "Port", s.port);
    if (port >= 1 && port <= 65535) s.port = port;
    std::string hosts = file.GetString("Network", "Hosts", "");
    std::size_t start = 0;
    while (start <= hosts.size()) {
        std::size_t comma = hosts.find(',', start);
        if (comma == std::string::npos) comma = hosts.size();
        std::string host = hosts.substr(start, comma - start);
        while (!host.empty() && host.front() == ' ') host.erase(host.begin());
        while (!host.empty() && host.back() == ' ') host.pop_back();
        if (!host.empty()) s.hosts.push_back(host);
        start = comma + 1;
    }
    return s;
}

bool SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port) {
    port = defaultPort;
    std::size_t colon = std::string::npos;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return false;
            colon = close + 1;
        }
    } else if (text.find(':') != text.rfind(':')) {
        host = text;  // two colons or more: an IPv6 address without a port
    } else {
        colon = text.rfind(':');
        host = text.substr(0, colon);
    }
    if (colon != std::string::npos) {
        auto n = ParseNumber(text.substr(colon + 1));
        if (!n || *n < 1 || *n > 65535) return false;
        port = static_cast<int>(*n);
    }
    return !host.empty();
}

}  // namespace zq
