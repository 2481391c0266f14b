#include "platform/lan_discovery.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <type_traits>

#include "net/net_settings.h"

namespace zq {

namespace {

// A session that has not answered for this long drops off the list (its host
// left or started the game).
constexpr auto kForget = std::chrono::milliseconds(3500);
constexpr auto kQueryEvery = std::chrono::milliseconds(1000);
// Sessions and asked hosts a search keeps at most; a flood of answers from
// made-up addresses reuses the slots of sessions long silent.
constexpr std::size_t kMaxFound = 64;
constexpr std::size_t kMaxTargets = 16;

static_assert(std::is_same_v<ENetSocket, int> && ENET_SOCKET_NULL == -1, "the header keeps the socket as an int");

bool SameAddress(const LanAddress& a, const LanAddress& b) { return a.host == b.host && a.port == b.port; }
ENetAddress ToEnet(const LanAddress& a) { return ENetAddress{a.host, a.port}; }

std::string CleanName(const std::uint8_t* p, std::size_t field) {
    std::string out;
    for (std::size_t i = 0; i < field && p[i] != 0; ++i) out += static_cast<char>(p[i]);
    return out;
}

}  // namespace

std::string AddressText(const LanAddress& address) {
    char ip[64] = {};
    const ENetAddress enet = ToEnet(address);
    if (enet_address_get_host_ip(&enet, ip, sizeof ip) != 0) std::strcpy(ip, "?");
    return std::string(ip) + ":" + std::to_string(address.port);
}

std::vector<std::string> LocalIpv4Addresses() {
    std::vector<std::string> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        if ((ntohl(in->sin_addr.s_addr) >> 24) == 127) continue;
        char text[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
        if (std::find(out.begin(), out.end(), text) == out.end()) out.emplace_back(text);
    }
    freeifaddrs(list);
    return out;
}

std::vector<std::string> LocalIpv6Addresses() {
    std::vector<std::string> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET6) continue;
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&a) || IN6_IS_ADDR_LINKLOCAL(&a) || IN6_IS_ADDR_V4MAPPED(&a) || IN6_IS_ADDR_MULTICAST(&a))
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET6, &a, text, sizeof text)) continue;
        if (std::find(out.begin(), out.end(), text) == out.end()) out.emplace_back(text);
    }
    freeifaddrs(list);
    return out;
}

bool AnswerableSearchSource(std::uint32_t host, const std::vector<std::uint32_t>& broadcasts) {
    const std::uint32_t ip = ntohl(host);
    if (ip == 0 || (ip >> 28) >= 0xE) return false;  // 0.0.0.0; 224.0.0.0/4 multicast and 240.0.0.0/4 up to 255.255.255.255
    return std::find(broadcasts.begin(), broadcasts.end(), host) == broadcasts.end();
}

std::vector<std::uint32_t> LocalBroadcastAddresses() {
    std::vector<std::uint32_t> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_BROADCAST)) continue;
        if (!i->ifa_broadaddr || i->ifa_broadaddr->sa_family != AF_INET) continue;
        out.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
    }
    freeifaddrs(list);
    return out;
}

bool LanSearch::Open(const std::string& bindHost) {
    if (IsOpen()) return true;
    socket_ = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    if (socket_ == ENET_SOCKET_NULL) return false;
    ENetAddress local{};
    local.host = ENET_HOST_ANY;
    if (!bindHost.empty()) enet_address_set_host_ip(&local, bindHost.c_str());
    local.port = 0;
    if (enet_socket_bind(socket_, &local) < 0) {
        Stop();
        return false;
    }
    enet_socket_set_option(socket_, ENET_SOCKOPT_NONBLOCK, 1);
    enet_socket_set_option(socket_, ENET_SOCKOPT_BROADCAST, 1);
    queried_ = false;
    return true;
}

void LanSearch::Stop() {
    if (socket_ != kNoSocket) enet_socket_destroy(socket_);
    socket_ = kNoSocket;
    targets_.clear();
    found_.clear();
    queried_ = false;
}

bool LanSearch::Ask(const std::string& text, int defaultPort, bool numericOnly) {
    std::string name;
    int port = 0;
    if (!SplitHostPort(text, defaultPort, name, port)) return false;
    const bool ipv6Text = name.find(':') != std::string::npos;
    const std::string label = (ipv6Text ? "[" + name + "]" : name) + ":" + std::to_string(port);
    for (const Target& t : targets_)
        if (t.label == label) return true;
    if (targets_.size() >= kMaxTargets) targets_.erase(targets_.begin());
    Target target;
    target.label = label;
    target.port = port;
    target.address.port = static_cast<std::uint16_t>(port);
    // A numeric address is taken as it is; only real names go to the resolver,
    // on a thread of their own, since a name server may take seconds to answer.
    ENetAddress numeric{};
    in6_addr ipv6{};
    if (!ipv6Text && enet_address_set_host_ip(&numeric, name.c_str()) == 0) {
        target.address.host = numeric.host;
        target.resolved = true;
    } else if (inet_pton(AF_INET6, name.c_str(), &ipv6) == 1) {
        if (!BridgeTo(name, port, target.address)) return false;
        target.resolved = true;
    } else {
        if (numericOnly || ipv6Text) return false;
        auto promise = std::make_shared<std::promise<Resolved>>();
        target.lookup = promise->get_future();
        std::thread([promise, name] {
            // IPv4 where the name has it (ENet's own way), IPv6 otherwise.
            Resolved found;
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_DGRAM;
            addrinfo* list = nullptr;
            if (getaddrinfo(name.c_str(), nullptr, &hints, &list) == 0) {
                for (addrinfo* a = list; a; a = a->ai_next) {
                    if (a->ai_family == AF_INET && found.ipv4 == 0) {
                        found.ipv4 = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
                    } else if (a->ai_family == AF_INET6 && found.ipv6.empty()) {
                        char text[INET6_ADDRSTRLEN] = {};
                        if (inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr, text, sizeof text))
                            found.ipv6 = text;
                    }
                }
                freeaddrinfo(list);
            }
            promise->set_value(found);
        }).detach();
    }
    targets_.push_back(std::move(target));
    queried_ = false;  // ask the new host at once
    return true;
}

void LanSearch::TakeLookups() {
    for (Target& t : targets_) {
        if (t.resolved || !t.lookup.valid()) continue;
        if (t.lookup.wait_for(std::chrono::seconds(0)) != std::future_status::ready) continue;
        const Resolved found = t.lookup.get();
        if (found.ipv4 != 0) {
            t.address.host = found.ipv4;
        } else if (found.ipv6.empty() || !BridgeTo(found.ipv6, t.port, t.address)) {
            continue;  // an unknown name stays unanswered
        }
        t.resolved = true;
        queried_ = false;
    }
}

void LanSearch::SendQueries() {
    const auto now = Clock::now();
    if (queried_ && now - lastQuery_ < kQueryEvery) return;
    queried_ = true;
    lastQuery_ = now;
    for (const Target& t : targets_) {
        if (!t.resolved) continue;
        char query[kSearchQuerySize] = {};
        std::memcpy(query, kSearchQuery, kSearchMagic);
        ENetBuffer buffer{query, sizeof query};
        const ENetAddress to = ToEnet(t.address);
        enet_socket_send(socket_, &to, &buffer, 1);
    }
}

std::string LanSearch::LabelOf(const LanAddress& from) const {
    for (const Target& t : targets_)
        if (t.resolved && SameAddress(t.address, from)) return t.label;
    return AddressText(from);
}

void LanSearch::Receive() {
    // Bounded, so a flood of datagrams cannot hold the frame.
    for (int n = 0; n < 256; ++n) {
        std::uint8_t data[128];
        ENetBuffer buffer{data, sizeof data};
        ENetAddress sender{};
        const int got = enet_socket_receive(socket_, &sender, &buffer, 1);
        if (got <= 0) return;
        const LanAddress from{sender.host, sender.port};
        if (static_cast<std::size_t>(got) != kSearchAnswerSize || std::memcmp(data, kSearchAnswer, kSearchMagic) != 0)
            continue;
        const auto now = Clock::now();
        // The same session heard by broadcast and by name is one session.
        auto it = std::find_if(found_.begin(), found_.end(), [&](const Found& f) { return SameAddress(f.address, from); });
        if (it == found_.end() && found_.size() < kMaxFound) {
            found_.emplace_back();
            it = found_.end() - 1;
        } else if (it == found_.end()) {
            it = std::min_element(found_.begin(), found_.end(),
                                  [](const Found& a, const Found& b) { return a.heard < b.heard; });
            if (now - it->heard < kForget) continue;  // every slot holds a live session
        }
        it->address = from;
        it->heard = now;
        it->entry.id = static_cast<std::int32_t>(it - found_.begin()) + 1;
        it->entry.name = CleanName(data + kSearchMagic + 3, 32);
        it->entry.players = data[kSearchMagic];
        it->entry.inPlay = data[kSearchMagic + 2] != 0;
        it->entry.address = LabelOf(from);
    }
}

void LanSearch::Poll(std::int32_t waitMs, std::vector<SessionEntry>& sessions) {
    sessions.clear();
    if (!IsOpen()) return;
    TakeLookups();
    SendQueries();
    Receive();
    const auto end = Clock::now() + std::chrono::milliseconds(std::max(0, waitMs));
    while (waitMs > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE;
        if (enet_socket_wait(socket_, &condition, static_cast<enet_uint32>(left)) < 0) break;
        if (condition & ENET_SOCKET_WAIT_RECEIVE) Receive();
    }
    const auto now = Clock::now();
    for (const Found& f : found_)
        if (now - f.heard < kForget) sessions.push_back(f.entry);
}

bool LanSearch::BridgeTo(const std::string& ipv6, int port, LanAddress& out) {
    const std::string key = "[" + ipv6 + "]:" + std::to_string(port);
    auto it = bridges_.find(key);
    if (it == bridges_.end()) {
        UdpEndpoint listen, target;
        if (!MakeEndpoint("127.0.0.1", 0, listen) || !MakeEndpoint(ipv6, port, target)) return false;
        std::string error;
        std::unique_ptr<UdpBridge> bridge = UdpBridge::Start(listen, target, error);
        if (!bridge) return false;
        if (bridges_.size() >= kMostBridges) bridges_.erase(bridges_.begin());
        it = bridges_.emplace(key, std::move(bridge)).first;
    }
    const auto& local = reinterpret_cast<const sockaddr_in&>(it->second->Listening().storage);
    out.host = local.sin_addr.s_addr;
    out.port = ntohs(local.sin_port);
    return true;
}

const LanAddress* LanSearch::AddressOf(std::int32_t sessionId) const {
    if (sessionId < 1 || sessionId > static_cast<std::int32_t>(found_.size())) return nullptr;
    return &found_[static_cast<std::size_t>(sessionId - 1)].address;
}

}  // namespace zq
