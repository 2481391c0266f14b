// Game messages from a peer, through the session's pump and the real handler,
// into three machines (the host and two joiners) playing the first level
// together, or waiting in the lobby for the start.  A refused message leaves the receiver's World, players and screen
// as they were; whatever is accepted keeps the slots, levels, poses, cells and
// the clock within their limits, also after the frames that follow.
//
// An input is a list of records: one control byte, then the message.
//   bits 0-1  the receiver: 0 host, 1 and 2 the joiners (3 is the host too)
//   bits 2-3  the sender: the machine in slot 0, 1 or 2, or 3 for a stranger
//   bit 4     the receiver plays one frame after the message
//   bit 5     the next byte is the message's length (0..255); otherwise 260
//   bit 6     (first record only) the machines are in the lobby instead: the
//             host waits for the answers to its pings, the joiners for their
//             start
//   bit 7     a session event instead of a message: its first byte 0 joins,
//             1 leaves, 2 loses the connection; the second names who (0..2
//             the machines, 3 a stranger, others a newcomer); the rest is
//             the name of one who joins
// A record cut short by the end of the input is delivered as it is.
//
// With ZQ_NET_SEEDS=FOLDER the target writes the messages of a short network
// game between its machines to FOLDER as seeds, one record per file, and exits.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/errors.h"
#include "fuzz_util.h"
#include "held_keys.h"
#include "test_game.h"
#include "net/fake_transport.h"
#include "net/net_play.h"
#include "world/level_file.h"

namespace {

using namespace zq;

constexpr int kMachines = 3;
constexpr std::uint32_t kFrameMs = 30;
constexpr int kMaxRecords = 32;
constexpr std::int32_t kStranger = 99;
constexpr std::int32_t kNewcomer = 1000;
constexpr const char* kNicks[kMachines] = {"Ann", "Bob", "Cid"};
// 64 turns either way as sent, plus what the turn rate adds before the next
// state arrives.
constexpr float kHeadingBound = 70 * 32768.0f;

// What a machine's game looked like when the fuzzing began; every input starts
// from it.
struct Saved {
    World world;
    Actors actors;
    ShellState shell;
    OptionState options;
    PlayState play;
    Random random;
    bool networkGame = false;
    std::int32_t lobbyState = 0;
    std::array<std::int32_t, kMaxPlayers> slotIds{};
    std::array<bool, kMaxPlayers> gone{};
    std::array<std::int32_t, kMaxPlayers> roundTripMs{};
    bool started = false;
    std::int32_t lastSend = 0;
    std::int32_t startTime = 0;
    std::vector<CellEventMsg> pickups;
    std::vector<SessionPlayer> players;
};

struct Machine {
    Machine(test::FakeHub& hub, const std::filesystem::path& folder, const std::string& nick)
        : transport(hub), session(transport), net(session) {
        game = std::make_unique<Game>(test::HeadlessConfig(ZQ_FUZZ_DATA_DIR, folder, "quib_" + nick + ".ini"), keys,
                                      audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        AttachNetPlay(*game, net);
        OpenLobby(*game, net);
        SubmitNickname(*game, net, nick);
    }

    void Save() {
        saved.world = *game->world;
        saved.actors = game->actors;
        saved.shell = game->shell;
        saved.options = game->options;
        saved.play = game->play;
        saved.random = game->random;
        saved.networkGame = game->rules.networkGame;
        saved.lobbyState = net.lobbyState;
        saved.slotIds = net.slotIds;
        saved.gone = net.gone;
        saved.roundTripMs = net.roundTripMs;
        saved.started = net.started;
        saved.lastSend = net.lastSend;
        saved.startTime = net.startTime;
        saved.pickups = net.pickups;
        saved.players = session.Players();
    }
    void Restore() {
        *game->world = saved.world;
        game->actors = saved.actors;
        game->shell = saved.shell;
        game->options = saved.options;
        game->play = saved.play;
        game->random = saved.random;
        game->rules.networkGame = saved.networkGame;
        net.lobbyState = saved.lobbyState;
        net.slotIds = saved.slotIds;
        net.gone = saved.gone;
        net.roundTripMs = saved.roundTripMs;
        net.started = saved.started;
        net.lastSend = saved.lastSend;
        net.startTime = saved.startTime;
        net.pickups = saved.pickups;
        session.SetPlayers(saved.players);
        transport.inbox.clear();
        host = {};  // what the game asked of its window, so it never grows over a run
    }

    test::FakeTransport transport;
    NetSession session;
    NetPlay net;
    test::HeldKeys keys;
    SilentAudio audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
    Saved saved;
};

std::uint64_t MachineDigest(const Machine& m) {
    fuzz::Digest d;
    const Game& g = *m.game;
    const World& w = *g.world;
    const Bytes level = SerializeLevel(w);
    d.Add(level.data(), level.size());
    for (const SentryState& s : w.sentries) d.Value(s);
    d.Value(w.timerLeft);
    d.Value(w.timerRunning);
    d.Value(w.lastHole);
    d.Value(w.lastMovingBlock);
    d.Value(g.actors.lastPlayer);
    d.Value(g.actors.localPlayer);
    for (const Actor& a : g.actors.actor) {
        for (float v : {a.x, a.y, a.z, a.heading, a.velX, a.velY, a.velZ, a.turnRate, a.lightTarget}) d.Value(v);
        for (std::int32_t v : {a.levelIndex, a.lives, a.animState, a.blendTime, a.stunMs, a.networkId}) d.Value(v);
        d.Value(a.pingAnswered);
    }
    d.Value(g.shell.screen);
    d.Value(g.options.refreshInterval);
    d.Value(m.net.lobbyState);
    d.Value(m.net.started);
    d.Value(m.net.slotIds);
    d.Value(m.net.gone);
    return d.Hash();
}

void CheckLimits(const Machine& m) {
    const Game& g = *m.game;
    const World& w = *g.world;
    fuzz::Check(g.actors.lastPlayer >= 0 && g.actors.lastPlayer < kMaxPlayers, "player count within 1..4");
    fuzz::Check(g.actors.localPlayer >= 0 && g.actors.localPlayer <= g.actors.lastPlayer, "own slot in play");
    for (const Actor& a : g.actors.actor) {
        fuzz::Check(a.levelIndex >= -1 && a.levelIndex < g.shell.levelCount, "players on a listed level");
        fuzz::Check(a.animState >= 0 && a.animState < kPoseCount, "poses within the table");
        fuzz::Check(std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z), "players at finite positions");
        fuzz::Check(std::fabs(a.heading) <= kHeadingBound, "player headings within reach");
    }
    for (const SentryState& s : w.sentries)
        fuzz::Check(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z) && std::fabs(s.heading) <= kHeadingBound,
                    "sentries at finite positions and headings");
    fuzz::Check(w.timerLeft >= 0, "the clock never runs below zero");
    fuzz::Check(w.sentryCount >= 0 && w.sentryCount <= kMaxSentries, "sentry count within 0..255");
    for (Cell c : w.cells) fuzz::Check(c < kObjectTypeCount, "cells hold defined object numbers");
}

struct Record {
    int receiver = 0;
    int sender = 0;  // a slot, or 3 for a stranger
    bool frame = false;
    bool sessionEvent = false;
    std::vector<std::uint8_t> bytes;
};

std::vector<Record> Split(const std::uint8_t* data, std::size_t size) {
    std::vector<Record> out;
    std::size_t at = 0;
    while (at < size && out.size() < kMaxRecords) {
        const std::uint8_t ctl = data[at++];
        Record r;
        r.receiver = (ctl & 3) == 3 ? 0 : ctl & 3;
        r.sender = (ctl >> 2) & 3;
        r.frame = (ctl & 0x10) != 0;
        r.sessionEvent = (ctl & 0x80) != 0;
        std::size_t length = kGameMessageSize;
        if (ctl & 0x20) length = at < size ? data[at++] : 0;
        length = std::min(length, size - at);
        r.bytes.assign(data + at, data + at + length);
        at += length;
        out.push_back(std::move(r));
    }
    return out;
}

class Table {
public:
    // In the lobby: the host has pressed "Go" and waits for the answers to its
    // pings, the joiners wait for their start.  Otherwise: all three play.
    explicit Table(bool lobby) {
        for (const char* nick : kNicks) machines_.push_back(std::make_unique<Machine>(hub_, fuzz::ScratchFolder(), nick));
        Machine& host = *machines_[0];
        LobbyNewGame(*host.game, host.net);
        for (int i = 1; i < kMachines; ++i) {
            Machine& m = *machines_[static_cast<std::size_t>(i)];
            LobbyJoinGame(*m.game, m.net);
            LobbyJoinGame(*m.game, m.net);
        }
        Frames(1);
        LobbyNewGame(*host.game, host.net);  // Go
        if (lobby) {
            for (auto& m : machines_) {
                m->transport.inbox.clear();  // the pings: the fuzzer answers them
                if (m->net.lobbyState != (m.get() == &host ? kLobbyStarting : kLobbyInSession))
                    fuzz::Broken("the lobby did not reach the start");
                m->Save();
            }
            return;
        }
        Frames(4);
        // The host starts the first level on the title and everyone follows.
        host.keys.down[static_cast<std::size_t>(Key::Space)] = true;
        Frames(1);
        host.keys.down.fill(false);
        Frames(80);
        for (auto& m : machines_) {
            if (m->game->shell.screen != kScreenPlay || m->net.refused != 0) fuzz::Broken("the network game did not start");
            m->Save();
        }
    }

    // Every message the machines send while they play for a while, and one of
    // each kind the game sends, as seed records.
    void WriteSeeds(const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        int count = 0;
        auto write = [&](int receiver, int slot, std::span<const std::uint8_t> bytes) {
            std::vector<std::uint8_t> rec{static_cast<std::uint8_t>(receiver | (slot << 2) | 0x10)};
            rec.insert(rec.end(), bytes.begin(), bytes.end());
            std::ofstream(folder / ("recorded_" + std::to_string(count++)), std::ios::binary)
                .write(reinterpret_cast<const char*>(rec.data()), static_cast<std::streamsize>(rec.size()));
        };
        Machine& host = *machines_[0];
        Machine& bob = *machines_[1];
        bob.keys.down[static_cast<std::size_t>(Key::Up)] = true;
        host.keys.down[static_cast<std::size_t>(Key::Left)] = true;
        for (int f = 0; f < 40; ++f) {
            base_ += kFrameMs;
            for (int i = 0; i < kMachines; ++i) {
                Machine& m = *machines_[static_cast<std::size_t>(i)];
                for (const TransportEvent& e : m.transport.inbox)
                    if (e.kind == TransportEvent::Kind::Message) write(i, SlotOf(m, e.player.id), e.bytes);
                GameFrame(*m.game, base_);
            }
        }
        const World& w = *host.game->world;
        const std::int32_t cx = w.sizeX / 2, cz = w.sizeZ / 2;
        for (std::int32_t code = kNetDig; code <= kNetLight; ++code)
            write(1, 0, EncodeMessage(CellEventMsg{0, code, cx, 1, cz, code == kNetDig ? 5000 : kIngotType}));
        write(0, 1, EncodeMessage(CellEventMsg{1, kNetLever, cx, 1, cz, 0}));
        write(1, 0, EncodeMessage(SentryPositionMsg{1, 1000, 600, 1000, 8192}));
        write(2, 0, EncodeMessage(StartLevelMsg{1}));
        write(1, 0, EncodeMessage(LevelTimerMsg{30000}));
        write(2, 0, EncodeMessage(BackToTitleMsg{}));
        write(1, 0, EncodeMessage(StartMsg{1, 2, 50, {}}));
        write(0, 2, EncodeMessage(PingAnswerMsg{}));
        // Bob drops out and comes back, as the host and Cid hear it.
        for (int receiver : {0, 2})
            for (const std::vector<std::uint8_t>& event : {std::vector<std::uint8_t>{2, 1}, std::vector<std::uint8_t>{0, 1}}) {
                std::vector<std::uint8_t> rec{static_cast<std::uint8_t>(receiver | 0x80 | 0x20 | 0x10),
                                              static_cast<std::uint8_t>(event.size())};
                rec.insert(rec.end(), event.begin(), event.end());
                std::ofstream(folder / ("event_" + std::to_string(count++)), std::ios::binary)
                    .write(reinterpret_cast<const char*>(rec.data()), static_cast<std::streamsize>(rec.size()));
            }
        std::fprintf(stderr, "%d seeds written to %s\n", count, folder.c_str());
    }

    void Run(const std::vector<Record>& records) {
        for (auto& m : machines_) m->Restore();
        std::uint32_t ticks = base_;
        for (const Record& r : records) {
            Machine& m = *machines_[static_cast<std::size_t>(r.receiver)];
            const std::int32_t from =
                r.sender < kMachines ? machines_[static_cast<std::size_t>(r.sender)]->transport.id : kStranger;
            // What the other machines sent during their frames arrives first,
            // as it would; only then is the receiver's state taken.
            m.session.Pump();
            if (r.sessionEvent) {
                SessionEvent(m, r.bytes);
                if (r.frame) {
                    ticks += kFrameMs;
                    GameFrame(*m.game, ticks);
                    CheckLimits(m);
                }
                continue;
            }
            const std::uint64_t before = MachineDigest(m);
            const std::int32_t refused = m.net.refused;
            m.transport.inbox.push_back(TransportEvent{TransportEvent::Kind::Message, PlayerEntry{from, {}, {}}, r.bytes});
            m.session.Pump();
            if (m.net.refused != refused) fuzz::Check(MachineDigest(m) == before, "a refused message changes nothing");
            CheckLimits(m);
            if (r.frame) {
                ticks += kFrameMs;
                GameFrame(*m.game, ticks);
                CheckLimits(m);
            }
        }
        for (auto& m : machines_) m->transport.inbox.clear();
    }

private:
    // A player joins, quits or drops out, as the transport would report it.
    void SessionEvent(Machine& m, const std::vector<std::uint8_t>& bytes) {
        const int kind = bytes.empty() ? 0 : bytes[0] % 3;
        const int who = bytes.size() < 2 ? 0 : bytes[1];
        std::int32_t id = kNewcomer + who;
        if (who < kMachines) id = machines_[static_cast<std::size_t>(who)]->transport.id;
        else if (who == kMachines) id = kStranger;
        std::string name;
        for (std::size_t i = 2; i < bytes.size() && name.size() < kShortNameBytes; ++i)
            name += static_cast<char>(bytes[i]);
        if (kind == 0 && name.empty() && who < kMachines) name = kNicks[who];  // the one who left, back again
        TransportEvent e{kind == 0 ? TransportEvent::Kind::PlayerJoined : TransportEvent::Kind::PlayerLeft,
                         PlayerEntry{id, name, name}, {}};
        e.lost = kind == 2;
        m.transport.inbox.push_back(e);
        m.session.Pump();
        CheckLimits(m);
    }

    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            base_ += kFrameMs;
            for (auto& m : machines_) GameFrame(*m->game, base_);
        }
    }
    static int SlotOf(const Machine& m, std::int32_t id) {
        for (int s = 0; s < kMaxPlayers; ++s)
            if (m.net.slotIds[static_cast<std::size_t>(s)] == id) return s;
        return 3;
    }

    test::FakeHub hub_;
    std::vector<std::unique_ptr<Machine>> machines_;
    std::uint32_t base_ = 0;
};

Table& Playing() {
    static Table table(false);
    return table;
}
Table& InLobby() {
    static Table table(true);
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool seeding = [] {
        if (const char* folder = std::getenv("ZQ_NET_SEEDS")) {
            Playing().WriteSeeds(folder);
            // libFuzzer takes exit() for a finding; leave without it.
            std::error_code ec;
            std::filesystem::remove_all(fuzz::ScratchFolder(), ec);
            std::_Exit(0);
        }
        return false;
    }();
    (void)seeding;
    Table& table = size > 0 && (data[0] & 0x40) ? InLobby() : Playing();
    table.Run(Split(data, size));
    return 0;
}
