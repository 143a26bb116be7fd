// MT19937 with the standard parameters. Two regenerations give the same
// words: one plain, one that works on two words at a time in a 64-bit value,
// the way the MMX registers were used.
#include "core/random.h"

#include "platform/kernel.h"

RandomState g_RandomState{};

namespace {

constexpr int kN = kRandomStateWords;
constexpr int kM = 397;
constexpr std::uint32_t kMatrix = 0x9908B0DFu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7FFFFFFFu;

std::uint32_t Temper(std::uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// Two 32-bit lanes in one 64-bit value: lane 0 in the low half.
constexpr std::uint64_t Lanes(std::uint32_t v) { return (static_cast<std::uint64_t>(v) << 32) | v; }

std::uint64_t LoadPair(const std::uint32_t* words, int i) {
    return static_cast<std::uint64_t>(words[i % kN]) | static_cast<std::uint64_t>(words[(i + 1) % kN]) << 32;
}

// Right shifts must not carry bits of the high lane into the low one; left
// shifts carry the low lane's top bits into the high lane's bottom bits,
// which the tempering masks (low 7 and 15 bits clear) drop anyway.
constexpr std::uint64_t ShiftRightLanes(std::uint64_t v, int bits) {
    return (v >> bits) & Lanes(0xFFFFFFFFu >> bits);
}

std::uint64_t TemperLanes(std::uint64_t y) {
    y ^= ShiftRightLanes(y, 11);
    y ^= (y << 7) & Lanes(0x9D2C5680u);
    y ^= (y << 15) & Lanes(0xEFC60000u);
    y ^= ShiftRightLanes(y, 18);
    return y;
}

}  // namespace

void RegenerateRandom() {
    std::uint32_t* mt = g_RandomState.state;
    for (int i = 0; i < kN; ++i) {
        std::uint32_t y = (mt[i] & kUpperMask) | (mt[(i + 1) % kN] & kLowerMask);
        mt[i] = mt[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
    }
    for (int i = 0; i < kN; ++i) g_RandomState.output[i] = Temper(mt[i]);
    g_RandomState.index = 0;
}

void RegenerateRandomMmx() {
    std::uint32_t* mt = g_RandomState.state;
    // Each new word needs the old word after it and one 397 places on (already
    // renewed once that index wraps); a pair's inputs are all read before it
    // is written, and no pair needs its own output.
    for (int i = 0; i < kN; i += 2) {
        std::uint64_t y = (LoadPair(mt, i) & Lanes(kUpperMask)) | (LoadPair(mt, i + 1) & Lanes(kLowerMask));
        std::uint64_t odd = y & Lanes(1u);
        std::uint64_t matrix = (odd * 0xFFFFFFFFu) & Lanes(kMatrix);  // per lane: all ones when odd
        std::uint64_t next = LoadPair(mt, i + kM) ^ ShiftRightLanes(y, 1) ^ matrix;
        mt[i] = static_cast<std::uint32_t>(next);
        mt[i + 1] = static_cast<std::uint32_t>(next >> 32);
    }
    for (int i = 0; i < kN; i += 2) {
        std::uint64_t t = TemperLanes(LoadPair(mt, i));
        g_RandomState.output[i] = static_cast<std::uint32_t>(t);
        g_RandomState.output[i + 1] = static_cast<std::uint32_t>(t >> 32);
    }
    g_RandomState.index = 0;
}

int HasMmx() {
    PlatformProcessorInfo info{};
    PlatformGetProcessorInfo(&info);
    return info.hasMMX ? 1 : 0;
}

void SeedRandom(std::uint32_t seed) {
    std::uint32_t x = seed;
    for (int i = 0; i < kN; ++i) {
        std::uint32_t word = x & 0xFFFF0000u;
        x = x * 69069u + 1u;
        word |= (x & 0xFFFF0000u) >> 16;
        x = x * 69069u + 1u;
        g_RandomState.state[i] = word;
    }
    g_RandomState.mmx = HasMmx();
    g_RandomState.ready = 1;
    if (g_RandomState.mmx != 0)
        RegenerateRandomMmx();
    else
        RegenerateRandom();
}
