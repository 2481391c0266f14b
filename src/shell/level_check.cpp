// The level checker.  A level is explored breadth first over "moves" (step
// to a neighbouring cell, jump, climb, act on the cell in front, wait), each
// played as a short run of the game's own frames with keys chosen frame by
// frame, from a saved state of the game.  After a move the game is let come
// to rest, and the state reached is merged with every earlier one that agrees
// on what decides the rest of the level (the abstraction, written up in
// docs/level-checker.md).  The keys of every frame are kept, so each state
// found comes with the input script that reaches it from the start.
#include "shell/level_check.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <queue>
#include <unordered_map>

#include "core/errors.h"
#include "rules/hero.h"
#include "rules/rules_math.h"
#include "shell/audio.h"
#include "shell/game.h"
#include "shell/input_script.h"
#include "shell/snapshot.h"

namespace zq {

namespace {

// The keys of the current frame, as a script line plays them.
class HeldKeys final : public InputDevice {
public:
    void Set(ScriptKeys keys) {
        InputScript script;
        ScriptLine line;
        line.frameMs = kCheckFrameMs;
        line.keys = keys;
        script.lines.push_back(line);
        inner_ = ScriptedInput(std::move(script));
        inner_.Advance();
    }
    bool KeyDown(Key key) override { return inner_.KeyDown(key); }
    MouseMotion TakeMouseMotion(bool) override { return {}; }
    JoystickState Joystick() override { return {}; }

private:
    ScriptedInput inner_{InputScript{}};
};

class QuietHost final : public GameHost {
public:
    bool Fullscreen() override { return false; }
    void SetFullscreen(bool, RenderSize) override {}
    void SetClientSize(int, int) override {}
    void ShowCursor(bool) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Quit() override {}
    void Log(const std::string&) override {}
    std::vector<std::string> messages;
};

constexpr ScriptKeys Bit(int key) { return ScriptKeys{1} << key; }
constexpr ScriptKeys kUp = Bit(kScriptUp), kDown = Bit(kScriptDown), kLeft = Bit(kScriptLeft),
                     kRight = Bit(kScriptRight), kJump = Bit(kScriptJump), kAction = Bit(kScriptAction);

enum class Outcome { Going, Won, Died };

// One game played headless as `game_soft --headless --level FILE` plays it,
// frame by frame with the keys given.
struct Player {
    HeldKeys input;
    SilentAudio audio;
    QuietHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
    std::int32_t startLives = 3;
    std::vector<ScriptKeys>* record = nullptr;  // every frame's keys, when set
    // The cells the hero's centre passed through, while a move is watched
    // (see MoveMemo): lo and hi corners, x y z.
    bool trackBox = false;
    std::array<int, 6> box{};
    void TrackHero() {
        const Actor& a = game->actors.Local();
        const int c[3] = {CellOf(a.x), CellOf(a.y), CellOf(a.z)};
        for (int i = 0; i < 3; ++i) {
            box[static_cast<std::size_t>(i)] = std::min(box[static_cast<std::size_t>(i)], c[i]);
            box[static_cast<std::size_t>(i) + 3] = std::max(box[static_cast<std::size_t>(i) + 3], c[i]);
        }
    }

    Outcome Frame(ScriptKeys keys) {
        input.Set(keys);
        ticks += static_cast<std::uint32_t>(kCheckFrameMs);
        GameFrame(*game, ticks);
        if (record) record->push_back(keys);
        if (trackBox) TrackHero();
        const Actor& a = game->actors.Local();
        if (a.levelIndex != 0 || game->shell.afterFade == kAfterFadeNextLevel) return Outcome::Won;
        if (a.dead || a.lives < startLives || game->rules.gameOver || game->shell.afterFade == kAfterFadeGameOver)
            return Outcome::Died;
        return Outcome::Going;
    }
    // The fields of the search's first state: every state is kept as its
    // difference from them (most of a level stays as it was), which packs
    // to a small part of the whole.
    Bytes base;
    GameState Save() const { return SaveGameState(*game, ticks, &base); }
    // For a state restored again and again while one state is searched:
    // kept whole, it is quicker both to keep and to put back.
    void SaveUnpacked(GameState& into) const { SaveGameStateUnpacked(*game, ticks, into); }
    void Restore(const GameState& state) {
        RestoreGameState(*game, state, false, &base);
        ticks = state.clockTicks;
    }
};

// Heading units to [-16384, 16384).
float WrapHeading(float h) {
    float w = std::fmod(h + 16384.0f, 32768.0f);
    if (w < 0) w += 32768.0f;
    return w - 16384.0f;
}

// The heading that faces from (x, z) towards (tx, tz).
float HeadingTowards(float x, float z, float tx, float tz) {
    return static_cast<float>(std::atan2(tx - x, tz - z) * 16384.0 / 3.1415);
}

// A turn key towards heading `want`, or none when the turn under way will
// coast there: released, a turn rate r goes on for about 3.5 r more.  One
// frame's press turns about 1500 units in all, so headings are kept to
// within about half of that; a finer aim would only swing to and fro.
ScriptKeys TurnKeys(const Actor& a, float want) {
    constexpr float kSlack = 750;
    const float error = WrapHeading(want - a.heading) - a.turnRate * 3.5f;
    if (error > kSlack) return kRight;
    if (error < -kSlack) return kLeft;
    return 0;
}

bool AnimationsRunning(const World& w) {
    for (const CellAnimation& c : w.cellAnimations)
        if (c.inUse) return true;
    return false;
}

// The hero stands (or hangs on a ladder), nothing in the level moves that
// the next move would have to wait for, and no cinematic holds the game.
bool AtRest(const Game& game) {
    if (game.shell.cinematicPlaying || game.shell.clipPlaying) return false;
    const Actor& a = game.actors.Local();
    const World& w = *game.world;
    const bool standing = a.onLadder || (a.onGround && std::fabs(a.fallSpeed) < 1);
    return standing && std::fabs(a.velX) < 3 && std::fabs(a.velZ) < 3 && std::fabs(a.velY) < 3 && a.stunMs < 1 &&
           std::fabs(a.turnRate) < 40 && w.lastMovingBlock < 0 && w.sweepCount == 0 && !AnimationsRunning(w);
}

struct Move {
    enum Kind { Step, Jump, Action, ClimbDown, Wait, Back } kind = Step;
    int dir = 0;      // 0 north (+Z), 1 east (+X), 2 south, 3 west
    // jumps: 0 standing, 1 from the cell's edge, 2 with a run-up, 3 with a
    // run-up taking off short of the edge (before something that kills)
    int variant = 0;
    int run = 1;      // steps: how many cells straight on, walked without stopping between
};

// A walk through a region is kept as one byte a leg: the direction in the
// low two bits, the cells walked straight on less one above them (a leg is
// at most kMaxLeg cells).
constexpr int kMaxLeg = 64;
std::uint8_t WalkLeg(int dir, int run) { return static_cast<std::uint8_t>(dir | (run - 1) << 2); }
Move WalkMove(std::uint8_t leg) { return {Move::Step, leg & 3, 0, (leg >> 2) + 1}; }

class MovePlayer {
public:
    explicit MovePlayer(Player& p) : p_(p) {}

    Outcome Play(const Move& m) {
        const Actor& a = p_.game->actors.Local();
        startX_ = static_cast<float>(CellOf(a.x) * kCellSize + kCellSize / 2);
        startZ_ = static_cast<float>(CellOf(a.z) * kCellSize + kCellSize / 2);
        dx_ = m.dir == 1 ? 1.0f : m.dir == 3 ? -1.0f : 0.0f;
        dz_ = m.dir == 0 ? 1.0f : m.dir == 2 ? -1.0f : 0.0f;
        want_ = static_cast<float>(m.dir * 8192);
        Outcome o = Outcome::Going;
        switch (m.kind) {
            case Move::Step: o = StepMove(m.run); break;
            case Move::Jump: o = JumpMove(m.variant); break;
            case Move::Action: o = ActionMove(); break;
            case Move::ClimbDown: o = ClimbDownMove(); break;
            case Move::Wait: o = WaitMove(); break;
            case Move::Back: o = BackMove(); break;
        }
        if (o != Outcome::Going) return o;
        return Settle(150);
    }

    // Idle frames until the game is at rest (at most `frames`).
    Outcome Settle(int frames) {
        for (int i = 0; i < frames && !AtRest(*p_.game); ++i) {
            const Outcome o = p_.Frame(0);
            if (o != Outcome::Going) return o;
        }
        return Outcome::Going;
    }

private:
    const Actor& Hero() const { return p_.game->actors.Local(); }
    // How far the hero is along the move's direction from the start cell's centre.
    float Along() const { return (Hero().x - startX_) * dx_ + (Hero().z - startZ_) * dz_; }

    // Turns on the spot to face the move's direction.
    Outcome Face(float tolerance, int frames) {
        for (int i = 0; i < frames; ++i) {
            const Actor& a = Hero();
            if (std::fabs(WrapHeading(want_ - a.heading)) < tolerance && std::fabs(a.turnRate) < 60) break;
            const Outcome o = p_.Frame(TurnKeys(a, want_));
            if (o != Outcome::Going) return o;
        }
        return Outcome::Going;
    }

    // A ladder climbed with the key held until the hero is off it.
    Outcome Climb(ScriptKeys key) {
        for (int i = 0; i < 200 && Hero().onLadder; ++i) {
            const Outcome o = p_.Frame(key);
            if (o != Outcome::Going) return o;
        }
        return Outcome::Going;
    }

    // Walks `run` cells straight on to the last one's centre: he runs on at
    // full speed and only brakes for the last, as a player crosses a room.
    Outcome StepMove(int run) {
        if (Hero().onLadder) return Climb(kUp);
        Outcome o = Face(2500, 30);
        if (o != Outcome::Going) return o;
        const float tx = startX_ + dx_ * kCellSize * run, tz = startZ_ + dz_ * kCellSize * run;
        for (int i = 0; i < 60 + 15 * (run - 1); ++i) {
            const Actor& a = Hero();
            if (a.onLadder) return Climb(kUp);
            const float ex = tx - a.x, ez = tz - a.z;
            const float dist = std::sqrt(ex * ex + ez * ez);
            const float speed = std::sqrt(a.velX * a.velX + a.velZ * a.velZ);
            if (dist < 40 && speed < 10) break;
            // On a ferry or a lift that has set off, the cell he stepped to
            // is carried away with him: he stops there, as a rider does,
            // instead of walking back to where it was.
            if (p_.game->world->lastMovingBlock >= 0 && CellOf(a.x) == CellOf(tx) && CellOf(a.z) == CellOf(tz)) break;
            ScriptKeys keys = 0;
            const float heading = dist > 120 ? HeadingTowards(a.x, a.z, tx, tz) : want_;
            keys |= TurnKeys(a, heading);
            if (dist > 2 * speed + 30 && std::fabs(WrapHeading(heading - a.heading)) < 4000) keys |= kUp;
            o = p_.Frame(keys);
            if (o != Outcome::Going) return o;
        }
        return Outcome::Going;
    }

    Outcome JumpMove(int variant) {
        if (Hero().onLadder) {  // the jump key lets go of a ladder
            const Outcome o = p_.Frame(kJump);
            if (o != Outcome::Going) return o;
            return Outcome::Going;
        }
        Outcome o = Face(900, 40);
        if (o != Outcome::Going) return o;
        if (variant >= 2) {
            for (int i = 0; i < 25 && Along() > -170; ++i) {
                o = p_.Frame(kDown | TurnKeys(Hero(), want_));
                if (o != Outcome::Going) return o;
            }
        }
        // Spikes reach his feet as soon as his side crosses into their cell,
        // so that jump takes off a little past the cell's centre.
        const float jumpAt = variant == 0 ? -1e9f : variant == 3 ? 60 : 200;
        for (int i = 0; i < 40 && Along() < jumpAt; ++i) {
            o = p_.Frame(kUp | TurnKeys(Hero(), want_));
            if (o != Outcome::Going) return o;
        }
        o = p_.Frame(kUp | kJump);
        if (o != Outcome::Going) return o;
        for (int i = 0; i < 80; ++i) {
            const Actor& a = Hero();
            if (a.onLadder) return Climb(kUp);
            if (a.onGround && i > 2) break;
            o = p_.Frame(kUp | TurnKeys(a, want_));
            if (o != Outcome::Going) return o;
        }
        return Outcome::Going;
    }

    Outcome ActionMove() {
        Outcome o = Face(900, 40);
        if (o != Outcome::Going) return o;
        o = p_.Frame(kAction);
        if (o != Outcome::Going) return o;
        return p_.Frame(0);
    }

    Outcome ClimbDownMove() { return Climb(kDown); }

    // Backs away the way he faces, without turning, until he has left his
    // cell: off the edge of a pond or a moat he landed on, where he slips
    // in while he turns round for a step.
    Outcome BackMove() {
        const int cx = CellOf(Hero().x), cz = CellOf(Hero().z);
        for (int i = 0; i < 25 && CellOf(Hero().x) == cx && CellOf(Hero().z) == cz; ++i) {
            const Outcome o = p_.Frame(kDown);
            if (o != Outcome::Going) return o;
        }
        return Outcome::Going;
    }

    // Waits until the level changes (a hole refills, a lift arrives) or 11 s pass.
    Outcome WaitMove() {
        const World& w = *p_.game->world;
        const std::vector<Cell> before = w.cells;
        for (int i = 0; i < 11000 / kCheckFrameMs; ++i) {
            const Outcome o = p_.Frame(0);
            if (o != Outcome::Going) return o;
            if (i > 10 && w.cells != before) break;
        }
        return Outcome::Going;
    }

    Player& p_;
    float startX_ = 0, startZ_ = 0, dx_ = 0, dz_ = 0, want_ = 0;
};

struct Node {
    GameState state;
    std::int32_t parent = -1;
    std::vector<ScriptKeys> frames;  // the root's opening frames
    // The move from the parent: steps through the parent's walk region from
    // where the hero rests, then one move.  Replayed by the controllers to
    // give its keys (the search may skip the steps, see Teleport).
    std::vector<std::uint8_t> walk;
    Move move;
    std::vector<std::int32_t> next;  // states reached by a move
    std::int32_t deaths = 0;         // moves that cost a life
    bool wins = false;               // a move from here reaches the exit
    bool clock = false;              // the level's clock runs
    std::int32_t timeLeft = 0;       // ms on the clock when it runs
    // A faster way to the same state, found later (its index).  When this
    // one had not been searched by then, it is not searched at all and
    // leads where the faster one leads.
    std::int32_t fasterWay = -1;
    // The clock runs out before the hero could reach the exit or a timer at
    // his best speed: only death remains, so it is not searched.
    bool outrun = false;
    std::int32_t cellX = 0, cellY = 0, cellZ = 0, ingotsLeft = 0;
    bool onLadder = false;
    std::uint64_t key = 0;  // StateKey
};

std::string ScriptText(const std::vector<ScriptKeys>& frames) {
    std::string out;
    std::size_t i = 0;
    while (i < frames.size()) {
        std::size_t j = i;
        while (j < frames.size() && frames[j] == frames[i]) ++j;
        if (j - i > 1) out += std::to_string(j - i) + "x ";
        out += std::to_string(kCheckFrameMs) + " " + FormatScriptKeys(frames[i]) + "\n";
        i = j;
    }
    return out;
}

// The nodes from the root's first child to `at`, in play order.
std::vector<std::int32_t> Chain(const std::vector<Node>& nodes, std::int32_t at) {
    std::vector<std::int32_t> chain;
    for (std::int32_t n = at; n > 0; n = nodes[static_cast<std::size_t>(n)].parent) chain.push_back(n);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

const ObjectDef* ObjectAt(const World& w, int x, int y, int z) {
    const Cell c = GetCell(w, x, y, z);
    if (c == 0 || c >= kObjectTypeCount) return nullptr;
    const ObjectDef& def = w.objectDefs[c];
    return def.undefined ? nullptr : &def;
}

// Something to stand on: a solid cell that does not kill.
bool Floor(const World& w, int x, int y, int z) {
    const ObjectDef* def = ObjectAt(w, x, y, z);
    return def && def->collision && !def->death;
}

bool SolidCube(const World& w, int x, int y, int z) {
    const ObjectDef* def = ObjectAt(w, x, y, z);
    return def && def->collision && def->cube;
}

// The moves worth trying from here.  A move that cannot change anything is
// left out: no action where nothing in front can be dug, pushed or pulled,
// no step or jump into a wall two cells high, and jumps only where there is a
// ledge to climb or a gap or a hazard to cross (over plain floor two steps do
// what a jump does).
// `walked` says which neighbouring cells the region's walk already reaches
// (no step move there) and `wait` whether waiting is tried from here.
std::vector<Move> MovesFrom(const Game& game, const std::function<bool(int, int)>& walked, bool wait) {
    std::vector<Move> moves;
    const Actor& a = game.actors.Local();
    if (a.onLadder) {
        moves.push_back({Move::Step, 0, 0});
        moves.push_back({Move::ClimbDown, 0, 0});
        moves.push_back({Move::Jump, 0, 0});
        return moves;
    }
    const World& w = *game.world;
    const int cx = CellOf(a.x), cy = CellOf(a.y), cz = CellOf(a.z);
    for (int d = 0; d < 4; ++d) {
        const int dx = d == 1 ? 1 : d == 3 ? -1 : 0, dz = d == 0 ? 1 : d == 2 ? -1 : 0;
        const int fx = cx + dx, fz = cz + dz;
        const bool wall = SolidCube(w, fx, cy, fz) && SolidCube(w, fx, cy + 1, fz);
        if (!wall && !walked(fx, fz)) moves.push_back({Move::Step, d, 0});
        for (int y : {cy, cy - 1}) {
            const ObjectDef* def = ObjectAt(w, fx, y, fz);
            if (def && (def->dig || def->canPush || def->lever)) {
                moves.push_back({Move::Action, d, 0});
                break;
            }
        }
        if (wall) continue;
        const bool ledge = SolidCube(w, fx, cy, fz);
        // Something that kills where he would walk (a row of spikes on the
        // floor) is crossed as a gap is: by a jump.
        const ObjectDef* ahead = ObjectAt(w, fx, cy, fz);
        const bool hazard = !ledge && ahead && ahead->death;
        const bool gap = !ledge && !Floor(w, fx, cy - 1, fz);
        if (ledge || gap) moves.push_back({Move::Jump, d, 1});
        if (gap && !Floor(w, fx + dx, cy - 1, fz + dz)) moves.push_back({Move::Jump, d, 2});
        if (hazard) moves.push_back({Move::Jump, d, 3});
    }
    if (wait) moves.push_back({Move::Wait, 0, 0});
    // Where he stands on an edge, nothing that holds him under his centre
    // (over a pond, a moat, a gap), backing off straight away is a move of
    // its own: turning for a step, he slips in.  Kept last: the search only
    // tries it where every other move died.
    if (!Floor(w, cx, cy - 1, cz)) moves.push_back({Move::Back, 0, 0});
    return moves;
}

// A cell the hero walks through without changing anything: empty, over a
// flat floor that does not kill, with no slope near it, and not the exit.
bool PlainCell(const World& w, int x, int y, int z) {
    if (x < 0 || z < 0 || x >= w.sizeX || z >= w.sizeZ || y < 1 || y >= w.sizeY) return false;
    if (x == w.exitX && y == w.exitY && z == w.exitZ) return false;
    if (GetCell(w, x, y, z) != 0 || !SolidCube(w, x, y - 1, z)) return false;
    const ObjectDef* floor = ObjectAt(w, x, y - 1, z);
    if (floor->death || floor->spring || floor->ladder) return false;
    for (int i = -1; i <= 1; ++i)
        for (int k = -1; k <= 1; ++k)
            if (GetStretch(w, x + i, y - 1, z + k) != 0) return false;
    return true;
}

struct RegionCell {
    int x = 0, y = 0, z = 0;
    int parent = -1;  // the cell it is walked to from
    int dir = 0;      // the step from the parent
    int run = 1;      // cells walked straight on from the parent
};

// The plain cells the resting hero can walk to on his own storey, his own
// cell first, in the order of a breadth-first walk (so each cell's parent
// comes before it).  Only his own cell when he does not stand in a plain one.
std::vector<RegionCell> WalkRegion(const Game& game) {
    const World& w = *game.world;
    const Actor& a = game.actors.Local();
    std::vector<RegionCell> cells{{CellOf(a.x), CellOf(a.y), CellOf(a.z), -1, 0}};
    if (a.onLadder || !a.onGround || !PlainCell(w, cells[0].x, cells[0].y, cells[0].z)) return cells;
    std::vector<char> seen(static_cast<std::size_t>(w.sizeX) * static_cast<std::size_t>(w.sizeZ), 0);
    seen[static_cast<std::size_t>(cells[0].x + w.sizeX * cells[0].z)] = 1;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        for (int d = 0; d < 4; ++d) {
            const int x = cells[i].x + (d == 1 ? 1 : d == 3 ? -1 : 0), z = cells[i].z + (d == 0 ? 1 : d == 2 ? -1 : 0);
            if (x < 0 || z < 0 || x >= w.sizeX || z >= w.sizeZ) continue;
            char& s = seen[static_cast<std::size_t>(x + w.sizeX * z)];
            if (s || !PlainCell(w, x, cells[i].y, z)) continue;
            s = 1;
            cells.push_back({x, cells[i].y, z, static_cast<int>(i), d});
        }
    }
    return cells;
}

// The same region with each cell reached by the fewest straight legs from
// the hero's cell (the fewest cells among those), each leg walked without
// stopping: while a clock runs, a walk that stops at every cell loses about
// a second a cell to a player's.  Cells come in the order of the legs, so
// each cell's parent still comes before it.
std::vector<RegionCell> StraightLegs(const std::vector<RegionCell>& region, const World& w) {
    const auto index = [&](int x, int z) { return static_cast<std::size_t>(x + w.sizeX * z); };
    std::vector<int> at(static_cast<std::size_t>(w.sizeX) * static_cast<std::size_t>(w.sizeZ), -1);
    for (std::size_t i = 0; i < region.size(); ++i) at[index(region[i].x, region[i].z)] = static_cast<int>(i);
    std::vector<RegionCell> out{region[0]};
    std::vector<char> placed(region.size(), 0);
    placed[0] = 1;
    for (std::size_t i = 0; i < out.size(); ++i) {
        for (int d = 0; d < 4; ++d) {
            const int dx = d == 1 ? 1 : d == 3 ? -1 : 0, dz = d == 0 ? 1 : d == 2 ? -1 : 0;
            int x = out[i].x, z = out[i].z;
            for (int run = 1; run <= kMaxLeg; ++run) {
                x += dx;
                z += dz;
                if (x < 0 || z < 0 || x >= w.sizeX || z >= w.sizeZ || at[index(x, z)] < 0) break;
                const auto cell = static_cast<std::size_t>(at[index(x, z)]);
                if (placed[cell]) continue;  // reached by fewer legs: walked through
                placed[cell] = 1;
                out.push_back({x, out[i].y, z, static_cast<int>(i), d, run});
            }
        }
    }
    return out;
}

// Whether every block in the box of `step` (a MAKEFALL), placed at marker
// `m`, stands on a solid cube: made to fall, it lands back in its own cell,
// so the fall changes nothing.
bool AreaHeld(const World& w, const EventMarker& m, const Step& step) {
    const auto& a = step.args;
    auto span = [](std::int64_t base, std::int64_t from, std::int64_t to, int size) {
        const std::int64_t lo = std::max<std::int64_t>(0, base + std::min(from, to));
        const std::int64_t hi = std::min<std::int64_t>(size - 1, base + std::max(from, to));
        return std::make_pair(static_cast<int>(lo), static_cast<int>(hi));
    };
    const auto [x0, x1] = span(m.x, a[0], a[3], w.sizeX);
    const auto [y0, y1] = span(m.y, a[1], a[4], w.sizeY);
    const auto [z0, z1] = span(m.z, a[2], a[5], w.sizeZ);
    for (int y = y0; y <= y1; ++y)
        for (int z = z0; z <= z1; ++z)
            for (int x = x0; x <= x1; ++x)
                if (ObjectAt(w, x, y, z) && !SolidCube(w, x, y - 1, z)) return false;
    return true;
}

// A behaviour going round a loop that changes nothing: only delays, jumps
// and blocks made to fall that cannot (19's bridge stones, held by their
// latches until the lever opens them).  Where in such a loop it is cannot
// matter while nothing can fall, but it changes every few frames: it is left
// out of the key, and the loop does not keep the level from being quiet.
bool IdleLoop(const World& w, const EventMarker& m) {
    if (m.x == kFreeMarker || m.moving || m.behaviour < 0 || m.behaviour >= kBehaviourCount) return false;
    const auto& steps = w.behaviours[static_cast<std::size_t>(m.behaviour)].steps;
    std::array<bool, kStepCount> visited{};
    for (std::int32_t s = m.step; s >= 0 && s < kStepCount;) {
        if (visited[static_cast<std::size_t>(s)]) return true;
        visited[static_cast<std::size_t>(s)] = true;
        const Step& step = steps[static_cast<std::size_t>(s)];
        switch (static_cast<Command>(step.command)) {
            case Command::Delay: ++s; break;
            case Command::Goto: s = step.args[0]; break;
            case Command::MakeFall:
                if (!AreaHeld(w, m, step)) return false;
                ++s;
                break;
            default: return false;
        }
    }
    return false;
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h * 1099511628211ull;
}

// The behaviours' progress: each event marker's place, step and motion.
// Where in a loop that changes nothing it is counts as one step (see IdleLoop).
std::uint64_t MarkersKey(const World& w) {
    std::uint64_t h = 1469598103934665603ull;
    for (const EventMarker& m : w.eventMarkers) {
        if (m.x == kFreeMarker) continue;
        h = Mix(h, static_cast<std::uint32_t>(m.x));
        h = Mix(h, static_cast<std::uint32_t>(m.y));
        h = Mix(h, static_cast<std::uint32_t>(m.z));
        h = Mix(h, static_cast<std::uint32_t>(m.behaviour));
        h = Mix(h, IdleLoop(w, m) ? ~std::uint32_t{0} : static_cast<std::uint32_t>(m.step));
        h = Mix(h, m.moving);
    }
    return h;
}

// What two states must share to be merged: the hero's walk region (or his
// cell where he has none) and whether he hangs on a ladder, every cell of the level, the behaviours' progress, the
// clock (whether it runs), and anything still moving.  Where in his region
// he stands, his heading and speed, the camera, sounds and the light are
// left out: the moves are tried from every cell of the region, each starting
// by turning and walking from where he is, and they decide nothing else.
std::uint64_t StateKey(const Game& game) {
    const World& w = *game.world;
    const Actor& a = game.actors.Local();
    std::uint64_t h = 14695981039346656037ull;
    // The hero stands for his whole walk region: its first cell in grid order.
    const std::vector<RegionCell> region = WalkRegion(game);
    const RegionCell* first = &region[0];
    for (const RegionCell& c : region)
        if (std::make_pair(c.z, c.x) < std::make_pair(first->z, first->x)) first = &c;
    h = Mix(h, static_cast<std::uint32_t>(first->x));
    h = Mix(h, static_cast<std::uint32_t>(first->y));
    h = Mix(h, static_cast<std::uint32_t>(first->z));
    h = Mix(h, a.onLadder ? 1 : 0);
    for (std::size_t i = 0; i < w.cells.size(); ++i)
        if (w.cells[i] != 0) h = Mix(h, (static_cast<std::uint64_t>(i) << 16) | w.cells[i]);
    // The time left is not part of it: of two states that differ only in
    // that, the search keeps the one with more (see CheckLevel).
    h = Mix(h, w.timerRunning ? 1 : 0);
    h = Mix(h, MarkersKey(w));
    // How long a behaviour still waits: a lift that leaves in a moment and
    // one that has just arrived differ in what the next move does (ride
    // along or step off in time), so the first state found must not stand
    // for both.  Counted in whole seconds.
    for (const EventMarker& m : w.eventMarkers) {
        if (m.x == kFreeMarker || m.step < 0 || m.step >= kStepCount || m.behaviour < 0 ||
            m.behaviour >= kBehaviourCount || IdleLoop(w, m))
            continue;
        const Step& step = w.behaviours[static_cast<std::size_t>(m.behaviour)].steps[static_cast<std::size_t>(m.step)];
        if (static_cast<Command>(step.command) != Command::Delay) continue;
        const std::int64_t left = static_cast<std::int64_t>(step.args[0]) -
                                  (static_cast<std::int64_t>(game.rules.time.now) - m.stepStart);
        h = Mix(h, static_cast<std::uint64_t>(std::max<std::int64_t>(0, left) / 1000));
    }
    h = Mix(h, static_cast<std::uint32_t>(w.lastMovingBlock + 1));
    h = Mix(h, static_cast<std::uint32_t>(w.lastHole + 1));
    return h;
}

std::string DeadEndWhy(const Node& n, bool fatal) {
    std::string why = "the hero in cell (" + std::to_string(n.cellX) + "," + std::to_string(n.cellY) + "," +
                      std::to_string(n.cellZ) + ")" + (n.onLadder ? " on a ladder" : "") + " with " +
                      std::to_string(n.ingotsLeft) + (n.ingotsLeft == 1 ? " ingot" : " ingots") + " left";
    if (fatal) return why + (n.clock ? " can only wait for the clock to run out" : " can only die");
    return why + " can no longer reach the exit";
}


// Nothing in the level runs on time or waits to act as the hero walks: no
// clock, no open hole, no block moving, and every behaviour either ended,
// waiting for the hero or going round a loop that changes nothing.  Then a
// walk across his region changes nothing but where he stands, unless it
// crosses a cell that sets off a behaviour or a clip (see SetsOffSomething).
bool LevelIsQuiet(const World& w) {
    if (w.timerRunning || w.lastHole >= 0 || w.lastMovingBlock >= 0 || w.sweepCount != 0) return false;
    for (const EventMarker& m : w.eventMarkers) {
        if (m.x < 0 || m.step < 0 || m.step >= kStepCount || m.behaviour < 0 || m.behaviour >= kBehaviourCount)
            continue;
        if (IdleLoop(w, m)) continue;
        if (m.moving) return false;
        const Step& step = w.behaviours[static_cast<std::size_t>(m.behaviour)].steps[static_cast<std::size_t>(m.step)];
        if (static_cast<Command>(step.command) != Command::WaitForPlayer) return false;
    }
    return true;
}

// What a move did while the level was quiet, kept to be known again without
// playing it.  A frame of play reads the hero, the cells near him and the
// behaviours' progress; while the level is quiet (no clock, no open hole,
// nothing moving, every behaviour waiting for the hero, ended or idle),
// nothing else changes as time passes.  So a move started from the same
// hero (every field the rules read: where he is to the last bit, his speed,
// heading, footing, keys of the last frame) among the same cells around the
// way he went, with the behaviours in the same places, plays the same
// frames and ends the same way, whatever the rest of the level holds.  The
// search plays many such moves again in states that differ only far away
// (an ingot taken across the level, a door opened elsewhere): most of them
// end in a state it knows, and knowing which is enough.  A move that
// changed any cell, set a behaviour going or reached the exit is never
// kept, and a move that would find a new state is always played: every
// state kept is still one the game's own frames reached.
class MoveMemo {
public:
    struct End {
        Outcome outcome = Outcome::Going;
        float x = 0, y = 0, z = 0;
        bool onGround = false, onLadder = false;
    };

    explicit MoveMemo(const World& w) {
        // Object types whose collision changes with the level's animation
        // clock: near one of them the same keys need not end the same way.
        for (std::size_t t = 0; t < w.objectDefs.size(); ++t)
            timeVarying_[t] = !w.objectDefs[t].undefined && w.objectDefs[t].animateCollision;
    }

    // The end of move `m` from the game as it stands, when it is known.
    const End* Find(const Game& game, const Move& m) {
        if (!Quiet(game)) return nullptr;
        const auto found = entries_.find(StartKey(game, m));
        if (found == entries_.end()) return nullptr;
        for (const Entry& e : found->second)
            if (CellsKey(*game.world, e.box) == e.cells) {
                ++hits;
                return &e.end;
            }
        return nullptr;
    }

    // Called before move `m` is played: watches it when it can be kept.
    void Begin(Player& p, const Move& m) {
        const Game& game = *p.game;
        watching_ = Quiet(game);
        if (!watching_) return;
        start_ = StartKey(game, m);
        cellsBefore_ = game.world->cells;
        markersBefore_ = MarkersKey(*game.world);
        const Actor& a = game.actors.Local();
        p.box = {CellOf(a.x), CellOf(a.y), CellOf(a.z), CellOf(a.x), CellOf(a.y), CellOf(a.z)};
        p.trackBox = true;
    }

    // Called after the move: keeps its end when nothing but the hero changed.
    void Finish(Player& p, Outcome o) {
        p.trackBox = false;
        if (!watching_) return;
        watching_ = false;
        const Game& game = *p.game;
        const World& w = *game.world;
        if (o == Outcome::Won || game.shell.cinematicPlaying || game.shell.clipPlaying) return;
        if (w.cells != cellsBefore_ || MarkersKey(w) != markersBefore_ || !Quiet(game)) return;
        std::array<int, 6> box = p.box;
        // The rules read the cells about the hero's box and a frame's travel
        // ahead of it: two cells beyond his centre's cells on every side.
        for (int i = 0; i < 3; ++i) {
            box[static_cast<std::size_t>(i)] -= 2;
            box[static_cast<std::size_t>(i) + 3] += 2;
        }
        bool timeVarying = false;
        const std::uint64_t cells = CellsKey(w, box, &timeVarying);
        if (timeVarying) return;
        const Actor& a = game.actors.Local();
        std::vector<Entry>& known = entries_[start_];
        for (const Entry& e : known)
            if (e.box == box && e.cells == cells) return;  // played again for a new state: known already
        known.push_back({box, cells, {o, a.x, a.y, a.z, a.onGround, a.onLadder}});
        ++kept;
    }

    // Puts the hero where `end` left him, for the state's key; Restore puts him back.
    void Apply(Game& game, const End& end) {
        Actor& a = game.actors.Local();
        saved_ = {Outcome::Going, a.x, a.y, a.z, a.onGround, a.onLadder};
        Set(a, end);
    }
    void Restore(Game& game) { Set(game.actors.Local(), saved_); }

    std::int64_t hits = 0, kept = 0;

private:
    struct Entry {
        std::array<int, 6> box;
        std::uint64_t cells;
        End end;
    };

    static void Set(Actor& a, const End& e) {
        a.x = e.x;
        a.y = e.y;
        a.z = e.z;
        a.onGround = e.onGround;
        a.onLadder = e.onLadder;
    }

    static bool Quiet(const Game& game) {
        return !game.shell.cinematicPlaying && !game.shell.clipPlaying && LevelIsQuiet(*game.world);
    }

    static std::uint64_t Bits(float f) {
        std::uint32_t u = 0;
        std::memcpy(&u, &f, sizeof u);
        return u;
    }

    // Every field of the hero the rules read, the move, and what the whole
    // level shares: the behaviours' progress and the gold left (the ingot
    // door opens on the last).
    static std::uint64_t StartKey(const Game& game, const Move& m) {
        const Actor& a = game.actors.Local();
        const World& w = *game.world;
        std::uint64_t h = MarkersKey(w);
        for (std::uint64_t v : {static_cast<std::uint64_t>(m.kind), static_cast<std::uint64_t>(m.dir),
                                static_cast<std::uint64_t>(m.variant), static_cast<std::uint64_t>(m.run)})
            h = Mix(h, v);
        for (float f : {a.x, a.y, a.z, a.heading, a.velX, a.velY, a.velZ, a.turnRate, a.fallSpeed, a.ladderExitX,
                        a.ladderExitZ})
            h = Mix(h, Bits(f));
        for (std::int32_t v : {a.stunMs, a.ladderHeading, a.walkAccel, a.turnSpeed, a.width, a.height, a.stepHeight,
                               a.lives, a.levelIndex, w.objectDefs[kIngotType].cellCount})
            h = Mix(h, static_cast<std::uint32_t>(v));
        const Commands* c[2] = {&a.commands, &a.prevCommands};
        for (const Commands* k : c)
            h = Mix(h, static_cast<std::uint64_t>(k->forward) | k->back << 1 | k->left << 2 | k->right << 3 |
                           k->jump << 4 | k->look << 5 | k->action << 6 | k->menu << 7);
        h = Mix(h, static_cast<std::uint64_t>(a.onGround) | a.onLadder << 1 | a.dead << 2);
        return h;
    }

    // The cells and slopes in `box` (corners inclusive; outside the grid
    // counts as empty, as the rules read it).
    std::uint64_t CellsKey(const World& w, const std::array<int, 6>& box, bool* timeVarying = nullptr) const {
        std::uint64_t h = 7;
        for (int y = box[1]; y <= box[4]; ++y)
            for (int z = box[2]; z <= box[5]; ++z)
                for (int x = box[0]; x <= box[3]; ++x) {
                    const Cell c = GetCell(w, x, y, z);
                    h = Mix(h, static_cast<std::uint64_t>(c) << 8 | GetStretch(w, x, y, z));
                    if (timeVarying && IsObjectIndex(c) && timeVarying_[c]) *timeVarying = true;
                }
        return h;
    }

    std::array<bool, kObjectTypeCount> timeVarying_{};
    std::unordered_map<std::uint64_t, std::vector<Entry>> entries_;
    bool watching_ = false;
    std::uint64_t start_ = 0, markersBefore_ = 0;
    std::vector<Cell> cellsBefore_;
    End saved_;
};

// Whether cell (x, y, z) lies in the area of a behaviour's step placed at
// marker `m`: from the marker over the step's span of cells on each axis,
// either way, as the behaviours read it.
bool InStepArea(const EventMarker& m, const Step& step, int x, int y, int z) {
    auto within = [](std::int64_t cell, std::int64_t marker, std::int64_t span) {
        const double half = static_cast<double>(span) / 2.0;
        return std::abs(half) >= std::abs(static_cast<double>(cell - marker) - half);
    };
    const auto& a = step.args;
    return within(x, m.x, static_cast<std::int64_t>(a[0]) + a[3]) &&
           within(y, m.y, static_cast<std::int64_t>(a[1]) + a[4]) && within(z, m.z, static_cast<std::int64_t>(a[2]) + a[5]);
}

// Whether cell (x, y, z) lies in the area a behaviour waits for the hero in,
// or holds a clip marker: walking through it sets something off.
bool SetsOffSomething(const World& w, int x, int y, int z) {
    for (const EventMarker& m : w.eventMarkers) {
        if (m.x < 0 || m.step < 0 || m.step >= kStepCount || m.behaviour < 0 || m.behaviour >= kBehaviourCount ||
            IdleLoop(w, m))
            continue;
        if (InStepArea(m, w.behaviours[static_cast<std::size_t>(m.behaviour)].steps[static_cast<std::size_t>(m.step)], x,
                       y, z))
            return true;
    }
    for (const ClipMarker& m : w.clipMarkers) {
        if (m.x != x || m.y != y || m.z != z || m.clip < 0 || m.clip >= kClipCount) continue;
        // A clip of music alone changes nothing in play: only one with a
        // cinematic, a video or a clip after it holds the game.
        const ClipDef& clip = w.clips[static_cast<std::size_t>(m.clip)];
        if (clip.hasFrames || !clip.video.empty() || clip.nextClip >= 0) return true;
    }
    return false;
}

// Whether cell (x, y, z) lies in the area of any step of a placed
// behaviour, at any point of its program: what is there may one day be made
// to fall, be put or transformed, or set the behaviour off.
bool InAnyBehaviourArea(const World& w, int x, int y, int z) {
    for (const EventMarker& m : w.eventMarkers) {
        if (m.x == kFreeMarker || m.behaviour < 0 || m.behaviour >= kBehaviourCount) continue;
        for (const Step& step : w.behaviours[static_cast<std::size_t>(m.behaviour)].steps)
            if (static_cast<Command>(step.command) != Command::None && InStepArea(m, step, x, y, z)) return true;
    }
    return false;
}

// An ingot beside the hero's walk region that he may as well take now.
// Taking an ingot that is not the last only takes it away: it is no
// obstacle to anyone (it has no collision), the gold left opens nothing
// before the last, and nothing but the ingot door reads how much is left.
// So a state with such an ingot within walking reach, and the state with
// it taken and the hero back in (a larger) walk region, can win or lose
// alike: from the first the second is a walk away, and whatever the first
// can do the second can too.  The search then only takes the ingot from
// there, and a level's ingots are not searched in every order and subset
// they could be taken in.  Left out: the last ingot (its door opens, which
// can let things fall), the exit, and cells any behaviour's area covers.
struct IngotAtHand {
    std::size_t cell = 0;  // index into the region of the cell it is stepped to from
    int dir = 0;
};
std::optional<IngotAtHand> FindIngotAtHand(const World& w, const std::vector<RegionCell>& region) {
    // A cell that sets off a behaviour or holds a clip marker (music alone
    // too: it is used up) changes more than where he stands when walked
    // through; so do all the cells whose way from him crosses one.
    auto marked = [&](int x, int y, int z) {
        for (const ClipMarker& m : w.clipMarkers)
            if (m.x == x && m.y == y && m.z == z) return true;
        return SetsOffSomething(w, x, y, z);
    };
    std::vector<char> clear(region.size(), 0);
    for (std::size_t i = 0; i < region.size(); ++i) {
        const RegionCell& c = region[i];
        clear[i] = (i == 0 || clear[static_cast<std::size_t>(c.parent)]) && !marked(c.x, c.y, c.z);
        if (!clear[i]) continue;
        for (int d = 0; d < 4; ++d) {
            const int x = c.x + (d == 1 ? 1 : d == 3 ? -1 : 0), z = c.z + (d == 0 ? 1 : d == 2 ? -1 : 0);
            const ObjectDef* def = ObjectAt(w, x, c.y, z);
            if (!def || !def->lingot || def->cellCount < 2) continue;
            if (x == w.exitX && c.y == w.exitY && z == w.exitZ) continue;
            if (marked(x, c.y, z) || InAnyBehaviourArea(w, x, c.y, z)) continue;
            return IngotAtHand{i, d};
        }
    }
    return std::nullopt;
}

// Puts the resting hero on the centre of a cell of his walk region, facing
// the way its last step went, as the walk there would have left him, or
// with `facing` turned that way already for a move.  Only used while the
// level is quiet and the way there sets nothing off: nothing else could
// have changed on the way.
void Teleport(Game& game, const RegionCell& c, int facing = -1) {
    Actor& a = game.actors.Local();
    a.x = static_cast<float>(c.x * kCellSize + kCellSize / 2);
    a.z = static_cast<float>(c.z * kCellSize + kCellSize / 2);
    a.velX = a.velZ = 0;
    a.turnRate = 0;
    if (facing >= 0) {
        // Already turned the way the move goes, and at a standstill: what
        // is left of a climb's or a landing's speed has no say in a walk,
        // and one start for every move from a cell lets the memo know them.
        a.heading = static_cast<float>(facing * 8192);
        a.velY = 0;
        if (std::fabs(a.fallSpeed) < 1) a.fallSpeed = 0;
        a.commands = a.prevCommands = Commands{};
    } else if (c.parent >= 0) {
        a.heading = static_cast<float>(c.dir * 8192);
    }
    // The cell an action works on follows the hero at the end of a frame:
    // put there, he acts on what is in front of him now.
    UpdateActionTarget(*game.world, a);
}

// The cells holding a timer at the level's start: with no behaviour that
// puts one, the only places more time can come from.
using CellList = std::vector<std::array<int, 3>>;
CellList TimerCells(const World& w) {
    CellList timers;
    for (int y = 0; y < w.sizeY; ++y)
        for (int z = 0; z < w.sizeZ; ++z)
            for (int x = 0; x < w.sizeX; ++x)
                if (const ObjectDef* def = ObjectAt(w, x, y, z); def && def->timer) timers.push_back({x, y, z});
    return timers;
}

// Whether a behaviour of the level could carry the hero (a travelling
// block) or lay a timer: then how fast he can get somewhere, and where time
// can be won, are not known from the cells, and no state is given up to
// the clock before it has run out.
bool BehavioursOutpaceTheBound(const World& w) {
    for (const Behaviour& b : w.behaviours)
        for (const Step& step : b.steps) {
            const auto command = static_cast<Command>(step.command);
            const std::int64_t laid = command == Command::PutObject    ? step.args[6] & 0xFFFF
                                      : command == Command::TransformTo ? step.args[0] & 0xFFFF
                                                                        : 0;
            const ObjectDef* def = laid > 0 ? DefinedObject(w, laid) : nullptr;
            if (command == Command::MoveTo || (def && def->timer)) return true;
        }
    return false;
}

// The least time in ms the hero could need to get into cell column (x, z)
// from where he stands: the straight line from him to the cell's edge, at
// half again his top speed on foot (the walk's push against its slowing,
// twice `walkAccel` per 90 ms tick; nothing else drives him sideways).
double LeastMsTo(const Actor& a, int x, int z) {
    auto gap = [](float at, int cell) {
        return std::max(0.0, std::fabs(static_cast<double>(at) - (cell * kCellSize + kCellSize / 2)) - kCellSize / 2);
    };
    const double topSpeed = 2.0 * a.walkAccel / static_cast<double>(kTickMs);  // units per ms
    return std::hypot(gap(a.x, x), gap(a.z, z)) / (1.5 * topSpeed);
}

// The clock will run out before the hero could reach the exit or a timer
// still in the level, whatever he does: only death remains.
bool ClockOutrunsHero(const World& w, const Actor& a, const CellList& timers) {
    if (!w.timerRunning || a.walkAccel <= 0) return false;
    double least = LeastMsTo(a, w.exitX, w.exitZ);
    for (const auto& t : timers)
        if (const ObjectDef* def = ObjectAt(w, t[0], t[1], t[2]); def && def->timer)
            least = std::min(least, LeastMsTo(a, t[0], t[2]));
    return w.timerLeft < least;
}

// The states still to search.  Breadth first (the fewest moves first), or on
// a level with a clock the least play time first, so that the first way
// found to a state is usually also the one with the most time left.
class SearchQueue {
public:
    explicit SearchQueue(bool byPlayTime) : byPlayTime_(byPlayTime) {}
    bool Empty() const { return byPlayTime_ ? heap_.empty() : fifo_.empty(); }
    void Push(std::int32_t node, std::uint32_t playMs) {
        if (byPlayTime_)
            heap_.push({playMs, node});
        else
            fifo_.push_back(node);
    }
    std::int32_t Pop() {
        std::int32_t node = 0;
        if (byPlayTime_) {
            node = heap_.top().second;
            heap_.pop();
        } else {
            node = fifo_.front();
            fifo_.pop_front();
        }
        return node;
    }

private:
    bool byPlayTime_;
    std::deque<std::int32_t> fifo_;
    using Entry = std::pair<std::uint32_t, std::int32_t>;  // play time, node (the earlier node first on a tie)
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> heap_;
};

}  // namespace

int LevelCheckStatus(const LevelCheckResult& r) {
    if (r.refused) return 4;
    if (!r.winnable) return 3;
    if (!*r.winnable) return 2;
    if (!r.deadEnds.empty()) return 1;
    if (!r.complete) return 3;
    return 0;
}

LevelCheckResult CheckLevel(const LevelCheckOptions& options) {
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - started).count(); };
    LevelCheckResult result;
    result.level = std::filesystem::path(options.levelFile).filename().string();

    Player p;
    GameConfig config;
    config.dataDir = options.dataDir;
    config.startDir = std::filesystem::current_path();
    config.writeSettings = false;
    config.seedFromClock = false;
    // A path that names a file from here is used as it is; any other is looked
    // up in the data folder, as the game's --level does.
    std::error_code ec;
    config.singleLevel = std::filesystem::is_regular_file(options.levelFile, ec)
                             ? std::filesystem::absolute(options.levelFile, ec).string()
                             : options.levelFile;
    config.drawFrames = false;
    // Nobody plays it to be offered a restart: the watch's scan of the
    // level's gold, levers and doors each frame only costs time, and its
    // plane of visited cells would be one more thing in every kept state.
    config.watchStuck = false;
    p.game = std::make_unique<Game>(config, p.input, p.audio, p.host);
    Game& game = *p.game;
    try {
        InitGame(game);
    } catch (const std::exception& e) {
        result.refused = true;
        result.refusal = e.what();
        return result;
    }
    ResetFrameClock(game.shell, 0);
    game.rules.blendMeshes = false;  // nothing is drawn
    // Nor heard: without a sound sink the loop sounds' scan of the cells
    // around the eye (a tenth of every frame) is skipped.  Sounds and the
    // texture clock only feed the devices, never the rules or the state.
    game.rules.playSound = nullptr;
    game.rules.playInterfaceSound = nullptr;
    game.rules.updateSounds = nullptr;
    game.rules.gameTick = nullptr;
    game.actors.Local().levelIndex = 0;
    game.actors.Local().lives = 3;
    StartLevel(game, 0);
    if (game.shell.screen != kScreenPlay) {
        result.refused = true;
        result.refusal = p.host.messages.empty() ? "the level could not be started" : p.host.messages.back();
        return result;
    }
    if (!game.world->description.empty()) result.level = game.world->description;
    p.startLives = game.actors.Local().lives;
    // Kept whole: the states of the search are kept as differences from
    // the level without its sentries (see Player::base).
    const GameState withSentries = SaveGameState(game, p.ticks);
    const bool hasSentries = game.world->sentryCount > 0;
    // The search leaves the sentries out: they chase, and chases are timing,
    // not the level's logic.  The solution is replayed with them below.
    game.world->sentryCount = 0;
    // Whether an ingot door stands in the level: the gold opens it, so the
    // exit behind it should only be reached with all the gold taken.
    bool ingotDoor = false;
    if (const std::int32_t door = game.world->objectDefs[kIngotType].lingotDoor; door > 0)
        ingotDoor = std::find(game.world->cells.begin(), game.world->cells.end(), static_cast<Cell>(door)) !=
                    game.world->cells.end();
    bool hasBehaviours = false;  // lifts and traps move on their own: waiting is a move
    for (const EventMarker& m : game.world->eventMarkers) hasBehaviours = hasBehaviours || m.x != kFreeMarker;

    // A clock: whether the level holds a timer or starts with one running.
    const CellList timers = TimerCells(*game.world);
    const bool clockLevel = !timers.empty() || game.world->timerRunning;
    // Whether a state may be given up to the clock before it runs out (see
    // ClockOutrunsHero).
    const bool outrunClock = clockLevel && !BehavioursOutpaceTheBound(*game.world);
    // How much more time on the clock makes a way to a known state worth
    // searching again from: less would search much the same twice (a
    // second searched a tenth more states on 16, which then missed its
    // 120 s, and changed no other level's verdict).
    constexpr std::int32_t kFasterMs = 2000;

    const bool trace = std::getenv("ZQ_CHECK_TRACE") != nullptr;
    std::vector<Node> nodes;
    std::unordered_map<std::uint64_t, std::int32_t> seen;
    SearchQueue queue(clockLevel);
    std::int64_t clockDeaths = 0;  // lives lost while the level's clock ran (or sure to be)
    auto addNode = [&](std::int32_t parent, const std::vector<std::uint8_t>& walk, const Move& move) {
        Node n;
        n.state = p.Save();
        n.parent = parent;
        n.walk = walk;
        n.move = move;
        const Actor& a = game.actors.Local();
        n.cellX = CellOf(a.x);
        n.cellY = CellOf(a.y);
        n.cellZ = CellOf(a.z);
        n.onLadder = a.onLadder;
        n.clock = game.world->timerRunning;
        n.timeLeft = game.world->timerLeft;
        n.ingotsLeft = game.world->objectDefs[kIngotType].cellCount;
        n.key = StateKey(game);
        n.outrun = outrunClock && ClockOutrunsHero(*game.world, a, timers);
        const std::uint32_t playMs = n.state.clockTicks;
        const bool search = !n.outrun;
        clockDeaths += n.outrun ? 1 : 0;
        nodes.push_back(std::move(n));
        const auto index = static_cast<std::int32_t>(nodes.size() - 1);
        if (trace)
            std::fprintf(stderr, "new state %d at (%d,%d,%d) [%.0f %.0f %.0f] from %d by move %d/%d/%d\n", index,
                         nodes.back().cellX, nodes.back().cellY, nodes.back().cellZ, a.x, a.y, a.z, parent,
                         static_cast<int>(move.kind), move.dir, move.variant);
        seen[nodes.back().key] = index;  // a faster way replaces a slower one
        if (search) queue.Push(index, playMs);
        return index;
    };

    MovePlayer mover(p);
    std::vector<ScriptKeys> frames;
    p.record = &frames;
    // The level's first frames: the hero lands on the start cell, and an
    // opening cinematic plays to its end.
    mover.Settle(750);
    p.base = GameStateFields(SaveGameState(game, p.ticks));
    addNode(-1, {}, {});
    // The root's frames belong to every path: kept in front of the first move.
    nodes[0].frames = frames;
    // A move that reaches the exit: from node `node`, the walk and the move.
    struct Win {
        std::int32_t node = -1;
        std::vector<std::uint8_t> walk;
        Move move;
        std::int32_t goldLeft = 0;  // ingots still in the level as he enters the exit
    };
    // The first win found (the fewest moves), the first that takes all the
    // gold, and the first that leaves some: the solution is the second when
    // there is one, the third is the shortcut reported on a level whose exit
    // an ingot door should guard.  Wins with gold left are usually found
    // first (they skip the puzzle), and the search goes on for dead ends
    // anyway, so keeping the all-gold one costs nothing.
    Win firstWin, fullWin, shortcutWin;
    bool outOfTime = false;
    const bool noTeleport = std::getenv("ZQ_CHECK_WALK") != nullptr;  // plays every walk, to compare
    // The states at the ends of the walks through a region (see below), kept
    // from one searched state to the next so that their room is used again.
    std::vector<GameState> walkedState, startAt;
    GameState atState;  // the state searched, unpacked: restored for every move and walk from it
    MoveMemo memo(*game.world);
    const bool useMemo = std::getenv("ZQ_CHECK_NO_MEMO") == nullptr;
    // Plays every move the memo knows and compares its end with the memo's.
    const bool verifyMemo = std::getenv("ZQ_CHECK_MEMO_VERIFY") != nullptr;
    // Takes an ingot at hand before anything else (see FindIngotAtHand).
    const bool takeIngots = std::getenv("ZQ_CHECK_EVERY_ORDER") == nullptr;
    std::optional<std::pair<Outcome, std::uint64_t>> predicted;
    std::int64_t mispredicted = 0;
    auto playMove = [&](const Move& m) {
        memo.Begin(p, m);
        const Outcome o = mover.Play(m);
        memo.Finish(p, o);
        if (predicted) {
            const std::uint64_t key = o == Outcome::Going ? StateKey(game) : 0;
            if (o != predicted->first || key != predicted->second) ++mispredicted;
            predicted.reset();
        }
        return o;
    };
    while (!queue.Empty()) {
        if (elapsed() > options.seconds || (options.cancel && options.cancel->load())) {
            outOfTime = true;
            break;
        }
        const std::int32_t at = queue.Pop();
        if (const std::int32_t faster = nodes[static_cast<std::size_t>(at)].fasterWay; faster >= 0) {
            // Not searched: whatever it could reach, the faster way reaches
            // with more time.
            nodes[static_cast<std::size_t>(at)].next.push_back(faster);
            continue;
        }
        UnpackGameState(nodes[static_cast<std::size_t>(at)].state, &p.base, atState);
        p.Restore(atState);
        // The hero's walk region (filled below) and, for the moves played
        // again from a cell he was put on, the state at the end of the walk
        // to each cell: played once, as one step from its parent cell's
        // state, and kept for every move from there.  A restored state plays
        // on exactly as the unbroken run, so the walk's end is the same.
        std::vector<RegionCell> region;
        std::vector<char> walkedKnown;
        std::function<Outcome(std::size_t)> walkTo = [&](std::size_t i) {
            if (i == 0) {
                p.Restore(atState);
                return Outcome::Going;
            }
            if (walkedKnown[i]) {
                p.Restore(walkedState[i]);
                return Outcome::Going;
            }
            Outcome o = walkTo(static_cast<std::size_t>(region[i].parent));
            if (o == Outcome::Going) o = mover.Play({Move::Step, region[i].dir, 0, region[i].run});
            // A walk that ends otherwise (never seen in a quiet region) is not
            // kept: the caller reads the game as that walk left it.
            if (o == Outcome::Going) {
                p.SaveUnpacked(walkedState[i]);
                walkedKnown[i] = 1;
            }
            return o;
        };
        // What a move from `at` led to; `walk` is the way to where it
        // started from cell `cell` of the region, and `putThere` whether the
        // hero was put on that cell's centre for it instead of walked there.
        auto reached = [&](Outcome o, const std::vector<std::uint8_t>& walk, const Move& m, std::size_t cell,
                           bool putThere) {
            if (putThere && o != Outcome::Died) {
                // A move from a cell the hero was put on: one that leads to a
                // state not seen yet (or to the exit) is played again with the
                // walk there, so that every state kept is one the game's own
                // frames reached, and its script replays exactly.
                if (o == Outcome::Going) {
                    auto found = seen.find(StateKey(game));
                    if (found != seen.end()) {
                        if (found->second != at) nodes[static_cast<std::size_t>(at)].next.push_back(found->second);
                        return;
                    }
                }
                o = walkTo(cell);
                if (o == Outcome::Going) o = mover.Play(m);
            }
            Node& from = nodes[static_cast<std::size_t>(at)];
            if (o == Outcome::Died) {
                ++from.deaths;
                clockDeaths += game.world->timerRunning || from.clock ? 1 : 0;
                return;
            }
            if (o == Outcome::Won) {
                from.wins = true;
                // The exit is entered this frame: the level is still the one played.
                const Win win{at, walk, m, game.world->objectDefs[kIngotType].cellCount};
                if (firstWin.node < 0) firstWin = win;
                if (win.goldLeft == 0 && fullWin.node < 0) fullWin = win;
                if (win.goldLeft > 0 && shortcutWin.node < 0) shortcutWin = win;
                return;
            }
            const std::uint64_t key = StateKey(game);
            auto found = seen.find(key);
            std::int32_t to = found != seen.end() ? found->second : addNode(at, walk, m);
            if (found != seen.end() && game.world->timerRunning) {
                // The same state with more time on the clock: it is searched
                // from instead (the slower one too, when that was searched
                // already: it is no less a state the game reaches).
                Node& known = nodes[static_cast<std::size_t>(to)];
                if (known.clock && game.world->timerLeft > known.timeLeft + kFasterMs) {
                    const std::int32_t slower = to;
                    to = addNode(at, walk, m);
                    nodes[static_cast<std::size_t>(slower)].fasterWay = to;
                }
            }
            if (to != at) nodes[static_cast<std::size_t>(at)].next.push_back(to);
        };
        // A move whose end is known from an earlier one (see MoveMemo): its
        // state is linked or its death counted without playing it, when the
        // state it reaches is known.  Otherwise it is played.
        auto knownEnd = [&](const Move& m) {
            predicted.reset();
            const MoveMemo::End* end = useMemo ? memo.Find(game, m) : nullptr;
            if (!end) return false;
            Node& from = nodes[static_cast<std::size_t>(at)];
            std::uint64_t key = 0;
            if (end->outcome == Outcome::Going) {
                memo.Apply(game, *end);
                key = StateKey(game);
                memo.Restore(game);
            }
            if (verifyMemo) {
                predicted = {end->outcome, key};
                return false;
            }
            if (end->outcome == Outcome::Died) {
                ++from.deaths;
                clockDeaths += from.clock ? 1 : 0;
                return true;
            }
            const auto found = seen.find(key);
            if (found == seen.end()) return false;
            if (found->second != at) from.next.push_back(found->second);
            return true;
        };
        auto traceMove = [&](std::size_t cell, const Move& m, Outcome o) {
            if (!trace) return;
            std::fprintf(stderr,
                         "state %d cell %zu move %d/%d/%d -> %d at (%d,%d,%d) cine %d clock %d (%d ms left) t %u ms\n",
                         at, cell,
                         static_cast<int>(m.kind), m.dir, m.variant, static_cast<int>(o),
                         CellOf(game.actors.Local().x), CellOf(game.actors.Local().y),
                         CellOf(game.actors.Local().z), game.shell.cinematicPlaying ? 1 : 0,
                         static_cast<int>(game.world->timerRunning), game.world->timerLeft, p.ticks);
        };
        // The hero walks to each cell of his region (one step from a cell
        // already reached), and every move is tried from each.
        region = WalkRegion(game);
        if (game.world->timerRunning) region = StraightLegs(region, *game.world);
        walkedState.resize(std::max(walkedState.size(), region.size()));  // never shrunk: see above
        walkedKnown.assign(region.size(), 0);
        std::vector<std::vector<std::uint8_t>> dirsTo(region.size());
        const World& w = *game.world;
        // A region of one plain cell is put on like any other: the hero's
        // own cell is searched from its centre too.
        const Actor& hero = game.actors.Local();
        const bool plain = region.size() > 1 ||
                           (hero.onGround && !hero.onLadder && PlainCell(w, region[0].x, region[0].y, region[0].z));
        // Nothing acts while he walks (see LevelIsQuiet): the walks through
        // his region need not be played.
        const bool quiet = plain && LevelIsQuiet(w) && !noTeleport;
        bool teleport = quiet;
        for (std::size_t i = 1; i < region.size(); ++i) {
            const RegionCell& c = region[i];
            dirsTo[i] = dirsTo[static_cast<std::size_t>(c.parent)];
            dirsTo[i].push_back(WalkLeg(c.dir, c.run));
            if (teleport && SetsOffSomething(w, c.x, c.y, c.z)) teleport = false;
        }
        std::vector<char> inRegion(static_cast<std::size_t>(w.sizeX) * static_cast<std::size_t>(w.sizeZ), 0);
        for (const RegionCell& c : region)
            if (c.x >= 0 && c.z >= 0 && c.x < w.sizeX && c.z < w.sizeZ)
                inRegion[static_cast<std::size_t>(c.x + w.sizeX * c.z)] = 1;
        auto walked = [&](int x, int z) {
            return region.size() > 1 && x >= 0 && z >= 0 && x < w.sizeX && z < w.sizeZ &&
                   inRegion[static_cast<std::size_t>(x + w.sizeX * z)] != 0;
        };
        const bool wait = w.lastHole >= 0 || hasBehaviours;
        if (quiet && takeIngots) {
            // An ingot at hand is taken, and nothing else is tried from here
            // (see FindIngotAtHand), when the step does only that: the ingot
            // gone, the hero at rest in its cell, nothing else changed, and
            // the cells he could walk to before still within his reach.
            if (const auto ingot = FindIngotAtHand(w, region)) {
                const std::vector<Cell> cellsBefore = w.cells;
                const std::uint64_t markersBefore = MarkersKey(w);
                const RegionCell& c = region[ingot->cell];
                const int ix = c.x + (ingot->dir == 1 ? 1 : ingot->dir == 3 ? -1 : 0);
                const int iz = c.z + (ingot->dir == 0 ? 1 : ingot->dir == 2 ? -1 : 0);
                const Move m{Move::Step, ingot->dir, 0};
                // Walked there, not put there: the state it leads to is the
                // only one searched from here, so it must be the one the
                // game's own frames reach.
                frames.clear();
                Outcome o = walkTo(ingot->cell);
                if (o == Outcome::Going) o = playMove(m);
                traceMove(ingot->cell, m, o);
                bool tookOnly = o == Outcome::Going && AtRest(game) && LevelIsQuiet(w) && MarkersKey(w) == markersBefore &&
                                !game.shell.cinematicPlaying && !game.shell.clipPlaying;
                const Actor& a = game.actors.Local();
                tookOnly = tookOnly && CellOf(a.x) == ix && CellOf(a.y) == c.y && CellOf(a.z) == iz;
                if (tookOnly) {
                    std::size_t changed = 0;
                    for (std::size_t k = 0; k < cellsBefore.size() && changed < 2; ++k)
                        changed += cellsBefore[k] != w.cells[k] ? 1 : 0;
                    tookOnly = changed == 1 && GetCell(w, ix, c.y, iz) == 0;
                }
                if (tookOnly) {
                    const std::vector<RegionCell> after = WalkRegion(game);
                    tookOnly = std::any_of(after.begin(), after.end(), [&](const RegionCell& r) {
                        return r.x == region[0].x && r.y == region[0].y && r.z == region[0].z;
                    });
                }
                if (tookOnly) {
                    reached(o, dirsTo[ingot->cell], m, ingot->cell, false);
                    continue;
                }
                p.Restore(atState);  // searched as any other state
            }
        }
        if (teleport) {
            // Nothing can act while he walks: he is put on each cell of the
            // region without playing the walk (its keys are played when a
            // script is written), and only cells with a move are visited.
            const GameState& from = atState;
            // The moves of every cell are read from this one state, the hero
            // put on each cell in turn: that changes nothing they look at but
            // his cell, so no cell costs a restore just to find it has none.
            std::vector<std::vector<Move>> movesAt(region.size());
            for (std::size_t i = 0; i < region.size(); ++i) {
                if (i > 0) Teleport(game, region[i]);
                movesAt[i] = MovesFrom(game, walked, wait && i == 0);
            }
            // After a move the memo knew, nothing but where the hero was put
            // has changed, and putting him again sets all of that.
            bool asRestored = false;
            for (std::size_t i = 0; i < region.size(); ++i) {
                for (const Move& m : movesAt[i]) {
                    if (!asRestored) p.Restore(from);
                    // His own cell too: from its centre, turned the move's
                    // way, every state shares one start there.
                    Teleport(game, region[i], m.dir);
                    asRestored = knownEnd(m);
                    if (asRestored) continue;
                    frames.clear();
                    const Outcome o = playMove(m);
                    traceMove(i, m, o);
                    reached(o, dirsTo[i], m, i, true);
                }
            }
            continue;
        }
        // A quiet level whose region holds cells that set something off:
        // the hero is still put on every cell whose way from him crosses
        // none of them, and only walked to the others.
        std::vector<char> quietWay(region.size(), 0);
        if (region.size() > 1 && quiet) {
            quietWay[0] = 1;
            for (std::size_t i = 1; i < region.size(); ++i)
                quietWay[i] = quietWay[static_cast<std::size_t>(region[i].parent)] &&
                              !SetsOffSomething(w, region[i].x, region[i].y, region[i].z);
        }
        // While a clock runs, the walk only goes to the cells that have a
        // move (read with the hero put on each, as in a quiet region) or set
        // something off, and to those on the way to one: a walk to a cell
        // with nothing to try there only costs frames.
        std::vector<char> needed(region.size(), 1);
        if (w.timerRunning && region.size() > 1 && !noTeleport) {
            for (std::size_t i = 1; i < region.size(); ++i) {
                Teleport(game, region[i]);
                needed[i] = !MovesFrom(game, walked, false).empty() ||
                            SetsOffSomething(w, region[i].x, region[i].y, region[i].z);
            }
            for (std::size_t i = region.size() - 1; i > 0; --i)
                if (needed[i]) needed[static_cast<std::size_t>(region[i].parent)] = 1;
            // A walk left out might have met the clock's end: a level
            // none of whose ways wins is then left undecided, not unwinnable.
            if (std::find(needed.begin(), needed.end(), 0) != needed.end()) ++clockDeaths;
        }
        startAt.resize(std::max(startAt.size(), region.size()));
        std::vector<char> walkedTo(region.size(), 0);
        startAt[0] = atState;
        walkedTo[0] = 1;
        for (std::size_t i = 0; i < region.size(); ++i) {
            const RegionCell& c = region[i];
            if (!needed[i]) continue;
            if (i > 0 && quietWay[i]) {
                p.Restore(startAt[0]);
                Teleport(game, c);
                const std::vector<Move> moves = MovesFrom(game, walked, false);
                bool asRestored = false;  // see above
                for (const Move& m : moves) {
                    if (!asRestored) p.Restore(startAt[0]);
                    Teleport(game, c, m.dir);
                    asRestored = knownEnd(m);
                    if (asRestored) continue;
                    frames.clear();
                    const Outcome o = playMove(m);
                    traceMove(i, m, o);
                    reached(o, dirsTo[i], m, i, true);
                }
                continue;
            }
            if (i > 0) {
                const auto parent = static_cast<std::size_t>(c.parent);
                if (!walkedTo[parent] && quietWay[parent] && walkTo(parent) == Outcome::Going) {
                    // The walk to a cell he was put on, played for a cell beyond it.
                    startAt[parent] = walkedState[parent];
                    walkedTo[parent] = 1;
                }
                if (!walkedTo[parent]) continue;
                p.Restore(startAt[parent]);
                frames.clear();
                const Move step{Move::Step, c.dir, 0, c.run};
                const Outcome o = mover.Play(step);
                const Actor& a = game.actors.Local();
                if (o != Outcome::Going || CellOf(a.x) != c.x || CellOf(a.y) != c.y || CellOf(a.z) != c.z ||
                    !AtRest(game)) {
                    // The walk did something else (a floor fell under it): a move of its own.
                    traceMove(parent, step, o);
                    reached(o, dirsTo[parent], step, 0, false);
                    continue;
                }
                p.SaveUnpacked(startAt[i]);
                walkedTo[i] = 1;
            }
            p.Restore(startAt[i]);
            // Waiting is tried where he stands, and where the walk set
            // something going: a ferry called from its landing comes to a
            // hero who waits there.
            const bool waitHere = wait && (i == 0 || SetsOffSomething(w, c.x, c.y, c.z));
            const std::vector<Move> moves = MovesFrom(game, walked, waitHere);
            const std::int32_t deathsBefore = nodes[static_cast<std::size_t>(at)].deaths;
            for (const Move& m : moves) {
                // Backing off is only tried where every other move from
                // here died: it is the way off an edge he slips from.
                const auto tried = static_cast<std::int32_t>(&m - &moves.front());
                if (m.kind == Move::Back && nodes[static_cast<std::size_t>(at)].deaths - deathsBefore < tried) continue;
                if (&m != &moves.front()) p.Restore(startAt[i]);
                if (knownEnd(m)) continue;
                frames.clear();
                const Outcome o = playMove(m);
                traceMove(i, m, o);
                reached(o, dirsTo[i], m, i, false);
            }
        }
    }
    p.record = nullptr;
    result.states = nodes.size();
    if (trace || verifyMemo)
        std::fprintf(stderr, "memo: %lld moves kept, %lld known again, %lld ended otherwise than known\n",
                     static_cast<long long>(memo.kept), static_cast<long long>(memo.hits),
                     static_cast<long long>(mispredicted));
    if (trace) {
        std::size_t slower = 0, outrun = 0;
        for (const Node& n : nodes) {
            slower += n.fasterWay >= 0 ? 1 : 0;
            outrun += n.outrun ? 1 : 0;
        }
        std::fprintf(stderr, "%zu states: %zu replaced by a faster way, %zu given up to the clock (%s)\n",
                     nodes.size(), slower, outrun, outrunClock ? "the clock bound in use" : "no clock bound");
    }
    result.complete = !outOfTime;

    // The keys from the start to the end of node `at`'s move (and of one more
    // move when given), played again by the controllers from the start: the
    // search may have put the hero on a cell without playing the walk there.
    auto scriptTo = [&](std::int32_t at, const std::vector<std::uint8_t>* walk, const Move* move) {
        p.Restore(nodes[0].state);
        frames.clear();
        p.record = &frames;
        auto play = [&](const std::vector<std::uint8_t>& steps, const Move& m) {
            for (std::uint8_t leg : steps) {
                const Outcome o = mover.Play(WalkMove(leg));
                if (o != Outcome::Going) return o;
            }
            return mover.Play(m);
        };
        Outcome o = Outcome::Going;
        for (std::int32_t n : Chain(nodes, at)) {
            o = play(nodes[static_cast<std::size_t>(n)].walk, nodes[static_cast<std::size_t>(n)].move);
            if (o != Outcome::Going) break;
        }
        if (o == Outcome::Going && move) o = play(*walk, *move);
        // After the exit, play on until the level has handed over to the next one.
        if (o == Outcome::Won)
            for (int i = 0; i < 400 && game.actors.Local().levelIndex == 0; ++i) p.Frame(0);
        p.record = nullptr;
        std::vector<ScriptKeys> all = nodes[0].frames;
        all.insert(all.end(), frames.begin(), frames.end());
        return all;
    };

    const Win& chosen = fullWin.node >= 0 ? fullWin : firstWin;
    const std::int32_t solutionNode = chosen.node;
    if (solutionNode >= 0) {
        result.winnable = true;
        result.goldLeft = chosen.goldLeft;
        const std::vector<ScriptKeys> solution = scriptTo(solutionNode, &chosen.walk, &chosen.move);
        result.solution = ScriptText(solution);
        result.solutionSeconds = static_cast<double>(solution.size()) * kCheckFrameMs / 1000.0;
        // The solution played again from the start as the game plays it, sentries and all.
        RestoreGameState(game, withSentries, false);
        p.ticks = withSentries.clockTicks;
        Outcome o = Outcome::Going;
        for (ScriptKeys k : solution) {
            o = p.Frame(k);
            if (o == Outcome::Died) break;
        }
        const bool reached = game.actors.Local().levelIndex == 1 && !game.actors.Local().dead;
        if (!reached) {
            if (o == Outcome::Died && hasSentries)
                result.needsTiming = true;
            else
                result.replayProblem = o == Outcome::Died ? "the solution loses a life when replayed"
                                                          : "the solution does not reach the exit when replayed";
        }
    } else if (result.complete && clockDeaths == 0) {
        result.winnable = false;
    } else if (result.complete) {
        // The moves stop at every cell, so they play slower than a player
        // can: where the clock ended every way, a faster player might still
        // win.  That is undecided, not unwinnable.
        result.clockDecided = true;
    }

    if (result.complete && solutionNode >= 0) {
        // Which states still lead to the exit: back from the winning ones.
        std::vector<std::vector<std::int32_t>> back(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i)
            for (std::int32_t to : nodes[i].next) back[static_cast<std::size_t>(to)].push_back(static_cast<std::int32_t>(i));
        std::vector<char> live(nodes.size(), 0);
        std::vector<std::int32_t> work;
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].wins) {
                live[i] = 1;
                work.push_back(static_cast<std::int32_t>(i));
            }
        while (!work.empty()) {
            const std::int32_t n = work.back();
            work.pop_back();
            for (std::int32_t from : back[static_cast<std::size_t>(n)])
                if (!live[static_cast<std::size_t>(from)]) {
                    live[static_cast<std::size_t>(from)] = 1;
                    work.push_back(from);
                }
        }
        if (trace) {
            // Which states can still win, by their keys: two searches of one
            // level (with ZQ_CHECK_EVERY_ORDER, say) are compared by these.
            for (std::size_t i = 0; i < nodes.size(); ++i)
                std::fprintf(stderr, "state %zu key %016llx %s\n", i, static_cast<unsigned long long>(nodes[i].key),
                             live[i] ? "live" : "lost");
        }
        // A trap is reported where it is entered: a lost state whose parent could still win.
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            const Node& n = nodes[i];
            if (live[i] || !live[static_cast<std::size_t>(n.parent)]) continue;
            const bool fatal = n.clock || (n.next.empty() && n.deaths > 0);
            const std::vector<ScriptKeys> path = scriptTo(static_cast<std::int32_t>(i), nullptr, nullptr);
            result.deadEnds.push_back({fatal ? "fatal" : "stuck", ScriptText(path), DeadEndWhy(n, fatal)});
        }
    }
    if (ingotDoor && shortcutWin.node >= 0) {
        // Gold left in the level as the hero walks out: the door that should
        // guard the exit was gone around, and the level's puzzle with it.
        const std::vector<ScriptKeys> path = scriptTo(shortcutWin.node, &shortcutWin.walk, &shortcutWin.move);
        const std::int32_t n = shortcutWin.goldLeft;
        if (trace) {
            // Where the way goes: the cell each move of the chain ends in.
            for (std::int32_t c : Chain(nodes, shortcutWin.node)) {
                const Node& node = nodes[static_cast<std::size_t>(c)];
                std::fprintf(stderr, "shortcut: move %d/%d/%d to (%d,%d,%d)\n", static_cast<int>(node.move.kind),
                             node.move.dir, node.move.variant, node.cellX, node.cellY, node.cellZ);
            }
            std::string walk;
            for (std::uint8_t leg : shortcutWin.walk)
                walk += std::string(static_cast<std::size_t>(WalkMove(leg).run), "NESW"[leg & 3]);
            std::fprintf(stderr, "shortcut: walk %s, then move %d/%d/%d into the exit\n", walk.c_str(),
                         static_cast<int>(shortcutWin.move.kind), shortcutWin.move.dir, shortcutWin.move.variant);
        }
        result.deadEnds.push_back({"shortcut", ScriptText(path),
                                   "the exit is reached with " + std::to_string(n) + (n == 1 ? " ingot" : " ingots") +
                                       " left"});
    }
    result.seconds = elapsed();
    return result;
}

}  // namespace zq
