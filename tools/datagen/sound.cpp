#include "sound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::int16_t Clamp(double v) {
    if (v > 32767) return 32767;
    if (v < -32768) return -32768;
    return static_cast<std::int16_t>(std::lround(v));
}

// A tone sweeping from f0 to f1 Hz with a decaying envelope; `noise` mixes in
// a deterministic noise source for hits and explosions.
void Tone(std::vector<std::int16_t>& out, double seconds, double f0, double f1, double volume, double noise = 0,
          int square = 0) {
    auto n = static_cast<std::size_t>(seconds * kSampleRate);
    double phase = 0;
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / n;
        double f = f0 + (f1 - f0) * t;
        phase += 2 * kPi * f / kSampleRate;
        double s = square ? (std::sin(phase) >= 0 ? 0.6 : -0.6) : std::sin(phase);
        seed = seed * 1664525u + 1013904223u;
        double r = static_cast<double>(seed >> 8) / (1u << 24) * 2 - 1;
        double env = std::min(1.0, static_cast<double>(i) / 200.0) * (1 - t);
        out.push_back(Clamp((s * (1 - noise) + r * noise) * env * volume * 32767));
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeWav(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(t[i]));
    };
    auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(kSampleRate);
    u32(kSampleRate * 2);
    u16(2);
    u16(16);
    tag("data");
    u32(dataBytes);
    for (std::int16_t s : samples) u16(static_cast<std::uint16_t>(s));
    return out;
}

std::vector<std::int16_t> MakeEffect(const std::string& name) {
    std::vector<std::int16_t> out;
    if (name == "die") Tone(out, 0.35, 400, 90, 0.8, 0.2, 1);
    else if (name == "item") { Tone(out, 0.12, 660, 660, 0.6); Tone(out, 0.12, 880, 880, 0.6); Tone(out, 0.25, 1320, 1320, 0.6); }
    else if (name == "senntaku") { Tone(out, 0.06, 900, 900, 0.5, 0, 1); Tone(out, 0.1, 1350, 1350, 0.5, 0, 1); }
    else if (name == "select") Tone(out, 0.05, 1200, 1200, 0.4, 0, 1);
    else if (name == "th") Tone(out, 0.15, 1800, 300, 0.5, 0.7);
    else if (name == "th2") Tone(out, 0.15, 2400, 500, 0.5, 0.7);
    else if (name == "bomb") Tone(out, 0.3, 160, 40, 0.9, 0.8);
    else if (name == "cancel") { Tone(out, 0.08, 500, 500, 0.5, 0, 1); Tone(out, 0.12, 330, 330, 0.5, 0, 1); }
    else if (name == "takara") { for (int i = 0; i < 5; ++i) Tone(out, 0.07, 700 + i * 180, 760 + i * 180, 0.5); }
    else Tone(out, 0.1, 440, 440, 0.5);
    return out;
}

std::vector<std::int16_t> MakeMusic(int track) {
    // Pentatonic steps; each track its own key, tempo and pattern.
    static constexpr int kScale[] = {0, 2, 4, 7, 9, 12, 14, 16};
    static constexpr int kPattern[6][16] = {
        {0, 2, 4, 2, 5, 4, 2, 0, 1, 3, 4, 3, 2, 1, 0, -1},
        {0, 4, 3, 4, 5, 4, 3, 2, 0, 2, 1, 2, 3, 2, 1, -1},
        {5, 4, 2, 4, 5, 7, 5, 4, 2, 1, 0, 1, 2, 4, 2, -1},
        {0, 0, 3, 3, 4, 4, 3, -1, 2, 2, 1, 1, 0, 0, 1, -1},
        {0, 1, 0, 1, 2, 1, 2, 3, 0, 1, 0, 1, 2, 1, 0, -1},
        {7, 5, 4, 5, 7, 5, 4, 2, 4, 5, 4, 2, 1, 2, 0, -1},
    };
    const int t = (track - 1) % 6;
    const double base = 220.0 * std::pow(2.0, t / 12.0);
    const double noteSeconds = 0.22 + 0.04 * t;
    std::vector<std::int16_t> out;
    for (int rep = 0; rep < 2; ++rep)
        for (int step : kPattern[t]) {
            auto n = static_cast<std::size_t>(noteSeconds * kSampleRate);
            double f = step < 0 ? 0 : base * std::pow(2.0, kScale[step] / 12.0);
            for (std::size_t i = 0; i < n; ++i) {
                double time = static_cast<double>(i) / kSampleRate;
                // Every note rises from and falls back to silence: the loop
                // point joins two silent samples.
                double env = std::min({1.0, static_cast<double>(i) / 300.0, static_cast<double>(n - 1 - i) / 600.0});
                double s = f == 0 ? 0 : (std::sin(2 * kPi * f * time) * 0.6 + std::sin(2 * kPi * f * 2 * time) * 0.15);
                out.push_back(Clamp(s * env * 0.45 * 32767));
            }
        }
    return out;
}
