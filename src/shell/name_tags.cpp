#include "shell/name_tags.h"

#include <cmath>

#include "render/overlay.h"
#include "rules/rules_math.h"

namespace zq {

namespace {

// The tag floats this far above the top of the hero's box (world units).
constexpr float kAboveHead = 96;
constexpr float kTextHeight = 8 / 240.0f;

}  // namespace

int PlayerNameTags(const Game& game, std::array<NameTag, kActorCount>& tags) {
    const Actors& actors = game.actors;
    if (actors.lastPlayer < 1 || !game.net.playerName) return 0;
    const Actor& local = actors.Local();
    int count = 0;
    for (int i = 0; i <= actors.Last(); ++i) {
        const Actor& a = actors.actor[static_cast<std::size_t>(i)];
        if (i == actors.localPlayer || a.levelIndex != local.levelIndex || a.lives < 0) continue;
        if (game.net.playerGone && game.net.playerGone(i)) continue;
        const double dx = a.x - local.cameraX, dy = a.y - local.cameraY, dz = a.z - local.cameraZ;
        if (std::sqrt(dx * dx + dy * dy + dz * dz) >= kNameTagReach) continue;
        const std::string name = game.net.playerName(i);
        if (name.empty()) continue;
        float fx = 0, fy = 0;
        const float top = a.y + static_cast<float>(a.height) / 2 + kAboveHead;
        if (!game.renderer.ScreenPoint(TruncToInt(a.x), TruncToInt(top), TruncToInt(a.z), fx, fy)) continue;
        const float width = TextWidth(name, false) * OverlayScale(game);
        NameTag tag{name, fx - width / 2, fy - kTextHeight};
        if (tag.x + width < 0 || tag.x > 1 || tag.y + kTextHeight < 0 || tag.y > 1) continue;
        tags[static_cast<std::size_t>(count++)] = tag;
    }
    return count;
}

void DrawPlayerNameTags(Game& game) {
    std::array<NameTag, kActorCount> tags;
    const int count = PlayerNameTags(game, tags);
    for (int i = 0; i < count; ++i) {
        const NameTag& t = tags[static_cast<std::size_t>(i)];
        DrawOverlayText(game, t.text, false, t.y, t.x, Anchor::Frame);
    }
}

}  // namespace zq
