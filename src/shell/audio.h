// The game's sound slots beyond the bank's, and how far a sound carries; the
// seam itself (Audio) is in assets/audio.h.
#pragma once

#include <cstdint>
#include <string>

#include "assets/audio.h"
#include "world/object_defs.h"

namespace zq {

// The three interface sounds live after the bank's slots.
inline constexpr SoundRef kChoiceSoundSlot = kBankSoundSlotCount;      // "INTERF\CHOIX.WAV"
inline constexpr SoundRef kClickSoundSlot = kBankSoundSlotCount + 1;   // "INTERF\CLIC.WAV"
inline constexpr SoundRef kTimerSoundSlot = kBankSoundSlotCount + 2;   // "INTERF\TIMER.WAV"
inline constexpr SoundRef kAudioSlotCount = kBankSoundSlotCount + 3;
inline constexpr std::int32_t kHearingDistance = 43008;  // world units (84 cells)

}  // namespace zq
