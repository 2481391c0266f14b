#include "net/session.h"

#include <cstdio>

namespace zq {

std::string RefusalText(std::uint32_t code) {
    switch (code) {
        case kTransportOk: return {};
        case kTransportSessionFull: return "GAME FULL";
        case kTransportGameStarted: return "GAME ALREADY STARTED";
        case kTransportWrongVersion: return "DIFFERENT GAME VERSION";
        case kTransportNameInUse: return "NAME IN USE";
        case kTransportTimedOut: return "NO ANSWER FROM THE HOST";
        case kTransportNoSession: return "THAT GAME IS GONE";
        case kTransportRefused: return "THE HOST REFUSED TO LET YOU IN";
        case kTransportNoSocket: return "THE NETWORK CANNOT BE OPENED";
        default: return "NETWORK ERROR";
    }
}

std::string CutName(const std::string& name, std::size_t bytes) {
    return name.size() > bytes ? name.substr(0, bytes) : name;
}

NetSession::NetSession(NetTransport& transport) : transport_(transport), providers_(transport.Providers()) {
    players_.push_back(SessionPlayer{0, "All", "All", false});
}

std::string NetSession::ShortNameOf(std::int32_t id) const {
    for (std::size_t i = 1; i < players_.size(); ++i)
        if (players_[i].id == id) return players_[i].shortName;
    return {};
}

bool NetSession::Fail(const char* what, std::uint32_t code) {
    lastFailure_ = code;
    char text[96];
    std::snprintf(text, sizeof text, "%s :%x", what, static_cast<unsigned>(code));
    if (showError) showError(text);
    return false;
}

bool NetSession::SelectProvider(const std::string& name, bool create) {
    lastFailure_ = kTransportOk;
    if (provider_ != name) {
        bool known = false;
        for (const std::string& p : transport_.Providers()) known = known || p == name;
        if (!known) return Fail("Enum Servers Failed", kTransportNoProvider);
        if (std::uint32_t code = transport_.OpenProvider(name)) return Fail("DirectPlay Create Failed", code);
        provider_ = name;
    }
    return create ? CreateSession() : FindSessions();
}

bool NetSession::FindSessions(std::int32_t waitMs) {
    lastFailure_ = kTransportOk;
    sessions_.clear();
    if (std::uint32_t code = transport_.FindSessions(waitMs, sessions_)) return Fail("EnumSessions Failed", code);
    for (SessionEntry& s : sessions_) s.name = CutName(s.name, kSessionNameBytes);
    return true;
}

bool NetSession::AskHost(const std::string& address) {
    lastFailure_ = kTransportOk;
    if (std::uint32_t code = transport_.AskHost(address)) return Fail("Ask Host Failed", code);
    return true;
}

void NetSession::LeaveSession() {
    transport_.LeaveSession();
    players_.resize(1);
    sessions_.clear();
    localId_ = 0;
    connected_ = false;
}

bool NetSession::CreateSession() {
    lastFailure_ = kTransportOk;
    PlayerEntry local{0, CutName(longName, kLongNameBytes), CutName(shortName, kShortNameBytes)};
    gameName = CutName(gameName, kSessionNameBytes);
    std::int32_t id = 0;
    if (std::uint32_t code = transport_.CreateSession(gameName, maxPlayers, local, id))
        return Fail("DirectPlay Open Failed", code);
    localId_ = id;
    players_.resize(1);
    players_.push_back(SessionPlayer{id, local.longName, local.shortName, false});
    connected_ = true;
    return true;
}

bool NetSession::JoinSession(std::int32_t sessionId) {
    lastFailure_ = kTransportOk;
    PlayerEntry local{0, CutName(longName, kLongNameBytes), CutName(shortName, kShortNameBytes)};
    std::vector<PlayerEntry> others;
    std::int32_t id = 0;
    if (std::uint32_t code = transport_.JoinSession(sessionId, local, id, others)) return Fail("Open Failed", code);
    localId_ = id;
    players_.resize(1);
    for (const PlayerEntry& p : others) AddPlayer(p);
    players_.push_back(SessionPlayer{id, local.longName, local.shortName, false});
    connected_ = true;
    return true;
}

bool NetSession::BeginJoin(std::int32_t sessionId) {
    lastFailure_ = kTransportOk;
    PlayerEntry local{0, CutName(longName, kLongNameBytes), CutName(shortName, kShortNameBytes)};
    if (std::uint32_t code = transport_.BeginJoin(sessionId, local)) return Fail("Open Failed", code);
    return true;
}

NetSession::Join NetSession::JoinProgress() {
    std::vector<PlayerEntry> others;
    std::int32_t id = 0;
    const std::uint32_t code = transport_.JoinProgress(id, others);
    if (code == kTransportPending) return Join::Waiting;
    if (code != kTransportOk) {
        Fail("Open Failed", code);
        return Join::Failed;
    }
    localId_ = id;
    players_.resize(1);
    for (const PlayerEntry& p : others) AddPlayer(p);
    players_.push_back(SessionPlayer{id, CutName(longName, kLongNameBytes), CutName(shortName, kShortNameBytes), false});
    connected_ = true;
    return Join::Joined;
}

void NetSession::CloseSession() { transport_.CloseSession(); }

void NetSession::SendGameMessage(std::int32_t to, std::span<const std::uint8_t> message, bool reliable) {
    if (connected_) transport_.Send(to, message, reliable);
}

void NetSession::ForwardGameMessage(std::int32_t from, std::span<const std::uint8_t> message, bool reliable) {
    if (connected_) transport_.Forward(from, message, reliable);
}

bool NetSession::AddPlayer(const PlayerEntry& p) {
    if (p.id == kAllPlayers || players_.size() >= kMaxSessionPlayers) return false;
    for (std::size_t i = 1; i < players_.size(); ++i)
        if (players_[i].id == p.id && !players_[i].gone) return false;
    players_.push_back(SessionPlayer{p.id, CutName(p.longName, kLongNameBytes), CutName(p.shortName, kShortNameBytes), false});
    return true;
}

void NetSession::Pump() {
    events_.clear();
    transport_.Poll(events_);
    for (const TransportEvent& e : events_) {
        switch (e.kind) {
            case TransportEvent::Kind::PlayerJoined:
                // The same player announced twice, or announcements without
                // end, change nothing.
                if (AddPlayer(e.player) && onAddPlayer)
                    onAddPlayer(e.player.id, players_.back().longName, players_.back().shortName);
                break;
            case TransportEvent::Kind::PlayerLeft:
                for (std::size_t i = 1; i < players_.size(); ++i) {
                    SessionPlayer& p = players_[i];
                    if (p.id != e.player.id || p.gone) continue;
                    p.gone = true;
                    p.lost = e.lost;
                    if (onDeletePlayer) onDeletePlayer(p.id, p.longName, p.shortName);
                }
                break;
            case TransportEvent::Kind::Message: {
                std::int32_t type = 0;
                if (e.bytes.size() >= 4)
                    type = static_cast<std::int32_t>(e.bytes[0] | (e.bytes[1] << 8) | (e.bytes[2] << 16) |
                                                     (static_cast<std::uint32_t>(e.bytes[3]) << 24));
                if (onGameMessage) onGameMessage(e.player.id, type, e.bytes);
                break;
            }
        }
    }
}

}  // namespace zq
