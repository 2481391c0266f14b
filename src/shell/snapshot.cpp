// Snapshots of a running level.  One field list (the Transfer functions)
// serves both directions, so what is written and what is read never drift
// apart.  The payload is written whole (every slot of every table, the three
// planes as byte planes) and then run-length packed: most of it is zeros or
// long runs of one value, so a small level's snapshot stays small.
#include "shell/snapshot.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "core/text.h"
#include "rules/mechanisms.h"
#include "shell/game.h"

namespace zq {

namespace {

constexpr char kMagic[8] = {'Z', 'Q', 'S', 'N', 'A', 'P', 'S', 'H'};
constexpr std::size_t kHeaderBytes = 8 + 4 + 8 + 8;
constexpr std::uint32_t kMaxText = 4096;  // status line, level path: far below this

std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

// The unsigned integer a field is stored as (an enum's underlying type).
template <class T, bool = std::is_enum_v<T>>
struct StoredAs {
    using type = std::make_unsigned_t<T>;
};
template <class T>
struct StoredAs<T, true> {
    using type = std::make_unsigned_t<std::underlying_type_t<T>>;
};

// Writes fields little-endian, floats by their bits.
class Writer {
public:
    static constexpr bool kReading = false;
    template <class T>
    void Field(T& value) {
        static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T>);
        if constexpr (std::is_same_v<T, bool>) {
            bytes.push_back(value ? 1 : 0);
        } else if constexpr (std::is_floating_point_v<T>) {
            static_assert(sizeof(T) == 4);
            std::uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            Field(bits);
        } else {
            using U = typename StoredAs<T>::type;
            U bits = static_cast<U>(value);
            const std::size_t at = bytes.size();
            bytes.resize(at + sizeof(U));
            for (std::size_t i = 0; i < sizeof(U); ++i) bytes[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        }
    }
    void Text(std::string& text) {
        std::uint32_t size = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kMaxText));
        Field(size);
        bytes.insert(bytes.end(), text.begin(), text.begin() + size);
    }
    // A plane of cells as two byte planes (low bytes, then high bytes), so runs
    // of one value pack well; light and stretch planes as they are.
    void Plane(std::vector<Cell>& cells, std::size_t) {
        const std::size_t at = bytes.size(), count = cells.size();
        bytes.resize(at + 2 * count);
        std::uint8_t* out = bytes.data() + at;
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = static_cast<std::uint8_t>(cells[i]);
            out[count + i] = static_cast<std::uint8_t>(cells[i] >> 8);
        }
    }
    void Plane(std::vector<std::uint8_t>& plane, std::size_t) { bytes.insert(bytes.end(), plane.begin(), plane.end()); }
    void Fail(const char*) {}
    // A time stamp on the game's clock, and a value each machine keeps by
    // its own clock (a countdown, an animation's frame): both left out of the
    // comparison of two machines' levels.
    template <class T>
    void Stamp(T& value) {
        if (!levelOnly) Field(value);
    }
    template <class T>
    void Own(T& value) {
        if (!levelOnly) Field(value);
    }

    Bytes bytes;
    bool levelOnly = false;  // what the players change in the level, without clocks and sentries
};

// Reads what Writer wrote; any shortfall or bad value refuses the whole
// snapshot with the first reason met.
class Reader {
public:
    static constexpr bool kReading = true;
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    template <class T>
    void Field(T& value) {
        if constexpr (std::is_same_v<T, bool>) {
            std::uint8_t byte = 0;
            Field(byte);
            if (byte > 1) Fail("a flag is neither 0 nor 1");
            value = byte == 1;
        } else if constexpr (std::is_floating_point_v<T>) {
            std::uint32_t bits = 0;
            Field(bits);
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value)) {
                Fail("a number is not finite");
                value = 0;
            }
        } else {
            using U = typename StoredAs<T>::type;
            if (!Take(sizeof(U))) {
                value = T{};
                return;
            }
            U bits = 0;
            for (std::size_t i = 0; i < sizeof(U); ++i) bits = static_cast<U>(bits | (static_cast<U>(data_[i]) << (8 * i)));
            data_ += sizeof(U);
            value = static_cast<T>(bits);
        }
    }
    void Text(std::string& text) {
        std::uint32_t size = 0;
        Field(size);
        if (size > kMaxText) Fail("a text is too long");
        if (!Take(size)) return;
        text.assign(reinterpret_cast<const char*>(data_), size);
        data_ += size;
    }
    void Plane(std::vector<Cell>& cells, std::size_t count) {
        if (!Take(2 * count)) return;
        if (cells.size() != count) cellsChanged = true;
        cells.resize(count);
        unsigned diff = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const auto cell = static_cast<Cell>(data_[i] | (data_[count + i] << 8));
            diff |= static_cast<unsigned>(cells[i] ^ cell);
            cells[i] = cell;
        }
        if (diff != 0) cellsChanged = true;
        data_ += 2 * count;
    }
    void Plane(std::vector<std::uint8_t>& plane, std::size_t count) {
        if (!Take(count)) return;
        plane.assign(data_, data_ + count);
        data_ += count;
    }
    void Fail(const char* why) {
        if (ok) why_ = why;
        ok = false;
    }
    // Counts and indices: outside [low, high] the snapshot is damaged.
    template <class T>
    void Range(T value, std::int64_t low, std::int64_t high, const char* why) {
        // Compared as doubles: a float far out of range must not be cast to an integer.
        const double v = static_cast<double>(value);
        if (!(v >= static_cast<double>(low) && v <= static_cast<double>(high))) Fail(why);
    }
    template <class T>
    void Stamp(T& value) { Field(value); }
    template <class T>
    void Own(T& value) { Field(value); }
    bool AtEnd() const { return left_ == 0; }
    const std::string& Why() const { return why_; }
    bool ok = true;
    bool cellsChanged = false;  // a plane of cells read held other cells than it replaced

private:
    bool Take(std::size_t count) {
        if (!ok) return false;
        if (count > left_) {
            Fail("the snapshot ends early");
            return false;
        }
        left_ -= count;
        return true;
    }
    const std::uint8_t* data_;
    std::size_t left_;
    std::string why_;
};

// Moves every time stamp of a World by `delta` ms: a World taken on another
// machine goes onto this machine's clock.  Nothing else is touched.
class ClockShift {
public:
    static constexpr bool kReading = false;
    explicit ClockShift(std::int32_t delta) : delta_(delta) {}
    template <class T>
    void Field(T&) {}
    template <class T>
    void Stamp(T& value) {
        value = static_cast<T>(static_cast<std::int64_t>(value) + delta_);
    }
    template <class T>
    void Own(T&) {}
    void Text(std::string&) {}
    template <class P>
    void Plane(P&, std::size_t) {}
    void Fail(const char*) {}
    bool levelOnly = false;

private:
    std::int32_t delta_;
};

// The comparison of two machines' levels leaves out the sentries (each
// machine moves its own between the host's positions).
template <class Ar>
bool LevelOnly(const Ar& ar) {
    if constexpr (Ar::kReading) return false;
    else return ar.levelOnly;
}

// Range checks only mean something when reading; the writer skips them.
template <class Ar, class T>
void Check(Ar& ar, T value, std::int64_t low, std::int64_t high, const char* why) {
    if constexpr (Ar::kReading) ar.Range(value, low, high, why);
}

template <class Ar>
void Transfer(Ar& ar, FrameTime& t) {
    ar.Field(t.now);
    ar.Field(t.frameDelta);
}

template <class Ar>
void Transfer(Ar& ar, Commands& c) {
    for (bool* flag : {&c.forward, &c.back, &c.left, &c.right, &c.jump, &c.look, &c.action, &c.menu}) ar.Field(*flag);
}

template <class Ar>
void Transfer(Ar& ar, Actor& a) {
    for (float* f : {&a.x, &a.y, &a.z, &a.heading, &a.pitch, &a.roll, &a.lookBack, &a.velX, &a.velY, &a.velZ, &a.turnRate,
                     &a.pitchTarget, &a.rollTarget})
        ar.Field(*f);
    for (std::int32_t* i : {&a.levelIndex, &a.lives, &a.blendFrom, &a.animState, &a.blendTime, &a.blendStart, &a.lastState})
        ar.Field(*i);
    ar.Field(a.walkPhase);
    for (std::int32_t* i : {&a.width, &a.height, &a.stepHeight}) ar.Field(*i);
    Transfer(ar, a.commands);
    Transfer(ar, a.prevCommands);
    ar.Field(a.fallSpeed);
    ar.Field(a.onGround);
    ar.Field(a.stunMs);
    for (float* f : {&a.cameraX, &a.cameraY, &a.cameraZ, &a.cameraHeading, &a.cameraPitch, &a.cameraRoll,
                     &a.cameraDistance, &a.savedCameraDistance, &a.lightRange, &a.lightTarget})
        ar.Field(*f);
    ar.Field(a.dead);
    for (std::int32_t* i : {&a.walkAccel, &a.turnSpeed, &a.targetX, &a.targetY, &a.targetZ}) ar.Field(*i);
    ar.Field(a.onLadder);
    ar.Field(a.ladderExitX);
    ar.Field(a.ladderExitZ);
    for (std::int32_t* i : {&a.ladderHeading, &a.networkId, &a.pingStart}) ar.Field(*i);
    ar.Field(a.pingAnswered);
}

template <class Ar>
void Transfer(Ar& ar, SentryState& s) {
    for (float* f : {&s.x, &s.y, &s.z, &s.heading, &s.pitch, &s.span, &s.destX, &s.destY, &s.destZ, &s.targetHeading,
                     &s.targetPitch})
        ar.Field(*f);
    for (std::int32_t* i : {&s.cellX, &s.cellY, &s.cellZ, &s.width, &s.halfHeight, &s.mode, &s.speed, &s.lost})
        ar.Field(*i);
    ar.Stamp(s.soundTime);
    ar.Field(s.prey);
    ar.Field(s.stalled);
}

template <class Ar>
void Transfer(Ar& ar, World& w, std::size_t cellCount) {
    // The planes first: what the level looks like now.
    ar.Plane(w.cells, cellCount);
    ar.Plane(w.lightMap, cellCount);
    ar.Plane(w.stretchMap, cellCount);

    // Each object type's animation and loop-sound clock.
    for (ObjectDef& def : w.objectDefs) {
        ar.Own(def.animPosition);
        ar.Own(def.previousAnimPosition);
        Check(ar, def.animPosition, 0, kMaxMeshFrames, "an object animation is past its frames");
        Check(ar, def.previousAnimPosition, 0, kMaxMeshFrames, "an object animation is past its frames");
        ar.Stamp(def.lastLoopTime);
        ar.Own(def.loopPulse);
        // The boxes follow the animation's frame and the cell last looked at.
        for (std::int32_t& b : def.bounds) ar.Own(b);
        for (std::int32_t& b : def.currentBounds) ar.Own(b);
    }

    ar.Field(w.timerRunning);
    ar.Own(w.timerLeft);
    ar.Own(w.timerLastSecond);

    ar.Field(w.sentryCount);
    Check(ar, w.sentryCount, 0, kMaxSentries, "the sentry count is out of range");
    const int sentries = std::clamp(w.sentryCount, 0, kMaxSentries);
    if (!LevelOnly(ar))
        for (int i = 0; i < sentries; ++i) Transfer(ar, w.sentries[static_cast<std::size_t>(i)]);

    ar.Field(w.lastHole);
    Check(ar, w.lastHole, -1, kMaxHoles - 1, "the hole count is out of range");
    for (Hole& h : w.holes) {
        for (float* f : {&h.x, &h.y, &h.z}) ar.Field(*f);
        ar.Field(h.value);
        ar.Stamp(h.digTime);
        ar.Field(h.refillDelay);
    }

    ar.Field(w.lastMovingBlock);
    Check(ar, w.lastMovingBlock, -1, kMaxMovingBlocks - 1, "the moving block count is out of range");
    for (MovingBlock& b : w.movingBlocks) {
        for (float* f : {&b.x, &b.y, &b.z, &b.vx, &b.vy, &b.vz, &b.fromX, &b.fromY, &b.fromZ, &b.toX, &b.toY, &b.toZ})
            ar.Field(*f);
        ar.Field(b.value);
        ar.Field(b.kind);
        ar.Stamp(b.startTime);
        ar.Field(b.duration);
    }

    for (CellAnimation& c : w.cellAnimations) {
        for (float* f : {&c.x, &c.y, &c.z}) ar.Field(*f);
        ar.Field(c.object);
        ar.Field(c.finalValue);
        ar.Stamp(c.startTime);
        ar.Stamp(c.startTime2);
        ar.Own(c.position);
        ar.Own(c.previousPosition);
        ar.Field(c.inUse);
        Check(ar, c.position, -1, kMaxMeshFrames + 1, "a cell animation is past its frames");
        Check(ar, c.previousPosition, -1, kMaxMeshFrames + 1, "a cell animation is past its frames");
    }

    ar.Field(w.sweepCount);
    Check(ar, w.sweepCount, 0, kMaxCellSweeps, "the sweep count is out of range");
    for (CellSweep& s : w.sweeps) {
        ar.Field(s.kind);
        Check(ar, s.kind, CellSweep::kAnimate, CellSweep::kCheckSensors, "a sweep is of no known kind");
        ar.Field(s.type);
        ar.Field(s.finalValue);
        ar.Field(s.anim);
        ar.Field(s.next);
        Check(ar, s.next, 0, kMaxLevelCells, "a sweep is past the grid");
        ar.Field(s.keyMissing);
    }
    ar.Field(w.sweepCellsLeft);
    ar.Stamp(w.sweepFrameTime);
    ar.Field(w.sweeping);
    // Between two frames no sweep is running; a snapshot saying so would stall them all.
    Check(ar, w.sweeping ? 1 : 0, 0, 0, "a sweep is marked as running");

    for (EventMarker& m : w.eventMarkers) {
        for (std::int32_t* i : {&m.behaviour, &m.x, &m.y, &m.z, &m.step}) ar.Field(*i);
        ar.Stamp(m.stepStart);
        ar.Field(m.moving);
        for (std::uint8_t& p : m.padding) ar.Field(p);
        ar.Field(m.areaDone);
    }
    // A clip marker is used up by the hero of the machine that plays it.
    for (ClipMarker& m : w.clipMarkers)
        for (std::int32_t* i : {&m.x, &m.y, &m.z, &m.clip}) ar.Own(*i);

    for (std::int32_t* i : {&w.startX, &w.startY, &w.startZ, &w.startHeading, &w.exitX, &w.exitY, &w.exitZ}) ar.Field(*i);
}

// The parts of the Game a running level changes, besides the World.
struct GameParts {
    Actors actors;
    std::uint32_t seed = 0;
    FrameTime rulesTime;
    bool networkGame = false, menuOpenRules = false, gameOver = false;
    std::int32_t currentClipRules = -1, tickRemainderMs = 0, lastSoundUpdate = 0;
    FrameTime shellTime;
    std::int32_t screen = kScreenNone;
    std::uint32_t screenEnterTime = 0;
    bool firstFrame = false;
    Fade fade;
    std::int32_t afterFade = kAfterFadeNone;
    StatusLine status;
    bool clipPlaying = false, cinematicPlaying = false, buttonsHeld = false;
    PlayState play;
    std::int32_t currentClip = -1, nextClip = -1, clipFrame = 0, clipFrameStart = 0, shownClip = -1, shownShot = -1;
    float shownProgress = 0;
    std::int32_t optionKeyTime = 0;
    std::int32_t gameOverLevel = -1;
};

// Pairs each part of the game with its place in GameParts: `copy(inGame,
// inParts)`.  One list for both directions, so taking the parts and putting
// them back never disagree.  The Actors are paired whole.
template <class G, class F>
void PairParts(G& game, GameParts& p, F copy) {
    copy(game.actors, p.actors);
    copy(game.random.seed, p.seed);
    copy(game.rules.time, p.rulesTime);
    copy(game.rules.networkGame, p.networkGame);
    copy(game.rules.menuOpen, p.menuOpenRules);
    copy(game.rules.gameOver, p.gameOver);
    copy(game.rules.currentClip, p.currentClipRules);
    copy(game.rules.tickRemainderMs, p.tickRemainderMs);
    copy(game.rules.lastSoundUpdate, p.lastSoundUpdate);
    copy(game.shell.time, p.shellTime);
    copy(game.shell.screen, p.screen);
    copy(game.shell.screenEnterTime, p.screenEnterTime);
    copy(game.shell.firstFrame, p.firstFrame);
    copy(game.shell.fade, p.fade);
    copy(game.shell.afterFade, p.afterFade);
    copy(game.shell.status, p.status);
    copy(game.shell.clipPlaying, p.clipPlaying);
    copy(game.shell.cinematicPlaying, p.cinematicPlaying);
    copy(game.shell.buttonsHeld, p.buttonsHeld);
    copy(game.play, p.play);
    copy(game.clips.currentClip, p.currentClip);
    copy(game.clips.nextClip, p.nextClip);
    copy(game.clips.frame, p.clipFrame);
    copy(game.clips.frameStart, p.clipFrameStart);
    copy(game.clips.shownClip, p.shownClip);
    copy(game.clips.shownShot, p.shownShot);
    copy(game.clips.shownProgress, p.shownProgress);
    copy(game.options.optionKeyTime, p.optionKeyTime);
    copy(game.gameOverLevel, p.gameOverLevel);
}

GameParts PartsOf(const Game& game) {
    GameParts p;
    PairParts(game, p, [](const auto& inGame, auto& inParts) { inParts = inGame; });
    return p;
}

void PutParts(Game& game, const GameParts& parts) {
    // The Actors' meshes and sounds belong to the bank, not to the state.
    GameParts p = parts;
    for (std::size_t i = 0; i < p.actors.actor.size(); ++i) {
        Actor& restored = p.actors.actor[i];
        const Actor& now = game.actors.actor[i];
        restored.mesh = now.mesh;
        restored.shadowMesh = now.shadowMesh;
        restored.poseMesh = now.poseMesh;
        restored.hurtSound = now.hurtSound;
        restored.deathSound = now.deathSound;
    }
    PairParts(game, p, [](auto& inGame, const auto& inParts) { inGame = inParts; });
}

template <class Ar>
void Transfer(Ar& ar, GameParts& p, std::size_t cellCount) {
    ar.Field(p.actors.lastPlayer);
    ar.Field(p.actors.localPlayer);
    Check(ar, p.actors.lastPlayer, 0, kActorCount - 1, "the player count is out of range");
    Check(ar, p.actors.localPlayer, 0, kActorCount - 1, "the local player is out of range");
    for (Actor& a : p.actors.actor) Transfer(ar, a);
    ar.Field(p.seed);
    Transfer(ar, p.rulesTime);
    ar.Field(p.networkGame);
    ar.Field(p.menuOpenRules);
    ar.Field(p.gameOver);
    ar.Field(p.currentClipRules);
    ar.Field(p.tickRemainderMs);
    ar.Field(p.lastSoundUpdate);

    Transfer(ar, p.shellTime);
    ar.Field(p.screen);
    ar.Field(p.screenEnterTime);
    ar.Field(p.firstFrame);
    ar.Field(p.fade.active);
    ar.Field(p.fade.level);
    ar.Field(p.fade.dir);
    ar.Field(p.fade.style);
    ar.Field(p.fade.stepTime);
    ar.Field(p.fade.done);
    ar.Field(p.afterFade);
    ar.Text(p.status.text);
    ar.Field(p.status.shown);
    ar.Field(p.status.timeLeft);
    ar.Field(p.clipPlaying);
    ar.Field(p.cinematicPlaying);
    ar.Field(p.buttonsHeld);

    PlayState& play = p.play;
    ar.Field(play.menuOpen);
    ar.Field(play.menuEntry);
    Check(ar, play.menuEntry, 0, kMenuEntryCount - 1, "the menu entry is out of range");
    ar.Field(play.introShown);
    ar.Field(play.introOffset);
    ar.Field(play.introStart);
    ar.Field(play.exitSpin);
    ar.Field(play.stuck.quietMs);
    ar.Field(play.stuck.marks);
    play.stuck.visited.resize(cellCount);  // none stood in yet when the watch has not run
    ar.Plane(play.stuck.visited, cellCount);
    ar.Field(play.eye.x);
    ar.Field(play.eye.y);
    ar.Field(play.eye.z);
    ar.Field(play.eye.roll);
    ar.Field(play.eye.pitch);
    ar.Field(play.eye.yaw);
    ar.Field(play.heroHidden);
    ar.Field(play.heroTransparency);
    ar.Field(play.introDrawn);
    ar.Field(play.introDrawnOffset);

    for (std::int32_t* i : {&p.currentClip, &p.nextClip, &p.clipFrame, &p.clipFrameStart, &p.shownClip, &p.shownShot})
        ar.Field(*i);
    ar.Field(p.shownProgress);
    ar.Field(p.optionKeyTime);
    ar.Field(p.gameOverLevel);
}

// The level a game is playing: its file as the level list names it.
std::string CurrentLevelPath(const Game& game) {
    const std::int32_t index = game.actors.Local().levelIndex;
    if (index < 0 || index >= static_cast<std::int32_t>(game.levels.size())) return {};
    return game.levels[static_cast<std::size_t>(index)];
}

template <class Ar>
void TransferIdentity(Ar& ar, std::string& level, std::int32_t& sx, std::int32_t& sy, std::int32_t& sz,
                      std::uint32_t& clockTicks) {
    ar.Text(level);
    ar.Field(sx);
    ar.Field(sy);
    ar.Field(sz);
    ar.Field(clockTicks);
}

// Run-length packing: a tag byte 0..127 is followed by tag + 1 literal
// bytes; 128..254 repeats the next byte tag - 125 times (3..129); 255 is a
// 32-bit count followed by the byte it repeats.
Bytes Pack(const Bytes& in) {
    Bytes out;
    out.reserve(in.size() / 4 + 16);
    std::size_t i = 0, literalStart = 0;
    auto flushLiterals = [&](std::size_t end) {
        while (literalStart < end) {
            const std::size_t n = std::min<std::size_t>(128, end - literalStart);
            out.push_back(static_cast<std::uint8_t>(n - 1));
            out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(literalStart),
                       in.begin() + static_cast<std::ptrdiff_t>(literalStart + n));
            literalStart += n;
        }
    };
    while (i < in.size()) {
        std::size_t run = 1;
        while (i + run < in.size() && in[i + run] == in[i] && run < 0xFFFFFFFFu) ++run;
        if (run < 3) {
            i += run;
            continue;
        }
        flushLiterals(i);
        if (run <= 129) {
            out.push_back(static_cast<std::uint8_t>(run + 125));
        } else {
            out.push_back(255);
            for (int s = 0; s < 32; s += 8) out.push_back(static_cast<std::uint8_t>(run >> s));
        }
        out.push_back(in[i]);
        i += run;
        literalStart = i;
    }
    flushLiterals(in.size());
    return out;
}

// Unpacks into exactly `size` bytes; false when the packed bytes are damaged.
bool Unpack(const std::uint8_t* data, std::size_t size, std::uint64_t expected, Bytes& out) {
    out.clear();
    out.reserve(static_cast<std::size_t>(expected));
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t tag = data[i++];
        if (tag < 128) {
            const std::size_t n = std::size_t{tag} + 1;
            if (n > size - i || out.size() + n > expected) return false;
            out.insert(out.end(), data + i, data + i + n);
            i += n;
            continue;
        }
        std::uint64_t n = tag - 125u;
        if (tag == 255) {
            if (size - i < 4) return false;
            n = static_cast<std::uint64_t>(data[i]) | (static_cast<std::uint64_t>(data[i + 1]) << 8) |
                (static_cast<std::uint64_t>(data[i + 2]) << 16) | (static_cast<std::uint64_t>(data[i + 3]) << 24);
            i += 4;
        }
        if (i >= size || out.size() + n > expected) return false;
        out.insert(out.end(), static_cast<std::size_t>(n), data[i++]);
    }
    return out.size() == expected;
}

std::uint64_t ReadU64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return v;
}

// The payload of a snapshot, unpacked and checked against its checksum.
bool OpenSnapshot(const Bytes& bytes, Bytes& payload, std::string& why) {
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        why = "not a snapshot";
        return false;
    }
    const std::uint8_t* p = bytes.data() + sizeof kMagic;
    const std::uint32_t version = static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
                                  (static_cast<std::uint32_t>(p[3]) << 24);
    if (version != kSnapshotVersion) {
        why = "a snapshot of another version (" + std::to_string(version) + "; this game reads " +
              std::to_string(kSnapshotVersion) + ")";
        return false;
    }
    const std::uint64_t size = ReadU64(p + 4);
    const std::uint64_t checksum = ReadU64(p + 12);
    if (size > kMaxSnapshotBytes) {
        why = "the snapshot says it is larger than any level's";
        return false;
    }
    if (!Unpack(bytes.data() + kHeaderBytes, bytes.size() - kHeaderBytes, size, payload) ||
        Fnv1a(payload.data(), payload.size()) != checksum) {
        why = "the snapshot is damaged";
        return false;
    }
    return true;
}

}  // namespace

Bytes SaveSnapshot(const Game& game, std::uint32_t clockTicks) {
    Writer out;
    std::string level = CurrentLevelPath(game);
    World& world = const_cast<World&>(*game.world);  // the writer only reads
    std::int32_t sx = world.sizeX, sy = world.sizeY, sz = world.sizeZ;
    TransferIdentity(out, level, sx, sy, sz, clockTicks);
    GameParts parts = PartsOf(game);
    Transfer(out, parts, world.CellCount());
    Transfer(out, world, world.CellCount());
    return SnapshotFromPayload(out.bytes);
}

Bytes SnapshotFromPayload(const Bytes& payload) {
    Bytes packed = Pack(payload);
    Bytes file(kHeaderBytes);
    std::memcpy(file.data(), kMagic, sizeof kMagic);
    auto put = [&file](std::size_t at, std::uint64_t v, int count) {
        for (int i = 0; i < count; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(8, kSnapshotVersion, 4);
    put(12, payload.size(), 8);
    put(20, Fnv1a(payload.data(), payload.size()), 8);
    file.insert(file.end(), packed.begin(), packed.end());
    return file;
}

std::optional<Bytes> SnapshotPayload(const Bytes& bytes) {
    Bytes payload;
    std::string why;
    if (!OpenSnapshot(bytes, payload, why)) return std::nullopt;
    return payload;
}

std::optional<std::string> SnapshotLevel(const Bytes& bytes) {
    Bytes payload;
    std::string why;
    if (!OpenSnapshot(bytes, payload, why)) return std::nullopt;
    Reader in(payload.data(), payload.size());
    std::string level;
    in.Text(level);
    if (!in.ok) return std::nullopt;
    return level;
}

namespace {

// Bytes equal to the base's become zeros (long runs that pack to almost
// nothing); XOR again with the same base gives them back.  Fields longer
// than the base keep their tail as it is.
void XorWithBase(Bytes& fields, const Bytes* base) {
    if (!base) return;
    const std::size_t n = std::min(fields.size(), base->size());
    for (std::size_t i = 0; i < n; ++i) fields[i] ^= (*base)[i];
}

// Into `fields`, whose room is used again: states of one game are all
// about the same size, and a buffer of that size taken fresh for every
// state costs more (the page faults of new memory) than writing it.
void WriteStateFields(const Game& game, Bytes& fields) {
    Writer out;
    out.bytes = std::move(fields);
    out.bytes.clear();
    World& world = const_cast<World&>(*game.world);  // the writer only reads
    GameParts parts = PartsOf(game);
    Transfer(out, parts, world.CellCount());
    Transfer(out, world, world.CellCount());
    fields = std::move(out.bytes);
}

void ReadStateFields(Game& game, const std::uint8_t* data, std::size_t size, bool rebuildMeshes) {
    Reader in(data, size);
    GameParts parts = PartsOf(game);
    World& world = *game.world;
    Transfer(in, parts, world.CellCount());
    Transfer(in, world, world.CellCount());
    if (!in.ok) throw std::logic_error("a kept game state does not fit the game: " + in.Why());
    // SetCell keeps the slabs' counts of the cells as they are; they only
    // need counting again when the state put back has other cells (the
    // checker mostly puts back states of the same cells).
    if (in.cellsChanged || world.slabTypeCounts.size() != static_cast<std::size_t>(world.sizeZ) * kObjectTypeCount)
        IndexCells(world);
    CountLingots(world);
    if (rebuildMeshes) RebuildAnimationMeshes(world);
    PutParts(game, parts);
}

}  // namespace

void SaveGameStateUnpacked(const Game& game, std::uint32_t clockTicks, GameState& into) {
    WriteStateFields(game, into.packed);
    into.payloadSize = into.packed.size();
    into.clockTicks = clockTicks;
    into.unpacked = true;
}

void UnpackGameState(const GameState& state, const Bytes* base, GameState& into) {
    if (state.unpacked) {
        into = state;
        return;
    }
    if (!Unpack(state.packed.data(), state.packed.size(), state.payloadSize, into.packed))
        throw std::logic_error("a kept game state is damaged");
    XorWithBase(into.packed, base);
    into.payloadSize = into.packed.size();
    into.clockTicks = state.clockTicks;
    into.unpacked = true;
}

GameState SaveGameState(const Game& game, std::uint32_t clockTicks, const Bytes* base) {
    static thread_local Bytes fields;
    WriteStateFields(game, fields);
    XorWithBase(fields, base);
    GameState state;
    state.packed = Pack(fields);
    state.packed.shrink_to_fit();
    state.payloadSize = fields.size();
    state.clockTicks = clockTicks;
    return state;
}

Bytes GameStateFields(const GameState& state) {
    if (state.unpacked) return state.packed;
    Bytes payload;
    if (!Unpack(state.packed.data(), state.packed.size(), state.payloadSize, payload))
        throw std::logic_error("a kept game state is damaged");
    return payload;
}

void RestoreGameState(Game& game, const GameState& state, bool rebuildMeshes, const Bytes* base) {
    if (state.unpacked) {
        ReadStateFields(game, state.packed.data(), state.packed.size(), rebuildMeshes);
        return;
    }
    Bytes payload = GameStateFields(state);
    XorWithBase(payload, base);
    ReadStateFields(game, payload.data(), payload.size(), rebuildMeshes);
}

SnapshotRestore RestoreSnapshot(Game& game, const Bytes& bytes) {
    SnapshotRestore result;
    Bytes payload;
    if (!OpenSnapshot(bytes, payload, result.why)) return result;
    Reader in(payload.data(), payload.size());

    std::string level;
    std::int32_t sx = 0, sy = 0, sz = 0;
    TransferIdentity(in, level, sx, sy, sz, result.clockTicks);
    if (!in.ok) {
        result.why = in.Why();
        return result;
    }
    const World& current = *game.world;
    const std::string playing = CurrentLevelPath(game);
    // "LEVEL\\25.LEV" from the level list and "level/25.lev" from --level name one file.
    auto sameFile = [](std::string a, std::string b) {
        std::replace(a.begin(), a.end(), '\\', '/');
        std::replace(b.begin(), b.end(), '\\', '/');
        return EqualsNoCase(a, b);
    };
    if (playing.empty() || !sameFile(level, playing)) {
        result.why = "the snapshot was taken in " + (level.empty() ? std::string("no level") : level) + ", not in " +
                     (playing.empty() ? std::string("no level") : playing);
        return result;
    }
    if (sx != current.sizeX || sy != current.sizeY || sz != current.sizeZ) {
        result.why = "the snapshot's level is " + std::to_string(sx) + "x" + std::to_string(sy) + "x" + std::to_string(sz) +
                     " cells, the level played is " + std::to_string(current.sizeX) + "x" + std::to_string(current.sizeY) +
                     "x" + std::to_string(current.sizeZ);
        return result;
    }

    // Everything is read into copies; the game changes only once all of it checked.
    GameParts parts = PartsOf(game);
    Transfer(in, parts, current.CellCount());
    auto staged = std::make_unique<World>(current);
    Transfer(in, *staged, current.CellCount());
    if (in.ok && !in.AtEnd()) in.Fail("the snapshot has bytes past its end");
    // The level is known by its file: a snapshot taken with the level as the
    // only one (index 0) goes on as the campaign's level 25 and the other way
    // round.  Whoever was in the snapshot's level is in the game's now.
    const std::int32_t takenAt = parts.actors.Local().levelIndex, playedAt = game.actors.Local().levelIndex;
    for (Actor& a : parts.actors.actor)
        if (a.levelIndex == takenAt) a.levelIndex = playedAt;
    if (!in.ok) {
        result.why = in.Why();
        return result;
    }

    *game.world = std::move(*staged);
    World& world = *game.world;
    IndexCells(world);
    CountLingots(world);
    RebuildAnimationMeshes(world);
    PutParts(game, parts);
    result.ok = true;
    return result;
}

SnapshotRestore RestoreLevelState(Game& game, const Bytes& bytes, std::int32_t ageMs) {
    SnapshotRestore result;
    Bytes payload;
    if (!OpenSnapshot(bytes, payload, result.why)) return result;
    Reader in(payload.data(), payload.size());
    std::string level;
    std::int32_t sx = 0, sy = 0, sz = 0;
    TransferIdentity(in, level, sx, sy, sz, result.clockTicks);
    const World& current = *game.world;
    const std::string playing = CurrentLevelPath(game);
    if (!in.ok) {
        result.why = in.Why();
        return result;
    }
    if (playing.empty() || level != playing) {
        result.why = "the state is of " + (level.empty() ? std::string("no level") : level) + ", not of " +
                     (playing.empty() ? std::string("no level") : playing);
        return result;
    }
    if (sx != current.sizeX || sy != current.sizeY || sz != current.sizeZ) {
        result.why = "the state's grid is not the level's";
        return result;
    }
    // The other machine's players and screen are read past, not taken.
    GameParts parts = PartsOf(game);
    Transfer(in, parts, current.CellCount());
    auto staged = std::make_unique<World>(current);
    Transfer(in, *staged, current.CellCount());
    if (in.ok && !in.AtEnd()) in.Fail("the state has bytes past its end");
    if (!in.ok) {
        result.why = in.Why();
        return result;
    }
    // Its time stamps were read on the sender's clock, `ageMs` ago.
    const std::int64_t delta = static_cast<std::int64_t>(game.rules.time.now) - ageMs - parts.rulesTime.now;
    ClockShift shift(static_cast<std::int32_t>(std::clamp<std::int64_t>(delta, INT32_MIN, INT32_MAX)));
    Transfer(shift, *staged, current.CellCount());
    // The clips this player has seen stay its own.
    staged->clipMarkers = current.clipMarkers;
    *game.world = std::move(*staged);
    World& world = *game.world;
    IndexCells(world);
    CountLingots(world);
    RebuildAnimationMeshes(world);
    result.ok = true;
    return result;
}

Bytes LevelStateBytes(const Game& game) {
    Writer out;
    out.levelOnly = true;
    World& world = const_cast<World&>(*game.world);  // the writer only reads
    Transfer(out, world, world.CellCount());
    return out.bytes;
}

}  // namespace zq
