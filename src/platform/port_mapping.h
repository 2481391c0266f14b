// Asks the home router to forward the hosted game's UDP port from the
// internet (UPnP-IGD first, then NAT-PMP), on a thread of its own so the
// lobby keeps running while the router answers, and takes the forwarding
// back when the game ends.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zq {

// The longest the first answer is waited for, each way: the SSDP search
// for a UPnP router, then NAT-PMP's retries to the default gateway.
inline constexpr int kUpnpSearchMs = 2000;
inline constexpr int kNatPmpWaitMs = 2000;
// The lease asked for; it is renewed at half time while the game runs, so a
// game that crashes leaves the port open an hour at most.
inline constexpr int kMappingLeaseSeconds = 3600;

class PortMapping {
public:
    enum class State { Asking, Mapped, Failed };

    // Starts asking for UDP `port` (the same port outside and in).
    explicit PortMapping(int port);
    PortMapping(const PortMapping&) = delete;
    PortMapping& operator=(const PortMapping&) = delete;
    // Takes the mapping back from the router (a bounded wait: one request).
    ~PortMapping();

    State Current() const;
    // The lobby's lines: "YOUR GAME ON THE INTERNET: 203.0.113.7:28416", or
    // why there is no mapping and what the player can do instead.
    std::vector<std::string> Lines() const;
    // "UPnP" or "NAT-PMP" once mapped, empty otherwise.
    std::string Method() const;

private:
    void Run();
    void Set(State state, const std::string& text, const std::string& method = {});

    const int port_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    State state_ = State::Asking;
    std::string text_;    // the external "a.b.c.d:port", or why it failed
    std::string method_;  // how it was mapped
    std::thread thread_;
};

}  // namespace zq
