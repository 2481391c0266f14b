// Angles and rounding as the rules use them: 32768 heading units to a turn,
// converted with 3.1415 (not pi), and round-half-to-even.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

namespace zq {

inline constexpr double kHeadingToRadians = 3.1415 / 16384.0;
inline constexpr float kFullTurn = 32768.0f;

inline double RoundEven(double v) { return std::nearbyint(v); }

// sin and cos of a heading, rounded to a whole unit first.
inline double HeadingSin(double heading) { return std::sin(RoundEven(heading) * kHeadingToRadians); }
inline double HeadingCos(double heading) { return std::cos(RoundEven(heading) * kHeadingToRadians); }

// Both at once: (sin, cos) of the rounded heading.
inline std::pair<double, double> HeroSinCos(double heading) { return {HeadingSin(heading), HeadingCos(heading)}; }

// sin and cos of an angle without rounding (camera and sentry angles).
inline double AngleSin(double angle) { return std::sin(angle * kHeadingToRadians); }
inline double AngleCos(double angle) { return std::cos(angle * kHeadingToRadians); }

// The heading of a direction on the ground plane (0 faces +Z, 8192 faces +X),
// in 0..32768.
inline double DirectionToHeading(double dx, double dz) {
    double angle;
    if (dz == 0)
        angle = dx >= 0 ? 1.570795 : -1.570795;
    else {
        angle = std::atan(dx / dz);
        if (dz < 0) angle += 3.14159;
    }
    double h = angle * 16384.0 / 3.14159;
    if (h < 0) h += 32768.0;
    return h;
}

// The same conversion for an up-down angle: rise over the horizontal distance.
inline double DirectionToPitch(double dy, double horizontal) {
    double angle;
    if (horizontal == 0)
        angle = dy >= 0 ? 1.570795 : -1.570795;
    else {
        angle = std::atan(dy / horizontal);
        if (horizontal < 0) angle += 3.14159;
    }
    double p = angle * 16384.0 / 3.14159;
    if (p < 0) p += 32768.0;
    return p;
}

// Float to int conversions that saturate instead of overflowing (NaN gives 0).
inline std::int32_t TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}
inline std::int32_t RoundToInt(double v) { return TruncToInt(RoundEven(v)); }

}  // namespace zq
