// Every mesh of the game: the hero's poses, the sentry, the objects of the
// bank with their animation frames, the sky, transitions, the credits podium
// and the editor's markers.  Object meshes are centred on their cell (the
// floor is y = -256); characters are centred on their collision box and face
// -Z, which the drawing turns to the heading.
#include <string>

#include "content.h"
#include "mesh_builder.h"

namespace zq::gen {

namespace {

void Save(Output& out, const std::string& name, const MeshBuilder& b) { out.Write(name, SerializeMesh(b.Finish())); }

std::string Game(const std::string& name) { return "3DO/GAME/" + name + ".3DO"; }

// ---------------------------------------------------------------------------
// The hero: a round-headed adventurer with a helmet lamp, 455 units tall.

struct Pose {
    float leftLeg = 0, rightLeg = 0;  // swing about the hip, degrees (+ forwards)
    float leftArm = 0, rightArm = 0;  // swing about the shoulder
    float lean = 0;                   // upper body forwards
    float drop = 0;                   // the body sinks (crouch)
    float lie = 0;                    // whole body tipped backwards about the feet
    float lift = 0;                   // raised after tipping
};

MeshBuilder Hero(const Pose& pose, int bodyRamp) {
    MeshBuilder b;
    const Style body = Flat(bodyRamp < 0 ? GreyColour(12) : RampColour(bodyRamp, 10));
    const Style bodyDark = Flat(bodyRamp < 0 ? GreyColour(8) : RampColour(bodyRamp, 6));
    const Style skin = Flat(RampColour(kWood, 13));
    const Style boots = Flat(RampColour(kEarth, 4));
    const Style trousers = Flat(RampColour(kMetal, 5));
    const Style belt = Flat(RampColour(kGold, 10));
    const Style helmet = Flat(RampColour(kGold, 8));
    const Style lamp = Flat(RampColour(kLemon, 15));
    const Style eye = Flat(RampColour(kStone, 0));

    // The whole-body transform: crouch drop, then tipping over for the dead pose.
    auto whole = [pose](Vec p) {
        p = RotateX(p - Vec{0, -240, 0}, -pose.lie) + Vec{0, -240, 0};
        return p + Vec{0, pose.lift, 0};
    };
    auto limb = [&](Vec pivot, float angle, float lean, float drop) {
        return [=](Vec p) {
            p = RotateX(p - pivot, angle) + pivot;
            p = p + Vec{0, -drop, 0};
            p = RotateX(p - Vec{0, -70 - drop, 0}, lean) + Vec{0, -70 - drop, 0};
            return whole(p);
        };
    };
    // Legs swing about the hips at y -70; a crouch bends them forwards and
    // lowers the hips so the boots stay on the floor.
    auto leg = [&](float angle) {
        float bend = pose.drop * 0.6f;
        return [=](Vec p) {
            p = RotateX(p - Vec{0, -70, 0}, angle + bend) + Vec{0, -70 - pose.drop * 0.35f, 0};
            return whole(p);
        };
    };
    b.transform = leg(pose.leftLeg);
    b.Box({-75, -200, -30}, {-15, -70, 30}, trousers);
    b.Box({-80, -240, -55}, {-10, -200, 35}, boots);
    b.transform = leg(pose.rightLeg);
    b.Box({15, -200, -30}, {75, -70, 30}, trousers);
    b.Box({10, -240, -55}, {80, -200, 35}, boots);

    // Torso, belt and backpack.
    b.transform = limb({0, 0, 0}, 0, pose.lean, pose.drop * 0.35f);
    b.Box({-85, -70, -45}, {85, 90, 45}, body);
    b.Box({-88, -60, -48}, {88, -35, 48}, belt);
    b.Box({-60, -20, 45}, {60, 70, 85}, bodyDark);

    // Arms hang from the shoulders at y 80.
    b.transform = limb({0, 80, 0}, pose.leftArm, pose.lean, pose.drop * 0.35f);
    b.Box({-125, -60, -22}, {-85, 85, 22}, body);
    b.Box({-128, -95, -25}, {-82, -60, 25}, skin);
    b.transform = limb({0, 80, 0}, pose.rightArm, pose.lean, pose.drop * 0.35f);
    b.Box({85, -60, -22}, {125, 85, 22}, body);
    b.Box({82, -95, -25}, {128, -60, 25}, skin);

    // A round head (an eight-sided lathe), eyes, helmet and its lamp.
    b.transform = limb({0, 0, 0}, 0, pose.lean, pose.drop * 0.35f);
    b.Lathe({{40, 90}, {70, 110}, {76, 145}, {66, 180}, {30, 195}}, 8, skin, 22.5f);
    b.Box({-38, 140, -76}, {-18, 162, -70}, eye);
    b.Box({18, 140, -76}, {38, 162, -70}, eye);
    b.Lathe({{92, 168}, {84, 180}, {70, 205}, {30, 215}}, 8, helmet, 22.5f);
    b.Box({-22, 178, -98}, {22, 206, -80}, lamp);
    return b;
}

void MakeHero(Output& out) {
    const int colours[4] = {kViolet, kCrimson, kLemon, -1};
    for (int n = 0; n < 4; ++n) Save(out, Game("HERO" + std::to_string(n)), Hero({}, colours[n]));
    const int c = kViolet;
    Save(out, Game("HEROWLK1"), Hero({28, -28, -24, 24, 4, 0, 0, 0}, c));
    Save(out, Game("HEROWLK2"), Hero({8, -8, -8, 8, 2, 6, 0, 0}, c));
    Save(out, Game("HEROWLK3"), Hero({-28, 28, 24, -24, 4, 0, 0, 0}, c));
    Save(out, Game("HEROWLK4"), Hero({-8, 8, 8, -8, 2, 6, 0, 0}, c));
    Save(out, Game("HEROFALL"), Hero({14, -10, 150, 160, -6, 0, 0, 0}, c));
    Save(out, Game("HEROCRCH"), Hero({0, 0, 35, 35, 22, 70, 0, 0}, c));
    Save(out, Game("HERODEAD"), Hero({4, -4, 170, 160, 0, 0, 90, 60}, c));
    Save(out, Game("HEROLAD1"), Hero({35, 0, 165, 120, 0, 0, 0, 0}, c));
    Save(out, Game("HEROLAD2"), Hero({0, 35, 120, 165, 0, 0, 0, 0}, c));
    Save(out, Game("HEROSHOT"), Hero({20, -15, 80, 85, 18, 20, 0, 0}, c));

    // The shadow: a dark translucent octagon on the floor.
    MeshBuilder shadow;
    shadow.Lathe({{0, 0}, {150, 0}}, 8, Translucent(Flat(GreyColour(0)), 50), 22.5f, false, false);
    Save(out, Game("SHADOW"), shadow);
}

// A floating eye-drone, 280 units tall, its lens on the -Z side.
void MakeSentry(Output& out) {
    MeshBuilder b;
    const Style shell = Flat(RampColour(kSentry, 9));
    const Style shellDark = Flat(RampColour(kSentry, 5));
    b.Lathe({{0, -140}, {70, -120}, {115, -60}, {125, 0}, {115, 60}, {70, 120}, {0, 140}}, 10, shell);
    // Lens: a bright ring and a dark pupil facing -Z.
    b.transform = [](Vec p) { return RotateX(p, -90); };
    b.Lathe({{62, 110}, {58, 124}, {36, 130}}, 10, Flat(RampColour(kSky, 14)), 0, false, true);
    b.Lathe({{30, 126}, {24, 134}}, 8, Flat(GreyColour(0)), 0, false, true);
    b.transform = nullptr;
    // Side fins and an antenna.
    b.Box({-190, -10, -40}, {-120, 10, 50}, shellDark);
    b.Box({120, -10, -40}, {190, 10, 50}, shellDark);
    b.Box({-6, 140, -6}, {6, 200, 6}, shellDark);
    b.Box({-16, 200, -16}, {16, 224, 16}, Flat(RampColour(kLava, 13)));
    Save(out, Game("SENTRY"), b);
}

// ---------------------------------------------------------------------------
// Objects.

void MakeIngot(Output& out) {
    // A trapezoid gold bar, turning slowly through eight frames (half a turn,
    // after which the bar looks the same again).
    for (int f = 0; f < 8; ++f) {
        MeshBuilder b;
        float turn = 22.5f * static_cast<float>(f);
        b.transform = [turn](Vec p) { return RotateY(p, turn); };
        const Style gold = Textured(kTexGold);
        Vec lo{-120, -256, -60}, hi{120, -176, 60};
        float in = 22;
        // Sloped sides: build from two quads per side and a flat top.
        Vec b0{lo.x, lo.y, lo.z}, b1{hi.x, lo.y, lo.z}, b2{hi.x, lo.y, hi.z}, b3{lo.x, lo.y, hi.z};
        Vec t0{lo.x + in, hi.y, lo.z + in}, t1{hi.x - in, hi.y, lo.z + in}, t2{hi.x - in, hi.y, hi.z - in}, t3{lo.x + in, hi.y, hi.z - in};
        b.Quad(t0, t1, b1, b0, {0, 0.3f, -1}, gold);
        b.Quad(t2, t3, b3, b2, {0, 0.3f, 1}, gold);
        b.Quad(t1, t2, b2, b1, {1, 0.3f, 0}, gold);
        b.Quad(t3, t0, b0, b3, {-1, 0.3f, 0}, gold);
        b.Quad(t3, t2, t1, t0, {0, 1, 0}, gold);
        Save(out, Game("INGOT" + std::to_string(f + 1)), b);
    }
}

// A block sinking into the floor: frame k of `frames` shows the block with
// its top lowered, the last frame almost flat.
void SinkingBlock(Output& out, const std::string& base, int frames, Style sides, Style top, bool growing) {
    for (int f = 0; f < frames; ++f) {
        int k = growing ? frames - 1 - f : f;
        float height = 511.0f * static_cast<float>(frames - k) / static_cast<float>(frames);
        float inset = 24.0f * static_cast<float>(k) / static_cast<float>(frames);
        MeshBuilder b;
        b.Box({-256 + inset, -256, -256 + inset}, {256 - inset, -256 + std::max(8.0f, height), 256 - inset}, sides, top, sides);
        Save(out, Game(base + std::to_string(f + 1)), b);
    }
}

void MakeDiggables(Output& out) {
    SinkingBlock(out, "BRKDIG", 4, Textured(kTexCrackedBrick), Textured(kTexCrackedBrick), false);
    SinkingBlock(out, "BRKFILL", 4, Textured(kTexCrackedBrick), Textured(kTexCrackedBrick), true);
    SinkingBlock(out, "SOILDIG", 4, Textured(kTexSoftEarth), Textured(kTexSoftEarth), false);
    SinkingBlock(out, "DOORGOPN", 4, Textured(kTexIngotDoor), Textured(kTexGold), false);
    SinkingBlock(out, "DOORLOPN", 4, Textured(kTexLeverDoor), Textured(kTexMetal), false);
    SinkingBlock(out, "DOORKOPN", 4, Textured(kTexSensorDoor), Textured(kTexMetal), false);
}

// Two rails and rungs against the far side of the cell; `east` turns it to
// stand against the +X side.
void Ladder(Output& out, const std::string& name, bool east) {
    MeshBuilder b;
    if (east) b.transform = [](Vec p) { return RotateY(p, 90); };
    const Style wood = Textured(kTexWood);
    b.Box({-200, -256, 190}, {-160, 255, 240}, wood);
    b.Box({160, -256, 190}, {200, 255, 240}, wood);
    for (int r = 0; r < 5; ++r) {
        float y = -200.0f + 102.0f * static_cast<float>(r);
        b.Box({-160, y, 200}, {160, y + 26, 230}, wood);
    }
    Save(out, Game(name), b);
}

// A lever on a floor plate; `angle` tips the handle (-40 up, +40 pulled).
MeshBuilder Lever(float angle) {
    MeshBuilder b;
    b.Box({-150, -256, -110}, {150, -216, 110}, Flat(RampColour(kMetal, 5)), Textured(kTexLeverPlate), Flat(RampColour(kMetal, 3)));
    b.transform = [angle](Vec p) { return RotateX(p - Vec{0, -216, 0}, angle) + Vec{0, -216, 0}; };
    b.Box({-16, -216, -16}, {16, 40, 16}, Flat(RampColour(kMetal, 11)));
    b.Box({-36, 40, -36}, {36, 100, 36}, Flat(RampColour(kCrimson, 11)));
    return b;
}

void MakeLevers(Output& out) {
    Save(out, Game("LEVER"), Lever(-40));
    for (int f = 0; f < 4; ++f) Save(out, Game("LEVERPL" + std::to_string(f + 1)), Lever(-40 + 80.0f * static_cast<float>(f + 1) / 4.0f));
    Save(out, Game("LEVERDN"), Lever(40));
}

// A spring: base, coil of stacked rings and a top pad; `squash` 0..1.
MeshBuilder Spring(float squash) {
    MeshBuilder b;
    const Style metal = Flat(RampColour(kMetal, 9));
    b.Box({-160, -256, -160}, {160, -226, 160}, Flat(RampColour(kMetal, 5)), Textured(kTexMetal), metal);
    float top = -226 + 200 * (1 - 0.6f * squash);
    int turns = 5;
    for (int t = 0; t < turns; ++t) {
        float y0 = -226 + (top + 226) * static_cast<float>(t) / turns;
        float y1 = y0 + (top + 226) / turns * 0.55f;
        b.Lathe({{110, y0}, {110, y1}}, 8, Textured(kTexSpring), 22.5f, false, false);
    }
    b.Box({-140, top, -140}, {140, top + 30, 140}, Flat(RampColour(kCrimson, 9)), Flat(RampColour(kCrimson, 12)), metal);
    return b;
}

// A coin-like disc standing upright, turning through eight frames.
void Disc(Output& out, const std::string& base, int texture, int rimRamp) {
    for (int f = 0; f < 8; ++f) {
        MeshBuilder b;
        float turn = 22.5f * static_cast<float>(f);
        b.transform = [turn](Vec p) { return RotateY(p, turn); };
        const Style face = Textured(texture);
        b.Quad({-110, 90, -20}, {110, 90, -20}, {110, -130, -20}, {-110, -130, -20}, {0, 0, -1}, face);
        b.Quad({110, 90, 20}, {-110, 90, 20}, {-110, -130, 20}, {110, -130, 20}, {0, 0, 1}, face);
        const Style rim = Flat(RampColour(rimRamp, 9));
        b.Box({-120, -140, -18}, {-110, 100, 18}, rim);
        b.Box({110, -140, -18}, {120, 100, 18}, rim);
        b.Box({-120, 90, -18}, {120, 100, 18}, rim);
        b.Box({-120, -140, -18}, {120, -130, 18}, rim);
        // A short stand so it floats above the floor.
        b.Box({-10, -256, -10}, {10, -140, 10}, Flat(RampColour(kMetal, 6)));
        b.Box({-60, -256, -40}, {60, -236, 40}, Flat(RampColour(kMetal, 8)));
        Save(out, Game(base + std::to_string(f + 1)), b);
    }
}

void MakeSmallObjects(Output& out) {
    Save(out, Game("SPRING1"), Spring(0));
    Save(out, Game("SPRING2"), Spring(1));
    Disc(out, "TIMER", kTexTimer, kGold);
    Disc(out, "LIFE", kTexHeart, kCrimson);

    // Light switch: a post with a glowing bulb.
    MeshBuilder lamp;
    lamp.Box({-100, -256, -100}, {100, -226, 100}, Flat(RampColour(kMetal, 6)));
    lamp.Box({-20, -226, -20}, {20, 20, 20}, Flat(RampColour(kMetal, 9)));
    lamp.Lathe({{40, 20}, {80, 60}, {80, 120}, {40, 160}, {0, 170}}, 8, Flat(RampColour(kLemon, 15)));
    lamp.Box({-90, 20, -90}, {90, 34, 90}, Textured(kTexLamp));
    Save(out, Game("LAMP"), lamp);

    // Spikes: a plate with four steel teeth.
    MeshBuilder spikes;
    spikes.Box({-240, -256, -240}, {240, -230, 240}, Flat(RampColour(kStone, 4)));
    for (int i = 0; i < 4; ++i) {
        float cx = (i % 2) ? 120.0f : -120.0f, cz = (i / 2) ? 120.0f : -120.0f;
        spikes.Lathe({{90, -230}, {0, 40}}, 4, Flat(RampColour(kMetal, 12)), 45, false, false, {cx, 0, cz});
    }
    Save(out, Game("SPIKES"), spikes);

    // Crystal cluster, morphing through four frames (growing and twisting).
    for (int f = 0; f < 4; ++f) {
        MeshBuilder b;
        float phase = 6.2831853f * static_cast<float>(f) / 4.0f;
        for (int c = 0; c < 5; ++c) {
            float a = 72.0f * static_cast<float>(c) + 20.0f * std::sin(phase);
            float h = 260 + 80 * std::sin(phase + static_cast<float>(c) * 1.3f);
            float r = c == 0 ? 0 : 110;
            Vec base{r * std::sin(a * 0.01745f), -256, r * std::cos(a * 0.01745f)};
            float tilt = c == 0 ? 0 : 18;
            b.transform = [base, a, tilt](Vec p) { return RotateY(RotateX(p, tilt), a) + base; };
            int ramp = c % 2 ? kSky : kViolet;
            b.Lathe({{50, 0}, {55, h * 0.7f}, {0, h}}, 6, Flat(RampColour(ramp, 11 + c % 3)), 0, false, false);
        }
        Save(out, Game("CRYSTAL" + std::to_string(f + 1)), b);
    }

    // Pillar: an octagonal marble column with a base and a capital.
    MeshBuilder pillar;
    pillar.Box({-200, -256, -200}, {200, -200, 200}, Textured(kTexMarble));
    pillar.Lathe({{150, -200}, {130, -150}, {130, 190}, {150, 200}}, 8, Textured(kTexMarble), 22.5f, false, false);
    pillar.Box({-210, 200, -210}, {210, 255, 210}, Textured(kTexMarble));
    Save(out, Game("PILLAR"), pillar);

    // Torch on a stand, its flame flickering through four morphing frames.
    for (int f = 0; f < 4; ++f) {
        MeshBuilder b;
        b.Box({-70, -256, -70}, {70, -236, 70}, Flat(RampColour(kStone, 6)));
        b.Box({-18, -236, -18}, {18, 60, 18}, Textured(kTexWood));
        b.Lathe({{50, 60}, {56, 90}}, 6, Flat(RampColour(kMetal, 6)), 0, true, false);
        float sway = 18 * std::sin(static_cast<float>(f) * 1.5708f);
        float height = 150 + 30 * std::cos(static_cast<float>(f) * 1.5708f);
        b.transform = [sway](Vec p) { return p + Vec{sway * (p.y - 90) / 150, 0, 0}; };
        b.Lathe({{44, 90}, {40, 90 + height * 0.4f}, {0, 90 + height}}, 6, Translucent(Flat(RampColour(kLava, 13)), 20), 0, false, false);
        b.Lathe({{22, 92}, {0, 90 + height * 0.6f}}, 6, Flat(RampColour(kLemon, 15)), 30, false, false);
        Save(out, Game("TORCH" + std::to_string(f + 1)), b);
    }

    // Brazier: a short rune-stone plinth carrying an iron bowl of coals, its
    // fire flickering through four morphing frames; it lights a dark hall.
    for (int f = 0; f < 4; ++f) {
        MeshBuilder b;
        b.Box({-150, -256, -150}, {150, -200, 150}, Textured(kTexRunes));
        b.Lathe({{110, -200}, {90, -150}, {80, 20}, {110, 40}}, 8, Textured(kTexDarkStone), 22.5f, false, false);
        b.Lathe({{60, 40}, {170, 80}, {190, 130}, {180, 140}}, 8, TwoSided(Flat(RampColour(kMetal, 5))), 22.5f, true, false);
        b.Lathe({{175, 120}, {0, 138}}, 8, Flat(RampColour(kLava, 9)), 22.5f, false, false);
        float phase = static_cast<float>(f) * 1.5708f;
        for (int t = 0; t < 3; ++t) {
            float a = 120.0f * static_cast<float>(t) + 35.0f * std::sin(phase + static_cast<float>(t));
            float h = 150 + 45 * std::cos(phase + 2.1f * static_cast<float>(t));
            Vec base{70 * std::sin(a * 0.01745f), 0, 70 * std::cos(a * 0.01745f)};
            b.transform = [base](Vec p) { return p + base; };
            b.Lathe({{60, 130}, {45, 130 + h * 0.4f}, {0, 130 + h}}, 5, Translucent(Flat(RampColour(kLava, 13)), 20), 36.0f * static_cast<float>(t), false, false);
            b.Lathe({{28, 132}, {0, 130 + h * 0.6f}}, 5, Flat(RampColour(kLemon, 15)), 0, false, false);
        }
        Save(out, Game("BRAZIER" + std::to_string(f + 1)), b);
    }

    // Tree for the open levels: a leaning trunk and three tiers of foliage,
    // kept inside its cell so hedges and terraces can crowd it.
    MeshBuilder tree;
    tree.transform = [](Vec p) { return RotateZ(p, 3.0f * (p.y + 256) / 512); };
    tree.Lathe({{70, -256}, {55, -200}, {45, 0}, {38, 60}}, 7, Textured(kTexWood), 0, false, false);
    const float tiers[3][3] = {{230, -60, 60}, {190, 20, 140}, {130, 110, 250}};  // radius, bottom, top
    for (int t = 0; t < 3; ++t) {
        const float r = tiers[t][0], y0 = tiers[t][1], y1 = tiers[t][2];
        tree.Lathe({{r * 0.55f, y0 - 20}, {r, y0 + 15}, {r * 0.8f, (y0 + y1) / 2}, {0, y1}}, 9, Flat(RampColour(t == 1 ? kGrass : kLeaf, 9 + 2 * t)),
                   20.0f * static_cast<float>(t), true, false);
    }
    Save(out, Game("TREE"), tree);
}

// ---------------------------------------------------------------------------
// Sky, transitions, podium and flag.

void MakeSky(Output& out) {
    // A dome around the eye (drawn at the camera, never moving), seen from inside.
    MeshBuilder b;
    const float r = 6000;
    std::vector<std::pair<float, float>> profile;
    for (int i = 0; i <= 6; ++i) {
        float a = -20.0f + 110.0f * static_cast<float>(i) / 6.0f;
        float rad = a * 0.01745f;
        profile.push_back({std::max(0.0f, r * std::cos(rad)), r * std::sin(rad)});
    }
    profile.back().first = 0;
    // Inside-facing: build outward and make each face two-sided.
    b.Lathe(profile, 16, TwoSided(Textured(kTexSky)), 0, false, false);
    b.Lathe({{r * 0.94f, -r * 0.34f}, {r * 0.5f, -r}}, 16, TwoSided(Flat(RampColour(kLeaf, 6))), 0, false, false);
    Save(out, Game("SKY"), b);
}

void MakeTransitions(Output& out) {
    // Drawn 170 units before the eye with coordinates doubled: +-120 by +-90
    // here covers the view.  Sixteen triangles each, added one by one.
    const float w = 130, h = 100;
    const Style dark = TwoSided(Flat(RampColour(kStone, 1)));
    const Style gold = TwoSided(Flat(RampColour(kGold, 6)));
    {
        // Shutters: eight horizontal slats closing from top and bottom alternately.
        MeshBuilder b;
        const int order[8] = {0, 7, 1, 6, 2, 5, 3, 4};
        for (int i : order) {
            float y0 = -h + 2 * h * static_cast<float>(i) / 8, y1 = y0 + 2 * h / 8 + 1;
            b.Quad({-w, y1, 0}, {w, y1, 0}, {w, y0, 0}, {-w, y0, 0}, {0, 0, -1}, i % 2 ? gold : dark);
        }
        Save(out, Game("TRANSI1"), b);
    }
    {
        // Clock wipe: a fan of sixteen slices around the centre.
        MeshBuilder b;
        for (int i = 0; i < 16; ++i) {
            auto edge = [&](int k) {
                float a = 6.2831853f * static_cast<float>(k) / 16;
                float sx = std::sin(a), sy = std::cos(a);
                float scale = std::min(w / std::max(0.001f, std::abs(sx)), h / std::max(0.001f, std::abs(sy))) * 1.5f;
                return Vec{sx * scale, sy * scale, 0};
            };
            b.Triangle({0, 0, 0}, edge(i), edge(i + 1), {0, 0, -1}, i % 2 ? gold : dark);
        }
        Save(out, Game("TRANSI2"), b);
    }
    {
        // Tiles: a 4 x 2 grid of squares falling into place in a scattered order.
        MeshBuilder b;
        const int order[8] = {5, 0, 3, 6, 1, 7, 2, 4};
        for (int i : order) {
            float x0 = -w + 2 * w * static_cast<float>(i % 4) / 4, y0 = -h + h * static_cast<float>(i / 4);
            b.Quad({x0, y0 + h, 0}, {x0 + w / 2 + 1, y0 + h, 0}, {x0 + w / 2 + 1, y0, 0}, {x0, y0, 0}, {0, 0, -1}, (i + i / 4) % 2 ? gold : dark);
        }
        Save(out, Game("TRANSI3"), b);
    }
}

void MakeCreditsProps(Output& out) {
    // The hero stands at y 150 with his feet 240 lower: the podium top is at -90.
    MeshBuilder podium;
    podium.Lathe({{360, -700}, {360, -420}, {300, -400}, {300, -120}, {340, -110}, {340, -90}}, 12, Textured(kTexMarble), 15);
    podium.Lathe({{345, -96}, {345, -88}}, 12, Flat(RampColour(kGold, 12)), 15, false, false);
    Save(out, Game("PODIUM"), podium);

    MeshBuilder flag;
    flag.Box({420, -700, -12}, {444, 560, 12}, Flat(RampColour(kMetal, 10)));
    flag.Lathe({{0, 560}, {26, 575}, {0, 600}}, 6, Flat(RampColour(kGold, 13)), 0, false, false, {432, 0, 0});
    // A waving banner: four panels bending along the wind.
    for (int p = 0; p < 4; ++p) {
        float x0 = 444 + 70.0f * static_cast<float>(p), x1 = x0 + 70;
        float z0 = 30 * std::sin(static_cast<float>(p)), z1 = 30 * std::sin(static_cast<float>(p + 1));
        flag.Quad({x0, 540, z0}, {x1, 540 - 6, z1}, {x1, 380 + 6, z1}, {x0, 380, z0}, {0, 0, -1},
                  TwoSided(Flat(RampColour(p % 2 ? kGold : kCrimson, 11))));
    }
    Save(out, Game("FLAG"), flag);
}

// ---------------------------------------------------------------------------
// Editor markers (the editor recolours them).

void MakeEditorMarkers(Output& out) {
    const Style white = Flat(GreyColour(13));
    {
        // Cursor: the twelve edges of the cell.
        MeshBuilder b;
        const float e = 262, t = 14;
        for (int axis = 0; axis < 3; ++axis)
            for (int i = 0; i < 4; ++i) {
                float u = (i & 1) ? e - t : -e, v = (i & 2) ? e - t : -e;
                Vec lo, hi;
                if (axis == 0) lo = {-e, u, v}, hi = {e, u + t, v + t};
                else if (axis == 1) lo = {u, -e, v}, hi = {u + t, e, v + t};
                else lo = {u, v, -e}, hi = {u + t, v + t, e};
                b.Box(lo, hi, white);
            }
        Save(out, "3DO/EDITOR/SELECT.3DO", b);
    }
    {
        // Start: an arrow on the floor pointing along -Z (the drawing turns it).
        MeshBuilder b;
        b.Box({-50, -256, -40}, {50, -216, 200}, white);
        b.Lathe({{150, -256}, {150, -216}}, 3, white, 180, true, true, {0, 0, -40});
        Save(out, "3DO/EDITOR/START.3DO", b);
    }
    {
        // Exit: a double pyramid (the game spins it over the exit cell).
        MeshBuilder b;
        b.Lathe({{0, -200}, {160, 0}, {0, 200}}, 4, white, 45, false, false);
        b.Lathe({{0, -120}, {60, 0}, {0, 120}}, 4, white, 0, false, false, {0, 0, 0});
        Save(out, "3DO/EDITOR/EXIT.3DO", b);
    }
    {
        // Points A and B of an area: a small diamond.
        MeshBuilder b;
        b.Lathe({{0, -90}, {90, 0}, {0, 90}}, 4, white, 45, false, false);
        Save(out, "3DO/EDITOR/EVENTA.3DO", b);
    }
    {
        // Clip marker: a film reel.
        MeshBuilder b;
        b.transform = [](Vec p) { return RotateX(p, 90); };
        b.Lathe({{150, -30}, {150, 30}}, 10, white);
        b.transform = nullptr;
        b.Box({-200, -160, -20}, {200, -130, 20}, white);
        Save(out, "3DO/EDITOR/CLIP.3DO", b);
    }
    {
        // Event marker: a ringed sphere.
        MeshBuilder b;
        b.Lathe({{0, -120}, {90, -80}, {120, 0}, {90, 80}, {0, 120}}, 8, white);
        b.Lathe({{200, -10}, {200, 10}}, 12, TwoSided(white), 0, false, false);
        Save(out, "3DO/EDITOR/EVENT.3DO", b);
    }
    {
        // Area cell of a WAITFORPLAYER command: a translucent floor tile.
        MeshBuilder b;
        b.Box({-250, -256, -250}, {250, -240, 250}, Translucent(white, 50));
        Save(out, "3DO/EDITOR/EVENTP.3DO", b);
    }
}

}  // namespace

void MakeMeshes(Output& out) {
    MakeHero(out);
    MakeSentry(out);
    MakeIngot(out);
    MakeDiggables(out);
    Ladder(out, "LADDERN", false);
    Ladder(out, "LADDERE", true);
    MakeLevers(out);
    MakeSmallObjects(out);
    MakeSky(out);
    MakeTransitions(out);
    MakeCreditsProps(out);
    MakeEditorMarkers(out);
}

}  // namespace zq::gen
