// The play screen: one frame of the game rules in their fixed order, the
// camera, the world and the heroes drawn, the in-game menu and the heads-up
// texts.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "render/overlay.h"
#include "rules/behaviours.h"
#include "rules/hero.h"
#include "rules/mechanisms.h"
#include "rules/move_box.h"
#include "rules/rules_math.h"
#include "rules/sentries.h"
#include "shell/camera_view.h"
#include "shell/game.h"
#include "shell/game_over.h"
#include "shell/name_tags.h"
#include "world/level_file.h"

namespace zq {

namespace {

constexpr float kCameraBox = 280;
// How far behind the player he watches a finisher's camera follows.
constexpr float kWatchDistance = 1024;

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", std::clamp(value, 0, 99));
    return text;
}

std::string ThreeDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", std::clamp(value, 0, 999));
    return text;
}

bool MenuGate(const Game& game) { return game.shell.time.now - game.options.optionKeyTime < 201; }

void OpenMenu(Game& game) {
    game.options.optionKeyTime = game.shell.time.now;
    game.play.menuOpen = true;
    game.play.menuEntry = 0;
    game.audio.PlaySound(kClickSoundSlot, false);
}

void RunMenuEntry(Game& game) {
    Actor& local = game.actors.Local();
    PlayState& play = game.play;
    switch (play.menuEntry) {
        case 0:
            play.menuOpen = false;
            StartLevel(game, local.levelIndex);
            ShowStatusMessage(game.shell, "LEVEL RESTARTED");
            break;
        case 1: {
            const SettingsFile none;
            auto saved = LoadGame(game.settingsStore ? game.settingsStore->File() : none, game.shell.levelCount);
            if (!saved) break;  // nothing saved yet: the load is abandoned
            play.menuOpen = false;
            local.levelIndex = saved->level;
            local.lives = saved->lives;
            StartLevel(game, local.levelIndex);
            ShowStatusMessage(game.shell, "GAME LOADED");
            break;
        }
        case 2: {
            play.menuOpen = false;
            // "GAME SAVED" only once the file is on disk; otherwise the line says why not.
            WriteResult written;
            written.code = "NO SETTINGS FILE";  // a headless run without --settings keeps nothing
            if (game.settingsStore && game.settingsStore->Kept()) {
                SaveGame(game.settingsStore->File(), local.levelIndex, local.lives);
                written = game.settingsStore->Write();
                if (!written) game.host.Log(written.reason);
            }
            ShowStatusMessage(game.shell, SaveGameStatus(written));
            break;
        }
        case 3: {
            local.cameraDistance += 512;
            if (local.cameraDistance > 1536) local.cameraDistance = 0;
            static const char* const kViews[] = {"1ST PERSON VIEW", "CAMERA VIEW 1", "CAMERA VIEW 2", "CAMERA VIEW 3"};
            int view = std::clamp(static_cast<int>(std::lround(local.cameraDistance / 512)), 0, 3);
            ShowStatusMessage(game.shell, kViews[view]);
            break;
        }
        case 4:
            game.shell.afterFade = kAfterFadeTitle;
            GameStartFade(game, +1);
            break;
        default:
            play.menuOpen = false;
            break;
    }
}

void MenuControl(Game& game) {
    if (MenuGate(game)) return;
    const Commands& c = game.actors.Local().commands;
    PlayState& play = game.play;
    const std::int32_t now = game.shell.time.now;
    // Button, forward, back and menu each run in turn when held together;
    // Enter chooses as the buttons do.
    if (c.jump || c.look || c.action || game.input.KeyDown(Key::Enter)) {
        game.options.optionKeyTime = now;
        game.audio.PlaySound(kClickSoundSlot, false);
        RunMenuEntry(game);
    }
    if (c.forward) {
        game.options.optionKeyTime = now;
        play.menuEntry = play.menuEntry - 1 < 0 ? kMenuEntryCount - 1 : play.menuEntry - 1;
        game.audio.PlaySound(kChoiceSoundSlot, false);
    }
    if (c.back) {
        game.options.optionKeyTime = now;
        play.menuEntry = play.menuEntry + 1 >= kMenuEntryCount ? 0 : play.menuEntry + 1;
        game.audio.PlaySound(kChoiceSoundSlot, false);
    }
    if (c.menu) {
        game.options.optionKeyTime = now;
        play.menuOpen = false;
        game.audio.PlaySound(kClickSoundSlot, false);
    }
}

bool SkipLevelKeys(Game& game) {
    InputDevice& in = game.input;
    return in.KeyDown(Key::Ctrl) && in.KeyDown(Key::Alt) && in.KeyDown(Key::Insert);
}

bool InExit(const World& world, const Actor& a) {
    return CellOf(a.x) == world.exitX && CellOf(a.y) == world.exitY && CellOf(a.z) == world.exitZ;
}

// In a network game a hero who reached the exit while others still play is
// out of play until the level ends: he stays where he is, nothing kills him,
// no sentry sees him, and his screen follows a player still playing.
bool WaitingInExit(const Game& game) {
    const Actor& local = game.actors.Local();
    return game.actors.lastPlayer > 0 && local.lives >= 0 && game.net.othersAtExit && InExit(*game.world, local) &&
           !game.net.othersAtExit();
}

// The player a waiting finisher watches: the first one still playing this
// level; -1 when there is none.
int WatchedPlayer(const Game& game) {
    const Actors& actors = game.actors;
    const Actor& local = actors.Local();
    for (int i = 0; i <= actors.Last(); ++i) {
        const Actor& a = actors.actor[static_cast<std::size_t>(i)];
        if (i == actors.localPlayer || a.lives < 0 || a.levelIndex != local.levelIndex) continue;
        if ((game.net.playerGone && game.net.playerGone(i)) || InExit(*game.world, a)) continue;
        return i;
    }
    return -1;
}

// The local hero's step while he can act; returns false when the frame ends
// here, which only the game-over of a single-player game does.  A restart
// after a death and the level skip carry on with the new level's frame.
bool LocalHeroStep(Game& game) {
    Actor& local = game.actors.Local();
    if (local.stunMs >= 1) {
        local.stunMs = std::max(0, local.stunMs - game.shell.time.frameDelta);
        return true;
    }
    PlayState& play = game.play;
    if (!play.menuOpen && game.actors.localPlayer == 0 && SkipLevelKeys(game) &&
        game.shell.time.now - game.options.optionKeyTime > 200) {
        game.options.optionKeyTime = game.shell.time.now;
        NextLevel(game);
    }
    HeroKeys keys;
    keys.pitchUp = game.input.KeyDown(Key::PageUp);
    keys.pitchDown = game.input.KeyDown(Key::PageDown);
    keys.lookBehind = game.input.KeyDown(Key::Kp0) || game.input.KeyDown(Key::Insert) || game.input.KeyDown(Key::Delete);
    keys.zoomIn = game.input.KeyDown(Key::KpPlus);
    keys.zoomOut = game.input.KeyDown(Key::KpMinus);
    keys.mouseMode = game.settings.mouseMode;
    keys.mouseDX = static_cast<float>(game.mouse.motion.dx);
    keys.mouseDY = static_cast<float>(game.mouse.motion.dy);
    game.rules.menuOpen = play.menuOpen;
    if (WaitingInExit(game) && !play.menuOpen) {
        // Only the menu still answers (to leave the game); the hero stands.
        local.commands = Commands{.menu = local.commands.menu};
        local.velX = local.velZ = 0;
    }
    bool wantsMenu = HeroControl(*game.world, game.actors, local, keys, game.rules);
    if (play.menuOpen) {
        MenuControl(game);
    } else if (wantsMenu && !MenuGate(game)) {
        // The 200 ms gate also holds the menu shut right after Escape closed it.
        OpenMenu(game);
    }
    game.rules.menuOpen = play.menuOpen;

    if (local.dead) {
        local.dead = false;
        local.lives -= 1;
        if (game.actors.lastPlayer == 0 && local.lives < 0) return false;  // the game-over fade runs
        local.cameraDistance = local.savedCameraDistance;
        const std::int32_t lives = local.lives;
        if (game.actors.lastPlayer > 0) {
            // The others play on in this level: only the hero goes back to the start.
            PutOnStartPoint(local, *game.world);
            if (lives >= 0) ShowStatusMessage(game.shell, std::to_string(lives) + " LIVES LEFT");
            return true;
        }
        StartLevel(game, local.levelIndex);
        if (lives >= 0) ShowStatusMessage(game.shell, std::to_string(lives) + " LIVES LEFT");
    }
    return true;
}

void PlaceCamera(Game& game, Actor& a) {
    const FrameTime& time = game.shell.time;
    if (a.cameraDistance <= 0) {
        a.cameraX = a.x;
        a.cameraY = a.y + 50;
        a.cameraZ = a.z;
        a.cameraHeading = a.heading;
        a.cameraPitch = a.pitch;
        a.cameraRoll = a.roll;
        return;
    }
    const float d = a.cameraDistance;
    a.cameraRoll = 0;
    double dx = a.x - a.cameraX, dy = a.y - a.cameraY, dz = a.z - a.cameraZ;
    double horizontal = std::sqrt(dx * dx + dz * dz);
    // Heading and pitch look from the camera at the hero: above him, the pitch is negative (down).
    a.cameraHeading = static_cast<float>(DirectionToHeading(dx, dz));
    a.cameraPitch = static_cast<float>(DirectionToPitch(dy, horizontal));
    if (a.cameraPitch > 16384) a.cameraPitch -= 32768;

    // Follow: move towards the point behind the hero.
    double dist = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double h = TruncToInt(a.heading), p = TruncToInt(a.pitch);
    double wantX = a.x + AngleCos(p) * AngleCos(24576 - h) * d;
    double wantY = a.y + dist / 2 - AngleSin(p) * d;
    double wantZ = a.z + AngleCos(p) * AngleSin(24576 - h) * d;
    World& world = *game.world;
    MoveBox(world, a.cameraX, a.cameraY, a.cameraZ, a.stepHeight, static_cast<std::int32_t>(kCameraBox),
            static_cast<std::int32_t>(kCameraBox), FrameScale(time, static_cast<float>((wantZ - a.cameraZ) * 0.1)),
            FrameScale(time, static_cast<float>((wantY - a.cameraY) * 0.2)),
            FrameScale(time, static_cast<float>((wantX - a.cameraX) * 0.1)));
    if (dist > d) {
        double vx = AngleCos(a.cameraPitch) * AngleSin(a.cameraHeading);
        double vy = AngleSin(a.cameraPitch);
        double vz = AngleCos(a.cameraPitch) * AngleCos(a.cameraHeading);
        float step = FrameScale(time, static_cast<float>((dist - d) / 3));
        MoveBox(world, a.cameraX, a.cameraY, a.cameraZ, a.stepHeight, static_cast<std::int32_t>(kCameraBox),
                static_cast<std::int32_t>(kCameraBox), static_cast<float>(vz * step), static_cast<float>(vy * step),
                static_cast<float>(vx * step));
        if (dist - d > 768) {
            a.cameraX += static_cast<float>(vx * 512);
            a.cameraY += static_cast<float>(vy * 512);
            a.cameraZ += static_cast<float>(vz * 512);
        }
    }
}

WorldCamera EyeCamera(const Actor& a) {
    WorldCamera eye;
    const int b = TruncToInt(a.lookBack);
    const double cb = AngleCos(b), sb = AngleSin(b);
    const double ox = a.cameraX - a.x, oz = a.cameraZ - a.z;
    eye.x = static_cast<float>(RoundToInt(a.x + ox * cb - oz * sb));
    eye.y = a.cameraY;
    eye.z = static_cast<float>(RoundToInt(a.z + ox * sb + oz * cb));
    eye.yaw = TruncToInt(a.cameraHeading) + b;
    eye.pitch = TruncToInt(a.cameraPitch);
    eye.roll = TruncToInt(a.cameraRoll);
    return eye;
}

// The level's name and author slide in, wait, then slide out.  The step moves
// them; the drawing shows where this frame's step found them.
void StepIntro(Game& game) {
    PlayState& play = game.play;
    play.introDrawn = play.introShown;
    play.introDrawnOffset = play.introOffset;
    if (!play.introShown) return;
    const FrameTime& time = game.shell.time;
    const std::int32_t t = time.now - play.introStart;
    if (t < 3000) play.introOffset -= FrameScale(time, play.introOffset * 0.2f);
    if (t > 5000) play.introOffset += FrameScale(time, (play.introOffset + 0.001f) * 0.2f);
    if (t > 10000) play.introShown = false;
}

void DrawIntro(Game& game) {
    const PlayState& play = game.play;
    if (!play.introDrawn) return;
    const World& world = *game.world;
    if (!world.description.empty())
        DrawOverlayText(game, world.description, true, 0.5f - play.introDrawnOffset,
                        (1 - TextWidth(world.description, true)) / 2);
    if (!world.author.empty()) {
        std::string author = "AUTHOR:" + world.author;
        DrawOverlayText(game, author, false, play.introDrawnOffset + 0.56f, (1 - TextWidth(author, false)) / 2);
    }
}

// The spinning marker over the exit cell, so the players find where to meet.
void DrawExitMarker(Game& game, const WorldCamera& camera) {
    const World& world = *game.world;
    if (!game.bank->exitMesh) return;
    if (std::abs(world.exitX - CellOf(camera.x)) >= 12 || std::abs(world.exitY - CellOf(camera.y)) >= 12 ||
        std::abs(world.exitZ - CellOf(camera.z)) >= 12)
        return;
    // A player waiting in the exit would see nothing but the marker.
    if (world.exitX == CellOf(camera.x) && world.exitY == CellOf(camera.y) && world.exitZ == CellOf(camera.z)) return;
    game.renderer.AddMesh(*game.bank->exitMesh, kCellSize * world.exitX + kCellSize / 2,
                          kCellSize * world.exitY + kCellSize / 2, kCellSize * world.exitZ + kCellSize / 2, -1, 0, 0, 0,
                          0, game.play.exitSpin);
}

// F11: every player's name and lives, one line each.
void DrawNetworkInfo(Game& game) {
    std::string text;
    for (int i = 0; i <= game.actors.Last(); ++i) {
        const Actor& a = game.actors.actor[static_cast<std::size_t>(i)];
        if (i > 0) text += '\r';
        text += game.net.playerName ? game.net.playerName(i) : std::string();
        text += ": ";
        const bool gone = game.net.playerGone && game.net.playerGone(i);
        text += gone || a.lives < 0 ? std::string("GAME OVER") : std::to_string(a.lives) + " LIVES";
    }
    DrawOverlayText(game, text, false, 0.7f, 0.01f, Anchor::Left);
}

// The rules that follow the heroes' moves: the action target, the camera, the
// clip markers, the mechanisms and behaviours (heard from this frame's eye),
// the poses, the intro, the killing test and the countdown's tick.
void WorldStep(Game& game) {
    World& world = *game.world;
    Actors& actors = game.actors;
    Actor& local = actors.Local();
    PlayState& play = game.play;
    const FrameTime& time = game.shell.time;

    UpdateActionTarget(world, local);
    PlaceCamera(game, local);  // orientation and follow in one place; clip markers see the hero, not the camera
    CheckClipMarkers(world, local, game.rules);

    const bool waiting = WaitingInExit(game);
    const int watched = waiting ? WatchedPlayer(game) : -1;
    // A finisher sees the level through a camera that follows the player he
    // watches, from just behind him (it starts there on the first frame).
    Actor& seen = watched >= 0 ? actors.actor[static_cast<std::size_t>(watched)] : local;
    if (watched >= 0) {
        if (play.watching != watched) {
            seen.cameraX = seen.x;
            seen.cameraY = seen.y + 50;
            seen.cameraZ = seen.z;
        }
        seen.cameraDistance = kWatchDistance;
        PlaceCamera(game, seen);
    }
    play.watching = watched;
    WorldCamera eye = EyeCamera(seen);
    EyePlacement placement;
    if (seen.cameraDistance > 0) {
        placement = ClearEye(world, eye, seen.x, seen.y, seen.z, static_cast<float>(seen.width) / 2,
                             static_cast<float>(seen.height) / 2);
        eye = placement.eye;
        // Squeezed into his box (a wall behind him, a ceiling over him): the
        // view from his eyes shows where he goes, not the wall at his back.
        if (placement.heroHidden) {
            const int b = TruncToInt(seen.lookBack);
            eye.x = static_cast<float>(RoundToInt(seen.x));
            eye.y = seen.y + 50;
            eye.z = static_cast<float>(RoundToInt(seen.z));
            eye.yaw = TruncToInt(seen.heading) + b;
            eye.pitch = TruncToInt(seen.pitch);
            eye.roll = TruncToInt(seen.roll);
        }
    }
    play.eye = eye;
    play.heroHidden = placement.heroHidden;
    play.heroTransparency = placement.heroTransparency;
    // The sounds of the mechanisms are heard from this frame's eye.
    game.soundListener = ListenerAt(eye);
    MechanismsStep(world, actors, game.rules);
    PulseLoopSounds(world, eye.x, eye.y, eye.z, game.rules);

    play.exitSpin = RoundToInt(play.exitSpin + FrameScale(time, 200)) % 32768;
    for (int i = 0; i <= actors.Last(); ++i) BlendActorPoses(actors.actor[static_cast<std::size_t>(i)], time, game.rules.blendMeshes);
    StepIntro(game);
    if (!local.dead && !waiting && HeroKilledTest(world, local)) KillHero(local, game.rules);

    // The countdown ticks audibly through its last eleven seconds.
    if (world.timerRunning && world.timerLeft <= 11000 && world.timerLeft / 1000 != world.timerLastSecond) {
        world.timerLastSecond = world.timerLeft / 1000;
        game.audio.PlaySound(kTimerSoundSlot, false);
    }
}

// The world around this frame's eye, the heroes, the sentries, the radar and
// the menu.  Reads the game; the step has done everything that changes it.
void DrawPlayView(Game& game) {
    const World& world = *game.world;
    const Actors& actors = game.actors;
    const Actor& local = actors.Local();
    Renderer& renderer = game.renderer;
    const PlayState& play = game.play;

    WorldDrawParams params;
    params.camera = play.eye;
    params.lampRadius = local.lightRange;
    params.digCell = {local.targetX, local.targetY, local.targetZ};
    params.texturesOn = game.bank->textured;
    params.clearColour = game.overlay.FogClearColour();
    DrawWorld(world, renderer, game.drawState, params, game.drawHooks);

    if (actors.lastPlayer > 0) DrawExitMarker(game, params.camera);

    const int camCellX = CellOf(params.camera.x), camCellY = CellOf(params.camera.y), camCellZ = CellOf(params.camera.z);
    const int ambient = static_cast<int>(GetLight(world, camCellX, camCellY, camCellZ)) - 78;
    for (int i = 0; i <= actors.Last(); ++i) {
        const Actor& a = actors.actor[static_cast<std::size_t>(i)];
        if (a.levelIndex != local.levelIndex) continue;
        const int heading = a.onLadder ? a.ladderHeading : TruncToInt(a.heading);
        const double dx = a.x - params.camera.x, dy = a.y - params.camera.y, dz = a.z - params.camera.z;
        const bool isLocal = i == actors.localPlayer;
        const bool firstPerson = isLocal && a.cameraDistance <= 0.3f * static_cast<float>(a.width);
        const bool hidden = isLocal && play.heroHidden;
        if (a.mesh && !firstPerson && !hidden && std::sqrt(dx * dx + dy * dy + dz * dz) < 6144)
            renderer.AddMesh(*a.mesh, TruncToInt(a.x), TruncToInt(a.y), TruncToInt(a.z), -1,
                             isLocal ? play.heroTransparency : 0, ambient, 0, 0, 16384 - heading);
        if (a.shadowMesh) AddShadow(renderer, world, *a.shadowMesh, a.x, a.y, a.z, -heading - 8192);
    }
    if (game.bank->sentryMesh) {
        for (int i = 0; i < std::clamp(world.sentryCount, 0, kMaxSentries); ++i) {
            const SentryState& s = world.sentries[static_cast<std::size_t>(i)];
            if (std::abs(s.cellX - camCellX) >= 12 || std::abs(s.cellY - camCellY) >= 12 || std::abs(s.cellZ - camCellZ) >= 12)
                continue;
            renderer.AddMesh(*game.bank->sentryMesh, TruncToInt(s.x), TruncToInt(s.y), TruncToInt(s.z), -1, 0, 0, 0, 0,
                             TruncToInt(s.heading) + 16384);
            if (local.shadowMesh)
                AddShadow(renderer, world, *local.shadowMesh, s.x, s.y, s.z, -RoundToInt(s.heading) - 8192);
        }
    }
    renderer.EndFrame();
    DrawPlayerNameTags(game);

    DrawIntro(game);
    if (world.sentryCount > 0 || actors.lastPlayer > 0) {
        RadarInput radar;
        radar.heroX = local.x;
        radar.heroZ = local.z;
        radar.heading = TruncToInt(local.heading);
        radar.sentries = std::span<const SentryState>(world.sentries.data(),
                                                      static_cast<std::size_t>(std::clamp(world.sentryCount, 0, kMaxSentries)));
        radar.alerted = [](const SentryState& s) { return s.lost == 0; };
        std::array<std::array<float, 2>, kActorCount> others{};
        std::size_t otherCount = 0;
        for (int i = 0; i <= actors.Last(); ++i) {
            const Actor& a = actors.actor[static_cast<std::size_t>(i)];
            if (i != actors.localPlayer && a.levelIndex == local.levelIndex && a.lives >= 0) others[otherCount++] = {a.x, a.z};
        }
        radar.others = std::span<const std::array<float, 2>>(others.data(), otherCount);
        DrawOverlayRadar(game, radar);
    }
    if (play.menuOpen) {
        DrawOverlayImage(game, 4, true, 30, 0.8f, 0.8f, 0.1f, 0.1f);
        DrawOverlayImage(game, 5, true, 30, 0.0708f, 0.075f, 0.28f + 0.08f * static_cast<float>(play.menuEntry), 0.21f);
        if (actors.lastPlayer == 0) {
            const char* settings = "F2 - SETTINGS";
            DrawOverlayText(game, settings, false, 0.81f, (1 - TextWidth(settings, false)) / 2);
        }
    }
}

void DrawHeadsUp(Game& game) {
    const World& world = *game.world;
    const Actor& local = game.actors.Local();
    if (game.shell.coordsShown) {
        char text[160];
        std::snprintf(text, sizeof text, "COORDINATES:(%d,%d,%d),(%d,%d,%d)", RoundToInt(local.x), RoundToInt(local.y),
                      RoundToInt(local.z), RoundToInt(local.heading), RoundToInt(local.pitch), RoundToInt(local.roll));
        DrawOverlayText(game, text, false, 0.08f, 0.01f, Anchor::Left);
    }
    if (world.timerRunning) {
        const std::int32_t left = world.timerLeft;
        if (left > 20000 || left % 1000 > 500) {
            std::int32_t seconds = std::max(0, left / 1000);
            DrawOverlayText(game, TwoDigits(std::min(seconds / 60, 99)) + ":" + TwoDigits(seconds % 60), false, 0.962f, 0.13f);
        }
        if (left < 10000 && left >= 0) DrawOverlayImage(game, 166 + (left / 1000) % 10, true, 80, 0.56f, 0.3f, 0.3f, 0.4f);
    }
    if (game.actors.lastPlayer > 0 && game.options.networkInfoShown) DrawNetworkInfo(game);
    DrawOverlayText(game, TwoDigits(world.objectDefs[kIngotType].cellCount), false, 0.962f, 0.625f);
    DrawOverlayText(game, TwoDigits(local.lives), false, 0.962f, 0.787f);
    DrawOverlayText(game, ThreeDigits(local.levelIndex + 1) + "/" + ThreeDigits(game.shell.levelCount), false, 0.962f,
                    0.8937f);
}

}  // namespace

bool PlayStep(Game& game) {
    World& world = *game.world;
    Actors& actors = game.actors;
    Actor& local = actors.Local();
    ShellState& shell = game.shell;
    RulesContext& rules = game.rules;
    rules.menuOpen = game.play.menuOpen;

    if (game.net.playSends) game.net.playSends();
    if (actors.localPlayer == 0) SentryThink(world, actors, SentrySounds{game.bank->sentrySeenSound, game.bank->sentryLostSound}, rules);
    if (std::fabs(local.lightTarget - local.lightRange) > 1)
        local.lightRange += FrameScale(shell.time, (local.lightTarget - local.lightRange) * 0.1f);

    if (shell.fade.done) {
        std::int32_t after = shell.afterFade;
        shell.afterFade = kAfterFadeNone;
        if (after == kAfterFadeTitle) {
            GameStartFade(game, -1);
            SetScreen(game, kScreenTitle);
        } else if (after == kAfterFadeNextLevel) {
            NextLevel(game);
        } else if (after == kAfterFadeGameOver) {
            EnterGameOver(game);
        }
        return false;
    }

    if (!LocalHeroStep(game)) return false;
    rules.time = shell.time;  // a restart or a level skip reset the frame clock

    bool drawn = false;
    if (!shell.clipPlaying) {
        if (!game.play.menuOpen) {
            SentryMove(world, rules);
            // The clock stops once the hero is in the exit: the fade to the
            // next level must not kill a hero who has already won.
            if (shell.afterFade != kAfterFadeNextLevel) LevelTimerStep(world, local, rules);
            // A network game has no restart of its own: only a single player is told.
            if (actors.lastPlayer == 0 && !local.dead && local.stunMs < 1 && game.config.watchStuck &&
                StepStuckWatch(game.play.stuck, world, CellOf(local.x), CellOf(local.y), CellOf(local.z),
                               shell.time.frameDelta))
                ShowStatusMessage(shell, kStuckText);
            const bool inExit =
                CellOf(local.x) == world.exitX && CellOf(local.y) == world.exitY && CellOf(local.z) == world.exitZ;
            if (actors.lastPlayer > 0 && game.net.sharedLevel) {
                // Shared: whoever waits in the exit is told so; the host ends
                // the level for everybody, whether or not it still plays.
                if (inExit && local.lives >= 0 && game.net.othersAtExit && !game.net.othersAtExit())
                    ShowStatusMessage(shell, "Waiting for other players to finish");
                if (actors.localPlayer == 0 && !shell.fade.active) {
                    const SharedLevel state = game.net.sharedLevel();
                    if (state == SharedLevel::Won) {
                        shell.afterFade = kAfterFadeNextLevel;
                        GameStartFade(game, +1);
                    } else if (state == SharedLevel::Lost && game.net.everybodyOut) {
                        game.net.everybodyOut();
                        return false;
                    }
                }
            } else if (inExit && !shell.fade.active && actors.localPlayer == 0) {
                shell.afterFade = kAfterFadeNextLevel;
                GameStartFade(game, +1);
            }
            GravityAndLadders(world, local, rules);
            for (int i = 0; i <= actors.Last(); ++i) {
                Actor& a = actors.actor[static_cast<std::size_t>(i)];
                if (a.lives >= 0) ActorPhysics(world, a, rules);
            }
        }
        WorldStep(game);
        drawn = true;
    }
    // The last life of a single-player game is gone (whatever killed the hero):
    // fade out to the game-over screen.  A death during a fade-in waits for it
    // to end, so the game-over fade is never lost.
    if (rules.gameOver && !shell.fade.active) {
        rules.gameOver = false;
        shell.afterFade = kAfterFadeGameOver;
        GameStartFade(game, +1);
    }
    return drawn;
}

void DrawPlayFrame(Game& game) {
    DrawPlayView(game);
    DrawOverlayImage(game, 6, false, 0, 0.055f, 1, 0.945f, 0);
    DrawHeadsUp(game);
}

void PlayFrame(Game& game) {
    if (PlayStep(game) && game.config.drawFrames) DrawPlayFrame(game);
}

}  // namespace zq
