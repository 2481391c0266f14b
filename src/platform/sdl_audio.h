// Sound effects and music through SDL2_mixer.  A machine without a sound
// device simply plays nothing: opening never fails with an error.
#pragma once

#include <memory>

#include "core/resolver.h"
#include "shell/audio.h"
#include "shell/sound_mixer.h"

namespace zq {

// The SDL2_mixer backend for the mixer, or nothing when the audio device
// cannot be opened.  Sound files are found in `data`.
std::unique_ptr<SoundBackend> OpenSdlSoundBackend(const DataResolver& data);

// The game's audio: the mixer over SDL2_mixer, or silence without a device.
std::unique_ptr<Audio> OpenAudio(const DataResolver& data);

}  // namespace zq
