// Level files through the real loader: a refused file leaves the World as it
// was, an accepted one respects the limits and survives save -> load -> save
// byte for byte.
#include <cmath>
#include <memory>

#include "core/errors.h"
#include "fuzz_util.h"
#include "world/level_file.h"

namespace {

using namespace zq;

std::uint64_t WorldDigest(const World& w) {
    fuzz::Digest d;
    Bytes saved = SerializeLevel(w);
    d.Add(saved.data(), saved.size());
    d.Text(w.bankName);
    for (const Behaviour& b : w.behaviours) {
        d.Text(b.name);
        d.Add(b.steps.data(), sizeof b.steps);
    }
    for (const SentryState& s : w.sentries) d.Value(s);
    d.Value(w.lastHole);
    d.Value(w.lastMovingBlock);
    d.Value(w.timerLeft);
    return d.Hash();
}

void CheckLimits(const World& w) {
    fuzz::Check(w.sizeX >= 1 && w.sizeX <= kMaxLevelAxis && w.sizeY >= 1 && w.sizeY <= kMaxLevelAxis && w.sizeZ >= 1 &&
                    w.sizeZ <= kMaxLevelAxis,
                "dimensions within 1..1024");
    const std::size_t n = static_cast<std::size_t>(w.sizeX) * static_cast<std::size_t>(w.sizeY) * static_cast<std::size_t>(w.sizeZ);
    fuzz::Check(n <= static_cast<std::size_t>(kMaxLevelCells), "at most 64 Mi cells");
    fuzz::Check(w.cells.size() == n && w.lightMap.size() == n && w.stretchMap.size() == n, "planes match the dimensions");
    fuzz::Check(w.sentryCount >= 0 && w.sentryCount <= kMaxSentries, "sentry count within 0..255");
    for (std::int32_t v : {w.startX, w.startY, w.startZ, w.exitX, w.exitY, w.exitZ})
        fuzz::Check(v >= -kMaxCellCoordinate && v <= kMaxCellCoordinate, "start and exit within reach");
    for (std::int32_t i = 0; i < w.sentryCount; ++i) {
        const SentryState& s = w.sentries[static_cast<std::size_t>(i)];
        fuzz::Check(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z) && std::isfinite(s.heading),
                    "sentries at finite positions");
    }
}

struct State {
    DataResolver data{fuzz::ScratchFolder()};
    Random random;
    std::unique_ptr<World> world = std::make_unique<World>();
    std::unique_ptr<World> again = std::make_unique<World>();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static State state;
    fuzz::WriteScratch("LEVEL/F.LEV", bytes, size);
    LevelLoadContext context{state.data, state.random, 0, {}};
    const std::uint64_t before = WorldDigest(*state.world);
    try {
        LoadLevelFile(*state.world, context, "LEVEL\\F.LEV", "High");
    } catch (const LoadError&) {
        fuzz::Check(WorldDigest(*state.world) == before, "a refused level leaves the World unchanged");
        return 0;
    }
    CheckLimits(*state.world);
    const Bytes first = SerializeLevel(*state.world);
    fuzz::WriteScratch("LEVEL/G.LEV", first);
    LoadLevelFile(*state.again, context, "LEVEL\\G.LEV", "High");
    fuzz::Check(SerializeLevel(*state.again) == first, "save -> load -> save is byte-exact");
    return 0;
}
