// The session component: providers, sessions and the two player lists
// (formal and friendly names, entry 0 always "All"), over a transport.  The
// events it raises (a player joined or left, a game message) are all raised
// from Pump, on the thread that runs the frames.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "net/transport.h"

namespace zq {

inline constexpr std::size_t kSessionNameBytes = 31;
inline constexpr std::size_t kShortNameBytes = 19;
inline constexpr std::size_t kLongNameBytes = 51;
inline constexpr const char* kGameNamePrefix = "Zorvo Quib - ";
// Players a session lists at most, those who left included: far more than a
// game takes, so only a peer announcing joins without end meets it.
inline constexpr std::size_t kMaxSessionPlayers = 64;

struct SessionPlayer {
    std::int32_t id = 0;
    std::string longName;
    std::string shortName;
    bool gone = false;  // left or timed out; kept so names and slots stay put
    bool lost = false;  // gone because the connection broke, not because the player quit
};

// A transport result in the plain words the lobby shows ("GAME FULL",
// "GAME ALREADY STARTED", "DIFFERENT GAME VERSION", "NO ANSWER FROM THE
// HOST"); empty for success.
std::string RefusalText(std::uint32_t code);

// Cuts a name to at most `bytes` bytes.
std::string CutName(const std::string& name, std::size_t bytes);

class NetSession {
public:
    explicit NetSession(NetTransport& transport);

    std::string gameName = "Zorvo Quib";
    std::int32_t maxPlayers = 4;
    std::string longName;   // the local player's, set from the nickname
    std::string shortName;

    std::function<void(std::int32_t id, const std::string& longName, const std::string& shortName)> onAddPlayer;
    std::function<void(std::int32_t id, const std::string& longName, const std::string& shortName)> onDeletePlayer;
    std::function<void(std::int32_t from, std::int32_t type, std::span<const std::uint8_t> message)> onGameMessage;
    // A failure, as the operation and its code ("Open Failed :80040003"), for
    // the log; the lobby words it for the player from LastError.
    std::function<void(const std::string& text)> showError;

    const std::vector<std::string>& Providers() const { return providers_; }
    const std::vector<SessionEntry>& Sessions() const { return sessions_; }
    // Entry 0 is "All"; players in the order they joined, gone ones included.
    const std::vector<SessionPlayer>& Players() const { return players_; }
    std::int32_t LocalId() const { return localId_; }
    bool Connected() const { return connected_; }
    // The result code of the last failed operation (kTransportOk after a
    // success); RefusalText gives its words.
    std::uint32_t LastFailure() const { return lastFailure_; }
    // The friendly name of a player id, empty when unknown.
    std::string ShortNameOf(std::int32_t id) const;

    // Opens the provider, then creates a session (create) or starts the search.
    bool SelectProvider(const std::string& name, bool create);
    // Takes the answers the search has had so far, waiting at most `waitMs`.
    bool FindSessions(std::int32_t waitMs = 0);
    // Asks "HOST[:PORT]" directly in the search.
    bool AskHost(const std::string& address);
    // Where others reach the session this machine hosts.
    std::vector<std::string> HostAddresses() { return transport_.HostAddresses(); }
    std::vector<std::string> InternetStatus() { return transport_.InternetStatus(); }
    // Out of the session again, before the game starts: only "All" is listed.
    void LeaveSession();
    bool CreateSession();
    bool JoinSession(std::int32_t sessionId);
    // Joining without holding up the frame: BeginJoin, then JoinProgress each
    // frame until it says Joined or Failed (LastFailure says why).
    enum class Join { Waiting, Joined, Failed };
    bool BeginJoin(std::int32_t sessionId);
    Join JoinProgress();
    void CancelJoin() { transport_.CancelJoin(); }
    // No new players once the game has started.
    void CloseSession();
    void SendGameMessage(std::int32_t to, std::span<const std::uint8_t> message, bool reliable);
    // The host: a message it accepted from `from` goes on to the others.
    void ForwardGameMessage(std::int32_t from, std::span<const std::uint8_t> message, bool reliable);
    // Takes what the transport received and raises the events.
    void Pump();
    // Puts the player list back as it was (a run replayed from a saved start).
    void SetPlayers(std::vector<SessionPlayer> players) { players_ = std::move(players); }
    // How long that player's machine has been silent, in ms (0: not known).
    std::int32_t SilenceMs(std::int32_t id) const { return transport_.SilenceMs(id); }
    LinkStats Link(std::int32_t id) const { return transport_.Link(id); }
    void FrameTime(std::int32_t now) { transport_.FrameTime(now); }

private:
    bool Fail(const char* what, std::uint32_t code);
    // False (and nothing listed) for the all-players id, an id already in
    // the session, or when the list is full.
    bool AddPlayer(const PlayerEntry& player);

    NetTransport& transport_;
    std::vector<std::string> providers_;
    std::vector<SessionEntry> sessions_;
    std::vector<SessionPlayer> players_;
    std::int32_t localId_ = 0;
    std::string provider_;  // the one opened, empty before
    bool connected_ = false;
    std::uint32_t lastFailure_ = kTransportOk;
    std::vector<TransportEvent> events_;
};

}  // namespace zq
