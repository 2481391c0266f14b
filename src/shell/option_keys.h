// The function keys that work on every screen: stereo, mouse mode, FPS,
// network info and refresh interval, coordinates, music, help, resolution,
// texture detail and full screen.
#pragma once

#include <cstdint>
#include <string>

#include "shell/input.h"
#include "shell/settings.h"
#include "shell/shell_state.h"

namespace zq {

inline constexpr std::int32_t kOptionKeyRepeatMs = 200;
inline constexpr std::int32_t kResolutionKeyExtraMs = 500;

struct OptionState {
    std::int32_t optionKeyTime = 0;  // ms of the last accepted option key
    std::uint8_t mouseMode = 0;      // 0 off, 1 on, 2 on with the vertical axis swapped
    bool musicOn = true;
    bool highDetail = true;
    std::uint8_t stereoMode = 0;     // 0 off, 1 red/blue, 2 red/green
    bool networkInfoShown = false;
    std::int32_t refreshInterval = 100;  // ms between network position sends
};

// What the option keys change outside their own state.
class OptionActions {
public:
    virtual ~OptionActions() = default;
    virtual void PlayChoiceSound() = 0;
    virtual void SetStereo(int mode) = 0;               // 0 off, 1 red/blue, 2 red/green
    virtual void SetMouseCursorShown(bool shown) = 0;
    virtual void SetMusicVolume(int volume) = 0;        // 0 or 100
    virtual RenderSize CurrentRenderSize() = 0;
    virtual void SetRenderSize(RenderSize size) = 0;    // the frame and the window's client area
    virtual bool Fullscreen() = 0;
    virtual void SetFullscreen(bool on) = 0;
    virtual void ReloadBank(bool highDetail) = 0;
    virtual void CloseVideoClip() = 0;
    virtual void StopCinematic() = 0;
};

struct OptionContext {
    bool anyButton = false;     // the local player's Button 1..4
    std::int32_t lastPlayer = 0;
    std::int32_t localPlayer = 0;
};

// The resolution after `current` in the F4 cycle; sizes not in the list go to 160 x 120.
RenderSize NextResolution(RenderSize current);

// Runs once per frame after input polling.
void HandleOptionKeys(OptionState& options, ShellState& shell, InputDevice& input, const OptionContext& context,
                      OptionActions& actions);

}  // namespace zq
