// The other players' names drawn over their heads in a network game, placed
// through the renderer's own projection so both back ends put them alike.
#pragma once

#include <array>
#include <string>

#include "shell/game.h"

namespace zq {

// As far as the heroes themselves are drawn.
inline constexpr float kNameTagReach = 6144;

struct NameTag {
    std::string text;
    float x = 0, y = 0;  // the text's top left, fractions of the view
};

// The tags of the other players in the local player's level who still play,
// within reach and in front of the camera of the frame just drawn.  Returns
// how many of `tags` it filled.
int PlayerNameTags(const Game& game, std::array<NameTag, kActorCount>& tags);

// Draws them in the small font.
void DrawPlayerNameTags(Game& game);

}  // namespace zq
