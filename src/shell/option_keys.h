// The function keys that work on every screen: stereo, mouse mode, FPS,
// network info and refresh interval, coordinates, music, help, resolution,
// texture detail and full screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/credits.h"
#include "shell/input.h"
#include "shell/settings.h"
#include "shell/shell_state.h"

namespace zq {

inline constexpr std::int32_t kOptionKeyRepeatMs = 200;
inline constexpr std::int32_t kResolutionKeyExtraMs = 500;

// What the option keys keep for this run only; the choices that outlive it
// (mouse mode, music, texture detail) are the settings' own fields.
struct OptionState {
    std::int32_t optionKeyTime = 0;  // ms of the last accepted option key
    std::uint8_t stereoMode = 0;     // 0 off, 1 red/blue, 2 red/green
    bool networkInfoShown = false;
    std::int32_t refreshInterval = 100;  // ms between network position sends
    std::string helpText;  // what F1 shows where the keys differ (the browser); empty for HelpText()
};

// What the option keys change outside their own state.
class OptionActions {
public:
    virtual ~OptionActions() = default;
    virtual void PlayChoiceSound() = 0;
    virtual void SetStereo(int mode) = 0;               // 0 off, 1 red/blue, 2 red/green
    virtual void SetMouseCursorShown(bool shown) = 0;
    virtual void SetMusicVolume(int volume) = 0;        // percent
    virtual RenderSize CurrentRenderSize() = 0;
    virtual void SetRenderSize(RenderSize size) = 0;    // the frame and the window's client area
    virtual bool Fullscreen() = 0;
    virtual void SetFullscreen(bool on) = 0;
    // The screen the window is on, for the sizes F4 offers; unknown by default.
    virtual ScreenRoom Screen() { return {}; }
    virtual void ReloadBank(bool highDetail) = 0;
    virtual void CloseVideoClip() = 0;
    virtual void StopCinematic() = 0;
    // The F1 help with the player's own keys.
    virtual std::string Help() { return HelpText(); }
};

struct OptionContext {
    bool anyButton = false;     // the local player's Button 1..4
    std::int32_t lastPlayer = 0;
    std::int32_t localPlayer = 0;
};

// The size after `current` in `offered` (OfferedSizes), wrapping after the
// last; a size not in the list goes to the first.
RenderSize NextRenderSize(RenderSize current, const std::vector<RenderSize>& offered);
// The F4 cycle when nothing is known of the screen: every size.
RenderSize NextResolution(RenderSize current);

// Runs once per frame after input polling.  F3, F5 and F7 change `settings`,
// the one copy the settings screen shows and a save writes.
void HandleOptionKeys(OptionState& options, GameSettings& settings, ShellState& shell, InputDevice& input,
                      const OptionContext& context, OptionActions& actions);

}  // namespace zq
