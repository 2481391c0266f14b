// A UDP relay on 127.0.0.1 between one joiner and the host that spoils the
// link the way poor networks do, stepped by the test once a frame: it drops
// datagrams, holds each for its own number of frames (which reorders them)
// and can black out for a number of frames.  Seeded and counted in frames,
// it loses the same datagrams however fast the machine runs the games.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace zq::test {

struct LinkFaults {
    double loss = 0;      // share of datagrams dropped, each way
    int minDelay = 0;     // each datagram waits a random number of frames in this range
    int maxDelay = 0;
    std::uint32_t seed = 1;
};

class FrameRelay {
public:
    // Listens on a port the system picks and passes everything on to 127.0.0.1:`target`.
    FrameRelay(int target, LinkFaults faults) : faults_(faults), random_(faults.seed) {
        front_ = Bind();
        target_ = Address(target);
    }
    ~FrameRelay() {
        if (front_ >= 0) close(front_);
        for (const Client& c : clients_) close(c.back);
    }
    bool Ready() const { return front_ >= 0; }
    // Where the joiner is to send: the relay's own port.
    int Port() const {
        sockaddr_in a{};
        socklen_t length = sizeof a;
        return getsockname(front_, reinterpret_cast<sockaddr*>(&a), &length) == 0 ? ntohs(a.sin_port) : 0;
    }
    // Everything in either direction is lost for the next `frames` frames.
    void BlackOut(int frames) { blackoutLeft_ = frames; }
    bool Dark() const { return blackoutLeft_ > 0; }
    long Passed() const { return passed_; }
    long Dropped() const { return dropped_; }
    // Frames since a datagram last reached the host from the joiner, and the joiner from the host.
    int QuietTowardsHost() const { return static_cast<int>(frame_ - lastToHost_); }
    int QuietTowardsJoiner() const { return static_cast<int>(frame_ - lastToJoiner_); }
    // Frames between the last two deliveries each way: the quiet that ended
    // last (its game may read the datagram that ended it a frame later).
    int RecentGapTowardsHost() const { return gapToHost_; }
    int RecentGapTowardsJoiner() const { return gapToJoiner_; }

    // One frame: takes what arrived, then delivers what is due.
    void Step() {
        ++frame_;
        Take(front_, -1);
        for (std::size_t c = 0; c < clients_.size(); ++c) Take(clients_[c].back, static_cast<int>(c));
        for (std::size_t i = 0; i < queue_.size();) {
            if (queue_[i].due > frame_) {
                ++i;
                continue;
            }
            const Pending& p = queue_[i];
            if (Dark()) {  // a blackout also swallows what was still on its way
                ++dropped_;
            } else if (p.towardsHost) {
                const Client& c = clients_[static_cast<std::size_t>(p.client)];
                sendto(c.back, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target_), sizeof target_);
                ++passed_;
                if (frame_ != lastToHost_) gapToHost_ = static_cast<int>(frame_ - lastToHost_);
                lastToHost_ = frame_;
            } else {
                const Client& c = clients_[static_cast<std::size_t>(p.client)];
                sendto(front_, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&c.address), sizeof c.address);
                ++passed_;
                if (frame_ != lastToJoiner_) gapToJoiner_ = static_cast<int>(frame_ - lastToJoiner_);
                lastToJoiner_ = frame_;
            }
            queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (blackoutLeft_ > 0) --blackoutLeft_;
    }

private:
    struct Pending {
        long due = 0;
        bool towardsHost = false;
        int client = 0;  // whose datagram, or to whom
        std::vector<std::uint8_t> bytes;
    };
    // Each socket of the joiner's machine (its game's and its search's) gets
    // a socket of its own towards the host, as a router would give it.
    struct Client {
        sockaddr_in address{};
        int back = -1;
    };

    static sockaddr_in Address(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    static int Bind() {
        const int s = socket(AF_INET, SOCK_DGRAM, 0);
        if (s < 0) return -1;
        sockaddr_in a = Address(0);
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(s);
            return -1;
        }
        return s;
    }

    // From the joiner's side (`client` -1) or from the host to one client.
    void Take(int socket, int client) {
        // A bounded number a frame: far more than the games send.
        for (int n = 0; n < 4096; ++n) {
            std::uint8_t data[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got =
                recvfrom(socket, data, sizeof data, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 0) return;
            const bool towardsHost = client < 0;
            const int whose = towardsHost ? ClientOf(from) : client;
            if (whose < 0) continue;
            // Both draws every time, so a blackout does not shift the later ones.
            const bool lost = std::uniform_real_distribution<double>(0, 1)(random_) < faults_.loss;
            const int delay = std::uniform_int_distribution<int>(faults_.minDelay, std::max(faults_.minDelay, faults_.maxDelay))(random_);
            if (Dark() || lost) {
                ++dropped_;
                continue;
            }
            queue_.push_back(Pending{frame_ + delay, towardsHost, whose, std::vector<std::uint8_t>(data, data + got)});
        }
    }
    int ClientOf(const sockaddr_in& from) {
        for (std::size_t c = 0; c < clients_.size(); ++c)
            if (clients_[c].address.sin_port == from.sin_port && clients_[c].address.sin_addr.s_addr == from.sin_addr.s_addr)
                return static_cast<int>(c);
        if (clients_.size() >= 16) return -1;
        const int back = Bind();
        if (back < 0) return -1;
        clients_.push_back(Client{from, back});
        return static_cast<int>(clients_.size()) - 1;
    }

    LinkFaults faults_;
    std::mt19937 random_;
    int front_ = -1;
    sockaddr_in target_{};
    std::vector<Client> clients_;
    std::vector<Pending> queue_;
    long frame_ = 0;
    long lastToHost_ = 0, lastToJoiner_ = 0;
    int gapToHost_ = 0, gapToJoiner_ = 0;  // frames between the last two deliveries each way
    int blackoutLeft_ = 0;
    long passed_ = 0, dropped_ = 0;
};

}  // namespace zq::test
