// The game-over screen: "GAME OVER" in large letters over a darkened mosaic
// while a short tune plays, then back to the title.  A single-player game
// comes here when the last life is lost; network play calls EnterGameOver
// when its game is over for everybody.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

struct Game;

inline constexpr std::int32_t kGameOverShowMs = 5000;   // then the title, by itself
inline constexpr std::int32_t kGameOverSkipMs = 1000;   // a button before this does not skip
inline constexpr const char* kGameOverText = "GAME OVER";
inline constexpr const char* kGameOverMusic = "MUSIC\\GAMEOVER.MOD";

// Leaves whatever runs (the play screen after its fade-out, a network game)
// for the game-over screen: clears the status line, fades in, starts the tune.
void EnterGameOver(Game& game);
// The frame of the game-over screen.
void GameOverFrame(Game& game);
// The large text of the current screen ("GAME OVER" on the game-over screen,
// empty elsewhere), for state dumps and tests.
std::string ScreenCaption(const Game& game);

}  // namespace zq
