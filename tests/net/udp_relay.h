// A UDP relay on 127.0.0.1 that stands between one joiner and the host and
// spoils the link the way poor networks do: it drops datagrams, delays each
// by its own random time (which reorders them) and can black out entirely
// for a while.  Seeded, so a run loses the same share each time; it stops by
// itself when the test drops it or after a fixed number of datagrams.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace zq::test {

struct LinkFaults {
    double loss = 0;        // share of datagrams dropped, each way
    int minDelayMs = 0;     // each datagram waits a random time in this range
    int maxDelayMs = 0;
    std::uint32_t seed = 1;
};

class UdpRelay {
public:
    // Listens on 127.0.0.1:`port` and passes everything on to 127.0.0.1:`target`.
    UdpRelay(int port, int target, LinkFaults faults) : faults_(faults), random_(faults.seed) {
        front_ = Bind(port);
        back_ = Bind(0);
        target_ = Address(target);
        if (front_ >= 0 && back_ >= 0) thread_ = std::thread([this] { Run(); });
    }
    ~UdpRelay() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (front_ >= 0) close(front_);
        if (back_ >= 0) close(back_);
    }
    bool Ready() const { return thread_.joinable(); }
    // Everything in either direction is lost for `length`, starting now.
    void BlackOut(std::chrono::milliseconds length) {
        std::lock_guard<std::mutex> lock(mutex_);
        blackoutEnd_ = Clock::now() + length;
    }
    long Passed() const { return passed_; }
    long Dropped() const { return dropped_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        bool towardsHost = false;
        std::vector<std::uint8_t> bytes;
    };
    static constexpr long kMostDatagrams = 2'000'000;

    static sockaddr_in Address(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    static int Bind(int port) {
        const int s = socket(AF_INET, SOCK_DGRAM, 0);
        if (s < 0) return -1;
        sockaddr_in a = Address(port);
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(s);
            return -1;
        }
        return s;
    }

    void Take(int socket, bool towardsHost) {
        std::uint8_t data[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(socket, data, sizeof data, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) return;
        if (towardsHost) {
            client_ = from;
            haveClient_ = true;
        }
        bool dark = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            dark = Clock::now() < blackoutEnd_;
        }
        if (dark || std::uniform_real_distribution<double>(0, 1)(random_) < faults_.loss) {
            ++dropped_;
            return;
        }
        const int delay = std::uniform_int_distribution<int>(faults_.minDelayMs, std::max(faults_.minDelayMs, faults_.maxDelayMs))(random_);
        queue_.push_back(Pending{Clock::now() + std::chrono::milliseconds(delay), towardsHost,
                                 std::vector<std::uint8_t>(data, data + got)});
    }

    void Run() {
        while (!stop_ && passed_ + dropped_ < kMostDatagrams) {
            pollfd fds[2] = {{front_, POLLIN, 0}, {back_, POLLIN, 0}};
            poll(fds, 2, 2);
            if (fds[0].revents & POLLIN) Take(front_, true);
            if (fds[1].revents & POLLIN) Take(back_, false);
            const auto now = Clock::now();
            bool dark = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                dark = now < blackoutEnd_;
            }
            for (std::size_t i = 0; i < queue_.size();) {
                if (queue_[i].due > now) {
                    ++i;
                    continue;
                }
                const Pending& p = queue_[i];
                // A blackout also swallows what was still on its way.
                if (dark) {
                    ++dropped_;
                } else if (p.towardsHost) {
                    sendto(back_, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target_), sizeof target_);
                    ++passed_;
                } else if (haveClient_) {
                    sendto(front_, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&client_), sizeof client_);
                    ++passed_;
                }
                queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }

    LinkFaults faults_;
    std::mt19937 random_;
    int front_ = -1, back_ = -1;
    sockaddr_in target_{}, client_{};
    bool haveClient_ = false;
    std::vector<Pending> queue_;
    std::mutex mutex_;
    Clock::time_point blackoutEnd_{};
    std::atomic<bool> stop_{false};
    std::atomic<long> passed_{0}, dropped_{0};
    std::thread thread_;
};

}  // namespace zq::test
