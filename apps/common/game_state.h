// The game's state as JSON: what --dump-state writes at the end of a run and
// what the browser page's test hook returns, so tests read one shape.
#pragma once

#include <nlohmann/json.hpp>

namespace zq {

struct Game;
struct NetPlay;

// The screen, the level, the local hero, the sentries, the status line and
// every player; `net` adds which players left a network game.
nlohmann::json GameStateJson(const Game& game, const NetPlay* net, long long frames);

}  // namespace zq
