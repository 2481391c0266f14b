// What the network play sees of the running game.  The records below the
// shell (the heroes, the level, the rules' call record) it changes in place;
// everything of the program around them (the clock, the screens, messages,
// level starts, the lobby's keys and drawing) it asks for through this
// interface, which the shell implements over its game record.  It lives here,
// below both, so that neither includes the other.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "assets/audio.h"
#include "core/bytes.h"
#include "core/keys.h"
#include "rules/actor.h"
#include "rules/rules_context.h"
#include "rules/sentries.h"
#include "world/world.h"

namespace zq {

// What network play adds to the frame routine.  Every hook is empty in a
// single-player program; the network module fills them.
struct NetworkHooks {
    std::function<void()> beginFrame;   // applies what arrived since the last frame
    std::function<void()> lobbyFrame;   // the lobby screen, while the lobby is up
    std::function<void()> playSends;    // the periodic sends of the play screen
    std::function<void(std::int32_t level)> levelStarting;  // a level start, before the load
    std::function<void()> titleEntered;
    // True when every other living player of this level stands in the exit cell.
    std::function<bool()> othersAtExit;
    // The host's look at a shared level each play frame: won once every
    // player with lives left stands in the exit, lost once nobody has lives.
    std::function<SharedLevel()> sharedLevel;
    // Nobody has lives left: every machine ends the game together.
    std::function<void()> everybodyOut;
    std::function<void()> creditsEntered;
    std::function<std::string(int slot)> playerName;
    std::function<bool(int slot)> playerGone;  // left the game or lost the connection
};

// A level state from the network put over the running level, or refused.
struct LevelStateTaken {
    bool ok = false;
    std::string why;  // one line, when refused
};

// The mouse cursor over the lobby, as fractions of the picture from its top left.
struct PortCursor {
    float x = 0, y = 0;
};

class GamePort {
public:
    virtual ~GamePort() = default;

    // The records the network play reads and changes directly.
    virtual Actors& Heroes() = 0;
    virtual const Actors& Heroes() const = 0;
    virtual World& Level() = 0;  // the level loaded now (a new one after each start)
    virtual const World& Level() const = 0;
    virtual RulesContext& Rules() = 0;
    virtual NetworkHooks& Hooks() = 0;
    virtual Audio& Sound() = 0;
    virtual SentrySounds SentryCues() const = 0;  // of the texture bank loaded now

    // The shell's clock (ms) and where the program is.
    virtual std::int32_t Now() const = 0;
    virtual bool Playing() const = 0;  // the play screen is up
    virtual bool InLobby() const = 0;
    virtual std::int32_t LevelCount() const = 0;
    // The longest wait between two state sends (ms), an option of the player.
    virtual std::int32_t RefreshInterval() const = 0;
    virtual void SetRefreshInterval(std::int32_t ms) = 0;
    virtual std::string Nickname() const = 0;  // kept in the settings
    virtual void SetNickname(const std::string& name) = 0;

    // Screens and levels.
    virtual void OpenLobbyScreen() = 0;
    // The lobby is over: its cursor gone as the settings want, the title up.
    // `holdButtons`: the key that left is not also the title's.
    virtual void LeaveLobby(bool holdButtons) = 0;
    virtual void StartLevel(std::int32_t level) = 0;
    virtual void CancelFade() = 0;
    virtual void FadeToTitle() = 0;
    virtual void FadeToCredits() = 0;
    virtual void EnterGameOver() = 0;

    // The status line (a message for a moment, or one kept until the next)
    // and the player's terminal.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowKept(const std::string& text) = 0;
    virtual void Log(const std::string& line) = 0;

    // The running level's whole state, as a player who comes back receives
    // it; `ageMs` is how long ago the other machine took it.
    virtual Bytes SaveLevelState() const = 0;
    virtual LevelStateTaken RestoreLevelState(const Bytes& bytes, std::int32_t ageMs) = 0;

    // The lobby's input: keys as the input device reports them, and whether
    // the frame's own input routine saw `key` down as a bound command.
    virtual bool KeyDown(Key key) = 0;
    virtual bool SeenByPoll(Key key) const = 0;
    virtual std::string TakeText() = 0;
    virtual std::optional<PortCursor> Cursor() = 0;

    // The lobby's drawing over the whole frame, in fractions of the 4:3
    // interface area centred in it (as the shell's overlay drawing).
    virtual void ClearFrame(int colour) = 0;
    virtual void DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y,
                           float x) = 0;
    virtual void DrawText(std::string_view text, bool big, float y, float x) = 0;
    virtual float OverlayScale() const = 0;
    virtual int OverlayExtraColumns(float columnWidth) const = 0;
};

}  // namespace zq
