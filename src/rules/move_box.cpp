// The collision sweep and its geometric primitives.
#include "rules/move_box.h"

#include <algorithm>
#include <cmath>

#include "rules/rules_context.h"
#include "rules/rules_math.h"

namespace zq {
namespace {

// Stretch bytes lower cube corners in hundredths of a cell.
std::int32_t StretchDrop(const World& world, int i, int j, int k) {
    return GetStretch(world, i, j, k) * kCellSize / 100;
}

Bounds Stretched(const World& world, int i, int j, int k, Bounds b) {
    b[kYmax1] = kCellSize - StretchDrop(world, i - 1, j, k - 1);
    b[kYmax2] = kCellSize - StretchDrop(world, i, j, k - 1);
    b[kYmax3] = kCellSize - StretchDrop(world, i, j, k);
    b[kYmax4] = kCellSize - StretchDrop(world, i - 1, j, k);
    std::int32_t sum = (StretchDrop(world, i - 1, j - 1, k - 1) - 256) + (StretchDrop(world, i, j - 1, k - 1) - 256) +
                       (StretchDrop(world, i - 1, j - 1, k) - 256) + (StretchDrop(world, i, j - 1, k) - 256);
    b[kYmin] = 256 + sum / 4;
    return b;
}

void RefreshCube(World& world, ObjectDef& def, int i, int j, int k) { def.bounds = Stretched(world, i, j, k, def.bounds); }

// The live box of the object in cell (i, j, k), cube corners refreshed; null
// for an empty cell, a cell outside the grid, or (when asked) an object that
// does not collide.
const Bounds* CellBox(World& world, int i, int j, int k, bool needCollision) {
    if (!world.InGrid(i, j, k)) return nullptr;
    ObjectDef* def = DefinedObject(world, world.cells[world.Index(i, j, k)]);
    if (!def || (needCollision && !def->collision)) return nullptr;
    if (def->cube) RefreshCube(world, *def, i, j, k);
    return &def->bounds;
}

// The point test behind PointInSolid and friends.  On a hit `top` is the
// surface height at the point in its cell's frame.
bool PointTest(World& world, float x, float y, float z, float step, bool needCollision, std::int32_t* top,
               std::int32_t* bottom = nullptr) {
    int cx = CellOf(x), cy = CellOf(y), cz = CellOf(z);
    const Bounds* box = CellBox(world, cx, cy, cz, needCollision);
    if (!box) return false;
    const Bounds& b = *box;
    float lx = x - static_cast<float>(kCellSize * cx);
    float ly = y - static_cast<float>(kCellSize * cy);
    float lz = z - static_cast<float>(kCellSize * cz);
    if (lx < b[kXmin] || lx > b[kXmax] || lz < b[kZmin] || lz > b[kZmax]) return false;
    std::int32_t t = SurfaceTop(b, lz, lx);
    if (ly < b[kYmin] - step || ly > t - step) return false;
    if (top) *top = t;
    if (bottom) *bottom = b[kYmin];
    return true;
}

float Clamp510(float v) { return std::clamp(v, -kMaxBoxStep, kMaxBoxStep); }

// Highest corner of a box's top: nothing of the box lies above it.
std::int32_t HighestCorner(const Bounds& b) { return std::max({b[kYmax1], b[kYmax2], b[kYmax3], b[kYmax4]}); }

struct Sweep {
    World& world;
    float pos[3];  // x, y, z
    float vel[3];
    std::int32_t step;
    std::int32_t hw, hh;
    int cy0;    // the centre's layer when the sweep began
    float ly0;  // and its height within that layer
    bool contact = false;
};

// One lateral axis (0 = X, 2 = Z) of the sweep.
void LateralAxis(Sweep& s, int a) {
    const int b = 2 - a;
    const BoundIndex aMin = a == 0 ? kXmin : kZmin, aMax = a == 0 ? kXmax : kZmax;
    const BoundIndex bMin = a == 0 ? kZmin : kXmin, bMax = a == 0 ? kZmax : kXmax;
    const float hw = static_cast<float>(s.hw), hh = static_cast<float>(s.hh), step = static_cast<float>(s.step);
    float& p = s.pos[a];
    float& v = s.vel[a];

    int ca = CellOf(p);
    int cb = CellOf(s.pos[b]);
    float lb = std::trunc(s.pos[b] - static_cast<float>(kCellSize * cb));
    float edge = v > 0 ? p + v + hw : p + v - hw;
    int ad = CellOf(edge);

    // Clip a move that would jump right through a thin box, first in the
    // centre's own column, then in the column the leading face reaches.
    for (int pass = 0; pass < 2; ++pass) {
        int column = pass == 0 ? ca : ad;
        float la = pass == 0 ? std::trunc(p - static_cast<float>(kCellSize * ca)) : p - static_cast<float>(kCellSize * ad);
        for (int j = -1; j <= 1; ++j) {
            int cy = CellOf(s.pos[1] + static_cast<float>(j) * hh);
            for (int k = -1; k <= 1; ++k) {
                float probeB = s.pos[b] + static_cast<float>(k) * hw;
                int cellB = CellOf(probeB);
                const Bounds* box = a == 0 ? CellBox(s.world, column, cy, cellB, true) : CellBox(s.world, cellB, cy, column, true);
                if (!box) continue;
                const Bounds& o = *box;
                float plb = probeB - static_cast<float>(kCellSize * cellB);
                std::int32_t top = a == 0 ? SurfaceTop(o, plb, la) : SurfaceTop(o, la, plb);
                if (!(o[bMin] <= lb + hw && lb - hw <= o[bMax] && o[kYmin] - step <= s.ly0 + hh &&
                      s.ly0 - hh <= top - step))
                    continue;
                if (v <= 0) {
                    float back = la - hw;
                    if (o[aMax] <= back && back + v <= o[aMin] && v < o[aMax] - back) v = o[aMax] - back;
                } else {
                    float front = la + hw;
                    if (front <= o[aMin] && o[aMax] <= front + v && o[aMin] - front < v) v = o[aMin] - front;
                }
            }
        }
    }

    float lead = v > 0 ? p + v + hw : p + v - hw;
    bool blocked = false;
    for (int j = -1; j <= 1 && !blocked; ++j)
        for (int k = -1; k <= 1 && !blocked; ++k) {
            float pt[3];
            pt[a] = lead;
            pt[1] = s.pos[1] + static_cast<float>(j) * hh;
            pt[b] = s.pos[b] + static_cast<float>(k) * hw;
            blocked = PointInSolidStep(s.world, step, pt[0], pt[1], pt[2]);
        }
    const float before = p;
    if (v != 0 && !blocked) p += v;
    // The level's sides are walls to the whole box, not to its centre:
    // nothing walks on with half of itself over the void beyond the last
    // cells.  A box already further out (placed there) is not pulled in,
    // only kept from going further.
    float size = static_cast<float>(kCellSize) * static_cast<float>(a == 0 ? s.world.sizeX : s.world.sizeZ);
    p = std::clamp(p, std::min(before, hw), std::max(before, size - hw));
    p = std::clamp(p, 0.0f, size);
}

void VerticalAxis(Sweep& s) {
    const float hw = static_cast<float>(s.hw), hh = static_cast<float>(s.hh);
    float& x = s.pos[0];
    float& y = s.pos[1];
    float& z = s.pos[2];
    float& vy = s.vel[1];
    int cx = CellOf(x), cz = CellOf(z);
    float lx = std::trunc(x - static_cast<float>(kCellSize * cx));
    float lz = std::trunc(z - static_cast<float>(kCellSize * cz));
    int cy = s.cy0;
    float edge = vy > 0 ? y + vy + hh : y + vy - hh;
    int yd = CellOf(edge);

    for (int pass = 0; pass < 2; ++pass) {
        int layer = pass == 0 ? cy : yd;
        float ly = pass == 0 ? s.ly0 : y - static_cast<float>(kCellSize * yd);
        for (int k = -1; k <= 1; ++k) {
            float pz = z + static_cast<float>(k) * hw;
            int cellZ = CellOf(pz);
            for (int i = -1; i <= 1; ++i) {
                float px = x + static_cast<float>(i) * hw;
                int cellX = CellOf(px);
                const Bounds* box = CellBox(s.world, cellX, layer, cellZ, true);
                if (!box) continue;
                const Bounds& o = *box;
                if (!(o[kZmin] <= lz + hw && lz - hw <= o[kZmax] && o[kXmin] <= lx + hw && lx - hw <= o[kXmax]))
                    continue;
                float t = static_cast<float>(SurfaceTop(o, pz - static_cast<float>(kCellSize * cellZ),
                                                        px - static_cast<float>(kCellSize * cellX)));
                if (vy <= 0) {
                    float bottom = ly - hh;
                    if (t <= bottom && bottom + vy <= o[kYmin] && vy < t - bottom) vy = t - bottom;
                } else {
                    float head = ly + hh;
                    if (head <= o[kYmin] && t <= head + vy && o[kYmin] - head < vy) vy = o[kYmin] - head;
                }
            }
        }
    }

    // Landing or head bump: probe the face the box moves into, just inside its corners.
    float ye = vy <= 0 ? y + vy - hh : y + vy + hh;
    int layer = CellOf(ye);
    float limit = vy <= 0 ? 0.0f : static_cast<float>(kCellSize);
    bool hit = false;
    for (int i = -1; i <= 1; ++i)
        for (int k = -1; k <= 1; ++k) {
            float px = x + static_cast<float>(i * (s.hw - 1));
            float pz = z + static_cast<float>(k * (s.hw - 1));
            std::int32_t top = 0, bottom = 0;
            if (!PointTest(s.world, px, ye, pz, 0, true, &top, &bottom)) continue;
            hit = true;
            if (vy <= 0)
                limit = std::max(limit, static_cast<float>(top) + hh + 1);
            else
                limit = std::min(limit, static_cast<float>(bottom) - hh - 1);
        }
    if (hit) {
        s.contact = true;
        y = static_cast<float>(kCellSize * layer) + limit;
    } else {
        y += vy;
    }

    // Step up onto any surface the bottom has sunk into: this is how low steps
    // are climbed.  Only where the box fits above it: a block that settles
    // into the cell beside the mover's feet never lifts him into (and so,
    // frame by frame, through) a solid cell over his head.
    if (vy <= 0) {
        float bottom = y - hh;
        int yf = CellOf(bottom);
        float raised = y;
        for (int i = -1; i <= 1; ++i)
            for (int k = -1; k <= 1; ++k) {
                std::int32_t top = 0;
                if (!PointTest(s.world, x + static_cast<float>(i * (s.hw - 1)), bottom, z + static_cast<float>(k * (s.hw - 1)),
                               0, true, &top))
                    continue;
                s.contact = true;
                raised = std::max(raised, static_cast<float>(top + kCellSize * yf) + hh);
            }
        bool headroom = true;
        for (int i = -1; i <= 1 && headroom && raised > y; ++i)
            for (int k = -1; k <= 1 && headroom; ++k)
                headroom = !PointTest(s.world, x + static_cast<float>(i * (s.hw - 1)), raised + hh - 1,
                                      z + static_cast<float>(k * (s.hw - 1)), 0, true, nullptr);
        if (headroom) y = raised;
    }

    if (y < 256) {
        y = 256;
        s.contact = true;
    }
    float ceiling = static_cast<float>(kCellSize) * static_cast<float>(s.world.sizeY);
    if (y > ceiling) {
        y = ceiling;
        s.contact = true;
    }
}

// Contact with the live moving blocks: carry, push or stop the mover.
void MovingBlocks(Sweep& s) {
    const float hw = static_cast<float>(s.hw), hh = static_cast<float>(s.hh), step = static_cast<float>(s.step);
    float& x = s.pos[0];
    float& y = s.pos[1];
    float& z = s.pos[2];
    float& vx = s.vel[0];
    float& vy = s.vel[1];
    float& vz = s.vel[2];
    float standY = y;
    int last = std::min(s.world.lastMovingBlock, kMaxMovingBlocks - 1);
    for (int n = 0; n <= last; ++n) {
        const MovingBlock& blk = s.world.movingBlocks[static_cast<std::size_t>(n)];
        // A block moved by this sweep sits exactly where the mover is: skip it.
        // Matching on all three axes, not any one, keeps a hero standing
        // exactly on a lift's centre line riding it instead of falling through.
        if (blk.x == x && blk.y == y && blk.z == z) continue;
        const ObjectDef* def = DefinedObject(s.world, blk.value);
        if (!def || !def->collision) continue;
        const Bounds& o = def->bounds;
        float ox = x + vx + 256 - blk.x, oy = y + vy + 256 - blk.y, oz = z + vz + 256 - blk.z;
        // Cheap rejection: the probes span the box swept by this call.
        if (ox + hw < o[kXmin] || ox - hw > o[kXmax] || oz + hw < o[kZmin] || oz - hw > o[kZmax] ||
            oy + hh < o[kYmin] || oy - hh > HighestCorner(o))
            continue;
        bool touched = false;
        for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j)
                for (int k = -1; k <= 1; ++k) {
                    float px = ox + static_cast<float>(i) * hw;
                    float py = oy + static_cast<float>(j) * hh;
                    float pz = oz + static_cast<float>(k) * hw;
                    if (px < o[kXmin] || px > o[kXmax] || pz < o[kZmin] || pz > o[kZmax]) continue;
                    float t = static_cast<float>(SurfaceTop(o, pz, px));
                    if (py < o[kYmin] || py > t) continue;
                    touched = true;
                    if (j == -1 && t - step < py) standY = std::max(standY, hh + blk.y + t - 256);
                }
        if (!touched) continue;
        s.contact = true;
        float rx = x + 256 - blk.x, ry = y + 256 - blk.y, rz = z + 256 - blk.z;
        float t = static_cast<float>(SurfaceTop(o, std::clamp(rz, static_cast<float>(o[kZmin]), static_cast<float>(o[kZmax])),
                                                std::clamp(rx, static_cast<float>(o[kXmin]), static_cast<float>(o[kXmax]))));
        if (o[kYmin] <= ry + hh && ry - hh + step <= t) {
            // Level with the block: it pushes or stops the mover on the side it meets.
            if (vx * blk.vx <= 0) vx = blk.vx;
            if (rx <= o[kXmin]) vx = std::min(vx, blk.vx);
            if (rx >= o[kXmax]) vx = std::max(vx, blk.vx);
            if (vz * blk.vz <= 0) vz = blk.vz;
            if (rz <= o[kZmin]) vz = std::min(vz, blk.vz);
            if (rz >= o[kZmax]) vz = std::max(vz, blk.vz);
        }
        if (vy * blk.vy <= 0) vy = blk.vy;
        if (ry + hh <= o[kYmin]) vy = std::min(vy, blk.vy);
        if (t <= ry - hh + step) {
            // Standing on it: ride along.
            vx += blk.vx;
            vz += blk.vz;
            y = standY - 1;
            vy = std::max(vy, blk.vy);
        }
    }
}

}  // namespace

std::int32_t SurfaceTop(const Bounds& box, float lz, float lx) {
    double zSpan = static_cast<double>(box[kZmax]) - box[kZmin];
    double xSpan = static_cast<double>(box[kXmax]) - box[kXmin];
    double fz = zSpan != 0 ? (static_cast<double>(lz) - box[kZmin]) / zSpan : 0.0;
    double a = std::trunc(fz * (static_cast<double>(box[kYmax3]) - box[kYmax2]) + box[kYmax2]);
    double b = std::trunc(fz * (static_cast<double>(box[kYmax4]) - box[kYmax1]) + box[kYmax1]);
    double fx = xSpan != 0 ? (static_cast<double>(lx) - box[kXmin]) / xSpan : 0.0;
    return TruncToInt(fx * (a - b) + b);
}

void ShapeCubeFaces(const World& world, int i, int j, int k, const std::array<MeshRef, 6>& faces) {
    // Which vertices of the unshaped faces sit on the top of the cube: built
    // once, never changed.
    static const std::array<MeshRef, 6> kBase = BuildCubeFaceMeshes();
    const Bounds b = Stretched(world, i, j, k, Bounds{});
    for (std::size_t side = 0; side < faces.size(); ++side) {
        Mesh* mesh = faces[side].get();
        const Mesh& base = *kBase[side];
        if (!mesh || mesh->VertexCount() != base.VertexCount() || mesh->y.size() != base.y.size()) continue;
        for (std::size_t v = 0; v < base.VertexCount(); ++v) {
            const bool top = base.y[v] > 0, highX = base.x[v] > 0, highZ = base.z[v] > 0;
            const BoundIndex corner = highZ ? (highX ? kYmax3 : kYmax4) : (highX ? kYmax2 : kYmax1);
            mesh->y[v] = (top ? b[corner] : b[kYmin]) - kCellSize / 2;
        }
    }
}

void RefreshCubeCorners(World& world, int i, int j, int k) {
    ObjectDef* def = DefinedObject(world, GetCell(world, i, j, k));
    if (def && def->cube) RefreshCube(world, *def, i, j, k);
}

std::int32_t SurfaceTop(World& world, int i, int j, int k, float lz, float lx) {
    const Bounds* box = CellBox(world, i, j, k, false);
    return box ? SurfaceTop(*box, lz, lx) : 0;
}

bool PointInSolid(World& world, float x, float y, float z) { return PointTest(world, x, y, z, 0, true, nullptr); }

bool PointInSolidStep(World& world, float step, float x, float y, float z) {
    return PointTest(world, x, y, z, step, true, nullptr);
}

bool PointInBox(World& world, float x, float y, float z) { return PointTest(world, x, y, z, 0, false, nullptr); }

bool InsideBlockBox(const Bounds& box, float px, float py, float pz) {
    if (px < box[kXmin] || px > box[kXmax] || pz < box[kZmin] || pz > box[kZmax] || py < box[kYmin]) return false;
    return py <= static_cast<float>(SurfaceTop(box, pz, px));
}

bool MoveBox(World& world, float& x, float& y, float& z, std::int32_t step, std::int32_t boxHeight,
             std::int32_t boxWidth, float vz, float vy, float vx) {
    // A mover read from a damaged file may sit anywhere, even at NaN: bring it
    // into the grid first (a no-op for every position play itself produces).
    auto inside = [](float v, std::int32_t size) {
        return std::isfinite(v) ? std::clamp(v, 0.0f, static_cast<float>(kCellSize) * static_cast<float>(size)) : 0.0f;
    };
    auto speed = [](float v) { return std::isfinite(v) ? Clamp510(v) : 0.0f; };
    x = inside(x, world.sizeX);
    y = inside(y, world.sizeY);
    z = inside(z, world.sizeZ);
    Sweep s{world, {x, y, z}, {speed(vx), speed(vy), speed(vz)}, step, boxWidth / 2, boxHeight / 2, CellOf(y), 0};
    s.ly0 = y - static_cast<float>(kCellSize * s.cy0);
    MovingBlocks(s);
    LateralAxis(s, 0);
    LateralAxis(s, 2);
    VerticalAxis(s);
    x = s.pos[0];
    y = s.pos[1];
    z = s.pos[2];
    return s.contact;
}

}  // namespace zq
