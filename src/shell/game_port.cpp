// The network play's view of the game, over the Game record.
#include <memory>

#include "shell/game.h"
#include "shell/game_over.h"
#include "shell/snapshot.h"

namespace zq {

namespace {

class ShellGamePort final : public GamePort {
public:
    explicit ShellGamePort(Game& game) : game_(game) {}

    Actors& Heroes() override { return game_.actors; }
    const Actors& Heroes() const override { return game_.actors; }
    World& Level() override { return *game_.world; }
    const World& Level() const override { return *game_.world; }
    RulesContext& Rules() override { return game_.rules; }
    NetworkHooks& Hooks() override { return game_.net; }
    Audio& Sound() override { return game_.audio; }
    SentrySounds SentryCues() const override {
        return SentrySounds{game_.bank->sentrySeenSound, game_.bank->sentryLostSound};
    }

    std::int32_t Now() const override { return game_.shell.time.now; }
    bool Playing() const override { return game_.shell.screen == kScreenPlay; }
    bool InLobby() const override { return game_.shell.networkLobby; }
    std::int32_t LevelCount() const override { return game_.shell.levelCount; }
    std::int32_t RefreshInterval() const override { return game_.options.refreshInterval; }
    void SetRefreshInterval(std::int32_t ms) override { game_.options.refreshInterval = ms; }
    std::string Nickname() const override { return game_.settings.nickName; }
    void SetNickname(const std::string& name) override { game_.settings.nickName = name; }

    void OpenLobbyScreen() override {
        game_.shell.networkLobby = true;
        SetScreen(game_, kScreenLobby);
    }
    void LeaveLobby(bool holdButtons) override {
        game_.shell.networkLobby = false;
        game_.host.ShowCursor(game_.settings.mouseMode == 0);
        if (holdButtons) game_.shell.buttonsHeld = true;
        SetScreen(game_, kScreenTitle);
    }
    void StartLevel(std::int32_t level) override { zq::StartLevel(game_, level); }
    void CancelFade() override { game_.shell.fade.active = false; }
    void FadeToTitle() override {
        GameStartFade(game_, -1);
        SetScreen(game_, kScreenTitle);
    }
    void FadeToCredits() override {
        GameStartFade(game_, -1);
        SetScreen(game_, kScreenCredits);
    }
    void EnterGameOver() override { zq::EnterGameOver(game_); }

    void ShowStatus(const std::string& text) override { ShowStatusMessage(game_.shell, text); }
    void ShowKept(const std::string& text) override { ShowKeptMessage(game_.shell, text); }
    void Log(const std::string& line) override { game_.host.Log(line); }

    Bytes SaveLevelState() const override { return SaveSnapshot(game_, 0); }
    LevelStateTaken RestoreLevelState(const Bytes& bytes, std::int32_t ageMs) override {
        const SnapshotRestore restored = zq::RestoreLevelState(game_, bytes, ageMs);
        return LevelStateTaken{restored.ok, restored.why};
    }

    bool KeyDown(Key key) override { return game_.input.KeyDown(key); }
    // The frame's input routine asks the bound keys before the lobby does; the
    // command flags it set also count, so a device that reports a tap to its
    // first asker only (a script, a test's keys) loses no tap to the lobby.
    bool SeenByPoll(Key key) const override {
        const Commands& c = game_.actors.Local().commands;
        const auto& bound = game_.keys.command;
        const bool flags[] = {c.forward, c.back, c.left, c.right, c.jump, c.look, c.action, c.menu};
        bool seen = key == Key::MouseLeft && game_.mouse.left;
        for (std::size_t i = 0; i < bound.size(); ++i) seen = seen || (bound[i] == key && flags[i]);
        return seen;
    }
    std::string TakeText() override { return game_.input.TakeText(); }
    std::optional<PortCursor> Cursor() override {
        const std::optional<CursorPosition> at = game_.input.Cursor();
        if (!at) return std::nullopt;
        return PortCursor{at->x, at->y};
    }

    void ClearFrame(int colour) override { game_.renderer.ClearFrame(colour); }
    void DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y,
                   float x) override {
        DrawOverlayImage(game_, slot, colourKeyed, transparency, height, width, y, x);
    }
    void DrawText(std::string_view text, bool big, float y, float x) override {
        DrawOverlayText(game_, text, big, y, x);
    }
    float OverlayScale() const override { return zq::OverlayScale(game_); }
    int OverlayExtraColumns(float columnWidth) const override { return zq::OverlayExtraColumns(game_, columnWidth); }

private:
    Game& game_;
};

}  // namespace

std::unique_ptr<GamePort> MakeGamePort(Game& game) { return std::make_unique<ShellGamePort>(game); }

}  // namespace zq
