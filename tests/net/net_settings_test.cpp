// The "[Network]" settings and the host[:port] texts players type.
#include "net/net_settings.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(NetSettings, ReadsTheSectionAndKeepsDefaultsForBadValues) {
    SettingsFile file;
    EXPECT_EQ(ReadNetworkSettings(file).port, kDefaultGamePort);
    EXPECT_EQ(ReadNetworkSettings(file).broadcastAddress, "255.255.255.255");
    file.SetString("Network", "BroadcastAddress", "127.255.255.255");
    file.SetString("Network", "BindAddress", "127.0.0.1");
    file.SetString("Network", "Port", "70000");
    file.SetString("Network", "Hosts", " box:28500 , ,other ");
    NetworkSettings s = ReadNetworkSettings(file);
    EXPECT_EQ(s.broadcastAddress, "127.255.255.255");
    EXPECT_EQ(s.bindAddress, "127.0.0.1");
    EXPECT_EQ(s.port, kDefaultGamePort);  // 70000 is no port
    EXPECT_EQ(s.hosts, (std::vector<std::string>{"box:28500", "other"}));
    file.SetString("Network", "Port", "39001");
    EXPECT_EQ(ReadNetworkSettings(file).port, 39001);
}

TEST(NetSettings, SplitsHostAndPort) {
    std::string host;
    int port = 0;
    EXPECT_TRUE(SplitHostPort("127.0.0.1:39001", 28416, host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 39001);
    EXPECT_TRUE(SplitHostPort("gamebox", 28416, host, port));
    EXPECT_EQ(host, "gamebox");
    EXPECT_EQ(port, 28416);
    EXPECT_FALSE(SplitHostPort("gamebox:0", 28416, host, port));
    EXPECT_FALSE(SplitHostPort("gamebox:65536", 28416, host, port));
    EXPECT_FALSE(SplitHostPort("gamebox:x", 28416, host, port));
    EXPECT_FALSE(SplitHostPort(":39001", 28416, host, port));
    // IPv6: bracketed with or without a port, or bare (every colon is the address's).
    const struct {
        const char* text;
        const char* host;
        int port;
    } ipv6[] = {{"[::1]:39001", "::1", 39001}, {"[2001:db8::5]", "2001:db8::5", 28416}, {"2001:db8::5", "2001:db8::5", 28416}};
    for (const auto& c : ipv6) {
        EXPECT_TRUE(SplitHostPort(c.text, 28416, host, port)) << c.text;
        EXPECT_EQ(host, c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
    for (const char* bad : {"[::1", "[::1]39001", "[]:39001", "[::1]:0"}) EXPECT_FALSE(SplitHostPort(bad, 28416, host, port)) << bad;
}

}  // namespace
}  // namespace zq
