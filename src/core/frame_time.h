// Game time as the shell's clock hands it to the rules: the millisecond tick
// sampled at the start of the frame and the time since the previous frame.
#pragma once

#include <algorithm>
#include <cstdint>

namespace zq {

inline constexpr std::int32_t kMaxFrameDelta = 1000;  // a stalled frame counts as one second
inline constexpr float kTickMs = 90.0f;               // every rate is an amount per 90 ms

struct FrameTime {
    std::int32_t now = 0;         // ms clock at the start of the frame
    std::int32_t frameDelta = 0;  // ms since the previous frame
};

// Caps the delta in place so every later user of this frame sees the same value.
inline void ClampFrameDelta(FrameTime& time) { time.frameDelta = std::clamp(time.frameDelta, 0, kMaxFrameDelta); }

// A rate per 90 ms turned into this frame's amount.
inline float FrameScale(const FrameTime& time, float v) {
    return v * static_cast<float>(std::min(time.frameDelta, kMaxFrameDelta)) / kTickMs;
}

}  // namespace zq
