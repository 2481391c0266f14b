#include "common/game_state.h"

#include <algorithm>

#include "core/text.h"
#include "net/net_play.h"
#include "shell/game.h"
#include "shell/game_over.h"

namespace zq {

nlohmann::json GameStateJson(const Game& game, const NetPlay* net, long long frames) {
    const Actor& hero = game.actors.Local();
    const World& world = *game.world;
    nlohmann::json state;
    state["screen"] = game.shell.screen;
    state["screenText"] = ScreenCaption(game);
    state["levelIndex"] = hero.levelIndex;
    state["levelCount"] = game.shell.levelCount;
    state["lives"] = hero.lives;
    state["dead"] = hero.dead;
    state["hero"] = {{"x", hero.x},           {"y", hero.y},               {"z", hero.z},
                     {"heading", hero.heading}, {"onGround", hero.onGround}, {"onLadder", hero.onLadder},
                     {"fallSpeed", hero.fallSpeed}};
    state["ingots"] = world.objectDefs[kIngotType].cellCount;
    state["timerRunning"] = world.timerRunning != 0;
    state["timerLeft"] = world.timerLeft;
    nlohmann::json sentries = nlohmann::json::array();
    for (int i = 0; i < std::clamp(world.sentryCount, 0, kMaxSentries); ++i) {
        const SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        sentries.push_back({{"x", s.x}, {"y", s.y}, {"z", s.z}, {"mode", s.mode}});
    }
    state["sentries"] = sentries;
    state["statusText"] = game.shell.status.shown ? Latin1ToUtf8(game.shell.status.text) : std::string();
    state["fadeActive"] = game.shell.fade.active;
    state["videoPlaying"] = game.shell.clipPlaying;
    state["clip"] = game.clips.currentClip;
    state["frames"] = frames;
    state["localPlayer"] = game.actors.localPlayer;
    state["lastPlayer"] = game.actors.lastPlayer;
    nlohmann::json players = nlohmann::json::array();
    for (int i = 0; i <= game.actors.Last(); ++i) {
        const Actor& a = game.actors.actor[static_cast<std::size_t>(i)];
        nlohmann::json p = {{"slot", i}, {"x", a.x}, {"y", a.y}, {"z", a.z}, {"levelIndex", a.levelIndex}, {"lives", a.lives}};
        if (net && net->gone[static_cast<std::size_t>(i)]) p["gone"] = true;
        players.push_back(p);
    }
    state["players"] = players;
    if (net && game.shell.networkLobby)
        state["lobby"] = {{"state", net->lobbyState}, {"hint", LobbyHint(game, *net)}, {"list", net->panel.list}};
    return state;
}

}  // namespace zq
