// The IPv6 bridge on its own: what it relays, and what it refuses to let
// grow, between sockets of this test on ::1 and 127.0.0.1.
#include "platform/udp_bridge.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace zq {
namespace {

// A UDP socket bound to a loopback address, closed with the test.
struct TestSocket {
    explicit TestSocket(const char* host) {
        UdpEndpoint at;
        if (!MakeEndpoint(host, 0, at)) return;
        fd = socket(at.storage.ss_family, SOCK_DGRAM, 0);
        if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&at.storage), at.length) != 0) {
            close(fd);
            fd = -1;
        }
        if (fd < 0) return;
        address.length = sizeof address.storage;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address.storage), &address.length);
    }
    ~TestSocket() {
        if (fd >= 0) close(fd);
    }
    void SendTo(const UdpEndpoint& to, const std::string& text) const {
        sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to.storage), to.length);
    }
    // The next datagram within `ms`, and where it came from; empty when none.
    std::string Receive(int ms, UdpEndpoint* from = nullptr) const {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return {};
        char data[4096];
        UdpEndpoint sender;
        sender.length = sizeof sender.storage;
        const ssize_t got = recvfrom(fd, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&sender.storage), &sender.length);
        if (from) *from = sender;
        return got > 0 ? std::string(data, static_cast<std::size_t>(got)) : std::string();
    }
    int fd = -1;
    UdpEndpoint address;
};

TEST(UdpBridge, RelaysEachSenderBothWaysAndBoundsWhatItTakes) {
    TestSocket target("127.0.0.1");  // stands for the host's ENet socket
    ASSERT_GE(target.fd, 0);
    UdpEndpoint listen;
    ASSERT_TRUE(MakeEndpoint("::1", 0, listen));
    std::string error;
    auto bridge = UdpBridge::Start(listen, target.address, error);
    if (!bridge) GTEST_SKIP() << "no IPv6 loopback on this machine: " << error;

    // Two IPv6 players: each reaches the target from a port of its own, and
    // each answer goes back to the player it was meant for.
    TestSocket ann("::1"), bob("::1");
    ann.SendTo(bridge->Listening(), "from ann");
    UdpEndpoint annSide, bobSide;
    EXPECT_EQ(target.Receive(2000, &annSide), "from ann");
    bob.SendTo(bridge->Listening(), "from bob");
    EXPECT_EQ(target.Receive(2000, &bobSide), "from bob");
    EXPECT_NE(EndpointText(annSide), EndpointText(bobSide));
    target.SendTo(bobSide, "to bob");
    target.SendTo(annSide, "to ann");
    EXPECT_EQ(bob.Receive(2000), "to bob");
    EXPECT_EQ(ann.Receive(2000), "to ann");
    EXPECT_EQ(bridge->Senders(), 2u);

    // A datagram larger than the game ever sends is dropped whole, and an
    // empty one is nothing: neither reaches the target nor stops the bridge.
    ann.SendTo(bridge->Listening(), std::string(kLargestBridgedDatagram + 1, 'x'));
    ann.SendTo(bridge->Listening(), "");
    ann.SendTo(bridge->Listening(), "still here");
    EXPECT_EQ(target.Receive(2000), "still here");

    // A crowd of senders holds no more than its share of sockets: the
    // newcomers beyond it are dropped while the others are still live...
    std::vector<std::unique_ptr<TestSocket>> crowd;
    for (std::size_t i = 0; i < kMostBridgedSenders + 8; ++i) {
        crowd.push_back(std::make_unique<TestSocket>("::1"));
        crowd.back()->SendTo(bridge->Listening(), "crowd");
    }
    std::size_t relayed = 0;
    while (target.Receive(300) == "crowd") ++relayed;
    EXPECT_EQ(relayed, kMostBridgedSenders - 2);
    EXPECT_EQ(bridge->Senders(), kMostBridgedSenders);
    // ...and the players who were there first still get through.
    ann.SendTo(bridge->Listening(), "ann again");
    EXPECT_EQ(target.Receive(2000), "ann again");
}

TEST(UdpBridge, EndpointsAreReadAndWrittenAsPlayersTypeThem) {
    UdpEndpoint e;
    ASSERT_TRUE(MakeEndpoint("2001:db8::5", 28416, e));
    EXPECT_EQ(EndpointText(e), "[2001:db8::5]:28416");
    ASSERT_TRUE(MakeEndpoint("10.0.0.5", 28416, e));
    EXPECT_EQ(EndpointText(e), "10.0.0.5:28416");
    EXPECT_FALSE(MakeEndpoint("gamebox", 28416, e));
    EXPECT_FALSE(MakeEndpoint("::1", 70000, e));
}

}  // namespace
}  // namespace zq
