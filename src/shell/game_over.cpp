#include "shell/game_over.h"

#include <algorithm>

#include "render/overlay.h"
#include "shell/game.h"

namespace zq {

namespace {

// The caption is three times the big font: glyph pictures drawn larger.
constexpr float kCaptionGlyphWidth = 3 * 7.0f / 320.0f;
constexpr float kCaptionAdvance = 3 * 0.025f;
constexpr float kCaptionHeight = 3 * 15.0f / 240.0f;
constexpr float kCaptionY = 0.34f;

void DrawCaption(Game& game, std::string_view text) {
    const float width = static_cast<float>(text.size()) * kCaptionAdvance;
    float x = (1 - width) / 2;
    for (char ch : text) {
        const int code = static_cast<unsigned char>(ch);
        if (code > 32 && code < 32 + kFontGlyphCount)
            DrawOverlayImage(game, kBigFontBase + code - 32, true, 0, kCaptionHeight, kCaptionGlyphWidth, kCaptionY, x);
        x += kCaptionAdvance;
    }
}

void DrawCentred(Game& game, const std::string& text, bool big, float y) {
    DrawOverlayText(game, text, big, y, (1 - TextWidth(text, big)) / 2);
}

}  // namespace

void EnterGameOver(Game& game) {
    ShellState& shell = game.shell;
    // The last "0 LIVES LEFT" (or any other message) must not follow the
    // player onto this screen and the title after it.
    shell.status.shown = false;
    shell.status.text.clear();
    shell.afterFade = kAfterFadeNone;
    game.gameOverLevel = game.actors.Local().levelIndex;
    shell.fade.active = false;  // a finished fade-out may still be marked running
    GameStartFade(game, -1);
    SetScreen(game, kScreenGameOver);
    StopMusic(game);
    game.audio.PlayMusic(kGameOverMusic, false);
    game.audio.SetMusicVolume(MusicVolume(game.settings));
}

void GameOverFrame(Game& game) {
    ShellState& shell = game.shell;
    const FrameTime& time = shell.time;
    const std::int32_t shown = time.now - static_cast<std::int32_t>(shell.screenEnterTime);
    if (shell.fade.done) {
        GameStartFade(game, -1);
        SetScreen(game, kScreenTitle);
        return;
    }
    const Commands& c = game.actors.Local().commands;
    const bool skip = shown >= kGameOverSkipMs && (c.jump || c.look || c.action || c.menu || game.input.KeyDown(Key::Enter));
    if ((skip || shown >= kGameOverShowMs) && !shell.fade.active) GameStartFade(game, +1);

    game.renderer.ClearFrame(0);
    // The title's mosaic, mostly hidden, so the screen is dark but not empty.
    const int extra = OverlayExtraColumns(game, 0.1f);
    for (int i = -1 - extra; i <= 10 + extra; ++i)
        for (int j = -1; j <= 9; ++j)
            DrawOverlayImage(game, 13, false, 80, 0.135f, 0.102f, static_cast<float>(j) * 0.1333f,
                             static_cast<float>(i) * 0.1f);
    DrawCaption(game, kGameOverText);
    const std::int32_t level = game.gameOverLevel;
    if (level >= 0 && level < game.shell.levelCount)
        DrawCentred(game, "YOU REACHED LEVEL " + std::to_string(level + 1) + " OF " + std::to_string(game.shell.levelCount),
                    false, 0.6f);
    if (shown >= kGameOverSkipMs && time.now % 2000 < 1000) DrawCentred(game, "PRESS FIRE", false, 0.7f);
}

std::string ScreenCaption(const Game& game) {
    return game.shell.screen == kScreenGameOver ? std::string(kGameOverText) : std::string();
}

}  // namespace zq
