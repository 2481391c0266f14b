#include "shell/settings_screen.h"

#include <algorithm>

#include "render/overlay.h"
#include "shell/game.h"

namespace zq {

namespace {

constexpr float kFirstLineY = 0.17f;
constexpr float kLineStep = 0.04f;
constexpr float kLabelX = 0.2f;
constexpr float kValueX = 0.56f;

// The logical keys of the screen, one bit each.
enum : std::uint8_t { kMoveUp = 1, kMoveDown = 2, kMoveLeft = 4, kMoveRight = 8, kChoose = 16, kLeave = 32 };

constexpr std::array<const char*, kSettingsEntryCount> kLabels = {
    "WALK FORWARD", "WALK BACKWARDS", "TURN LEFT", "TURN RIGHT", "JUMP", "LOOK", "DIG/ACTIVATE/PUSH", "MENU",
    "MUSIC VOLUME", "EFFECTS VOLUME", "FULL SCREEN", "PICTURE SIZE", "TEXTURE DETAIL", "MOUSE MODE", "FRAME CAP",
    "DEFAULT KEYS", "BACK",
};

// Keys the game keeps for itself: the option keys, Enter for the menus, and
// the fixed keys of the play screen.
bool ReservedKey(Key key) {
    if (key >= Key::F1 && key <= Key::F12) return true;
    switch (key) {
        case Key::None: case Key::Count: case Key::Enter: case Key::PrintScreen:
        case Key::PageUp: case Key::PageDown: case Key::Kp0: case Key::Insert: case Key::Delete:
        case Key::KpPlus: case Key::KpMinus: case Key::KpDivide: case Key::KpMultiply:
        case Key::MouseLeft: case Key::MouseRight:
            return true;
        default: return false;
    }
}

std::string Percent(int value) { return std::to_string(value) + "%"; }

// Writes the settings and keys as they are now; a run that keeps no settings
// file (headless without --settings) writes nothing.  Returns why not, or "".
std::string SaveNow(Game& game) {
    if (!game.settingsStore || !game.settingsStore->Kept()) return {};
    PutSettings(game, game.host.Fullscreen());
    const WriteResult written = game.settingsStore->Write();
    if (written) return {};
    game.host.Log(written.reason);
    return "NOT SAVED: " + written.code;
}

void ToggleFullscreen(Game& game) {
    const bool on = !game.host.Fullscreen();
    if (!on || FullscreenAllowed(game.renderSize)) game.host.SetFullscreen(on, game.renderSize);
    // A size only full screen offers becomes the largest one that fits a window.
    const ScreenRoom room = game.host.Screen();
    if (!game.host.Fullscreen() && !FitsWindowed(game.renderSize, room)) SetRenderSize(game, LargestWindowedSize(room));
    ResetFrameClock(game.shell);
}

// The next (dir +1) or previous size of those the current mode offers.
void StepSize(Game& game, int dir) {
    const bool fullscreen = game.host.Fullscreen();
    const std::vector<RenderSize> offered = OfferedSizes(game.host.Screen(), fullscreen);
    if (offered.empty()) return;
    const auto at = std::find(offered.begin(), offered.end(), game.renderSize);
    const auto count = static_cast<std::ptrdiff_t>(offered.size());
    const std::ptrdiff_t index = at == offered.end() ? 0 : ((at - offered.begin()) + dir + count) % count;
    const RenderSize next = offered[static_cast<std::size_t>(index)];
    if (fullscreen) game.host.SetFullscreen(false, game.renderSize);
    SetRenderSize(game, next);
    if (fullscreen && FullscreenAllowed(next)) game.host.SetFullscreen(true, next);
    ResetFrameClock(game.shell);
}

// Left (-1), Right (+1) or Enter (0, as Right) on a value line.
void ChangeValue(Game& game, std::int32_t entry, int dir) {
    const int step = dir == 0 ? 1 : dir;
    GameSettings& settings = game.settings;
    switch (entry) {
        case kSetMusicVolume:
            settings.musicVolume = std::clamp(settings.musicVolume + step * kVolumeStep, 0, 100);
            if (settings.music) game.audio.SetMusicVolume(settings.musicVolume);
            break;
        case kSetEffectsVolume:
            settings.effectsVolume = std::clamp(settings.effectsVolume + step * kVolumeStep, 0, 100);
            game.audio.SetEffectsVolume(settings.effectsVolume);
            break;
        case kSetFullscreen: ToggleFullscreen(game); break;
        case kSetSize: StepSize(game, step); break;
        case kSetTexture:
            settings.texture = !settings.texture;
            ReloadBank(game, settings.texture);
            break;
        case kSetMouseMode:
            settings.mouseMode = static_cast<std::uint8_t>((settings.mouseMode + 3 + step) % 3);
            game.host.ShowCursor(settings.mouseMode == 0);
            break;
        case kSetFrameCap: {
            const auto at = std::find(kFrameCaps.begin(), kFrameCaps.end(), settings.maxFps);
            const int count = static_cast<int>(kFrameCaps.size());
            const int index = at == kFrameCaps.end() ? 1 : (static_cast<int>(at - kFrameCaps.begin()) + step + count) % count;
            settings.maxFps = kFrameCaps[static_cast<std::size_t>(index)];
            break;
        }
        default: return;
    }
    game.audio.PlaySound(kClickSoundSlot, false);
    game.settingsScreen.note = SaveNow(game);
}

void Close(Game& game) {
    SettingsScreen& screen = game.settingsScreen;
    screen.open = false;
    screen.capturing = false;
    game.audio.PlaySound(kChoiceSoundSlot, false);
    // The key that closed the screen is not also a press on the screen under it.
    game.shell.buttonsHeld = true;
    game.title.enterWasDown = true;
    game.options.optionKeyTime = game.shell.time.now;
}

void Choose(Game& game) {
    SettingsScreen& screen = game.settingsScreen;
    if (screen.entry <= kSetMenu) {
        screen.capturing = true;
        screen.note = "PRESS THE NEW KEY - ESC KEEPS THE OLD ONE";
        game.audio.PlaySound(kClickSoundSlot, false);
    } else if (screen.entry == kSetDefaultKeys) {
        game.keys = KeyBindings{};
        game.audio.PlaySound(kClickSoundSlot, false);
        const std::string why = SaveNow(game);
        screen.note = why.empty() ? "KEYS BACK TO THEIR DEFAULTS" : why;
    } else if (screen.entry == kSetDone) {
        Close(game);
    } else {
        ChangeValue(game, screen.entry, 0);
    }
}

// Waits for a key that goes down; binds it unless it is taken.
void Capture(Game& game, const std::array<bool, kKeyCount>& down) {
    SettingsScreen& screen = game.settingsScreen;
    const auto command = static_cast<std::size_t>(screen.entry);
    for (int k = 1; k < kKeyCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (!down[i] || screen.wasDown[i]) continue;
        const Key key = static_cast<Key>(k);
        if (key == Key::Escape && command != kSetMenu) {
            screen.capturing = false;
            screen.note.clear();
            return;
        }
        const std::string why = RefuseBinding(game.keys, command, key);
        if (!why.empty()) {
            screen.note = why;
            game.audio.PlaySound(kClickSoundSlot, false);
            return;  // still waiting
        }
        game.keys.command[command] = key;
        screen.capturing = false;
        game.audio.PlaySound(kChoiceSoundSlot, false);
        const std::string saved = SaveNow(game);
        screen.note = saved.empty() ? std::string(kLabels[command]) + ": " + KeyLabel(key) : saved;
        return;
    }
}

void Draw(Game& game) {
    const SettingsScreen& screen = game.settingsScreen;
    game.renderer.ClearFrame(0);
    const int extra = OverlayExtraColumns(game, 0.1f);
    for (int i = -1 - extra; i <= 10 + extra; ++i)
        for (int j = -1; j <= 9; ++j)
            DrawOverlayImage(game, 13, false, 80, 0.135f, 0.102f, static_cast<float>(j) * 0.1333f,
                             static_cast<float>(i) * 0.1f);
    DrawOverlayImage(game, kShadeImageSlot, false, 25, 0.9f, 0.74f, 0.05f, 0.13f);
    const char* title = "SETTINGS";
    DrawOverlayText(game, title, true, 0.07f, (1 - TextWidth(title, true)) / 2);
    const bool blink = game.shell.time.now % 1000 < 600;
    for (std::int32_t e = 0; e < kSettingsEntryCount; ++e) {
        const float y = kFirstLineY + kLineStep * static_cast<float>(e);
        auto [label, value] = SettingsLine(game, e);
        if (e == screen.entry) {
            DrawOverlayText(game, ">", false, y, kLabelX - 0.03f);
            if (screen.capturing) value = blink ? "PRESS A KEY" : "";
        }
        DrawOverlayText(game, label, false, y, kLabelX);
        if (!value.empty()) DrawOverlayText(game, value, false, y, kValueX);
    }
    if (!screen.note.empty()) DrawOverlayText(game, screen.note, false, 0.87f, (1 - TextWidth(screen.note, false)) / 2);
    const char* help = "UP/DOWN CHOOSE  LEFT/RIGHT CHANGE  ENTER SELECT  ESC BACK";
    DrawOverlayText(game, help, false, 0.91f, (1 - TextWidth(help, false)) / 2);
}

}  // namespace

std::string RefuseBinding(const KeyBindings& keys, std::size_t command, Key key) {
    if (ReservedKey(key)) return KeyLabel(key) + " IS KEPT BY THE GAME";
    for (std::size_t other = 0; other < keys.command.size(); ++other)
        if (other != command && keys.command[other] == key)
            return KeyLabel(key) + " IS ALREADY " + kLabels[other];
    return {};
}

std::pair<std::string, std::string> SettingsLine(const Game& game, std::int32_t entry) {
    const std::string label = entry >= 0 && entry < kSettingsEntryCount ? kLabels[static_cast<std::size_t>(entry)] : "";
    const GameSettings& settings = game.settings;
    switch (entry) {
        case kSetMusicVolume:
            return {label, Percent(settings.musicVolume) + (settings.music ? "" : " (OFF: F7)")};
        case kSetEffectsVolume: return {label, Percent(settings.effectsVolume)};
        case kSetFullscreen: return {label, game.host.Fullscreen() ? "ON" : "OFF"};
        case kSetSize: return {label, std::to_string(game.renderSize.width) + "x" + std::to_string(game.renderSize.height)};
        case kSetTexture: return {label, settings.texture ? "HIGH" : "LOW"};
        case kSetMouseMode: {
            static const char* const kModes[] = {"OFF", "ON", "ON, SWAPPED"};
            return {label, kModes[std::min<int>(settings.mouseMode, 2)]};
        }
        case kSetFrameCap: return {label, settings.maxFps > 0 ? std::to_string(settings.maxFps) + " FPS" : "NONE"};
        case kSetDefaultKeys:
        case kSetDone: return {label, ""};
        default:
            if (entry >= 0 && entry <= kSetMenu) return {label, KeyLabel(game.keys.command[static_cast<std::size_t>(entry)])};
            return {label, ""};
    }
}

bool CheckSettingsKey(Game& game) {
    SettingsScreen& screen = game.settingsScreen;
    if (screen.open) return true;
    ShellState& shell = game.shell;
    if (shell.networkLobby || shell.clipPlaying || shell.cinematicPlaying || shell.fade.active) return false;
    const bool title = shell.screen == kScreenTitle;
    const bool menu = shell.screen == kScreenPlay && game.play.menuOpen;
    if (!(title || menu) || !game.input.KeyDown(Key::F2)) return false;
    if (shell.time.now - game.options.optionKeyTime < kOptionKeyRepeatMs) return false;
    game.options.optionKeyTime = shell.time.now;
    if (game.actors.lastPlayer > 0) {
        // The others play on: a screen that stops this machine's frame has no place there.
        ShowStatusMessage(shell, "SETTINGS ARE NOT OPEN IN A NETWORK GAME");
        return false;
    }
    screen = SettingsScreen{};
    screen.open = true;
    for (int k = 1; k < kKeyCount; ++k)
        screen.wasDown[static_cast<std::size_t>(k)] = game.input.KeyDown(static_cast<Key>(k));
    screen.wasMoving = 0xff;  // nothing held from before acts
    game.audio.PlaySound(kChoiceSoundSlot, false);
    return true;
}

void SettingsScreenFrame(Game& game) {
    SettingsScreen& screen = game.settingsScreen;
    std::array<bool, kKeyCount> down{};
    for (int k = 1; k < kKeyCount; ++k) down[static_cast<std::size_t>(k)] = game.input.KeyDown(static_cast<Key>(k));
    const auto held = [&down](Key key) { return down[static_cast<std::size_t>(key)]; };
    const Commands& c = game.actors.Local().commands;
    std::uint8_t moving = 0;
    if (held(Key::Up) || c.forward) moving |= kMoveUp;
    if (held(Key::Down) || c.back) moving |= kMoveDown;
    if (held(Key::Left) || c.left) moving |= kMoveLeft;
    if (held(Key::Right) || c.right) moving |= kMoveRight;
    if (held(Key::Enter) || held(Key::Space) || c.jump) moving |= kChoose;
    if (held(Key::Escape) || c.menu) moving |= kLeave;
    const std::uint8_t pressed = static_cast<std::uint8_t>(moving & ~screen.wasMoving);

    if (screen.capturing) {
        Capture(game, down);
        // The new key may now be a command the screen listens to: it acts once let go.
        if (!screen.capturing) moving = 0xff;
    } else if (pressed & kLeave) {
        Close(game);
    } else if (pressed & kChoose) {
        Choose(game);
    } else if (pressed & (kMoveUp | kMoveDown)) {
        const std::int32_t step = (pressed & kMoveUp) ? -1 : 1;
        screen.entry = (screen.entry + step + kSettingsEntryCount) % kSettingsEntryCount;
        game.audio.PlaySound(kClickSoundSlot, false);
    } else if (pressed & (kMoveLeft | kMoveRight)) {
        ChangeValue(game, screen.entry, (pressed & kMoveLeft) ? -1 : 1);
    }
    screen.wasDown = down;
    screen.wasMoving = moving;
    if (screen.open) Draw(game);
}

}  // namespace zq
