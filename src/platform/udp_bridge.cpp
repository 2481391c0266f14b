#include "platform/udp_bridge.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace zq {

namespace {

using Clock = std::chrono::steady_clock;

// How often the relay thread wakes with nothing to do, to close idle
// senders and to see whether it should stop.
constexpr int kWakeMs = 50;
// Datagrams taken from one socket before the others get their turn.
constexpr int kBurst = 64;

bool SameEndpoint(const UdpEndpoint& a, const UdpEndpoint& b) {
    if (a.storage.ss_family != b.storage.ss_family) return false;
    if (a.storage.ss_family == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a.storage);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b.storage);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    const auto& x = reinterpret_cast<const sockaddr_in6&>(a.storage);
    const auto& y = reinterpret_cast<const sockaddr_in6&>(b.storage);
    return x.sin6_port == y.sin6_port && std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 &&
           x.sin6_scope_id == y.sin6_scope_id;
}

int OpenSocket(int family) {
    const int s = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s >= 0 && family == AF_INET6) {
        // Only IPv6: the IPv4 side of the same port is ENet's own.
        const int one = 1;
        setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    }
    return s;
}

struct Sender {
    UdpEndpoint from;         // where the datagrams came from, and where the answers go
    int socket = -1;          // connected to the target
    Clock::time_point heard;  // the last datagram either way
};

}  // namespace

std::string EndpointText(const UdpEndpoint& endpoint) {
    char text[INET6_ADDRSTRLEN] = {};
    if (endpoint.storage.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(endpoint.storage);
        inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(a.sin6_port));
    }
    const auto& a = reinterpret_cast<const sockaddr_in&>(endpoint.storage);
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

bool MakeEndpoint(const std::string& numericHost, int port, UdpEndpoint& out) {
    if (port < 0 || port > 65535) return false;
    out = UdpEndpoint{};
    auto& v6 = reinterpret_cast<sockaddr_in6&>(out.storage);
    if (inet_pton(AF_INET6, numericHost.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<std::uint16_t>(port));
        out.length = sizeof(sockaddr_in6);
        return true;
    }
    auto& v4 = reinterpret_cast<sockaddr_in&>(out.storage);
    if (inet_pton(AF_INET, numericHost.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<std::uint16_t>(port));
        out.length = sizeof(sockaddr_in);
        return true;
    }
    return false;
}

std::unique_ptr<UdpBridge> UdpBridge::Start(const UdpEndpoint& listen, const UdpEndpoint& target, std::string& error) {
    std::unique_ptr<UdpBridge> bridge(new UdpBridge);
    bridge->target_ = target;
    bridge->listen_ = OpenSocket(listen.storage.ss_family);
    if (bridge->listen_ < 0 ||
        bind(bridge->listen_, reinterpret_cast<const sockaddr*>(&listen.storage), listen.length) != 0) {
        error = "cannot listen on " + EndpointText(listen) + ": " + std::strerror(errno);
        return nullptr;
    }
    bridge->listening_.length = sizeof bridge->listening_.storage;
    getsockname(bridge->listen_, reinterpret_cast<sockaddr*>(&bridge->listening_.storage), &bridge->listening_.length);
    bridge->thread_ = std::thread([b = bridge.get()] { b->Run(); });
    return bridge;
}

UdpBridge::~UdpBridge() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) close(listen_);
}

void UdpBridge::Run() {
    std::vector<Sender> senders;
    std::vector<pollfd> polled;
    std::uint8_t data[kLargestBridgedDatagram];
    auto drop = [&](std::size_t i) {
        close(senders[i].socket);
        senders.erase(senders.begin() + static_cast<std::ptrdiff_t>(i));
    };
    // A datagram longer than any this game sends is dropped whole, never cut.
    auto receive = [&](int socket, UdpEndpoint* from) -> ssize_t {
        sockaddr_storage storage{};
        socklen_t length = sizeof storage;
        const ssize_t got = recvfrom(socket, data, sizeof data, MSG_TRUNC, reinterpret_cast<sockaddr*>(&storage), &length);
        if (got < 0) return -1;
        if (from) {
            from->storage = storage;
            from->length = length;
        }
        return static_cast<std::size_t>(got) > sizeof data ? 0 : got;
    };
    while (!stop_) {
        polled.assign(1, pollfd{listen_, POLLIN, 0});
        for (const Sender& s : senders) polled.push_back(pollfd{s.socket, POLLIN, 0});
        if (poll(polled.data(), polled.size(), kWakeMs) < 0 && errno != EINTR) break;
        const auto now = Clock::now();
        // Answers first: from the target back to each sender.
        for (std::size_t i = 1; i < polled.size(); ++i) {
            if (!(polled[i].revents & (POLLIN | POLLERR))) continue;
            Sender& s = senders[i - 1];
            for (int n = 0; n < kBurst; ++n) {
                const ssize_t got = receive(s.socket, nullptr);
                if (got < 0) break;
                if (got == 0) continue;
                s.heard = now;
                sendto(listen_, data, static_cast<std::size_t>(got), 0, reinterpret_cast<const sockaddr*>(&s.from.storage),
                       s.from.length);
            }
        }
        if (polled[0].revents & POLLIN) {
            for (int n = 0; n < kBurst; ++n) {
                UdpEndpoint from;
                const ssize_t got = receive(listen_, &from);
                if (got < 0) break;
                if (got == 0) continue;
                std::size_t i = 0;
                while (i < senders.size() && !SameEndpoint(senders[i].from, from)) ++i;
                if (i == senders.size()) {
                    if (senders.size() >= kMostBridgedSenders) {
                        std::size_t idlest = 0;
                        for (std::size_t k = 1; k < senders.size(); ++k)
                            if (senders[k].heard < senders[idlest].heard) idlest = k;
                        if (now - senders[idlest].heard < std::chrono::milliseconds(kBridgeReclaimMs)) continue;
                        drop(idlest);
                    }
                    const int s = OpenSocket(target_.storage.ss_family);
                    if (s < 0) continue;
                    if (connect(s, reinterpret_cast<const sockaddr*>(&target_.storage), target_.length) != 0) {
                        close(s);
                        continue;
                    }
                    senders.push_back(Sender{from, s, now});
                    i = senders.size() - 1;
                }
                senders[i].heard = now;
                send(senders[i].socket, data, static_cast<std::size_t>(got), 0);
            }
        }
        for (std::size_t i = senders.size(); i-- > 0;)
            if (now - senders[i].heard >= std::chrono::milliseconds(kBridgeIdleMs)) drop(i);
        senders_ = senders.size();
    }
    for (const Sender& s : senders) close(s.socket);
    senders_ = 0;
}

}  // namespace zq
