// A home network built in network namespaces: a "home" machine behind a
// "router" that runs Debian's miniupnpd and translates addresses (NAT), and
// an "outside" machine on the router's other side.  The host in home asks
// the router to forward its port; players outside join through it, over
// IPv4 and over IPv6.  Needs root and the ip, nft and miniupnpd programs;
// skipped, saying which is missing, otherwise.  Nothing leaves the
// namespaces: they have no link to this machine's own network, and every
// one of them, with its links, goes when the test ends, failed or not.
#include "platform/enet_transport.h"
#include "platform/port_mapping.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "test_util.h"

extern char** environ;

namespace zq {
namespace {

// The router's outside address must look public to miniupnpd, which refuses
// to forward to private and documentation ranges; no packet can leave the
// namespaces, so no real machine of that range is ever reached.
constexpr const char* kRouterOutside = "7.0.113.1";
constexpr const char* kOutsideMachine = "7.0.113.2";
constexpr const char* kRouterHome = "192.168.77.1";
constexpr const char* kHomeMachine = "192.168.77.2";
// IPv6 is routed, not translated, as a home router does.
constexpr const char* kHomeMachine6 = "2001:db8:77::2";
constexpr int kGamePort = 28416;  // a namespace of its own: the default port is free

// Runs a shell command; its exit code, and its output when asked.
int Shell(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    std::array<char, 512> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe)) text += chunk.data();
    const int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const char* name) { return Shell(std::string("command -v ") + name + " >/dev/null") == 0; }

// The calling thread works in another network namespace for as long as this
// lives: sockets made meanwhile (and threads started) belong to it for good.
class InNamespace {
public:
    explicit InNamespace(const std::string& name) {
        own_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int other = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        entered_ = own_ >= 0 && other >= 0 && setns(other, CLONE_NEWNET) == 0;
        if (other >= 0) close(other);
    }
    ~InNamespace() {
        if (entered_) setns(own_, CLONE_NEWNET);
        if (own_ >= 0) close(own_);
    }
    bool Entered() const { return entered_; }

private:
    int own_ = -1;
    bool entered_ = false;
};

// Polls until `done` or `seconds` pass.
bool Until(const std::function<bool()>& done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class HomeRouter : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "skipped: building network namespaces needs root";
        for (const char* tool : {"ip", "nft", "miniupnpd"})
            if (!HaveProgram(tool)) GTEST_SKIP() << "skipped: " << tool << " is not installed (scripts/install-deps.sh --test)";
        const std::string id = std::to_string(getpid());
        home_ = "zqhome" + id;
        router_ = "zqrouter" + id;
        outside_ = "zqout" + id;
        const std::string rh = "zqrh" + id, ro = "zqro" + id;
        made_ = true;
        // The router's own rules: translate what leaves for outside, and the
        // empty chains miniupnpd fills with its forwardings.
        const std::string rules = (dir_ / "router.nft").string();
        std::ofstream(rules) << "table inet zqupnp {\n"
                                "  chain forward { type filter hook forward priority 0; policy accept; jump miniupnpd; }\n"
                                "  chain miniupnpd { }\n"
                                "  chain prerouting { type nat hook prerouting priority -100; policy accept; jump prerouting_miniupnpd; }\n"
                                "  chain postrouting { type nat hook postrouting priority 100; policy accept;\n"
                                "    jump postrouting_miniupnpd; meta nfproto ipv4 oifname \"" << ro << "\" masquerade; }\n"
                                "  chain prerouting_miniupnpd { }\n"
                                "  chain postrouting_miniupnpd { }\n"
                                "}\n";
        const std::string r = "ip netns exec " + router_ + " ";
        const std::vector<std::string> steps = {
            "ip netns add " + home_, "ip netns add " + router_, "ip netns add " + outside_,
            "ip link add zqh" + id + " netns " + home_ + " type veth peer name " + rh + " netns " + router_,
            "ip link add zqo" + id + " netns " + outside_ + " type veth peer name " + ro + " netns " + router_,
            "ip -n " + home_ + " addr add " + kHomeMachine + "/24 dev zqh" + id,
            "ip -n " + home_ + " addr add " + kHomeMachine6 + "/64 dev zqh" + id + " nodad",
            "ip -n " + router_ + " addr add " + kRouterHome + "/24 dev " + rh,
            "ip -n " + router_ + " addr add 2001:db8:77::1/64 dev " + rh + " nodad",
            "ip -n " + router_ + " addr add " + kRouterOutside + "/24 dev " + ro,
            "ip -n " + router_ + " addr add 2001:db8:113::1/64 dev " + ro + " nodad",
            "ip -n " + outside_ + " addr add " + kOutsideMachine + "/24 dev zqo" + id,
            "ip -n " + outside_ + " addr add 2001:db8:113::2/64 dev zqo" + id + " nodad",
            "ip -n " + home_ + " link set lo up", "ip -n " + router_ + " link set lo up",
            "ip -n " + outside_ + " link set lo up",
            "ip -n " + home_ + " link set zqh" + id + " up", "ip -n " + router_ + " link set " + rh + " up",
            "ip -n " + router_ + " link set " + ro + " up", "ip -n " + outside_ + " link set zqo" + id + " up",
            "ip -n " + home_ + " route add default via " + kRouterHome,
            "ip -n " + home_ + " -6 route add default via 2001:db8:77::1",
            // Outside knows no way into home: only the router's forwarding lets it in.
            "ip -n " + outside_ + " -6 route add default via 2001:db8:113::1",
            r + "sysctl -qw net.ipv4.ip_forward=1", r + "sysctl -qw net.ipv6.conf.all.forwarding=1",
            r + "nft -f " + rules,
        };
        for (const std::string& step : steps) {
            std::string out;
            ASSERT_EQ(Shell(step, &out), 0) << step << ": " << out;
        }
        routerHome_ = rh;
        routerOutside_ = ro;
    }

    void TearDown() override {
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
            if (!Until([&] { return waitpid(daemon_, nullptr, WNOHANG) == daemon_; }, 3)) {
                kill(daemon_, SIGKILL);
                waitpid(daemon_, nullptr, 0);
            }
        }
        // Deleting a namespace takes its links with it.
        if (made_)
            for (const std::string& ns : {home_, router_, outside_}) Shell("ip netns del " + ns);
    }

    // Starts miniupnpd on the router: UPnP-IGD and NAT-PMP, or NAT-PMP
    // alone; either forwards only ports 1024 and up, to home machines.
    void StartRouter(bool upnp) {
        const std::string conf = (dir_ / "miniupnpd.conf").string();
        std::ofstream(conf) << "ext_ifname=" << routerOutside_ << "\nlistening_ip=" << routerHome_
                            << "\nhttp_port=0\nenable_upnp=" << (upnp ? "yes" : "no")
                            << "\nenable_natpmp=yes\nipv6_disable=yes\nsecure_mode=yes\nsystem_uptime=yes\n"
                               "uuid=3a0c6f58-1b2e-4d8b-9c41-5e7f2a6d0b19\n"
                               "upnp_table_name=zqupnp\nupnp_nat_table_name=zqupnp\nupnp_forward_chain=miniupnpd\n"
                               "upnp_nat_chain=prerouting_miniupnpd\nupnp_nat_postrouting_chain=postrouting_miniupnpd\n"
                               "allow 1024-65535 192.168.77.0/24 1024-65535\ndeny 0-65535 0.0.0.0/0 0-65535\n";
        log_ = dir_ / "miniupnpd.log";
        std::vector<std::string> args = {"ip", "netns", "exec", router_, "miniupnpd", "-d", "-f", conf,
                                         "-P", (dir_ / "miniupnpd.pid").string()};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        ASSERT_EQ(posix_spawnp(&daemon_, "ip", &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_TRUE(Until([&] { return test::ReadText(log_).find("NAT-PMP") != std::string::npos; }, 5))
            << test::ReadText(log_);
    }

    // The router's forwardings as nft lists them.
    std::string RouterRules() {
        std::string out;
        Shell("ip netns exec " + router_ + " nft list table inet zqupnp", &out);
        return out;
    }

    test::TempDir dir_;
    std::string home_, router_, outside_, routerHome_, routerOutside_;
    bool made_ = false;
    pid_t daemon_ = -1;
    std::filesystem::path log_;
};

std::vector<std::uint8_t> Block(std::uint8_t fill) { return std::vector<std::uint8_t>(260, fill); }

// A player outside joins `address`, with the host polled all the while.
std::uint32_t JoinFromOutside(NetTransport& host, NetTransport& player, const std::string& address, const char* nick,
                              std::int32_t& id) {
    std::vector<TransportEvent> hostEvents;
    std::vector<SessionEntry> sessions;
    if (player.OpenProvider(kUdpProvider) != kTransportOk || player.AskHost(address) != kTransportOk)
        return kTransportNoSocket;
    if (!Until([&] {
            host.Poll(hostEvents);
            return player.FindSessions(0, sessions) == kTransportOk && !sessions.empty();
        }, 5))
        return kTransportNoSession;
    std::vector<PlayerEntry> others;
    if (std::uint32_t code = player.BeginJoin(sessions[0].id, PlayerEntry{0, nick, nick})) return code;
    std::uint32_t code = kTransportPending;
    Until([&] {
        host.Poll(hostEvents);
        code = player.JoinProgress(id, others);
        return code != kTransportPending;
    }, 5);
    return code;
}

TEST_F(HomeRouter, TheHostsPortIsForwardedByUpnpAndPlayersOutsideJoinOverIpv4AndIpv6) {
    ASSERT_NO_FATAL_FAILURE(StartRouter(true));
    NetworkSettings settings;
    settings.port = kGamePort;
    settings.broadcast = false;
    settings.portMapping = true;
    std::unique_ptr<NetTransport> host;
    {
        InNamespace home(home_);
        ASSERT_TRUE(home.Entered());
        host = MakeEnetTransport(settings);
        ASSERT_EQ(host->OpenProvider(kUdpProvider), kTransportOk);
        std::int32_t id = 0;
        ASSERT_EQ(host->CreateSession("Zorvo Quib - Ann", 4, PlayerEntry{0, "Ann", "Ann"}, id), kTransportOk);
        // The lobby lists the home machine's addresses, IPv6 too, at once.
        const auto addresses = host->HostAddresses();
        for (const std::string& a : {std::string(kHomeMachine) + ":28416", "[" + std::string(kHomeMachine6) + "]:28416"})
            EXPECT_NE(std::find(addresses.begin(), addresses.end(), a), addresses.end()) << a;
    }
    // The router is asked while the lobby runs: at first it says so.
    ASSERT_FALSE(host->InternetStatus().empty());
    const std::string expected = "YOUR GAME ON THE INTERNET: " + std::string(kRouterOutside) + ":28416";
    ASSERT_TRUE(Until([&] { return host->InternetStatus().front() == expected; }, 10))
        << host->InternetStatus().front() << "\n" << test::ReadText(log_);
    EXPECT_NE(RouterRules().find("28416"), std::string::npos) << RouterRules();

    // Bob, outside, joins by the router's address; Cid by the home machine's
    // IPv6 address, which the router routes without translating.
    auto bob = MakeEnetTransport(NetworkSettings{});
    auto cid = MakeEnetTransport(NetworkSettings{});
    std::int32_t bobId = 0, cidId = 0;
    {
        InNamespace outside(outside_);
        ASSERT_TRUE(outside.Entered());
        ASSERT_EQ(JoinFromOutside(*host, *bob, std::string(kRouterOutside) + ":28416", "Bob", bobId), kTransportOk);
        ASSERT_EQ(JoinFromOutside(*host, *cid, "[" + std::string(kHomeMachine6) + "]:28416", "Cid", cidId), kTransportOk);
    }
    std::vector<TransportEvent> hostEvents, bobEvents, cidEvents;
    bob->Send(kAllPlayers, Block(5), true);
    host->Send(kAllPlayers, Block(6), true);
    ASSERT_TRUE(Until([&] {
        host->Poll(hostEvents);
        bob->Poll(bobEvents);
        cid->Poll(cidEvents);
        const auto has = [](const std::vector<TransportEvent>& events, std::uint8_t fill) {
            return std::any_of(events.begin(), events.end(),
                               [&](const TransportEvent& e) { return e.bytes == Block(fill); });
        };
        return has(hostEvents, 5) && has(bobEvents, 6) && has(cidEvents, 6);
    }, 5));

    // The game ends: the forwarding goes with it.  (Each player's goodbye
    // waits for the host's answer, so the host keeps polling meanwhile.)
    for (auto* leaving : {&bob, &cid}) {
        std::thread quit([&] { leaving->reset(); });
        for (int i = 0; i < 100 && !std::any_of(hostEvents.begin(), hostEvents.end(), [](const TransportEvent& e) {
                 return e.kind == TransportEvent::Kind::PlayerLeft;
             }); ++i) {
            host->Poll(hostEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        quit.join();
        hostEvents.clear();
    }
    host.reset();
    EXPECT_EQ(RouterRules().find("28416"), std::string::npos) << "the router still forwards the port:\n" << RouterRules();

    // The router forwards no port below 1024: the lobby says the router
    // refused, in the router's words, and what to do instead.
    InNamespace home(home_);
    ASSERT_TRUE(home.Entered());
    PortMapping refused(1000);
    ASSERT_TRUE(Until([&] { return refused.Current() != PortMapping::State::Asking; }, 10));
    EXPECT_EQ(refused.Current(), PortMapping::State::Failed);
    const auto lines = refused.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("NOT ON THE INTERNET: THE ROUTER REFUSED: ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "FORWARD UDP PORT 1000 TO THIS MACHINE BY HAND");
}

TEST_F(HomeRouter, ARouterWithoutUpnpMapsByNatPmpAndTakesItBack) {
    ASSERT_NO_FATAL_FAILURE(StartRouter(false));
    InNamespace home(home_);
    ASSERT_TRUE(home.Entered());
    {
        PortMapping mapping(kGamePort);
        ASSERT_TRUE(Until([&] { return mapping.Current() != PortMapping::State::Asking; }, 10));
        EXPECT_EQ(mapping.Method(), "NAT-PMP");
        EXPECT_EQ(mapping.Lines(), std::vector<std::string>{"YOUR GAME ON THE INTERNET: " + std::string(kRouterOutside) + ":28416"});
        EXPECT_NE(RouterRules().find("28416"), std::string::npos);
    }
    EXPECT_EQ(RouterRules().find("28416"), std::string::npos) << "NAT-PMP's forwarding outlived the game";
}

}  // namespace
}  // namespace zq
