#include "net/net_play.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <type_traits>

#include "render/overlay.h"
#include "rules/mechanisms.h"
#include "rules/rules_math.h"
#include "rules/sentries.h"

namespace zq {

namespace {

constexpr const char* kColourNames[kMaxPlayers] = {" [Violet]", " [Red]", " [Yellow]", " [White]"};
constexpr const char* kHostLeftText = "THE HOST HAS LEFT THE GAME";
constexpr const char* kHostLostText = "CONNECTION TO THE HOST LOST";
constexpr const char* kHostUnstableText = "CONNECTION TO THE HOST IS UNSTABLE";

// What a peer's state may set here: headings (32768 per turn) within 64
// turns either way, positions within the reach of any level, speeds and turns
// per tick far above anything walking, falling or turning produces.  Values a
// real game sends pass unchanged; the bounds keep the physics and the drawing
// of that player or sentry clear of integer overflow.
constexpr std::int32_t kTurn = 32768;
constexpr std::int32_t kFarHeading = 64 * kTurn;
constexpr std::int32_t kFarPosition = kMaxCellCoordinate * kCellSize;
constexpr std::int32_t kFastestPerTick = 8 * kCellSize;

float PeerHeading(std::int32_t heading) { return static_cast<float>(std::clamp(heading, -kFarHeading, kFarHeading)); }
float PeerPosition(std::int32_t v) { return static_cast<float>(std::clamp(v, -kFarPosition, kFarPosition)); }
float PeerSpeed(std::int32_t v, std::int32_t limit) { return static_cast<float>(std::clamp(v, -limit, limit)); }

void Send(NetPlay& net, std::int32_t to, const GameMessage& message, bool reliable) {
    const MessageBytes bytes = EncodeMessage(message);
    net.session.SendGameMessage(to, bytes, reliable);
}

// Far more than any level holds to pick up.
constexpr std::size_t kMostPickups = 4096;

void NotePickup(NetPlay& net, const CellEventMsg& m) {
    if (m.code >= kNetIngot && net.pickups.size() < kMostPickups) net.pickups.push_back(m);
}

bool IsHost(const GamePort& game) { return game.Heroes().localPlayer == 0; }

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

const SessionPlayer* PlayerWithId(const NetSession& session, std::int32_t id) {
    for (std::size_t i = 1; i < session.Players().size(); ++i)
        if (session.Players()[i].id == id) return &session.Players()[i];
    return nullptr;
}

// The name the status line uses for a player: its nickname in capitals.
std::string CalledName(const NetSession& session, std::int32_t id) {
    const SessionPlayer* p = PlayerWithId(session, id);
    return p && !p->shortName.empty() ? Upper(p->shortName) : std::string("A PLAYER");
}

// The session's host is the first player in the list.
std::int32_t SessionHostId(const NetSession& session) {
    return session.Players().size() > 1 ? session.Players()[1].id : 0;
}
bool NetworkGame(const GamePort& game, const NetPlay& net) { return net.started && game.Heroes().lastPlayer > 0; }

int SlotOfId(const NetPlay& net, std::int32_t id) {
    if (id == 0) return -1;
    for (int i = 0; i < kMaxPlayers; ++i)
        if (net.slotIds[static_cast<std::size_t>(i)] == id) return i;
    return -1;
}

// The players still in the session, the local one included, in joining order.
std::vector<const SessionPlayer*> PresentPlayers(const NetSession& session) {
    std::vector<const SessionPlayer*> out;
    for (std::size_t i = 1; i < session.Players().size(); ++i)
        if (!session.Players()[i].gone) out.push_back(&session.Players()[i]);
    return out;
}

void ShowPlayerList(NetPlay& net) {
    LobbyPanel& panel = net.panel;
    panel.list.clear();
    const auto players = PresentPlayers(net.session);
    for (std::size_t i = 0; i < players.size(); ++i) {
        std::string line = players[i]->longName;
        if (i < kMaxPlayers && !line.empty()) line += kColourNames[i];
        panel.list.push_back(line);
    }
    panel.selected = std::min(panel.selected, static_cast<std::int32_t>(panel.list.size()) - 1);
}

// The sessions found; the selection stays on the same session while the
// list changes under it.
void ShowSessionList(NetPlay& net) {
    const auto& sessions = net.session.Sessions();
    std::int32_t selectedId = 0;
    if (net.panel.selected >= 0 && net.panel.selected < static_cast<std::int32_t>(net.panel.sessionIds.size()))
        selectedId = net.panel.sessionIds[static_cast<std::size_t>(net.panel.selected)];
    net.panel.list.clear();
    net.panel.sessionIds.clear();
    // A running game takes back only the players it lost: it says so.
    for (const SessionEntry& s : sessions) {
        if (s.id == selectedId) net.panel.selected = static_cast<std::int32_t>(net.panel.list.size());
        net.panel.list.push_back(s.inPlay ? s.name + " - IN PLAY" : s.name);
        net.panel.sessionIds.push_back(s.id);
    }
    net.panel.selected = net.panel.list.empty() ? -1 : std::clamp(net.panel.selected, 0, static_cast<std::int32_t>(net.panel.list.size()) - 1);
}

// Back to the provider choice (the host of the session left).
void ResetLobby(GamePort& game, NetPlay& net) {
    net.lobbyState = kLobbyChooseProvider;
    net.panel.list = net.session.Providers();
    net.panel.selected = net.panel.list.empty() ? -1 : 0;
    net.panel.newCaption = "Create Game";
    net.panel.joinCaption = "Join Game";
    net.panel.newEnabled = net.panel.joinEnabled = true;
    net.panel.address.clear();
    net.panel.asked.clear();
    net.panel.sessionIds.clear();
    net.panel.hostAddresses.clear();
    game.Heroes().lastPlayer = 0;
}

void LeaveLobby(GamePort& game, NetPlay& net, std::int32_t intervalMs) {
    game.SetRefreshInterval(intervalMs);
    net.started = true;
    game.Rules().networkGame = game.Heroes().lastPlayer > 0;
    game.LeaveLobby(false);
    // Alone there is nothing sent and no interval to speak of.
    if (game.Rules().networkGame)
        game.ShowStatus("Network refresh interval: " + std::to_string(intervalMs) + " ms");
}

// The host's start once every slot has answered (or left).
void FinishStartIfAnswered(GamePort& game, NetPlay& net) {
    for (int i = 0; i <= game.Heroes().Last(); ++i) {
        const std::size_t s = static_cast<std::size_t>(i);
        if (!net.gone[s] && !game.Heroes().actor[s].pingAnswered) return;
    }
    // The round trips only show that everybody answers: the send rate follows
    // each link as it is measured through the game; this is its longest.
    const std::int32_t interval = game.RefreshInterval();
    for (int i = 1; i <= game.Heroes().Last(); ++i) {
        const std::size_t s = static_cast<std::size_t>(i);
        if (net.gone[s]) continue;
        Send(net, net.slotIds[s], StartMsg{i, game.Heroes().lastPlayer, interval, net.slotIds}, true);
    }
    LeaveLobby(game, net, interval);
}

void HostGo(GamePort& game, NetPlay& net) {
    Actors& actors = game.Heroes();
    const auto players = PresentPlayers(net.session);
    net.lobbyState = kLobbyStarting;
    net.startTime = game.Now();
    net.session.CloseSession();
    actors.localPlayer = 0;
    // Slots follow the joining order of the players still here; the host is 0.
    net.slotIds.fill(0);
    net.gone.fill(false);
    const int count = std::min(static_cast<int>(players.size()), kMaxPlayers);
    for (int i = 0; i < count; ++i) net.slotIds[static_cast<std::size_t>(i)] = players[static_cast<std::size_t>(i)]->id;
    actors.lastPlayer = std::max(0, count - 1);
    const std::int32_t now = game.Now();
    for (int i = 0; i <= actors.Last(); ++i) {
        Actor& a = actors.actor[static_cast<std::size_t>(i)];
        a.networkId = net.slotIds[static_cast<std::size_t>(i)];
        a.pingStart = now;
        a.pingAnswered = false;
    }
    actors.actor[0].pingAnswered = true;
    net.roundTripMs.fill(0);
    if (actors.lastPlayer < 1) {  // alone: an ordinary game
        LeaveLobby(game, net, game.RefreshInterval());
        return;
    }
    Send(net, kAllPlayers, PingMsg{}, true);
}

void OnPingAnswer(GamePort& game, NetPlay& net, std::int32_t from) {
    // A late or duplicate answer would run the start twice: only the first of
    // each slot counts, and only while the start waits for it.
    if (!IsHost(game) || net.lobbyState != kLobbyStarting || net.started) {
        ++net.refused;
        return;
    }
    const int slot = SlotOfId(net, from);
    if (slot < 1 || game.Heroes().actor[static_cast<std::size_t>(slot)].pingAnswered) {
        ++net.refused;
        return;
    }
    Actor& a = game.Heroes().actor[static_cast<std::size_t>(slot)];
    net.roundTripMs[static_cast<std::size_t>(slot)] = std::max(0, game.Now() - a.pingStart);
    a.pingAnswered = true;
    FinishStartIfAnswered(game, net);
}

// True when a slot changed hands.
bool TakeSlotIds(GamePort& game, NetPlay& net, const std::array<std::int32_t, kMaxPlayers>& ids) {
    bool changed = false;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        // A slot whose id changed belongs to a player who came back.
        if (net.slotIds[i] == ids[i]) continue;
        changed = true;
        if (ids[i] != 0) net.gone[i] = false;
        net.slotIds[i] = ids[i];
        game.Heroes().actor[i].networkId = ids[i];
    }
    return changed;
}

void OnStart(GamePort& game, NetPlay& net, std::int32_t from, const StartMsg& m) {
    const bool forUs = m.slotIds[static_cast<std::size_t>(m.slot)] == net.session.LocalId() && m.slotIds[0] == from;
    if (net.started) {
        // A player came back: the host says again who holds which slot.
        if (!forUs || SlotOfId(net, from) != 0 || IsHost(game) || m.slot != game.Heroes().localPlayer ||
            m.lastPlayer != game.Heroes().lastPlayer || !TakeSlotIds(game, net, m.slotIds))
            return void(++net.refused);
        return;
    }
    const auto players = PresentPlayers(net.session);
    const bool fromHost = !players.empty() && players.front()->id == from;
    if (net.lobbyState != kLobbyInSession || !fromHost || !forUs) {
        ++net.refused;
        return;
    }
    Actors& actors = game.Heroes();
    actors.localPlayer = m.slot;
    actors.lastPlayer = m.lastPlayer;
    net.slotIds.fill(0);
    net.gone.fill(false);
    TakeSlotIds(game, net, m.slotIds);
    // Players who were gone when this one came back are known by their
    // empty place in the session.
    for (int i = 0; i <= m.lastPlayer; ++i) {
        const SessionPlayer* p = PlayerWithId(net.session, net.slotIds[static_cast<std::size_t>(i)]);
        net.gone[static_cast<std::size_t>(i)] = !p || p->gone;
    }
    LeaveLobby(game, net, m.intervalMs);
    if (m.level >= 0) {  // back into a running game: the host's level, the lives kept
        Actor& local = actors.Local();
        local.lives = m.lives;
        game.StartLevel(m.level);
        local.levelIndex = m.level;
    }
}

// The host takes a dropped player back into the slot it had.
void Rejoin(GamePort& game, NetPlay& net, std::int32_t id, const std::string& longName) {
    int slot = -1;
    for (int i = 1; i <= game.Heroes().Last() && slot < 0; ++i) {
        const std::size_t s = static_cast<std::size_t>(i);
        const SessionPlayer* before = PlayerWithId(net.session, net.slotIds[s]);
        if (net.gone[s] && before && before->longName == longName) slot = i;
    }
    if (slot < 0) return;
    const std::size_t s = static_cast<std::size_t>(slot);
    net.slotIds[s] = id;
    net.gone[s] = false;
    Actor& a = game.Heroes().actor[s];
    a.networkId = id;
    const std::int32_t level = game.Playing() ? game.Heroes().actor[0].levelIndex : -1;
    a.levelIndex = level;
    if (level >= 0) PutOnStartPoint(a, game.Level());
    ClaimsRejoined(net.claims.slots[s], a.lives, game.Now());
    for (int i = 1; i <= game.Heroes().Last(); ++i) {
        const std::size_t to = static_cast<std::size_t>(i);
        if (net.gone[to]) continue;
        Send(net, net.slotIds[to],
             StartMsg{i, game.Heroes().lastPlayer, game.RefreshInterval(), net.slotIds, i == slot ? level : -1,
                      i == slot ? std::max(-1, a.lives) : 0},
             true);
    }
    // Then the level as it is now: its whole state, or, should that not go,
    // at least every cell emptied since it began.
    if (level >= 0 && !SendWorldState(game, net, slot))
        for (CellEventMsg m : net.pickups) {
            m.slot = 0;
            Send(net, id, m, true);
        }
    game.ShowKept(CalledName(net.session, id) + " IS BACK");
}

void OnPlayerState(GamePort& game, NetPlay& net, const PlayerStateMsg& m) {
    Actor& a = game.Heroes().actor[static_cast<std::size_t>(m.slot)];
    if (a.lives >= 0 && m.lives < 0 && m.levelIndex >= 0 && m.levelIndex == game.Heroes().Local().levelIndex)
        game.ShowKept(CalledName(net.session, net.slotIds[static_cast<std::size_t>(m.slot)]) +
                                          " HAS NO LIVES LEFT");
    a.x = PeerPosition(m.x);
    a.y = PeerPosition(m.y);
    a.z = PeerPosition(m.z);
    a.heading = PeerHeading(m.heading);
    a.velX = PeerSpeed(m.velX, kFastestPerTick);
    a.velY = PeerSpeed(m.velY, kFastestPerTick);
    a.velZ = PeerSpeed(m.velZ, kFastestPerTick);
    a.turnRate = PeerSpeed(m.turnRate, kTurn);
    a.animState = std::clamp(m.animState, 0, kPoseCount - 1);
    a.blendTime = m.blendTime;
    a.levelIndex = m.levelIndex;
    a.lives = m.lives;
}

void PickupSound(GamePort& game, const Actor& sender, const ObjectDef& def) {
    if (def.actionSound == kNoSound) return;
    game.Sound().PlaySoundAt(def.actionSound, RoundToInt(sender.x), RoundToInt(sender.y), RoundToInt(sender.z),
                           def.actionVolume);
}

// True when the event changed this machine's level.
bool OnCellEvent(GamePort& game, NetPlay& net, const CellEventMsg& m) {
    World& world = game.Level();
    Actor& sender = game.Heroes().actor[static_cast<std::size_t>(m.slot)];
    // Only the level the event happened in may change: a player still in
    // another level (or one whose event crossed a level start) changes nothing.
    if (!game.Playing() || m.level != game.Heroes().Local().levelIndex) {
        ++net.refused;
        return false;
    }
    switch (m.code) {
        case kNetDig:
            DigHole(world, m.x, m.y, m.z, m.value, game.Rules());
            sender.animState = kPoseShoot;
            sender.stunMs = 500;
            sender.blendTime = 250;
            return true;
        case kNetPush:
            PushBlock(world, m.x, m.y, m.z, static_cast<float>(m.value), game.Rules());
            sender.animState = kPoseShoot;
            sender.stunMs = 500;
            sender.blendTime = 100;
            return true;
        case kNetLever:
            PullLever(world, m.x, m.y, m.z, game.Rules());
            sender.animState = kPoseShoot;
            sender.stunMs = 300;
            sender.blendTime = 100;
            return true;
        default: break;
    }
    // A pick-up takes what the cell holds here, and only the kind of thing
    // the event names.
    const ObjectDef* def = DefinedObject(world, m.value);
    const bool kindMatches = def && ((m.code == kNetIngot && def->lingot) || (m.code == kNetTimer && def->timer) ||
                                     (m.code == kNetOneUp && def->oneUp) || (m.code == kNetLight && def->light));
    if (!kindMatches || GetCell(world, m.x, m.y, m.z) != m.value) {
        ++net.refused;
        return false;
    }
    PickupSound(game, sender, *def);
    SetCell(world, m.x, m.y, m.z, 0);
    if (IsHost(game)) NotePickup(net, m);
    switch (m.code) {
        case kNetIngot:
            if (def->cellCount < 1) OpenDoors(world, def->lingotDoor, game.Rules());
            break;
        case kNetTimer:
            AddTimerBonus(world, def->timerDuration);
            break;
        case kNetLight:
            sender.lightTarget = sender.lightTarget != kLightNormal ? kLightNormal : kLightDim;
            break;
        default: break;  // 1UP: the sender's lives come with its next state
    }
    return true;
}

// The level the host plays, -1 when it is not in one.
std::int32_t HostLevel(const GamePort& game) {
    return game.Playing() ? game.Heroes().Local().levelIndex : -1;
}

// The host refused a claim: the sender hears where its hero was last
// accepted and how many lives it has, and the log gets the first refusal of
// each kind.
void RefuseClaim(GamePort& game, NetPlay& net, std::int32_t from, int slot, int kind) {
    ++net.refused;
    if (kind < kClaimTooFast || kind >= kClaimKindCount) return;
    if (net.claims.refused[static_cast<std::size_t>(kind)]++ == 0)
        game.Log("network: refused a claim of " + CalledName(net.session, from) + ": " + ClaimRefusalText(kind) +
                      " (further refusals of this kind are only counted)");
    if (kind == kClaimWrongLevel) return;  // between levels: nothing to put right
    ClaimRecord& r = net.claims.slots[static_cast<std::size_t>(slot)];
    const std::int32_t now = game.Now();
    if (now - r.lastPutBack < kPutBackGapMs) return;
    r.lastPutBack = now;
    const std::int32_t level = HostLevel(game);
    PutBackMsg back{slot, TruncToInt(r.x), TruncToInt(r.y), TruncToInt(r.z), std::max(-1, r.livesCap),
                    level >= 0 && r.level == level ? level : -1};
    Send(net, from, back, true);
}

template <typename Claim>
bool HostAccepts(GamePort& game, NetPlay& net, std::int32_t from, const Claim& m) {
    ClaimRecord& record = net.claims.slots[static_cast<std::size_t>(m.slot)];
    int verdict = kClaimOk;
    if constexpr (std::is_same_v<Claim, PlayerStateMsg>)
        verdict = CheckState(game.Level(), record, HostLevel(game), m, game.Now());
    else
        verdict = CheckCellEvent(game.Level(), record, HostLevel(game), m, game.Now());
    if (verdict == kClaimOk) return true;
    if (verdict != kClaimHeld) RefuseClaim(game, net, from, m.slot, verdict);
    return false;
}

// The host sends this player's hero back where it last accepted it.
void OnPutBack(GamePort& game, NetPlay& net, const PutBackMsg& m) {
    if (m.slot != game.Heroes().localPlayer) return void(++net.refused);
    Actor& local = game.Heroes().Local();
    local.lives = std::min(local.lives, m.lives);
    if (m.level < 0 || m.level != local.levelIndex || !game.Playing()) return;
    local.x = static_cast<float>(m.x);
    local.y = static_cast<float>(m.y);
    local.z = static_cast<float>(m.z);
    local.velX = local.velY = local.velZ = 0;
    local.fallSpeed = 0;
    local.onLadder = false;
}

// The host: a player asks for the level's state, or for one lost piece of it.
void OnWorldAsk(GamePort& game, NetPlay& net, int slot, const WorldAskMsg& m) {
    if (!IsHost(game) || slot < 1 || m.level != HostLevel(game)) return void(++net.refused);
    const WorldSent& sent = net.worldSent[static_cast<std::size_t>(slot)];
    const std::int32_t count =
        static_cast<std::int32_t>((sent.bytes.size() + kWorldPieceBytes - 1) / kWorldPieceBytes);
    if (m.index >= 0 && m.id == sent.id && sent.id != 0 && sent.level == m.level && m.index < count) {
        const std::size_t from = static_cast<std::size_t>(m.index) * kWorldPieceBytes;
        const std::size_t size = std::min<std::size_t>(kWorldPieceBytes, sent.bytes.size() - from);
        WorldPieceMsg piece{sent.level, sent.id, static_cast<std::int32_t>(sent.bytes.size()), m.index,
                            std::vector<std::uint8_t>(sent.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                                      sent.bytes.begin() + static_cast<std::ptrdiff_t>(from + size))};
        Send(net, net.slotIds[static_cast<std::size_t>(slot)], piece, true);
        return;
    }
    // A new state, but not more often than the gap allows.
    if (sent.id != 0 && game.Now() - sent.time < kWorldAskGapMs) return void(++net.refused);
    SendWorldState(game, net, slot);
}

// A player: a piece of the host's level state.  The set restores once
// complete; one that does not restore is dropped and said so in the log.
void OnWorldPiece(GamePort& game, NetPlay& net, const WorldPieceMsg& m) {
    WorldTransfer& in = net.incoming;
    const std::int32_t now = game.Now();
    if (IsHost(game) || !game.Playing() || m.level != game.Heroes().Local().levelIndex)
        return void(++net.refused);
    if (m.id != in.id || m.level != in.level || m.total != in.total) {
        // A new set replaces one still under way.
        in = WorldTransfer{};
        in.id = m.id;
        in.level = m.level;
        in.total = m.total;
        in.bytes.assign(static_cast<std::size_t>(m.total), 0);
        in.have.assign(static_cast<std::size_t>(m.Count()), false);
        in.started = now;
        in.asked = now;
    }
    in.lastHeard = now;
    const std::size_t index = static_cast<std::size_t>(m.index);
    if (in.have[index]) return;
    std::copy(m.data.begin(), m.data.end(), in.bytes.begin() + static_cast<std::ptrdiff_t>(index * kWorldPieceBytes));
    in.have[index] = true;
    if (++in.got < m.Count()) return;
    // Taken on the host half a round trip ago.
    const LinkStats link = net.session.Link(net.slotIds[0]);
    const LevelStateTaken restored = game.RestoreLevelState(in.bytes, std::max(0, link.roundTripMs / 2));
    in = WorldTransfer{};
    net.checkMisses = 0;
    if (!restored.ok) {
        ++net.worldsRefused;
        game.Log("network: the host's level state was refused: " + restored.why);
        return;
    }
    ++net.worldsTaken;
    net.lastWorldTaken = now;
}

// A player: the host's checksum of its cells.  Checks that keep
// disagreeing bring the level's state over again.
void OnWorldCheck(GamePort& game, NetPlay& net, const WorldCheckMsg& m) {
    const std::int32_t now = game.Now();
    if (!game.Playing() || m.level != game.Heroes().Local().levelIndex || net.incoming.id != 0) return;
    if (CellsChecksum(game.Level()) == m.cells) {
        net.checkMisses = 0;
        return;
    }
    if (++net.checkMisses < kWorldChecksToAsk || now - net.lastWorldAsk < kWorldAskGapMs) return;
    net.checkMisses = 0;
    net.lastWorldAsk = now;
    Send(net, net.slotIds[0], WorldAskMsg{m.level, 0, -1}, true);
}

// A player: pieces still missing a while after the last one came are asked
// for again; a set that never completes is given up (the checks ask anew).
void AskMissingPieces(GamePort& game, NetPlay& net) {
    WorldTransfer& in = net.incoming;
    const std::int32_t now = game.Now();
    if (in.id == 0) return;
    if (now - in.started > kWorldLongestWaitMs || in.level != game.Heroes().Local().levelIndex ||
        !game.Playing()) {
        in = WorldTransfer{};
        return;
    }
    if (now - in.lastHeard < kWorldPieceWaitMs || now - in.asked < kWorldPieceWaitMs) return;
    in.asked = now;
    int asked = 0;
    for (std::size_t i = 0; i < in.have.size() && asked < kWorldPiecesAsked; ++i) {
        if (in.have[i]) continue;
        Send(net, net.slotIds[0], WorldAskMsg{in.level, in.id, static_cast<std::int32_t>(i)}, true);
        ++asked;
    }
}

void OnStartLevel(GamePort& game, std::int32_t level) {
    Actor& local = game.Heroes().Local();
    if (local.levelIndex < 0) local.lives = kStartLives;  // from the title: a new game
    game.CancelFade();
    game.StartLevel(level);
    local.levelIndex = level;
}

std::string LeftText(const NetPlay& net, std::int32_t id, bool lost) {
    return CalledName(net.session, id) + (lost ? " HAS LEFT THE GAME: CONNECTION LOST" : " HAS LEFT THE GAME");
}

void OnPlayerLeft(GamePort& game, NetPlay& net, std::int32_t id, bool lost) {
    if (!net.started) {
        if (net.lobbyState == kLobbyStarting) {  // the host stops waiting for its answer
            const int slot = SlotOfId(net, id);
            if (slot > 0) net.gone[static_cast<std::size_t>(slot)] = true;
            FinishStartIfAnswered(game, net);
            return;
        }
        const bool hostLeft = SessionHostId(net.session) == id && id != net.session.LocalId();
        if (net.lobbyState == kLobbyInSession && hostLeft) {
            const char* text = lost ? kHostLostText : kHostLeftText;
            game.ShowKept(text);
            // Out of the ended session, so that another can be created or joined.
            net.session.LeaveSession();
            ResetLobby(game, net);
            net.panel.notice = text;
        } else {
            if (game.Heroes().lastPlayer > 0) game.Heroes().lastPlayer -= 1;
            if (net.lobbyState == kLobbyInSession) game.ShowKept(LeftText(net, id, lost));
        }
        return;
    }
    const int slot = SlotOfId(net, id);
    if (slot < 0) return;
    net.gone[static_cast<std::size_t>(slot)] = true;
    if (slot != 0 || IsHost(game)) {
        game.ShowKept(LeftText(net, id, lost));
        return;
    }
    // Without the host nobody starts levels or moves the sentries: back to the
    // title as a single player.
    Actors& actors = game.Heroes();
    actors.actor[0].lives = actors.Local().lives;
    actors.localPlayer = 0;
    actors.lastPlayer = 0;
    game.Rules().networkGame = false;
    net.started = false;
    game.FadeToTitle();
    game.ShowKept(lost ? kHostLostText : kHostLeftText);
}

void SendOwnState(GamePort& game, NetPlay& net, bool reliable) {
    const Actor& a = game.Heroes().Local();
    PlayerStateMsg m;
    m.slot = game.Heroes().localPlayer;
    m.x = TruncToInt(a.x);
    m.y = TruncToInt(a.y);
    m.z = TruncToInt(a.z);
    m.heading = TruncToInt(a.heading);
    m.velX = TruncToInt(a.velX);
    m.velY = TruncToInt(a.velY);
    m.velZ = TruncToInt(a.velZ);
    m.turnRate = TruncToInt(a.turnRate);
    m.animState = a.animState;
    m.blendTime = a.blendTime;
    m.levelIndex = a.levelIndex;
    m.lives = a.lives;
    Send(net, kAllPlayers, m, reliable);
}

}  // namespace

MessageLimits LimitsFor(const GamePort& game, const NetPlay&) {
    MessageLimits l;
    l.lastPlayer = game.Heroes().Last();
    l.sentryCount = std::clamp(game.Level().sentryCount, 0, kMaxSentries);
    l.levelCount = game.LevelCount();
    l.sizeX = game.Level().sizeX;
    l.sizeY = game.Level().sizeY;
    l.sizeZ = game.Level().sizeZ;
    return l;
}

void HandleGameMessage(GamePort& game, NetPlay& net, std::int32_t from, std::span<const std::uint8_t> bytes) {
    DecodeResult decoded = DecodeMessage(bytes, LimitsFor(game, net));
    if (!decoded.message) {
        ++net.refused;
        return;
    }
    const GameMessage& message = *decoded.message;
    const int fromSlot = SlotOfId(net, from);
    const bool fromHost = net.started && fromSlot == 0 && !IsHost(game);

    if (const auto* m = std::get_if<StartMsg>(&message)) return OnStart(game, net, from, *m);
    if (std::holds_alternative<PingMsg>(message)) {
        Send(net, from, PingAnswerMsg{}, true);
        return;
    }
    if (std::holds_alternative<PingAnswerMsg>(message)) return OnPingAnswer(game, net, from);
    if (!NetworkGame(game, net) || fromSlot < 0) {
        ++net.refused;
        return;
    }
    if (const auto* m = std::get_if<PlayerStateMsg>(&message)) {
        // A player speaks only for its own slot, and nobody moves ours.
        if (m->slot != fromSlot || m->slot == game.Heroes().localPlayer) return void(++net.refused);
        if (IsHost(game) && !HostAccepts(game, net, from, *m)) return;
        OnPlayerState(game, net, *m);
        // The announcement of leaving a level travels reliably, the rest not.
        if (IsHost(game)) net.session.ForwardGameMessage(from, EncodeMessage(*m), m->levelIndex < 0);
        return;
    }
    if (const auto* m = std::get_if<CellEventMsg>(&message)) {
        if (m->slot != fromSlot || m->slot == game.Heroes().localPlayer) return void(++net.refused);
        if (IsHost(game) && !HostAccepts(game, net, from, *m)) return;
        if (OnCellEvent(game, net, *m) && IsHost(game)) net.session.ForwardGameMessage(from, EncodeMessage(*m), true);
        return;
    }
    if (const auto* m = std::get_if<WorldAskMsg>(&message)) return OnWorldAsk(game, net, fromSlot, *m);
    // Everything else only the host sends.
    if (!fromHost) return void(++net.refused);
    if (const auto* m = std::get_if<WorldPieceMsg>(&message)) return OnWorldPiece(game, net, *m);
    if (const auto* m = std::get_if<WorldCheckMsg>(&message)) return OnWorldCheck(game, net, *m);
    if (const auto* m = std::get_if<PutBackMsg>(&message)) return OnPutBack(game, net, *m);
    if (std::holds_alternative<SentryStepMsg>(message)) {
        if (game.Playing())
            SentryThink(game.Level(), game.Heroes(), game.SentryCues(),
                        game.Rules());
    } else if (const auto* m = std::get_if<SentryPositionMsg>(&message)) {
        SentryState& s = game.Level().sentries[static_cast<std::size_t>(m->number - 1)];
        s.x = PeerPosition(m->x);
        s.y = PeerPosition(m->y);
        s.z = PeerPosition(m->z);
        s.heading = PeerHeading(m->heading);
    } else if (const auto* m = std::get_if<StartLevelMsg>(&message)) {
        OnStartLevel(game, m->level);
    } else if (const auto* m = std::get_if<LevelTimerMsg>(&message)) {
        // A clock below zero counts as run out; held at zero, the countdown
        // cannot wrap it.
        if (game.Playing()) game.Level().timerLeft = std::max(0, m->timeLeftMs);
    } else if (const auto* m = std::get_if<BackToTitleMsg>(&message)) {
        if (m->ending == kEndGameOver) {
            if (game.Playing()) EnterNetworkGameOver(game);
        } else if (m->ending == kEndCredits) {
            if (game.Playing()) {
                game.FadeToCredits();
            }
        } else if (game.Playing()) {
            // The end credits run on to their end on every machine.
            game.FadeToTitle();
        }
    }
}

std::int32_t SendIntervalFor(LinkStats link, std::int32_t longestMs) {
    const std::int32_t longest = std::max(kShortestSendMs, longestMs);
    if (link.roundTripMs <= 0) return longest;
    const std::int32_t heard = std::clamp(100 - link.lossPercent, 0, 100);
    const std::int32_t forLoss = kSilentWarningMs * heard / 100 / kPositionsPerWarning;
    return std::clamp(std::min(link.roundTripMs / 2, forLoss), kShortestSendMs, longest);
}

namespace {

// The host sends each state to everybody: the link that needs the most
// sends sets the pace.  A joiner sends only to the host.
std::int32_t CurrentSendInterval(const GamePort& game, const NetPlay& net) {
    const std::int32_t longest = game.RefreshInterval();
    if (!IsHost(game)) return SendIntervalFor(net.session.Link(net.slotIds[0]), longest);
    std::int32_t interval = std::max(kShortestSendMs, longest);
    for (int i = 1; i <= game.Heroes().Last(); ++i) {
        const std::size_t s = static_cast<std::size_t>(i);
        if (!net.gone[s]) interval = std::min(interval, SendIntervalFor(net.session.Link(net.slotIds[s]), longest));
    }
    return interval;
}

}  // namespace

void PeriodicSends(GamePort& game, NetPlay& net) {
    if (!NetworkGame(game, net)) return;
    const std::int32_t now = game.Now();
    net.sendInterval = CurrentSendInterval(game, net);
    if (!IsHost(game)) AskMissingPieces(game, net);
    if (IsHost(game) && game.Playing() && now - net.lastWorldCheck >= kWorldCheckMs) {
        net.lastWorldCheck = now;
        Send(net, kAllPlayers, WorldCheckMsg{HostLevel(game), CellsChecksum(game.Level())}, false);
    }
    if (now - net.lastSend < net.sendInterval) return;
    net.lastSend = now;
    SendOwnState(game, net, false);
    if (!IsHost(game)) return;
    const World& world = game.Level();
    if (world.timerRunning && world.timerLeft > 0) Send(net, kAllPlayers, LevelTimerMsg{world.timerLeft}, true);
    Send(net, kAllPlayers, SentryStepMsg{}, false);
    for (int i = 0; i < std::clamp(world.sentryCount, 0, kMaxSentries); ++i) {
        const SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        Send(net, kAllPlayers,
             SentryPositionMsg{i + 1, TruncToInt(s.x), TruncToInt(s.y), TruncToInt(s.z), TruncToInt(s.heading)}, false);
    }
}

std::uint32_t CellsChecksum(const World& world) {
    std::uint32_t hash = 2166136261u;
    for (const Cell c : world.cells) {
        hash = (hash ^ (static_cast<std::uint32_t>(c) & 0xFFu)) * 16777619u;
        hash = (hash ^ (static_cast<std::uint32_t>(c) >> 8)) * 16777619u;
    }
    return hash;
}

bool SendWorldState(GamePort& game, NetPlay& net, int slot) {
    const std::int32_t level = HostLevel(game);
    if (!IsHost(game) || level < 0 || slot < 1 || slot > game.Heroes().Last()) return false;
    const std::size_t s = static_cast<std::size_t>(slot);
    Bytes bytes = game.SaveLevelState();
    if (bytes.size() > static_cast<std::size_t>(kMaxWorldBytes)) {
        game.Log("network: the level's state is too large to send (" + std::to_string(bytes.size()) + " bytes)");
        return false;
    }
    WorldSent& sent = net.worldSent[s];
    sent.id = ++net.lastWorldId;
    sent.level = level;
    sent.time = game.Now();
    sent.bytes = std::move(bytes);
    const std::int32_t total = static_cast<std::int32_t>(sent.bytes.size());
    for (std::int32_t at = 0, index = 0; at < total; at += kWorldPieceBytes, ++index) {
        const std::int32_t size = std::min(kWorldPieceBytes, total - at);
        WorldPieceMsg piece{level, sent.id, total, index,
                            std::vector<std::uint8_t>(sent.bytes.begin() + at, sent.bytes.begin() + at + size)};
        Send(net, net.slotIds[s], piece, true);
    }
    return true;
}

SharedLevel SharedLevelState(const GamePort& game, const NetPlay& net) {
    const World& world = game.Level();
    const Actors& actors = game.Heroes();
    const std::int32_t level = actors.actor[0].levelIndex;
    int playing = 0, atExit = 0;
    for (int i = 0; i <= actors.Last(); ++i) {
        const Actor& a = actors.actor[static_cast<std::size_t>(i)];
        if (net.gone[static_cast<std::size_t>(i)] || a.levelIndex != level || a.lives < 0) continue;
        ++playing;
        if (CellOf(a.x) == world.exitX && CellOf(a.y) == world.exitY && CellOf(a.z) == world.exitZ) ++atExit;
    }
    if (playing == 0) return SharedLevel::Lost;
    return atExit == playing ? SharedLevel::Won : SharedLevel::Playing;
}

void EnterNetworkGameOver(GamePort& game) {
    // The same screen as a single player's last life, then the title.
    game.EnterGameOver();
}

void WatchConnections(GamePort& game, NetPlay& net) {
    NetSession& session = net.session;
    const bool inSession = game.InLobby()
                               ? net.lobbyState == kLobbyInSession || net.lobbyState == kLobbyStarting
                               : net.started;
    if (!session.Connected() || !inSession) return;
    const std::int32_t host = SessionHostId(session);
    for (std::size_t i = 1; i < session.Players().size(); ++i) {
        const SessionPlayer& p = session.Players()[i];
        if (p.gone || p.id == session.LocalId() || session.SilenceMs(p.id) <= kSilentWarningMs) continue;
        game.ShowStatus(p.id == host ? std::string(kHostUnstableText) : "CONNECTION PROBLEM: " + CalledName(session, p.id));
        return;
    }
}

void CheckStartTimeout(GamePort& game, NetPlay& net) {
    if (net.started || net.lobbyState != kLobbyStarting || game.Now() - net.startTime < kStartAnswerWaitMs) return;
    std::string silent;
    for (int i = 1; i <= game.Heroes().Last(); ++i) {
        const std::size_t s = static_cast<std::size_t>(i);
        if (net.gone[s] || game.Heroes().actor[s].pingAnswered) continue;
        net.gone[s] = true;
        silent += (silent.empty() ? "" : ", ") + CalledName(net.session, net.slotIds[s]);
        // An empty slot: the others see it gone, and what that machine may
        // still send is nobody's.
        net.slotIds[s] = 0;
        game.Heroes().actor[s].networkId = 0;
    }
    FinishStartIfAnswered(game, net);
    if (!silent.empty()) game.ShowKept("NO ANSWER FROM " + silent + ": STARTED WITHOUT THEM");
}

bool OthersAtExit(const GamePort& game, const NetPlay& net) {
    const World& world = game.Level();
    const Actors& actors = game.Heroes();
    const std::int32_t level = actors.actor[0].levelIndex;
    for (int i = 0; i <= actors.Last(); ++i) {
        const Actor& a = actors.actor[static_cast<std::size_t>(i)];
        if (i == actors.localPlayer || net.gone[static_cast<std::size_t>(i)]) continue;
        if (a.lives < 0 || a.levelIndex != level) continue;
        if (CellOf(a.x) != world.exitX || CellOf(a.y) != world.exitY || CellOf(a.z) != world.exitZ) return false;
    }
    return true;
}

void AttachNetPlay(GamePort& game, NetPlay& net) {
    NetSession& session = net.session;
    session.onAddPlayer = [&game, &net](std::int32_t id, const std::string& longName, const std::string&) {
        if (net.started) {
            if (IsHost(game)) Rejoin(game, net, id, longName);
            return;
        }
        if (game.Heroes().lastPlayer >= kMaxPlayers - 1) return;
        game.Heroes().lastPlayer += 1;
        game.Heroes().actor[static_cast<std::size_t>(game.Heroes().lastPlayer)].networkId = id;
        if (net.lobbyState == kLobbyInSession) ShowPlayerList(net);
    };
    session.onDeletePlayer = [&game, &net](std::int32_t id, const std::string&, const std::string&) {
        const SessionPlayer* p = PlayerWithId(net.session, id);
        OnPlayerLeft(game, net, id, p && p->lost);
        if (!net.started && net.lobbyState == kLobbyInSession) ShowPlayerList(net);
    };
    session.onGameMessage = [&game, &net](std::int32_t from, std::int32_t, std::span<const std::uint8_t> bytes) {
        HandleGameMessage(game, net, from, bytes);
    };
    // The lobby says what failed in words (LobbyFailure); the code goes to the log.
    session.showError = [](const std::string& text) { std::cerr << "network: " << text << "\n"; };

    NetworkHooks& hooks = game.Hooks();
    hooks.beginFrame = [&game, &net] {
        net.session.FrameTime(game.Now());
        net.session.Pump();
        CheckStartTimeout(game, net);
        WatchConnections(game, net);
    };
    hooks.lobbyFrame = [&game, &net] { LobbyFrame(game, net); };
    hooks.playSends = [&game, &net] { PeriodicSends(game, net); };
    hooks.levelStarting = [&game, &net](std::int32_t level) {
        net.pickups.clear();
        net.incoming = WorldTransfer{};
        net.checkMisses = 0;
        // From the title it is a new game: everybody starts with full lives.
        ClaimsLevelStarted(net.claims, !game.Playing(), game.Now());
        if (NetworkGame(game, net) && IsHost(game)) Send(net, kAllPlayers, StartLevelMsg{level}, true);
    };
    hooks.titleEntered = [&game, &net] {
        if (!NetworkGame(game, net)) return;
        if (IsHost(game)) Send(net, kAllPlayers, BackToTitleMsg{}, true);
        SendOwnState(game, net, true);  // level -1: this player has left its level
    };
    hooks.othersAtExit = [&game, &net] { return OthersAtExit(game, net); };
    hooks.sharedLevel = [&game, &net] { return NetworkGame(game, net) ? SharedLevelState(game, net) : SharedLevel::Playing; };
    hooks.everybodyOut = [&game, &net] {
        if (NetworkGame(game, net) && IsHost(game)) Send(net, kAllPlayers, BackToTitleMsg{kEndGameOver}, true);
        EnterNetworkGameOver(game);
    };
    hooks.creditsEntered = [&game, &net] {
        if (NetworkGame(game, net) && IsHost(game)) Send(net, kAllPlayers, BackToTitleMsg{kEndCredits}, true);
    };
    hooks.playerName = [&net](int slot) {
        return slot >= 0 && slot < kMaxPlayers ? net.session.ShortNameOf(net.slotIds[static_cast<std::size_t>(slot)])
                                               : std::string();
    };
    hooks.playerGone = [&net](int slot) { return slot >= 0 && slot < kMaxPlayers && net.gone[static_cast<std::size_t>(slot)]; };
    game.Rules().sendEvent = [&game, &net](std::int32_t code, std::int32_t x, std::int32_t y, std::int32_t z,
                                         std::int32_t value) {
        if (!NetworkGame(game, net)) return;
        const Actor& local = game.Heroes().Local();
        // Where the hero stands goes with it: the host checks the reach from there.
        const CellEventMsg m{game.Heroes().localPlayer, code, x, y, z, value, local.levelIndex, true,
                             TruncToInt(local.x), TruncToInt(local.y), TruncToInt(local.z)};
        if (IsHost(game)) NotePickup(net, m);
        Send(net, kAllPlayers, m, true);
    };
}

void OpenLobby(GamePort& game, NetPlay& net) {
    game.OpenLobbyScreen();
    net.lobbyState = kLobbyChooseProvider;
    net.panel.askingNickname = true;
    net.panel.nickname = game.Nickname();
    net.refreshTime = game.Now();
    game.Heroes().localPlayer = 0;
    game.Heroes().lastPlayer = 0;
}

void SubmitNickname(GamePort& game, NetPlay& net, const std::string& nickname) {
    game.SetNickname(nickname);
    net.session.longName = nickname;
    net.session.shortName = nickname;
    net.panel.askingNickname = false;
    ResetLobby(game, net);
}

void LobbyNewGame(GamePort& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    if (net.lobbyState == kLobbyChooseProvider) {
        if (panel.selected < 0 || panel.selected >= static_cast<std::int32_t>(panel.list.size())) return;
        net.session.gameName = kGameNamePrefix + net.session.longName;
        panel.notice.clear();
        if (!net.session.SelectProvider(panel.list[static_cast<std::size_t>(panel.selected)], true))
            return LobbyFailure(game, net, net.session.LastFailure(), true, std::to_string(net.port));
        panel.hostAddresses = net.session.HostAddresses();
        panel.newCaption = "Go";
        panel.joinEnabled = false;
        net.lobbyState = kLobbyInSession;
        game.Heroes().localPlayer = 0;
        game.Heroes().lastPlayer = 0;
        ShowPlayerList(net);
    } else if (net.lobbyState == kLobbyInSession && panel.newEnabled) {
        HostGo(game, net);
    }
}

void LobbyJoinGame(GamePort& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    if (!panel.joinEnabled || panel.selected < 0 || panel.selected >= static_cast<std::int32_t>(panel.list.size()))
        return;
    if (net.lobbyState == kLobbyChooseProvider) {
        net.provider = panel.list[static_cast<std::size_t>(panel.selected)];
        panel.notice.clear();
        if (!net.session.SelectProvider(net.provider, false))
            return LobbyFailure(game, net, net.session.LastFailure(), false, {});
        net.lobbyState = kLobbyChooseSession;
        panel.selected = 0;
        panel.sessionIds.clear();
        panel.searchStart = game.Now();
        game.TakeText();  // what was typed before is no address
        ShowSessionList(net);
        panel.newEnabled = false;
        panel.joinCaption = "Select Game";
    } else if (net.lobbyState == kLobbyChooseSession) {
        const auto& sessions = net.session.Sessions();
        if (panel.selected >= static_cast<std::int32_t>(sessions.size())) return;
        const SessionEntry chosen = sessions[static_cast<std::size_t>(panel.selected)];
        panel.notice.clear();
        panel.joining = chosen.address;
        panel.joinStart = game.Now();
        panel.joinFailure = kTransportOk;
        if (!net.session.BeginJoin(chosen.id)) {
            // The search goes on: the player may pick again.
            panel.asked.clear();
            panel.joinFailure = net.session.LastFailure();
            return LobbyFailure(game, net, net.session.LastFailure(), false, chosen.address);
        }
        net.lobbyState = kLobbyJoining;
        LobbyJoinProgress(game, net);
    }
}

void LobbyJoinProgress(GamePort& game, NetPlay& net) {
    if (net.lobbyState != kLobbyJoining) return;
    LobbyPanel& panel = net.panel;
    const NetSession::Join state = net.session.JoinProgress();
    if (state == NetSession::Join::Waiting) return;
    if (state == NetSession::Join::Failed) {
        // Back to the search, the typed address still in its field.
        net.lobbyState = kLobbyChooseSession;
        panel.asked.clear();
        panel.joinFailure = net.session.LastFailure();
        return LobbyFailure(game, net, panel.joinFailure, false, panel.joining);
    }
    net.lobbyState = kLobbyInSession;
    panel.joinEnabled = false;
    // Everyone already in the session holds a slot before this player.
    game.Heroes().lastPlayer = std::min(kMaxPlayers - 1, static_cast<int>(PresentPlayers(net.session).size()) - 1);
    ShowPlayerList(net);
}

void LobbyRefresh(GamePort& game, NetPlay& net) {
    const std::int32_t now = game.Now();
    if (now - net.refreshTime <= kLobbyRefreshMs) return;
    net.refreshTime = now;
    if (net.lobbyState == kLobbyInSession) {
        ShowPlayerList(net);
    } else if (net.lobbyState == kLobbyChooseSession) {
        // The search runs on without waiting: this takes the answers so far.
        if (!net.session.SelectProvider(net.provider, false))
            return LobbyFailure(game, net, net.session.LastFailure(), false, {});
        ShowSessionList(net);
        if (net.panel.asked.empty()) return;
        // The address the player typed answered: join it.
        const auto& ids = net.panel.sessionIds;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (net.session.Sessions()[i].address != net.panel.asked) continue;
            net.panel.selected = static_cast<std::int32_t>(i);
            LobbyJoinGame(game, net);
            return;
        }
    }
}

}  // namespace zq
