#include "shell/option_keys.h"

namespace zq {

RenderSize NextRenderSize(RenderSize current, const std::vector<RenderSize>& offered) {
    if (offered.empty()) return ResolutionSize(0);
    for (std::size_t i = 0; i < offered.size(); ++i)
        if (offered[i] == current) return offered[(i + 1) % offered.size()];
    return offered.front();
}

RenderSize NextResolution(RenderSize current) { return NextRenderSize(current, OfferedSizes({}, false)); }

void HandleOptionKeys(OptionState& options, GameSettings& settings, ShellState& shell, InputDevice& input,
                      const OptionContext& context, OptionActions& actions) {
    const std::int32_t now = shell.time.now;
    // Signed, so a time set into the future (after F4) holds the keys back.
    if (now - options.optionKeyTime < kOptionKeyRepeatMs) return;
    if (shell.clipPlaying) {
        if (context.anyButton) actions.CloseVideoClip();
        return;
    }
    if (shell.cinematicPlaying && context.anyButton) actions.StopCinematic();

    const bool network = context.lastPlayer > 0;
    auto accept = [&] { options.optionKeyTime = now; };
    auto interval = [&] { return "Network refresh interval: " + std::to_string(options.refreshInterval) + " ms"; };

    if (input.KeyDown(Key::F8)) {
        accept();
        actions.PlayChoiceSound();
        int previous = options.stereoMode;
        options.stereoMode = static_cast<std::uint8_t>((options.stereoMode + 1) % 3);
        if (previous != 0) actions.SetStereo(0);
        if (options.stereoMode != 0) actions.SetStereo(options.stereoMode);
        static const char* const kMessages[] = {"STEREOSCOPIC MODE OFF", "STEREOSCOPIC RED/BLUE MODE",
                                                "STEREOSCOPIC RED/GREEN MODE"};
        ShowStatusMessage(shell, kMessages[options.stereoMode]);
    }
    if (input.KeyDown(Key::F3)) {
        accept();
        settings.mouseMode = static_cast<std::uint8_t>((settings.mouseMode + 1) % 3);
        actions.SetMouseCursorShown(settings.mouseMode == 0);
        static const char* const kMessages[] = {"MOUSE MODE OFF", "MOUSE MODE ON", "MOUSE MODE ON SWAPPED"};
        ShowStatusMessage(shell, kMessages[settings.mouseMode]);
    }
    if (input.KeyDown(Key::F9)) {
        accept();
        shell.fps.shown = !shell.fps.shown;
    }
    if (network && input.KeyDown(Key::F11)) {
        accept();
        options.networkInfoShown = !options.networkInfoShown;
        ShowStatusMessage(shell, interval());
    }
    if (network && context.localPlayer == 0 && input.KeyDown(Key::KpDivide)) {
        accept();
        if (options.refreshInterval > 30) options.refreshInterval -= 20;
        ShowStatusMessage(shell, interval());
    }
    if (network && context.localPlayer == 0 && input.KeyDown(Key::KpMultiply)) {
        accept();
        if (options.refreshInterval < 2000) options.refreshInterval += 20;
        ShowStatusMessage(shell, interval());
    }
    if (input.KeyDown(Key::F12)) {
        accept();
        shell.coordsShown = !shell.coordsShown;
    }
    if (input.KeyDown(Key::F7)) {
        accept();
        actions.PlayChoiceSound();
        settings.music = !settings.music;
        actions.SetMusicVolume(MusicVolume(settings));
        ShowStatusMessage(shell, settings.music ? "MUSIC ON" : "MUSIC OFF");
    }
    if (input.KeyDown(Key::F1)) {
        accept();
        actions.PlayChoiceSound();
        ShowStatusMessage(shell, options.helpText.empty() ? actions.Help() : options.helpText);
    }
    if (input.KeyDown(Key::F4)) {
        options.optionKeyTime = now + kResolutionKeyExtraMs;
        actions.PlayChoiceSound();
        bool wasFullscreen = actions.Fullscreen();
        RenderSize next = NextRenderSize(actions.CurrentRenderSize(), OfferedSizes(actions.Screen(), wasFullscreen));
        if (wasFullscreen) actions.SetFullscreen(false);
        actions.SetRenderSize(next);
        if (wasFullscreen && FullscreenAllowed(next)) actions.SetFullscreen(true);
        ShowStatusMessage(shell, "RESOLUTION " + std::to_string(next.width) + "x" + std::to_string(next.height));
    }
    if (input.KeyDown(Key::F5)) {
        accept();
        actions.PlayChoiceSound();
        settings.texture = !settings.texture;
        actions.ReloadBank(settings.texture);
        ShowStatusMessage(shell, settings.texture ? "TEXTURE MODE ON" : "TEXTURE MODE OFF");
    }
    if (input.KeyDown(Key::F6)) {
        accept();
        actions.PlayChoiceSound();
        const bool on = !actions.Fullscreen();
        if (!on || FullscreenAllowed(actions.CurrentRenderSize())) actions.SetFullscreen(on);
        // A size only full screen offers becomes the largest one that fits a window.
        const ScreenRoom room = actions.Screen();
        if (!actions.Fullscreen() && !FitsWindowed(actions.CurrentRenderSize(), room))
            actions.SetRenderSize(LargestWindowedSize(room));
        ResetFrameClock(shell);
        ShowStatusMessage(shell, actions.Fullscreen() ? "FULLSCREEN MODE" : "WINDOW MODE");
    }
}

}  // namespace zq
