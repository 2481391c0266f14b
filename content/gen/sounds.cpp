// Sound effects, synthesised from square, triangle, sine and noise
// oscillators with envelopes and a one-pole filter, written as 16-bit mono
// RIFF WAVE files at 22050 Hz.
#include <string>
#include <vector>

#include "content.h"

namespace zq::gen {

namespace {

constexpr int kRate = 22050;
constexpr float kTau = 6.2831853f;

using Wave = std::vector<float>;

enum Shape { kSine, kSquare, kTriangle, kSaw, kNoise };

// One voice: a pitch glide from `f0` to `f1` Hz, an attack and exponential
// decay, placed at `start` seconds into `out`.
struct Voice {
    Shape shape = kSine;
    float f0 = 440, f1 = 440;
    float start = 0, length = 0.2f;
    float attack = 0.005f, decay = 6;  // decay rate per second (higher = shorter)
    float volume = 0.5f;
    float vibrato = 0;                 // depth as a fraction of the pitch
    float vibratoRate = 6;
    float tremolo = 0;                 // amplitude wobble depth
    float tremoloRate = 8;
};

void Add(Wave& out, const Voice& v, std::uint32_t seed) {
    int first = static_cast<int>(v.start * kRate), count = static_cast<int>(v.length * kRate);
    if (static_cast<int>(out.size()) < first + count) out.resize(static_cast<std::size_t>(first + count), 0.0f);
    float phase = 0;
    float held = 0;
    for (int i = 0; i < count; ++i) {
        float t = static_cast<float>(i) / kRate;
        float k = static_cast<float>(i) / static_cast<float>(std::max(1, count - 1));
        float f = v.f0 * std::pow(v.f1 / v.f0, k) * (1 + v.vibrato * std::sin(kTau * v.vibratoRate * t));
        float previous = phase;
        phase += f / kRate;
        phase -= std::floor(phase);
        float s = 0;
        switch (v.shape) {
            case kSine: s = std::sin(kTau * phase); break;
            case kSquare: s = phase < 0.5f ? 0.8f : -0.8f; break;
            case kTriangle: s = 4 * std::abs(phase - 0.5f) - 1; break;
            case kSaw: s = 2 * phase - 1; break;
            case kNoise:
                // Noise resampled at the "pitch": a new value each period.
                if (phase < previous) held = Hash01(seed, static_cast<std::uint32_t>(i)) * 2 - 1;
                s = held;
                break;
        }
        float env = (t < v.attack ? t / v.attack : std::exp(-(t - v.attack) * v.decay));
        // Fade the last 5 ms so no voice ends on a click.
        float tail = std::min(1.0f, static_cast<float>(count - i) / (0.005f * kRate));
        env *= tail * (1 - v.tremolo * 0.5f * (1 + std::sin(kTau * v.tremoloRate * t)));
        out[static_cast<std::size_t>(first + i)] += s * env * v.volume;
    }
}

// One-pole low-pass filter with the cutoff gliding from c0 to c1 Hz.
void LowPass(Wave& w, float c0, float c1) {
    float y = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        float k = static_cast<float>(i) / static_cast<float>(std::max<std::size_t>(1, w.size() - 1));
        float cutoff = c0 + (c1 - c0) * k;
        float a = 1 - std::exp(-kTau * cutoff / kRate);
        y += a * (w[i] - y);
        w[i] = y;
    }
}

Bytes EncodeWav(const Wave& w) {
    // Normalise to a peak of 0.8 so every effect is loud enough yet never clips.
    float peak = 0.0001f;
    for (float s : w) peak = std::max(peak, std::abs(s));
    float gain = 0.8f / peak;
    ByteWriter b;
    std::uint32_t dataSize = static_cast<std::uint32_t>(w.size() * 2);
    b.Raw("RIFF", 4);
    b.U32(36 + dataSize);
    b.Raw("WAVE", 4);
    b.Raw("fmt ", 4);
    b.U32(16);
    b.U16(1);  // PCM
    b.U16(1);  // mono
    b.U32(kRate);
    b.U32(kRate * 2);
    b.U16(2);
    b.U16(16);
    b.Raw("data", 4);
    b.U32(dataSize);
    for (float s : w) b.U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(std::clamp(s * gain, -1.0f, 1.0f) * 32000))));
    return b.Buffer();
}

Wave Make(std::initializer_list<Voice> voices, float lowFrom = 0, float lowTo = 0, std::uint32_t seed = 1) {
    Wave w;
    std::uint32_t n = seed;
    for (const Voice& v : voices) Add(w, v, n++);
    if (lowFrom > 0) LowPass(w, lowFrom, lowTo);
    return w;
}

Voice V(Shape s, float f0, float f1, float start, float length, float decay, float volume) {
    Voice v;
    v.shape = s;
    v.f0 = f0;
    v.f1 = f1;
    v.start = start;
    v.length = length;
    v.decay = decay;
    v.volume = volume;
    return v;
}

// A loop that must join end to start: cross-fade its tail into its head.
Wave Seamless(Wave w, float fadeSeconds) {
    std::size_t fade = static_cast<std::size_t>(fadeSeconds * kRate);
    if (w.size() <= 2 * fade) return w;
    Wave out(w.begin(), w.end() - static_cast<std::ptrdiff_t>(fade));
    for (std::size_t i = 0; i < fade; ++i) {
        float k = static_cast<float>(i) / static_cast<float>(fade);
        out[i] = out[i] * k + w[w.size() - fade + i] * (1 - k);
    }
    return out;
}

Wave Crackle(float seconds, float rate, std::uint32_t seed, float pitch) {
    Wave w(static_cast<std::size_t>(seconds * kRate), 0.0f);
    Rng rng(seed);
    int pops = static_cast<int>(seconds * rate);
    for (int p = 0; p < pops; ++p) {
        float at = rng.Unit() * (seconds - 0.05f);
        Add(w, V(kNoise, pitch * (0.5f + rng.Unit()), pitch, at, 0.03f + 0.03f * rng.Unit(), 80, 0.3f + 0.5f * rng.Unit()), seed + static_cast<std::uint32_t>(p));
    }
    return w;
}

}  // namespace

void MakeSounds(Output& out) {
    auto save = [&](const std::string& name, const Wave& w) { out.Write(name, EncodeWav(w)); };
    auto sfx = [&](const std::string& name, const Wave& w) { save("SOUND/" + name + ".WAV", w); };

    // Menu sounds.
    save("INTERF/CHOIX.WAV", Make({V(kTriangle, 880, 880, 0, 0.12f, 18, 0.6f), V(kTriangle, 1320, 1320, 0.06f, 0.2f, 14, 0.6f)}));
    save("INTERF/CLIC.WAV", Make({V(kSquare, 1800, 1200, 0, 0.03f, 90, 0.4f), V(kNoise, 8000, 8000, 0, 0.02f, 150, 0.3f)}));
    save("INTERF/TIMER.WAV", Make({V(kSine, 1000, 1000, 0, 0.08f, 40, 0.7f), V(kSine, 2000, 2000, 0, 0.05f, 60, 0.2f)}));

    // Footsteps per material.
    sfx("STEPSTON", Make({V(kNoise, 4000, 2000, 0, 0.07f, 60, 0.7f), V(kSine, 120, 80, 0, 0.05f, 60, 0.4f)}, 1800, 600, 11));
    sfx("STEPWOOD", Make({V(kTriangle, 220, 150, 0, 0.08f, 45, 0.7f), V(kNoise, 3000, 3000, 0, 0.04f, 90, 0.3f)}, 2500, 900, 12));
    sfx("STEPMETL", Make({V(kNoise, 9000, 6000, 0, 0.05f, 90, 0.5f), V(kSine, 1250, 1240, 0, 0.25f, 18, 0.25f), V(kSine, 1870, 1860, 0, 0.2f, 22, 0.15f)}));
    sfx("STEPSOFT", Make({V(kNoise, 2000, 1000, 0, 0.09f, 40, 0.7f)}, 700, 300, 13));

    // Mechanisms.
    sfx("DIG", Make({V(kSine, 110, 50, 0, 0.3f, 12, 0.9f), V(kNoise, 2500, 800, 0, 0.25f, 14, 0.6f)}, 1200, 300, 21));
    sfx("REFILL", Make({V(kNoise, 800, 3000, 0, 0.45f, 3, 0.6f), V(kTriangle, 90, 180, 0, 0.45f, 3, 0.4f)}, 400, 2200, 22));
    sfx("PUSH", [] {
        Voice scrape = V(kNoise, 1200, 900, 0, 0.55f, 2, 0.7f);
        scrape.tremolo = 0.6f;
        scrape.tremoloRate = 14;
        return Make({scrape, V(kSine, 70, 60, 0, 0.5f, 4, 0.4f)}, 900, 500, 23);
    }());
    sfx("DOOR", [] {
        Voice creak = V(kSaw, 130, 95, 0, 0.9f, 1.5f, 0.5f);
        creak.vibrato = 0.08f;
        creak.vibratoRate = 11;
        return Make({creak, V(kNoise, 300, 200, 0, 1.0f, 2, 0.5f), V(kSine, 60, 45, 0.8f, 0.3f, 10, 0.7f)}, 1500, 700, 24);
    }());
    sfx("LEVER", Make({V(kSquare, 160, 120, 0, 0.12f, 25, 0.5f), V(kNoise, 2000, 1000, 0, 0.08f, 40, 0.6f), V(kSine, 90, 70, 0.08f, 0.2f, 20, 0.8f)}, 2000, 800, 25));
    sfx("SENSOR", Make({V(kSine, 784, 784, 0, 0.2f, 10, 0.6f), V(kSine, 1175, 1175, 0.12f, 0.35f, 8, 0.6f)}));
    sfx("SPRING", [] {
        Voice boing = V(kTriangle, 180, 900, 0, 0.45f, 3, 0.7f);
        boing.vibrato = 0.05f;
        boing.vibratoRate = 18;
        return Make({boing, V(kNoise, 1000, 6000, 0, 0.35f, 6, 0.3f)});
    }());

    // Pick-ups.
    sfx("INGOT", Make({V(kTriangle, 1046, 1046, 0, 0.5f, 7, 0.5f), V(kTriangle, 1318, 1318, 0.06f, 0.5f, 7, 0.5f),
                       V(kTriangle, 1568, 1568, 0.12f, 0.6f, 6, 0.5f), V(kSine, 3136, 3136, 0.12f, 0.4f, 9, 0.2f)}));
    sfx("PICKUP", Make({V(kSquare, 660, 660, 0, 0.09f, 20, 0.4f), V(kSquare, 990, 990, 0.09f, 0.14f, 14, 0.4f)}, 5000, 5000, 31));
    sfx("LIFE", Make({V(kSquare, 523, 523, 0, 0.1f, 10, 0.35f), V(kSquare, 659, 659, 0.08f, 0.1f, 10, 0.35f),
                      V(kSquare, 784, 784, 0.16f, 0.1f, 10, 0.35f), V(kSquare, 1046, 1046, 0.24f, 0.35f, 6, 0.4f)}, 4000, 4000, 32));
    sfx("LIGHT", [] {
        Voice hum = V(kSine, 440, 330, 0.02f, 0.35f, 5, 0.6f);
        hum.vibrato = 0.02f;
        return Make({V(kSquare, 2000, 2000, 0, 0.02f, 100, 0.4f), hum});
    }());

    // The hero and the sentries.
    sfx("HURT", Make({V(kSquare, 150, 95, 0, 0.28f, 8, 0.7f), V(kNoise, 600, 400, 0, 0.2f, 12, 0.3f)}, 900, 500, 41));
    sfx("DEATH", [] {
        Voice fall = V(kTriangle, 620, 70, 0, 1.3f, 1.4f, 0.8f);
        fall.tremolo = 0.5f;
        fall.tremoloRate = 9;
        return Make({fall, V(kSquare, 310, 35, 0, 1.3f, 2, 0.2f)}, 3000, 800, 42);
    }());
    sfx("SEEN", Make({V(kSquare, 1500, 1500, 0, 0.08f, 12, 0.5f), V(kSquare, 2000, 2000, 0.11f, 0.12f, 10, 0.5f)}, 6000, 6000, 43));
    sfx("LOST", [] {
        Voice hum = V(kSine, 300, 190, 0, 0.7f, 3, 0.7f);
        hum.tremolo = 0.4f;
        hum.tremoloRate = 5;
        return Make({hum, V(kTriangle, 150, 95, 0, 0.7f, 3, 0.3f)});
    }());
    sfx("WHOOSH", [] {
        Voice air = V(kNoise, 1500, 9000, 0, 0.9f, 2, 0.7f);
        air.attack = 0.35f;
        return Make({air}, 500, 4000, 44);
    }());

    // Ambient loops (played again every LoopDuration, so they need no seam
    // at the start, but are cross-faded anyway for players that loop them).
    {
        Wave lava = Crackle(2.2f, 9, 51, 200);
        Add(lava, V(kNoise, 150, 150, 0, 2.2f, 0.3f, 0.4f), 52);
        LowPass(lava, 700, 700);
        sfx("LAVA", Seamless(lava, 0.1f));
    }
    {
        Voice swell = V(kNoise, 3000, 3000, 0, 2.8f, 0.2f, 0.6f);
        swell.tremolo = 0.7f;
        swell.tremoloRate = 0.8f;
        Wave water = Make({swell}, 600, 600, 53);
        sfx("WATER", Seamless(water, 0.2f));
    }
    {
        Wave torch = Crackle(1.4f, 14, 54, 3000);
        Add(torch, V(kNoise, 800, 800, 0, 1.4f, 0.4f, 0.15f), 55);
        sfx("TORCH", torch);
    }
    {
        Voice a = V(kSine, 1760, 1760, 0, 2.5f, 0.8f, 0.3f), b = V(kSine, 2217, 2217, 0.3f, 2.2f, 0.9f, 0.25f),
              c = V(kSine, 2637, 2637, 0.6f, 1.9f, 1.0f, 0.2f);
        a.attack = b.attack = c.attack = 0.2f;
        a.tremolo = b.tremolo = c.tremolo = 0.5f;
        sfx("CRYSTAL", Make({a, b, c}));
    }
}

}  // namespace zq::gen
