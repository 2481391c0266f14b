// The seam between the session logic and the network library: providers,
// sessions, players and opaque message blocks.  The platform implements it
// over ENet; tests use an in-process hub.  A transport never parses a game
// message, and everything it reports is handed over on the main thread by
// Poll.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zq {

inline constexpr std::int32_t kAllPlayers = 0;  // the "All" entry and the send-to-everybody id

// Raised whenever a message layout or the handshake changes: a machine
// running another build is refused at the join instead of being misread.
inline constexpr std::int32_t kProtocolVersion = 2;
// A connection silent this long is a problem the players are told about...
inline constexpr std::int32_t kSilentWarningMs = 1000;
// ...and one silent this long is dropped.
inline constexpr std::int32_t kSilentDropMs = 20000;

struct SessionEntry {
    std::string name;         // up to 31 bytes
    std::int32_t id = 0;      // what JoinSession takes
    std::int32_t players = 0; // players in it when it answered
    bool inPlay = false;      // its game runs: only players who dropped out may join it again
    std::string address;      // where it answered from, "10.0.0.5:28416" (or the name the player typed)
};

struct PlayerEntry {
    std::int32_t id = 0;
    std::string longName;   // up to 51 bytes
    std::string shortName;  // up to 19 bytes
};

// What the transport measures of the link to one machine, all the time the
// connection lasts (not once at the start): the game's send rate follows it.
struct LinkStats {
    std::int32_t roundTripMs = 0;  // mean round trip, 0 while not yet measured
    std::int32_t lossPercent = 0;  // share of reliable blocks that had to be sent again, 0..100
};

struct TransportEvent {
    enum class Kind { PlayerJoined, PlayerLeft, Message };
    Kind kind = Kind::Message;
    PlayerEntry player;               // joined or left; for a message, `player.id` is the sender
    std::vector<std::uint8_t> bytes;  // the message as it arrived (any length)
    bool lost = false;                // left: the connection broke, the player did not quit
};

// Result codes of the transport's operations: 0 is success, anything else is
// shown to the player in hexadecimal.
enum TransportError : std::uint32_t {
    kTransportOk = 0,
    kTransportNoProvider = 0x80040001,
    kTransportNoSocket = 0x80040002,
    kTransportNoSession = 0x80040003,
    kTransportSessionFull = 0x80040004,
    kTransportTimedOut = 0x80040005,
    kTransportRefused = 0x80040006,
    kTransportGameStarted = 0x80040007,   // a running game takes back only its dropped players
    kTransportWrongVersion = 0x80040008,  // the other machine runs a different build of the game
    kTransportNameInUse = 0x80040009,     // a player of that game has the nickname: only its token takes its place
    kTransportPending = 0x8004000A,       // a join still waits for its answer
};

class NetTransport {
public:
    virtual ~NetTransport() = default;
    virtual std::vector<std::string> Providers() = 0;
    // Makes the provider current.  Another name replaces it only while no
    // session is open.
    virtual std::uint32_t OpenProvider(const std::string& name) = 0;
    // Looks for open sessions: asks again when due and lists the sessions that
    // answered lately, waiting up to `timeoutMs` for answers (0: not at all,
    // as the lobby calls it every frame).  A session keeps its id while the
    // search runs.
    virtual std::uint32_t FindSessions(std::int32_t timeoutMs, std::vector<SessionEntry>& sessions) = 0;
    // Asks "HOST[:PORT]" directly in the searches from now on, whatever the
    // broadcast reaches.  kTransportNoSession for text that is no address.
    virtual std::uint32_t AskHost(const std::string&) { return kTransportNoSession; }
    // Where others can reach the session this machine hosts ("10.0.0.5:28416",
    // "[2001:db8::5]:28416").
    virtual std::vector<std::string> HostAddresses() { return {}; }
    // Hosting: what the home router made of the request to forward the port,
    // in lines for the lobby ("YOUR GAME ON THE INTERNET: 203.0.113.7:28416",
    // or why not); empty when nothing was asked.
    virtual std::vector<std::string> InternetStatus() { return {}; }
    // Leaves the session before the game starts (the others see this player
    // go; a host's session ends), and stops searching, so that another
    // provider or session can be chosen.
    virtual void LeaveSession() {}
    // Hosts a new session with this machine's player in it.
    virtual std::uint32_t CreateSession(const std::string& name, std::int32_t maxPlayers, const PlayerEntry& local,
                                        std::int32_t& localId) = 0;
    // Joins a session found by FindSessions; `players` receives everyone
    // already in it, in the order they joined (the local player not included).
    virtual std::uint32_t JoinSession(std::int32_t sessionId, const PlayerEntry& local, std::int32_t& localId,
                                      std::vector<PlayerEntry>& players) = 0;
    // The same without waiting: BeginJoin starts it, JoinProgress (called
    // each frame) answers kTransportPending until the welcome or a refusal
    // arrives, CancelJoin gives it up.  A transport that joins at once does it
    // all in JoinProgress.
    virtual std::uint32_t BeginJoin(std::int32_t sessionId, const PlayerEntry& local) {
        joinSession_ = sessionId;
        joinLocal_ = local;
        return kTransportOk;
    }
    virtual std::uint32_t JoinProgress(std::int32_t& localId, std::vector<PlayerEntry>& players) {
        return JoinSession(joinSession_, joinLocal_, localId, players);
    }
    virtual void CancelJoin() {}
    // The host stops taking new players (the game has started).
    virtual void CloseSession() = 0;
    // Sends a block from the local player to one player or to everybody
    // (kAllPlayers, the sender excluded).  Reliable blocks arrive once and in
    // order; the others may be lost.
    virtual void Send(std::int32_t to, std::span<const std::uint8_t> bytes, bool reliable) = 0;
    // The host passes on a block it accepted from player `from` to everybody
    // else, as sent by `from`.  Joiners hear each other only this way: the
    // host relays nothing it has not checked.
    virtual void Forward(std::int32_t, std::span<const std::uint8_t>, bool) {}
    // Everything that arrived since the last call, in arrival order.
    virtual void Poll(std::vector<TransportEvent>& events) = 0;
    // Milliseconds since anything at all (game message or the transport's own
    // keep-alive) last arrived from that player's machine; 0 when unknown.
    // A joiner hears the host itself and the host's word about the others.
    virtual std::int32_t SilenceMs(std::int32_t) { return 0; }
    // The link to that player's machine as measured so far (a joiner knows
    // only its link to the host); zeros when nothing is known.
    virtual LinkStats Link(std::int32_t) { return {}; }
    // The game's clock, once a frame before Poll.  A transport made to run on
    // it (tests stepping several games frame by frame) keeps its timers on
    // these milliseconds instead of the wall clock.
    virtual void FrameTime(std::int32_t) {}

private:
    std::int32_t joinSession_ = 0;  // what BeginJoin was given, for the default JoinProgress
    PlayerEntry joinLocal_;
};

}  // namespace zq
