// The input module's constant tables: virtual keys to scan codes for the
// Win32 keyboard state, and the keyboard sources of the pad bits.
#pragma once

#include <cstdint>

struct VirtualKeyPair {
    std::uint16_t virtualKey;
    std::uint16_t scanCode;
};

// Two runs: the first (merged into the DirectInput state too) ends with the
// pair (0xFFFE, 0), the second with (0xFFFF, 0xFFFF).
constexpr int kVirtualKeyFirstRunCount = 72;
constexpr int kVirtualKeySecondRunCount = 27;
extern const VirtualKeyPair kVirtualKeyTable[kVirtualKeyFirstRunCount + kVirtualKeySecondRunCount + 2];

struct PadKeySource {
    std::uint32_t bit;
    std::uint8_t scanCode;
};
constexpr int kPadKeySourceCount = 18;
extern const PadKeySource kPadKeySources[kPadKeySourceCount];
