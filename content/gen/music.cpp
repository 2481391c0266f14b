// Music: four-channel tracker modules ("M.K." .mod files) with synthesised
// instruments and tunes composed from chord progressions by a seeded
// generator.  Channel 1 drums, 2 bass, 3 chord arpeggios, 4 melody.  One tune
// is also rendered to a wave file, as the game's "CD" track.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "content.h"

namespace zq::gen {

namespace {

constexpr int kRows = 64;
constexpr int kChannels = 4;
constexpr float kTau = 6.2831853f;
// Samples play at 8287 Hz for the note C-2; a 32-sample cycle sounds as C.
constexpr float kSampleRate = 8287.0f;
constexpr int kCycle = 32;

// Amiga periods of C-1 .. B-3 (note index 0..35).
constexpr int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                              428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                              214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

struct Sample {
    std::string name;
    std::vector<std::int8_t> data;  // even length
    int volume = 64;
    int loopStart = 0, loopLength = 0;  // bytes; 0 = not looped
};

std::vector<std::int8_t> ToBytes(const std::vector<float>& w) {
    float peak = 0.0001f;
    for (float s : w) peak = std::max(peak, std::abs(s));
    std::vector<std::int8_t> out;
    for (float s : w) out.push_back(static_cast<std::int8_t>(std::lround(std::clamp(s / peak, -1.0f, 1.0f) * 120)));
    if (out.size() % 2) out.push_back(0);
    // The first two bytes are the "silent" part of a one-shot sample.
    if (out.size() >= 2) out[0] = out[1] = 0;
    return out;
}

// A tonal sample of `seconds`, each cycle `kCycle` samples long, with the
// given harmonic shape and decay.
Sample Tonal(const std::string& name, float seconds, float decay, const std::vector<float>& harmonics, int volume, bool loop) {
    std::vector<float> w(static_cast<std::size_t>(seconds * kSampleRate));
    for (std::size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kSampleRate;
        float phase = static_cast<float>(i % kCycle) / kCycle;
        float s = 0;
        for (std::size_t h = 0; h < harmonics.size(); ++h) s += harmonics[h] * std::sin(kTau * phase * static_cast<float>(h + 1));
        w[i] = s * (loop ? 1.0f : std::exp(-t * decay));
    }
    Sample smp{name, ToBytes(w), volume, 0, 0};
    if (loop) {
        smp.loopStart = 0;
        smp.loopLength = static_cast<int>(smp.data.size()) / kCycle * kCycle;
        smp.data.resize(static_cast<std::size_t>(smp.loopLength));
        smp.data[0] = smp.data[1] = 0;
        smp.loopStart = kCycle * 4;
        smp.loopLength -= kCycle * 4;
    }
    return smp;
}

Sample Kick() {
    std::vector<float> w(2400);
    float phase = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kSampleRate;
        phase += (45 + 140 * std::exp(-t * 30)) / kSampleRate;
        w[i] = std::sin(kTau * phase) * std::exp(-t * 9);
    }
    return {"kick", ToBytes(w), 64, 0, 0};
}

Sample Snare() {
    std::vector<float> w(2600);
    float y = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kSampleRate;
        float noise = Hash01(static_cast<std::uint32_t>(i), 77) * 2 - 1;
        y += 0.6f * (noise - y);
        w[i] = (y * 0.8f + 0.5f * std::sin(kTau * 190 * t) * std::exp(-t * 30)) * std::exp(-t * 14);
    }
    return {"snare", ToBytes(w), 52, 0, 0};
}

Sample Hat() {
    std::vector<float> w(700);
    float previous = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kSampleRate;
        float noise = Hash01(static_cast<std::uint32_t>(i), 91) * 2 - 1;
        w[i] = (noise - previous) * std::exp(-t * 45);  // a high-pass: the difference of successive values
        previous = noise;
    }
    return {"hat", ToBytes(w), 30, 0, 0};
}

enum Instrument { kInsKick = 1, kInsSnare, kInsHat, kInsBass, kInsLead, kInsPad, kInsBell, kInsPluck };

std::vector<Sample> Instruments() {
    return {
        Kick(),
        Snare(),
        Hat(),
        Tonal("bass", 0.9f, 2.5f, {1.0f, 0.5f, 0.33f, 0.2f, 0.1f}, 60, false),
        Tonal("lead", 0.7f, 3.0f, {1.0f, 0.0f, 0.33f, 0.0f, 0.2f, 0.0f, 0.14f}, 44, false),
        Tonal("pad", 0.5f, 0, {1.0f, 0.4f, 0.25f, 0.15f, 0.1f, 0.05f}, 22, true),
        Tonal("bell", 1.6f, 1.8f, {1.0f, 0.0f, 0.4f, 0.0f, 0.0f, 0.25f, 0.0f, 0.1f}, 46, false),
        Tonal("pluck", 0.4f, 7.0f, {1.0f, 0.6f, 0.4f, 0.3f, 0.2f, 0.1f}, 48, false),
    };
}

struct Cell {
    int note = -1;  // 0..35
    int sample = 0;
    int effect = 0, param = 0;
};
using Pattern = std::array<std::array<Cell, kChannels>, kRows>;

struct Song {
    std::string file, title;
    std::uint32_t seed;
    int speed, bpm;
    std::vector<std::array<int, 4>> progressions;  // chord roots (0..11) per quarter pattern, one list per pattern
    std::vector<bool> minorChords;                  // per root value: minor third?
    bool minorKey;
    int drumStyle;  // 0 calm, 1 driving, 2 tense, 3 gentle
    int melodyInstrument;
    std::vector<int> order;
};

// Scale degrees of major and natural minor keys from C or A.
bool InScale(int semitone, bool minorKey) {
    static const bool major[12] = {true, false, true, false, true, true, false, true, false, true, false, true};
    int s = ((semitone % 12) + 12) % 12;
    return major[minorKey ? (s + 3) % 12 : s];
}

Pattern Compose(const Song& song, int index, const std::array<int, 4>& chords, Rng& rng) {
    Pattern p{};
    // Drums.
    for (int row = 0; row < kRows; ++row) {
        Cell& c = p[row][0];
        int beat = row % 16;
        switch (song.drumStyle) {
            case 0:  // calm: kick on 1, hats on off-beats
                if (beat == 0) c = {12, kInsKick};
                else if (beat % 4 == 2) c = {24, kInsHat};
                break;
            case 1:  // driving: kick 1 and 3, snare 2 and 4, hats between
                if (beat == 0 || beat == 8 || beat == 10) c = {12, kInsKick};
                else if (beat == 4 || beat == 12) c = {14, kInsSnare};
                else if (beat % 2 == 0) c = {26, kInsHat};
                break;
            case 2:  // tense: four on the floor with snare rolls at the end
                if (beat % 4 == 0) c = {12, kInsKick};
                else if (beat % 4 == 2) c = {26, kInsHat};
                if (row >= 60) c = {14, kInsSnare};
                break;
            default:  // gentle: soft snare on 3
                if (beat == 0) c = {12, kInsKick};
                else if (beat == 8) c = {14, kInsSnare};
                break;
        }
        if (index == 0 && row < 16 && song.drumStyle != 2) c = {};  // the first pattern opens quietly
    }
    // Bass, chords and melody per chord (16 rows each).
    int last = 24 + chords[0];
    for (int q = 0; q < 4; ++q) {
        int root = chords[q];
        bool minor = song.minorChords[static_cast<std::size_t>(root)];
        int base = q * 16;
        // Bass: root, with an octave or fifth jump in the driving styles.
        const int bassRows[3][4] = {{0, 8, -1, -1}, {0, 4, 8, 12}, {0, 6, 8, 14}};
        int style = song.drumStyle == 1 ? 1 : (song.drumStyle == 2 ? 2 : 0);
        for (int k = 0; k < 4; ++k) {
            int r = bassRows[style][k];
            if (r < 0) continue;
            int note = root + ((k == 2 && style == 1) ? 7 : 0) + ((k == 3 && style != 0) ? 12 : 0);
            p[base + r][1] = {note, kInsBass};
        }
        // Chords: the pad note with an arpeggio effect (root, third, fifth).
        p[base][2] = {12 + root, kInsPad, 0, minor ? 0x37 : 0x47};
        for (int r = 1; r < 16; ++r) p[base + r][2] = {-1, 0, 0, minor ? 0x37 : 0x47};
        // Melody: chord tones on strong steps, scale steps between, a rest now and then.
        const int rhythm[4][8] = {{0, 3, 6, 8, 10, 12, -1, -1}, {0, 2, 4, 6, 8, 12, 14, -1}, {0, 4, 6, 8, 12, -1, -1, -1}, {0, 3, 4, 8, 11, 12, 14, -1}};
        const int* rows = rhythm[(index + q + static_cast<int>(rng.Below(2))) % 4];
        for (int k = 0; k < 8 && rows[k] >= 0; ++k) {
            if (index == 0 && q < 2) break;  // let the intro breathe
            if (rng.Below(9) == 0) continue;
            bool strong = rows[k] % 8 == 0;
            int target;
            if (strong) {
                const int tones[3] = {0, minor ? 3 : 4, 7};
                int best = 99;
                for (int octave = 24; octave <= 36; octave += 12)
                    for (int t : tones) {
                        int n = octave + root + t - 12;
                        if (n < 17 || n > 35) continue;
                        if (std::abs(n - last) < std::abs(best - last)) best = n;
                    }
                target = best == 99 ? 24 + root : best;
            } else {
                int step = static_cast<int>(rng.Below(5)) - 2;
                target = last + step;
                while (!InScale(target, song.minorKey)) target += step >= 0 ? 1 : -1;
                target = std::clamp(target, 17, 35);
            }
            last = target;
            p[base + rows[k]][3] = {target, song.melodyInstrument};
        }
    }
    if (index == 0) p[0][3] = {-1, 0, 0xF, song.speed};
    if (index == 0) p[1][3].effect = 0xF, p[1][3].param = song.bpm;
    return p;
}

std::vector<Pattern> ComposeSong(const Song& song) {
    Rng rng(song.seed);
    std::vector<Pattern> patterns;
    for (std::size_t i = 0; i < song.progressions.size(); ++i) patterns.push_back(Compose(song, static_cast<int>(i), song.progressions[i], rng));
    return patterns;
}

Bytes WriteMod(const std::string& title, const std::vector<Pattern>& patterns, const std::vector<int>& order) {
    std::vector<Sample> samples = Instruments();

    ByteWriter w;
    auto big16 = [&w](int v) {
        w.U8(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        w.U8(static_cast<std::uint8_t>(v & 0xFF));
    };
    auto text = [&w](const std::string& s, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) w.U8(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    };
    text(title, 20);
    for (int i = 0; i < 31; ++i) {
        if (i < static_cast<int>(samples.size())) {
            const Sample& s = samples[static_cast<std::size_t>(i)];
            text(s.name, 22);
            big16(static_cast<int>(s.data.size() / 2));
            w.U8(0);
            w.U8(static_cast<std::uint8_t>(s.volume));
            big16(s.loopLength > 0 ? s.loopStart / 2 : 0);
            big16(s.loopLength > 0 ? s.loopLength / 2 : 1);
        } else {
            text("", 22);
            big16(0);
            w.U8(0);
            w.U8(0);
            big16(0);
            big16(1);
        }
    }
    w.U8(static_cast<std::uint8_t>(order.size()));
    w.U8(127);
    for (int i = 0; i < 128; ++i) w.U8(i < static_cast<int>(order.size()) ? static_cast<std::uint8_t>(order[static_cast<std::size_t>(i)]) : 0);
    w.Raw("M.K.", 4);
    for (const Pattern& p : patterns)
        for (int row = 0; row < kRows; ++row)
            for (int ch = 0; ch < kChannels; ++ch) {
                const Cell& c = p[row][ch];
                int period = c.note >= 0 ? kPeriods[std::clamp(c.note, 0, 35)] : 0;
                w.U8(static_cast<std::uint8_t>((c.sample & 0xF0) | ((period >> 8) & 0x0F)));
                w.U8(static_cast<std::uint8_t>(period & 0xFF));
                w.U8(static_cast<std::uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F)));
                w.U8(static_cast<std::uint8_t>(c.param));
            }
    for (const Sample& s : samples) w.Raw(s.data.data(), s.data.size());
    return w.Buffer();
}

Bytes WriteMod(const Song& song) { return WriteMod(song.title, ComposeSong(song), song.order); }

// The game-over tune, written by hand rather than composed: a falling
// G, F#, F, E over a falling bass, a snare roll, then a low A minor chord
// that rings out.  One pattern cut short by a pattern break after row 40
// (about six seconds); the game plays it once.
Pattern GameOverPattern() {
    Pattern p{};
    const int melody[4] = {31, 30, 29, 28};  // G-3 F#3 F-3 E-3
    const int bass[4] = {7, 6, 5, 4};        // G-1 F#1 F-1 E-1
    for (int k = 0; k < 4; ++k) {
        p[static_cast<std::size_t>(k * 6)][3] = {melody[k], kInsLead};
        p[static_cast<std::size_t>(k * 6)][1] = {bass[k], kInsBass};
        p[static_cast<std::size_t>(k * 6)][0] = {12, kInsKick};
    }
    for (int row = 19; row < 24; ++row) p[static_cast<std::size_t>(row)][0] = {14, kInsSnare};
    p[24][0] = {12, kInsKick};
    p[24][1] = {9, kInsBass};
    p[24][2] = {21, kInsPad, 0, 0x37};          // A minor, arpeggiated
    for (int row = 25; row < 40; ++row) p[static_cast<std::size_t>(row)][2] = {-1, 0, 0, 0x37};
    p[24][3] = {21, kInsBell};
    p[0][0].effect = 0xF, p[0][0].param = 6;    // speed: ticks per row
    p[1][0].effect = 0xF, p[1][0].param = 100;  // tempo
    p[40][0].effect = 0xD, p[40][0].param = 0;  // the end
    return p;
}

// Chord roots as semitones above C; `minor` marks which roots take a minor third.
std::vector<bool> Minors(std::initializer_list<int> roots) {
    std::vector<bool> m(12, false);
    for (int r : roots) m[static_cast<std::size_t>(r)] = true;
    return m;
}

std::vector<Song> Songs() {
    // C major: C=0 D=2 E=4 F=5 G=7 A=9; minor chords on D, E, A.
    const std::vector<bool> majorKey = Minors({2, 4, 9});
    return {
        {"TITLE.MOD", "Zorvo Quib", 101, 5, 140, {{0, 7, 9, 5}, {0, 7, 9, 5}, {5, 7, 0, 9}, {5, 7, 0, 0}}, majorKey, false, 1, kInsLead, {0, 1, 2, 1, 3}},
        {"EXPLORE.MOD", "Below the surface", 202, 6, 100, {{9, 5, 0, 7}, {9, 5, 0, 7}, {2, 9, 5, 4}, {9, 5, 7, 9}}, majorKey, true, 0, kInsPluck, {0, 1, 2, 1, 3, 2}},
        {"TENSE.MOD", "The watchers", 303, 5, 132, {{2, 2, 10, 9}, {2, 10, 7, 9}, {2, 5, 10, 9}, {7, 10, 9, 9}}, Minors({2, 7}), true, 2, kInsLead, {0, 1, 2, 1, 3}},
        {"OUTSIDE.MOD", "Open sky", 404, 6, 112, {{5, 0, 2, 10}, {5, 0, 2, 10}, {10, 0, 5, 2}, {10, 7, 0, 5}}, Minors({2, 9}), false, 3, kInsPluck, {0, 1, 2, 1, 3}},
        {"DEEP.MOD", "The deep halls", 606, 6, 96, {{9, 5, 2, 4}, {9, 5, 2, 4}, {5, 0, 2, 4}, {9, 2, 4, 9}}, Minors({2, 4, 9}), true, 0, kInsBell, {0, 1, 2, 1, 3, 2}},
        {"CREDITS.MOD", "Gold at last", 505, 7, 90, {{5, 7, 4, 9}, {0, 9, 5, 7}, {5, 7, 4, 9}, {2, 7, 0, 0}}, majorKey, false, 3, kInsBell, {0, 1, 2, 1, 3}},
    };
}

// Plays a song's patterns the way a four-channel tracker would and mixes
// them to mono: each row lasts `speed` ticks of 2.5 / bpm seconds, a note
// restarts its sample at the Amiga rate of its period, and the arpeggio
// effect steps the pitch through the chord on every tick.
std::vector<float> RenderSong(const Song& song, int rate) {
    const std::vector<Sample> samples = Instruments();
    const std::vector<Pattern> patterns = ComposeSong(song);
    struct Voice {
        const Sample* sample = nullptr;
        double position = 0;
        int note = 0;
        float volume = 0;
    };
    std::array<Voice, kChannels> voices{};
    const int tickFrames = static_cast<int>(std::lround(rate * 2.5 / song.bpm));
    std::vector<float> mix;
    for (int index : song.order) {
        const Pattern& p = patterns[static_cast<std::size_t>(index)];
        for (int row = 0; row < kRows; ++row) {
            for (int ch = 0; ch < kChannels; ++ch) {
                const Cell& c = p[row][ch];
                if (c.note < 0) continue;
                Voice& v = voices[static_cast<std::size_t>(ch)];
                if (c.sample > 0) v.sample = &samples[static_cast<std::size_t>(c.sample - 1)];
                if (!v.sample) continue;
                v.position = 0;
                v.note = c.note;
                v.volume = static_cast<float>(v.sample->volume) / 64;
            }
            for (int tick = 0; tick < song.speed; ++tick) {
                for (int ch = 0; ch < kChannels; ++ch) {
                    Voice& v = voices[static_cast<std::size_t>(ch)];
                    const Cell& c = p[row][ch];
                    int offset = 0;
                    if (c.effect == 0 && c.param != 0) offset = tick % 3 == 1 ? c.param >> 4 : (tick % 3 == 2 ? c.param & 15 : 0);
                    const double period = kPeriods[std::clamp(v.note, 0, 35)] * std::pow(2.0, -offset / 12.0);
                    const double step = 3546894.6 / period / rate;
                    std::size_t at = mix.size() - static_cast<std::size_t>(ch == 0 ? 0 : tickFrames);
                    if (ch == 0) mix.resize(mix.size() + static_cast<std::size_t>(tickFrames), 0.0f);
                    if (!v.sample) continue;
                    const std::vector<std::int8_t>& data = v.sample->data;
                    const bool looped = v.sample->loopLength > 2;
                    const double loopEnd = v.sample->loopStart + v.sample->loopLength;
                    for (int n = 0; n < tickFrames && v.sample; ++n, ++at) {
                        if (looped && v.position >= loopEnd) v.position -= v.sample->loopLength;
                        const auto i = static_cast<std::size_t>(v.position);
                        if (i + 1 >= data.size()) {
                            v.sample = nullptr;  // a one-shot sample has played out
                            break;
                        }
                        const double frac = v.position - static_cast<double>(i);
                        const double s = data[i] * (1 - frac) + data[i + 1] * frac;
                        mix[at] += static_cast<float>(s / 128.0) * v.volume * 0.3f;
                        v.position += step;
                    }
                }
            }
        }
    }
    // A short fade at both ends, so the track loops without a click.
    const std::size_t fade = static_cast<std::size_t>(rate / 100);
    for (std::size_t i = 0; i < fade && i < mix.size(); ++i) {
        const float k = static_cast<float>(i) / static_cast<float>(fade);
        mix[i] *= k;
        mix[mix.size() - 1 - i] *= k;
    }
    for (float& s : mix) s = std::tanh(s);
    return mix;
}

// 16-bit mono PCM in the usual 44-byte RIFF layout.
Bytes EncodePcm(const std::vector<float>& samples, int rate) {
    ByteWriter w;
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    w.Raw("RIFF", 4);
    w.U32(36 + dataBytes);
    w.Raw("WAVEfmt ", 8);
    w.U32(16);
    w.U16(1);
    w.U16(1);
    w.U32(static_cast<std::uint32_t>(rate));
    w.U32(static_cast<std::uint32_t>(rate * 2));
    w.U16(2);
    w.U16(16);
    w.Raw("data", 4);
    w.U32(dataBytes);
    for (float s : samples) w.U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32000))));
    return w.Buffer();
}

}  // namespace

void MakeMusic(Output& out) {
    for (const Song& s : Songs()) out.Write("MUSIC/" + s.file, WriteMod(s));
    out.Write("MUSIC/GAMEOVER.MOD", WriteMod("Game over", {GameOverPattern()}, {0}));
}

void MakeCdTracks(Output& out) {
    // Track 1 of a game CD held its data; the music starts at track 2.
    for (const Song& s : Songs())
        if (s.file == "OUTSIDE.MOD") out.Write("CDAUDIO/TRACK02.WAV", EncodePcm(RenderSong(s, 22050), 22050));
}

}  // namespace zq::gen
