// Clips: a clip's music, its video and its in-engine cinematic of up to two
// timed shots.
#include <algorithm>
#include <cmath>

#include "render/overlay.h"
#include "render/view_shape.h"
#include "rules/mechanisms.h"
#include "rules/rules_math.h"
#include "shell/game.h"
#include "shell/sound_mixer.h"
#include "shell/video.h"

namespace zq {

namespace {

bool ValidClip(std::int32_t index) { return index >= 0 && index < kClipCount; }

void PlayFrameSample(Game& game, const ClipFrame& frame) {
    if (frame.sample != kNoSound) game.audio.PlaySound(frame.sample, false);
}

// A clip's video starts right before its music, and only where that music
// would start: a CD track needs a track number, wave music its file.  Modules
// and MIDI always start (a missing file is only silent).
bool MusicStartsVideo(const Game& game, const std::string& music) {
    switch (MusicKindOf(music)) {
        case MusicKind::CdAudio: return CdTrackText(music).has_value();
        case MusicKind::Wave: return game.data.Find(music).has_value();
        default: return true;
    }
}

// The farthest a cinematic camera goes from the origin, world units: the
// farthest cell a level may name (kMaxCellCoordinate) and then some.
constexpr float kCinematicReach = static_cast<float>(kMaxCellCoordinate) * 2.0f * kCellSize;

// In double: the two ends come from the bank file and may lie the whole
// 32-bit range apart.
float Lerp(std::int32_t a, std::int32_t b, float t) {
    return static_cast<float>(static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * t);
}

// A shot's camera stays within the reach of any level (a bank file may ask
// for more), so the drawing's integer arithmetic never overflows.
float Reach(float v) { return std::clamp(v, -kCinematicReach, kCinematicReach); }

WorldCamera ShotCamera(const ClipFrame& frame, float t) {
    WorldCamera camera;
    camera.x = Reach(Lerp(frame.cameraA[0], frame.cameraB[0], t));
    camera.y = Reach(Lerp(frame.cameraA[1], frame.cameraB[1], t));
    camera.z = Reach(Lerp(frame.cameraA[2], frame.cameraB[2], t));
    camera.yaw = TruncToInt(Lerp(frame.cameraA[3], frame.cameraB[3], t));
    camera.pitch = TruncToInt(Lerp(frame.cameraA[4], frame.cameraB[4], t));
    camera.roll = TruncToInt(Lerp(frame.cameraA[5], frame.cameraB[5], t));
    return camera;
}

}  // namespace

void StopMusic(Game& game) {
    game.audio.StopMusic();
    game.clips.currentClip = -1;
    game.shell.cinematicPlaying = false;
}

void StartClip(Game& game, std::int32_t index) {
    if (!ValidClip(index)) return;  // a clip number outside the table starts nothing
    const ClipDef& clip = game.world->clips[static_cast<std::size_t>(index)];
    if (!clip.music.empty()) StopMusic(game);
    if (clip.hasFrames) {
        game.shell.cinematicPlaying = true;
        game.clips.frame = 0;
        game.clips.frameStart = game.shell.time.now;
        game.clips.currentClip = index;
        game.rules.currentClip = index;
        PlayFrameSample(game, clip.frames[0]);
    }
    game.clips.nextClip = clip.nextClip;
    if (clip.music.empty() && clip.video.empty()) return;
    game.clips.currentClip = index;
    game.rules.currentClip = index;
    if (!clip.music.empty()) {
        if (!clip.video.empty() && MusicStartsVideo(game, clip.music)) PlayVideo(game, clip.video);
        game.audio.PlayMusic(clip.music, clip.musicLoop);
        game.audio.SetMusicVolume(MusicVolume(game.settings));
    }
    ResetFrameClock(game.shell);
}

bool CinematicStep(Game& game) {
    ClipState& state = game.clips;
    state.shownShot = -1;
    if (!ValidClip(state.currentClip) || state.frame < 0 || state.frame > 1) {
        game.shell.cinematicPlaying = false;
        return false;
    }
    const ClipDef& clip = game.world->clips[static_cast<std::size_t>(state.currentClip)];
    const ClipFrame& frame = clip.frames[static_cast<std::size_t>(state.frame)];
    const std::int32_t now = game.shell.time.now;
    const std::int32_t elapsed = now - state.frameStart;
    // This frame is still drawn from the shot it started with.
    state.shownClip = state.currentClip;
    state.shownShot = state.frame;
    state.shownProgress =
        frame.duration > 0 ? std::clamp(static_cast<float>(elapsed) / static_cast<float>(frame.duration), 0.0f, 1.0f) : 0.0f;

    if (elapsed > frame.duration) {
        int next = state.frame + 1;
        while (next < 2 && clip.frames[static_cast<std::size_t>(next)].duration < 1) ++next;
        if (next < 2) {
            state.frame = next;
            state.frameStart = now;
            PlayFrameSample(game, clip.frames[static_cast<std::size_t>(next)]);
        } else {
            game.shell.cinematicPlaying = false;
        }
    }
    const WorldCamera camera = ShotCamera(frame, state.shownProgress);
    // The world's machinery goes on under the shot, heard from its camera.
    game.soundListener = ListenerAt(camera);
    MechanismsStep(*game.world, game.actors, game.rules);
    PulseLoopSounds(*game.world, camera.x, camera.y, camera.z, game.rules);
    return true;
}

void CinematicDraw(Game& game) {
    const ClipState& state = game.clips;
    if (!ValidClip(state.shownClip) || state.shownShot < 0 || state.shownShot > 1) return;
    const ClipDef& clip = game.world->clips[static_cast<std::size_t>(state.shownClip)];
    const ClipFrame& frame = clip.frames[static_cast<std::size_t>(state.shownShot)];
    const float t = state.shownProgress;

    WorldDrawParams params;
    params.camera = ShotCamera(frame, t);
    const float percent = Lerp(frame.ambientPercentA, frame.ambientPercentB, t);
    params.lampRadius = static_cast<float>(CinematicLampRadius(percent));
    params.texturesOn = game.bank->textured;
    params.clearColour = game.overlay.FogClearColour();
    DrawWorld(*game.world, game.renderer, game.drawState, params, game.drawHooks);

    MeshRef& blendMesh = game.clips.blendMesh;
    for (const ClipMesh& m : frame.meshes) {
        if (m.indexA < 0 || m.indexA > 1) continue;
        const MeshRef& from = clip.objects[static_cast<std::size_t>(m.indexA)];
        const MeshRef& to = (m.indexB >= 0 && m.indexB <= 1) ? clip.objects[static_cast<std::size_t>(m.indexB)] : from;
        if (!from) continue;
        BlendMeshes(from, to ? to : from, blendMesh, t);
        if (!blendMesh) continue;
        std::array<float, 6> place{};
        for (std::size_t i = 0; i < 6; ++i) place[i] = Lerp(m.placeA[i], m.placeB[i], t);
        game.renderer.AddMesh(*blendMesh, TruncToInt(Reach(place[0])), TruncToInt(Reach(place[1])),
                              TruncToInt(Reach(place[2])), -1, 0,
                              0, TruncToInt(place[5]), TruncToInt(place[4]), TruncToInt(16384.0 - place[3]));
    }
    game.renderer.EndFrame();

    if (clip.cinemascope && game.bank->quadMesh) {
        // The bars are made for a 4:3 view; a wider frame sees further to the
        // sides, so each bar gets a copy on either side to reach its edges.
        const int copies = IsWideFrame(game.renderSize.width, game.renderSize.height) ? 1 : 0;
        game.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
        game.renderer.AddLight(0, 0, 0, 10000);
        for (int c = -copies; c <= copies; ++c) {
            game.renderer.AddMesh(*game.bank->quadMesh, -300 + 1000 * c, 145, 200, -1, 0, 0, 0, 0, 0);
            game.renderer.AddMesh(*game.bank->quadMesh, -300 + 1000 * c, -245, 200, -1, 0, 0, 0, 0, 0);
        }
        game.renderer.EndFrame();
    }

    for (const auto& [line, y] : CinematicTextLines(frame.text)) DrawOverlayText(game, line, true, y, 0);
}

void CinematicFrame(Game& game) {
    if (CinematicStep(game) && game.config.drawFrames) CinematicDraw(game);
}

int CinematicLampRadius(float percent) { return RoundToInt(percent * 6144.0f) / 100; }

std::vector<std::pair<std::string_view, float>> CinematicTextLines(std::string_view text) {
    std::vector<std::pair<std::string_view, float>> lines;
    while (true) {
        std::size_t bar = text.find('|');
        lines.emplace_back(text.substr(0, bar), 0.0f);
        if (bar == std::string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    float y = 0.825f - static_cast<float>(lines.size() - 1) * 0.06f;
    for (auto& line : lines) {
        line.second = y;
        y += 0.06f;
    }
    return lines;
}

}  // namespace zq
