// Which triangles of the back-to-front list may be drawn together.  Each
// triangle gets a round: a triangle whose pixels could come out differently
// when drawn before an earlier one (with that one's darkness pass) gets a
// later round than it, so drawing round after round, in any order within a
// round, gives the same picture as drawing the list one by one.  No GL calls:
// it only needs the frame's projection matrix.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "render/gl/gl_triangles.h"

namespace zq {

class GlRoundPlanner {
public:
    GlRoundPlanner();

    // Starts a pass over the list: the projection (column-major, as GL keeps
    // it) and the picture's size in pixels.
    void Begin(const double projection[16], int width, int height);
    static constexpr std::uint64_t kNoBatch = ~std::uint64_t{0};

    // The next triangle in drawing order, its vertices exactly as GL gets
    // them; `blended` when it is drawn with blending (translucent); `fogged`
    // when it is drawn opaque in the fog colour and nothing else; `batch`
    // names its GL state, so that it may join a later round already drawing
    // that state rather than open a draw in the earliest round it could
    // take.  Returns its round, from 1, or 0 when GL would clip all of it
    // away.
    int Add(const std::array<GlVertex, 3>& v, bool blended, bool fogged = false, std::uint64_t batch = kNoBatch);
    int Rounds() const { return rounds_; }

private:
    // A triangle of this pass as it lands on the screen.
    struct Placed {
        std::array<GlVertex, 3> v{};     // what GL was given, to find shared corners
        std::array<double, 3> sx{}, sy{}, sz{};  // window x, y (pixels) and depth 0..1
        double left = 0, right = 0, bottom = 0, top = 0;
        double zMin = 0, zMax = 0;
        double za = 0, zb = 0, zc = 0;   // depth as za * x + zb * y + zc
        double zSlack = 0;               // depth rounding allowed for
        // Per edge (corner k to k + 1): the unit direction turned so that the
        // distance of a point from the edge line, positive inside, is
        // ex * (y - sy[k]) - ey * (x - sx[k]); and whether the third corner is
        // far enough inside for the edge to separate anything.
        std::array<double, 3> ex{}, ey{};
        std::array<bool, 3> edgeUsable{};
        bool near = false;               // may be cut at the near plane: every depth over its rectangle
        bool blended = false;
        bool fogged = false;
        bool planeValid = false;
    };

    bool Place(const std::array<GlVertex, 3>& v, Placed& out) const;
    // The screen rectangle of a triangle that may be cut at the near plane,
    // from its clip-space x, y and w.
    void NearBounds(const std::array<double, 3>& cx, const std::array<double, 3>& cy, const std::array<double, 3>& cw,
                    Placed& out) const;
    bool MayConflict(const Placed& earlier, const Placed& later) const;
    // Apart but for one corner in common, which no edge line of either shows
    // when their edges run in line (diagonal neighbours of a floor).
    static bool ApartAtSharedCorner(const Placed& a, const Placed& b);

    double projection_[16] = {};
    int width_ = 1, height_ = 1;

    std::vector<Placed> placed_;  // kMaxGlTriangles entries
    // Beside it, what the tile scan reads most: each triangle's round and the
    // Add call that last looked at it.
    std::vector<std::int32_t> roundOf_;
    std::vector<std::uint32_t> seenBy_;
    int count_ = 0;
    int rounds_ = 0;
    std::uint32_t stamp_ = 0;

    // The screen in tiles.  Each keeps the last few triangles that touched it
    // (older ones only count as their highest round, as if they conflicted)
    // and the highest round of all that touched it.
    static constexpr int kTilesX = 40, kTilesY = 30;
    static constexpr int kTileKeep = 16;
    struct Tile {
        std::array<std::int32_t, kTileKeep> recent{};  // ring of indices into placed_
        std::int32_t count = 0;                         // added since the pass began
        std::int32_t forgotten = 0;                     // highest round pushed out of the ring
        std::int32_t highest = 0;                       // highest round of any triangle here
    };
    std::vector<Tile> tiles_;
    // Per batch key, the rounds holding it, ascending.
    std::unordered_map<std::uint64_t, std::vector<std::int32_t>> batchRounds_;
};

}  // namespace zq
