// An in-process session hub for network tests: every FakeTransport attached
// to one hub sees the same session; blocks arrive at the receiver's next Poll.
// Like the real one it is a star: a joiner's blocks reach only the host
// (the first member), which forwards what it accepts.
#pragma once

#include <algorithm>
#include <map>
#include <vector>

#include "net/transport.h"

namespace zq::test {

class FakeTransport;

struct FakeHub {
    bool open = false;
    bool closed = false;  // no new players
    std::string name;
    std::int32_t maxPlayers = 4;
    std::int32_t nextId = 1;
    std::vector<FakeTransport*> members;
    // Members who left a closed session: only they may join it again (the
    // transport object stands for the token the real host hands out).
    std::vector<FakeTransport*> gone;
};

class FakeTransport final : public NetTransport {
public:
    explicit FakeTransport(FakeHub& hub) : hub_(hub) {}
    ~FakeTransport() override { Leave(); }

    std::uint32_t openError = kTransportOk;  // what OpenProvider answers
    std::int32_t id = 0;
    PlayerEntry entry;
    std::vector<TransportEvent> inbox;
    int sent = 0;
    int forwarded = 0;
    bool deaf = false;                          // hears nothing (a machine that stopped answering)
    std::map<std::int32_t, std::int32_t> silence;  // what SilenceMs reports, by player id

    std::vector<std::string> Providers() override { return {"Fake"}; }
    std::uint32_t OpenProvider(const std::string&) override { return openError; }
    std::uint32_t FindSessions(std::int32_t, std::vector<SessionEntry>& sessions) override {
        if (hub_.open) {
            SessionEntry entry;
            entry.name = hub_.name;
            entry.id = 1;
            entry.players = static_cast<std::int32_t>(hub_.members.size());
            entry.inPlay = hub_.closed;  // still listed: its dropped players may come back
            sessions.push_back(entry);
        }
        return kTransportOk;
    }
    std::uint32_t CreateSession(const std::string& name, std::int32_t maxPlayers, const PlayerEntry& local,
                                std::int32_t& localId) override {
        if (hub_.open) return kTransportRefused;
        hub_.open = true;
        hub_.name = name;
        hub_.maxPlayers = maxPlayers;
        Enter(local, localId);
        return kTransportOk;
    }
    std::uint32_t JoinSession(std::int32_t sessionId, const PlayerEntry& local, std::int32_t& localId,
                              std::vector<PlayerEntry>& players) override {
        if (!hub_.open || sessionId != 1) return kTransportNoSession;
        auto again = std::find(hub_.gone.begin(), hub_.gone.end(), this);
        if (hub_.closed && again == hub_.gone.end()) return kTransportGameStarted;
        if (again != hub_.gone.end()) hub_.gone.erase(again);
        if (static_cast<std::int32_t>(hub_.members.size()) >= hub_.maxPlayers) return kTransportSessionFull;
        for (FakeTransport* m : hub_.members) players.push_back(m->entry);
        Enter(local, localId);
        for (FakeTransport* m : hub_.members)
            if (m != this) m->inbox.push_back(TransportEvent{TransportEvent::Kind::PlayerJoined, entry, {}});
        return kTransportOk;
    }
    void CloseSession() override { hub_.closed = true; }
    // Out again before the start; the host's leaving ends the session.
    void LeaveSession() override {
        const bool host = !hub_.members.empty() && hub_.members.front() == this;
        Leave();
        if (host) hub_.open = hub_.closed = false;
    }
    void Send(std::int32_t to, std::span<const std::uint8_t> bytes, bool) override {
        ++sent;
        const bool hosting = !hub_.members.empty() && hub_.members.front() == this;
        for (FakeTransport* m : hub_.members) {
            const bool reachable = hosting || m == hub_.members.front();
            if (m != this && reachable && (to == kAllPlayers || to == m->id)) Deliver(*m, id, bytes);
        }
    }
    void Forward(std::int32_t from, std::span<const std::uint8_t> bytes, bool) override {
        if (hub_.members.empty() || hub_.members.front() != this) return;
        ++forwarded;
        for (FakeTransport* m : hub_.members)
            if (m != this && m->id != from) Deliver(*m, from, bytes);
    }
    void Poll(std::vector<TransportEvent>& events) override {
        if (!deaf) events.insert(events.end(), inbox.begin(), inbox.end());
        inbox.clear();
    }
    std::int32_t SilenceMs(std::int32_t player) override {
        auto it = silence.find(player);
        return it == silence.end() ? 0 : it->second;
    }
    // The connection ends (the player quit, or `lost`: it broke): everybody
    // else sees this player leave.
    void Leave(bool lost = false) {
        auto it = std::find(hub_.members.begin(), hub_.members.end(), this);
        if (it == hub_.members.end()) return;
        hub_.members.erase(it);
        if (hub_.closed) hub_.gone.push_back(this);
        TransportEvent left{TransportEvent::Kind::PlayerLeft, entry, {}};
        left.lost = lost;
        for (FakeTransport* m : hub_.members) m->inbox.push_back(left);
    }

private:
    static void Deliver(FakeTransport& to, std::int32_t from, std::span<const std::uint8_t> bytes) {
        to.inbox.push_back(TransportEvent{TransportEvent::Kind::Message, PlayerEntry{from, {}, {}},
                                          std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    }
    void Enter(const PlayerEntry& local, std::int32_t& localId) {
        id = localId = hub_.nextId++;
        entry = PlayerEntry{id, local.longName, local.shortName};
        hub_.members.push_back(this);
    }
    FakeHub& hub_;
};

}  // namespace zq::test
