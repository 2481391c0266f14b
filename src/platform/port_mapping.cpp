#include "platform/port_mapping.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <natpmp.h>
#include <sys/select.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>

namespace zq {

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kMappingName = "Zorvo Quib";
// UPnP error 725: the router takes only leases without end.
constexpr int kOnlyPermanentLeases = 725;
constexpr const char* kNoUpnpRouter = "NO UPNP ROUTER ANSWERED";
constexpr const char* kNoNatPmpRouter = "NO NAT-PMP ROUTER ANSWERED";
constexpr const char* kNoDefaultRouter = "NO DEFAULT ROUTER";

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Whether an IPv4 address (dotted) can be reached from the internet at all:
// a router that reports a private or shared address sits behind another one.
bool PublicIpv4(const std::string& text) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    const std::uint32_t ip = ntohl(a.s_addr);
    const auto in = [&](std::uint32_t net, int bits) { return (ip >> (32 - bits)) == (net >> (32 - bits)); };
    return !(ip == 0 || in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16) || in(0x64400000, 10) ||
             in(0x7F000000, 8) || in(0xA9FE0000, 16) || (ip >> 28) >= 0xE);
}

// One UPnP router found and the port mapped on it, undone by Remove.
struct UpnpMapping {
    UPNPUrls urls{};
    IGDdatas data{};
    bool haveUrls = false;
    bool mapped = false;
    std::string external;  // the router's own address
    std::string why;       // why it failed

    ~UpnpMapping() {
        if (haveUrls) FreeUPNPUrls(&urls);
    }

    bool Map(int port) {
        if (haveUrls) FreeUPNPUrls(&urls);
        haveUrls = false;
        int error = 0;
        // One search for version 1 gateways, which version 2 ones answer
        // too: the library's own list waits its full time for each of six
        // kinds in turn, twelve seconds when no router answers.
        const char* const kinds[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1", nullptr};
        UPNPDev* devices = upnpDiscoverDevices(kinds, kUpnpSearchMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error, 0);
        if (!devices) {
            why = kNoUpnpRouter;
            return false;
        }
        char lan[64] = {};
        const int found = UPNP_GetValidIGD(devices, &urls, &data, lan, sizeof lan);
        freeUPNPDevlist(devices);
        haveUrls = found != 0;
        if (found != 1) {
            why = found == 2 ? "THE ROUTER SAYS IT IS NOT CONNECTED" : kNoUpnpRouter;
            return false;
        }
        char ip[40] = {};
        if (UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, ip) != UPNPCOMMAND_SUCCESS || !ip[0]) {
            why = "THE ROUTER DID NOT TELL ITS ADDRESS";
            return false;
        }
        external = ip;
        const std::string p = std::to_string(port);
        const std::string lease = std::to_string(kMappingLeaseSeconds);
        int r = UPNP_AddPortMapping(urls.controlURL, data.first.servicetype, p.c_str(), p.c_str(), lan, kMappingName, "UDP",
                                    nullptr, lease.c_str());
        if (r == kOnlyPermanentLeases)
            r = UPNP_AddPortMapping(urls.controlURL, data.first.servicetype, p.c_str(), p.c_str(), lan, kMappingName, "UDP",
                                    nullptr, "0");
        if (r != UPNPCOMMAND_SUCCESS) {
            const char* text = strupnperror(r);
            why = "THE ROUTER REFUSED: " + Upper(text ? text : "error " + std::to_string(r));
            return false;
        }
        mapped = true;
        return true;
    }

    void Remove(int port) {
        if (!mapped) return;
        const std::string p = std::to_string(port);
        UPNP_DeletePortMapping(urls.controlURL, data.first.servicetype, p.c_str(), "UDP", nullptr);
        mapped = false;
    }
};

// Waits for NAT-PMP's answer to the request just sent, retrying as the
// library says, until `deadline`.  NATPMP_TRYAGAIN when none came.
int NatPmpAnswer(natpmp_t& n, natpmpresp_t& response, Clock::time_point deadline) {
    for (;;) {
        const int r = readnatpmpresponseorretry(&n, &response);
        if (r != NATPMP_TRYAGAIN) return r;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left <= 0) return NATPMP_TRYAGAIN;
        timeval wait{};
        getnatpmprequesttimeout(&n, &wait);
        const long long asked = static_cast<long long>(wait.tv_sec) * 1000000 + wait.tv_usec;
        const long long us = std::clamp<long long>(asked, 1000, left);
        wait.tv_sec = static_cast<time_t>(us / 1000000);
        wait.tv_usec = static_cast<suseconds_t>(us % 1000000);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(n.s, &readable);
        select(n.s + 1, &readable, nullptr, nullptr, &wait);
    }
}

struct NatPmpMapping {
    natpmp_t n{};
    bool open = false;
    bool mapped = false;
    std::string external;
    int publicPort = 0;
    std::string why;

    ~NatPmpMapping() {
        if (open) closenatpmp(&n);
    }

    bool Request(int port, int lifetime, natpmpresp_t& response) {
        if (sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, static_cast<std::uint16_t>(port),
                                      static_cast<std::uint16_t>(port), static_cast<std::uint32_t>(lifetime)) < 0)
            return false;
        return NatPmpAnswer(n, response, Clock::now() + std::chrono::milliseconds(kNatPmpWaitMs)) >= 0;
    }

    bool Map(int port) {
        if (open) closenatpmp(&n);
        open = false;
        if (initnatpmp(&n, 0, 0) < 0) {
            why = kNoDefaultRouter;
            return false;
        }
        open = true;
        natpmpresp_t response{};
        if (sendpublicaddressrequest(&n) < 0 ||
            NatPmpAnswer(n, response, Clock::now() + std::chrono::milliseconds(kNatPmpWaitMs)) < 0) {
            why = kNoNatPmpRouter;
            return false;
        }
        char ip[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &response.pnu.publicaddress.addr, ip, sizeof ip);
        external = ip;
        if (!Request(port, kMappingLeaseSeconds, response)) {
            why = "THE ROUTER REFUSED THE PORT (NAT-PMP)";
            return false;
        }
        publicPort = response.pnu.newportmapping.mappedpublicport;
        mapped = true;
        return true;
    }

    void Remove(int port) {
        if (!mapped) return;
        natpmpresp_t response{};
        Request(port, 0, response);  // a lifetime of 0 takes it back
        mapped = false;
    }
};

}  // namespace

PortMapping::PortMapping(int port) : port_(port) {
    thread_ = std::thread([this] { Run(); });
}

PortMapping::~PortMapping() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void PortMapping::Set(State state, const std::string& text, const std::string& method) {
    {
        std::lock_guard lock(mutex_);
        state_ = state;
        text_ = text;
        method_ = method;
    }
    // The player's terminal (and a headless host's log) keep the outcome.
    const std::vector<std::string> lines = Lines();
    std::cerr << "network: " << lines.front() << (method.empty() ? "" : " (" + method + ")") << '\n';
}

PortMapping::State PortMapping::Current() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::string PortMapping::Method() const {
    std::lock_guard lock(mutex_);
    return method_;
}

std::vector<std::string> PortMapping::Lines() const {
    std::lock_guard lock(mutex_);
    const std::string port = std::to_string(port_);
    switch (state_) {
        case State::Asking: return {"ASKING THE ROUTER TO OPEN UDP PORT " + port + "..."};
        case State::Mapped: return {"YOUR GAME ON THE INTERNET: " + text_};
        case State::Failed: break;
    }
    return {"NOT ON THE INTERNET: " + text_, "FORWARD UDP PORT " + port + " TO THIS MACHINE BY HAND"};
}

void PortMapping::Run() {
    UpnpMapping upnp;
    NatPmpMapping natpmp;
    auto stopping = [&] {
        std::lock_guard lock(mutex_);
        return stop_;
    };
    // The external address and port the mapping gives, or the reason it failed.
    auto map = [&]() -> bool {
        // NAT-PMP only where no UPnP router answered: a router that speaks
        // both and refused one way refuses the other too, and may take
        // seconds over it.
        if (upnp.Map(port_)) {
            Set(State::Mapped, upnp.external + ":" + std::to_string(port_), "UPnP");
        } else if (upnp.why != kNoUpnpRouter) {
            Set(State::Failed, upnp.why);
            return false;
        } else if (!stopping() && natpmp.Map(port_)) {
            Set(State::Mapped, natpmp.external + ":" + std::to_string(natpmp.publicPort), "NAT-PMP");
        } else {
            Set(State::Failed, natpmp.why == kNoNatPmpRouter || natpmp.why == kNoDefaultRouter
                                   ? "NO ROUTER ANSWERED UPNP OR NAT-PMP" : natpmp.why);
            return false;
        }
        const std::string external = upnp.mapped ? upnp.external : natpmp.external;
        if (!PublicIpv4(external))
            Set(State::Failed, "THE ROUTER'S OWN ADDRESS " + external + " IS PRIVATE (ANOTHER ROUTER IN FRONT)");
        return true;
    };
    map();
    std::unique_lock lock(mutex_);
    while (!stop_) {
        // Renewed at half the lease, while the game runs.
        if (wake_.wait_for(lock, std::chrono::seconds(kMappingLeaseSeconds / 2), [&] { return stop_; })) break;
        lock.unlock();
        upnp.Remove(port_);
        natpmp.Remove(port_);
        map();
        lock.lock();
    }
    lock.unlock();
    upnp.Remove(port_);
    natpmp.Remove(port_);
}

}  // namespace zq
