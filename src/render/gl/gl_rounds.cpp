// Rounds for the batched triangle list.
//
// Drawing triangle B before an earlier triangle A (each followed by its
// darkness pass) changes no pixel when they share no pixel.  Nor does it when
// both are opaque and, wherever they overlap, one is strictly nearer than the
// other: the nearer one wins the depth test either way, and each darkness
// pass only touches pixels whose depth its own triangle wrote.  What remains
// (a translucent triangle over anything, or two opaque ones that may meet at
// equal depth) keeps its order by going to a later round.  Two opaque
// triangles both drawn in the fog colour and nothing else never need an
// order: with GL_LEQUAL each pixel ends at the nearer of their depths in
// that one colour whichever comes first.
//
// Apart on the screen means: an edge line of one has the other beyond it, or,
// for two that meet at one shared corner, a line through that corner has
// them on either side.
#include "render/gl/gl_rounds.h"

#include <algorithm>
#include <cmath>

namespace zq {

namespace {

// Closer to the eye than this (in eye-space depth) a triangle may be cut at
// the near plane, and its corners say little about where it lands: it is
// taken to cover every depth over the screen rectangle of its part beyond
// kNearCut.  That part holds all that GL keeps (GL cuts at kGlNearPlane), so
// its rectangle holds every pixel GL draws.
constexpr double kNearGuard = 2 * kGlNearPlane;
constexpr double kNearCut = 0.5 * kGlNearPlane;

// Distances in pixels that count as apart: GL snaps corners to a sub-pixel
// grid (1/256 pixel in Mesa's software rasterizer, 1/16 on coarse hardware).
constexpr double kPixelSlack = 0.1;
// Depth differences (0..1 window depth) that count as apart, beyond the
// effect of the pixel slack: rounding in the interpolated depth.
constexpr double kDepthSlack = 4e-6;

// Triangles touching more tiles than this are not checked one by one against
// their neighbours; they simply follow everything under them.
constexpr int kBigFootprint = 300;

double Cross(double ax, double ay, double bx, double by, double cx, double cy) {
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

bool SameCorner(const GlVertex& a, const GlVertex& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

}  // namespace

GlRoundPlanner::GlRoundPlanner()
    : placed_(kMaxGlTriangles), roundOf_(kMaxGlTriangles), seenBy_(kMaxGlTriangles), tiles_(std::size_t{kTilesX} * kTilesY) {}

void GlRoundPlanner::Begin(const double projection[16], int width, int height) {
    std::copy(projection, projection + 16, projection_);
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    count_ = 0;
    rounds_ = 0;
    stamp_ = 0;
    std::fill(seenBy_.begin(), seenBy_.end(), 0);
    std::fill(tiles_.begin(), tiles_.end(), Tile{});
    batchRounds_.clear();
}

bool GlRoundPlanner::Place(const std::array<GlVertex, 3>& v, Placed& out) const {
    const double* m = projection_;
    std::array<double, 3> cx{}, cy{}, cz{}, cw{};
    for (std::size_t k = 0; k < 3; ++k) {
        const double x = v[k].x, y = v[k].y, z = v[k].z;
        cx[k] = m[0] * x + m[4] * y + m[8] * z + m[12];
        cy[k] = m[1] * x + m[5] * y + m[9] * z + m[13];
        cz[k] = m[2] * x + m[6] * y + m[10] * z + m[14];
        cw[k] = m[3] * x + m[7] * y + m[11] * z + m[15];
    }
    // All three corners beyond one side of the view volume: GL clips the whole
    // triangle away.  The margin leaves rounding on GL's side.
    auto beyond = [&](const std::array<double, 3>& c, double sign) {
        for (std::size_t k = 0; k < 3; ++k) {
            const double a = sign * c[k];
            if (!(a - cw[k] > 1e-6 * (std::abs(a) + std::abs(cw[k])))) return false;
        }
        return true;
    };
    if (beyond(cx, 1) || beyond(cx, -1) || beyond(cy, 1) || beyond(cy, -1) || beyond(cz, 1) || beyond(cz, -1))
        return false;

    out = Placed{};
    out.v = v;
    out.near = false;
    for (std::size_t k = 0; k < 3; ++k) {
        if (!(cw[k] >= kNearGuard)) out.near = true;  // also catches NaN
        out.sx[k] = (cx[k] / cw[k] + 1) * 0.5 * width_;
        out.sy[k] = (cy[k] / cw[k] + 1) * 0.5 * height_;
        out.sz[k] = cz[k] / cw[k] * 0.5 + 0.5;
        if (!std::isfinite(out.sx[k]) || !std::isfinite(out.sy[k]) || !std::isfinite(out.sz[k])) out.near = true;
    }
    if (out.near) {
        out.left = out.bottom = 0;
        out.right = width_;
        out.top = height_;
        out.zMin = 0;
        out.zMax = 1;
        out.zSlack = 1;
        NearBounds(cx, cy, cw, out);
        return true;
    }
    out.left = std::min({out.sx[0], out.sx[1], out.sx[2]});
    out.right = std::max({out.sx[0], out.sx[1], out.sx[2]});
    out.bottom = std::min({out.sy[0], out.sy[1], out.sy[2]});
    out.top = std::max({out.sy[0], out.sy[1], out.sy[2]});
    out.zMin = std::min({out.sz[0], out.sz[1], out.sz[2]});
    out.zMax = std::max({out.sz[0], out.sz[1], out.sz[2]});
    // Depth is a plane over the screen; a corner moved by the pixel slack
    // moves it by up to the slope times that.
    const double x1 = out.sx[1] - out.sx[0], y1 = out.sy[1] - out.sy[0], z1 = out.sz[1] - out.sz[0];
    const double x2 = out.sx[2] - out.sx[0], y2 = out.sy[2] - out.sy[0], z2 = out.sz[2] - out.sz[0];
    const double det = x1 * y2 - x2 * y1;
    out.zSlack = 1;  // a sliver without area: no slope to trust
    if (std::abs(det) > 1e-6) {
        out.za = (z1 * y2 - z2 * y1) / det;
        out.zb = (x1 * z2 - x2 * z1) / det;
        out.zc = out.sz[0] - out.za * out.sx[0] - out.zb * out.sy[0];
        out.planeValid = std::isfinite(out.za) && std::isfinite(out.zb) && std::isfinite(out.zc);
        if (out.planeValid) out.zSlack = kDepthSlack + (std::abs(out.za) + std::abs(out.zb)) * kPixelSlack;
    }
    const double area = Cross(out.sx[0], out.sy[0], out.sx[1], out.sy[1], out.sx[2], out.sy[2]);
    if (std::abs(area) > 1e-9) {
        const double side = area > 0 ? 1 : -1;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::size_t k1 = (k + 1) % 3, k2 = (k + 2) % 3;
            const double dx = out.sx[k1] - out.sx[k], dy = out.sy[k1] - out.sy[k];
            const double length = std::sqrt(dx * dx + dy * dy);
            if (!(length > 0)) continue;
            out.ex[k] = side * dx / length;
            out.ey[k] = side * dy / length;
            // The triangle's own third corner well inside, so snapping cannot fold it over.
            out.edgeUsable[k] = out.ex[k] * (out.sy[k2] - out.sy[k]) - out.ey[k] * (out.sx[k2] - out.sx[k]) >= kPixelSlack;
        }
    }
    return true;
}

void GlRoundPlanner::NearBounds(const std::array<double, 3>& cx, const std::array<double, 3>& cy,
                                const std::array<double, 3>& cw, Placed& out) const {
    for (std::size_t k = 0; k < 3; ++k)
        if (!std::isfinite(cx[k]) || !std::isfinite(cy[k]) || !std::isfinite(cw[k])) return;  // keep the whole screen
    // Cut the triangle at w = kNearCut (w is the depth in front of the eye);
    // each edge adds its start when in front and its crossing when it crosses.
    std::array<double, 4> px{}, py{}, pw{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t k1 = (k + 1) % 3;
        const bool in = cw[k] >= kNearCut, nextIn = cw[k1] >= kNearCut;
        if (in) px[n] = cx[k], py[n] = cy[k], pw[n] = cw[k], ++n;
        if (in != nextIn && n < px.size()) {
            const double t = (kNearCut - cw[k]) / (cw[k1] - cw[k]);
            px[n] = cx[k] + t * (cx[k1] - cx[k]);
            py[n] = cy[k] + t * (cy[k1] - cy[k]);
            pw[n] = kNearCut;
            ++n;
        }
    }
    if (n == 0) return;  // rounding put it all behind the cut: keep the whole screen
    double left = width_, right = 0, bottom = height_, top = 0;
    for (std::size_t k = 0; k < n; ++k) {
        // A crossing's w may round a hair below the cut; never divide by less.
        const double w = std::max(pw[k], kNearCut);
        const double x = (px[k] / w + 1) * 0.5 * width_, y = (py[k] / w + 1) * 0.5 * height_;
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
    }
    // Kept within the screen (and NaN-free): nothing is drawn outside it.
    out.left = std::clamp(left, 0.0, static_cast<double>(width_));
    out.right = std::clamp(right, 0.0, static_cast<double>(width_));
    out.bottom = std::clamp(bottom, 0.0, static_cast<double>(height_));
    out.top = std::clamp(top, 0.0, static_cast<double>(height_));
    if (!(out.left <= out.right) || !(out.bottom <= out.top)) {
        out.left = out.bottom = 0;
        out.right = width_;
        out.top = height_;
    }
}

bool GlRoundPlanner::MayConflict(const Placed& e, const Placed& l) const {
    // A pixel both draw has its centre inside both rectangles.
    if (e.right + kPixelSlack < l.left || l.right + kPixelSlack < e.left || e.top + kPixelSlack < l.bottom ||
        l.top + kPixelSlack < e.bottom)
        return false;
    if (e.fogged && l.fogged) return false;
    if (e.near || l.near) return true;

    if (!e.blended && !l.blended) {
        const double slack = e.zSlack + l.zSlack;
        if (e.zMin > l.zMax + slack || l.zMin > e.zMax + slack) return false;
        // The difference of the two depth planes is itself a plane: if it keeps
        // one sign over the corners of either triangle, it keeps it over their
        // overlap.
        for (const auto& [t, u] : {std::pair<const Placed*, const Placed*>{&e, &l}, {&l, &e}}) {
            if (!u->planeValid || !t->planeValid) continue;
            int above = 0, below = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const double d = t->sz[k] - (u->za * t->sx[k] + u->zb * t->sy[k] + u->zc);
                above += d > slack;
                below += d < -slack;
            }
            if (above == 3 || below == 3) return false;
        }
    }

    // Apart on the screen: a line along an edge of one has the other wholly on
    // its far side, or touching it only at corners the two share exactly (GL
    // gives a pixel on a shared edge or corner to one triangle only).
    for (const auto& [t, u] : {std::pair<const Placed*, const Placed*>{&e, &l}, {&l, &e}}) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (!t->edgeUsable[k]) continue;
            const std::size_t k1 = (k + 1) % 3;
            bool apart = true;
            for (std::size_t n = 0; n < 3 && apart; ++n) {
                if (SameCorner(u->v[n], t->v[k]) || SameCorner(u->v[n], t->v[k1])) continue;
                apart = t->ex[k] * (u->sy[n] - t->sy[k]) - t->ey[k] * (u->sx[n] - t->sx[k]) <= -kPixelSlack;
            }
            if (apart) return false;
        }
    }
    return !ApartAtSharedCorner(e, l);
}

bool GlRoundPlanner::ApartAtSharedCorner(const Placed& a, const Placed& b) {
    // Exactly one corner in common: GL snaps it to the same place for both,
    // and gives a pixel centre right on it to one triangle only.  Elsewhere
    // they stay apart if a line through that corner has the other two corners
    // of each on opposite sides, clear of the slack.  Such a line runs between
    // an edge of one leaving the corner and an edge of the other.
    int shared = 0;
    std::size_t ia = 0, ib = 0;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            if (SameCorner(a.v[i], b.v[j])) ++shared, ia = i, ib = j;
    if (shared != 1) return false;
    const double qx = a.sx[ia], qy = a.sy[ia];
    std::array<double, 2> ax{}, ay{}, bx{}, by{};  // the other corners, from the shared one
    for (std::size_t k = 1; k < 3; ++k) {
        ax[k - 1] = a.sx[(ia + k) % 3] - qx, ay[k - 1] = a.sy[(ia + k) % 3] - qy;
        bx[k - 1] = b.sx[(ib + k) % 3] - qx, by[k - 1] = b.sy[(ib + k) % 3] - qy;
    }
    auto unit = [](double& x, double& y) {
        const double length = std::sqrt(x * x + y * y);
        if (!(length > 0)) return false;
        x /= length, y /= length;
        return true;
    };
    std::array<double, 2> ux = ax, uy = ay, wx = bx, wy = by;
    for (std::size_t k = 0; k < 2; ++k)
        if (!unit(ux[k], uy[k]) || !unit(wx[k], wy[k])) return false;
    for (std::size_t i = 0; i < 2; ++i)
        for (std::size_t j = 0; j < 2; ++j) {
            // Between edge i of the one and edge j of the other, turned away.
            double nx = -(uy[i] + wy[j]), ny = ux[i] + wx[j];
            if (!unit(nx, ny)) continue;
            const double a0 = nx * ax[0] + ny * ay[0], a1 = nx * ax[1] + ny * ay[1];
            const double b0 = nx * bx[0] + ny * by[0], b1 = nx * bx[1] + ny * by[1];
            if ((std::min(a0, a1) >= kPixelSlack && std::max(b0, b1) <= -kPixelSlack) ||
                (std::max(a0, a1) <= -kPixelSlack && std::min(b0, b1) >= kPixelSlack))
                return true;
        }
    return false;
}

int GlRoundPlanner::Add(const std::array<GlVertex, 3>& v, bool blended, bool fogged, std::uint64_t batch) {
    if (count_ >= static_cast<int>(placed_.size())) return 0;
    const std::int32_t index = count_;
    Placed& p = placed_[static_cast<std::size_t>(index)];
    if (!Place(v, p)) return 0;
    p.blended = blended;
    p.fogged = fogged && !blended;
    ++count_;

    auto tile = [](double pixel, int size, int across) {
        const double at = std::clamp(pixel, 0.0, static_cast<double>(size) - 1e-9) * across / size;
        return std::clamp(static_cast<int>(at), 0, across - 1);
    };
    const int x0 = tile(p.left - kPixelSlack, width_, kTilesX), x1 = tile(p.right + kPixelSlack, width_, kTilesX);
    const int y0 = tile(p.bottom - kPixelSlack, height_, kTilesY), y1 = tile(p.top + kPixelSlack, height_, kTilesY);
    const bool big = (x1 - x0 + 1) * (y1 - y0 + 1) > kBigFootprint;

    ++stamp_;
    seenBy_[static_cast<std::size_t>(index)] = stamp_;
    // No triangle under this one has a round above the highest of its tiles:
    // once the round reaches that, looking further changes nothing.
    std::int32_t ceiling = 0, round = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const Tile& t = tiles_[static_cast<std::size_t>(y * kTilesX + x)];
            ceiling = std::max(ceiling, t.highest);
            round = std::max(round, t.forgotten);
        }
    if (big) round = ceiling;
    for (int y = y0; y <= y1 && round < ceiling; ++y)
        for (int x = x0; x <= x1 && round < ceiling; ++x) {
            const Tile& t = tiles_[static_cast<std::size_t>(y * kTilesX + x)];
            if (t.highest <= round) continue;  // nothing here can raise it
            const int kept = std::min(t.count, kTileKeep);
            for (int i = 0; i < kept; ++i) {
                const std::size_t e = static_cast<std::size_t>(t.recent[static_cast<std::size_t>(i)]);
                if (seenBy_[e] == stamp_ || roundOf_[e] <= round) continue;
                seenBy_[e] = stamp_;
                if (MayConflict(placed_[e], p)) round = roundOf_[e];
            }
        }
    ++round;
    // Any later round is as good for the picture: everything it must follow
    // is in an earlier one, and what comes later in the list follows the
    // round it gets.  A round that already draws its state takes it without
    // another draw.
    if (batch != kNoBatch) {
        std::vector<std::int32_t>& with = batchRounds_[batch];
        const auto at = std::lower_bound(with.begin(), with.end(), round);
        if (at != with.end()) round = *at;
        else with.push_back(round);
    }
    roundOf_[static_cast<std::size_t>(index)] = round;
    rounds_ = std::max(rounds_, round);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            Tile& t = tiles_[static_cast<std::size_t>(y * kTilesX + x)];
            std::int32_t& slot = t.recent[static_cast<std::size_t>(t.count % kTileKeep)];
            if (t.count >= kTileKeep) t.forgotten = std::max(t.forgotten, roundOf_[static_cast<std::size_t>(slot)]);
            slot = index;
            ++t.count;
            t.highest = std::max(t.highest, round);
        }
    return round;
}

}  // namespace zq
