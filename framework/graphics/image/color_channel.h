// Channel arithmetic shared by the colour formats and the converting blit.
#pragma once

#include <cstdint>

// An 8-bit value (its low 8 bits) cut or widened to a channel of the given
// width and put in place. Narrow channels keep the value's top bits; a
// channel wider than 8 bits gets the value in its top bits rather than a
// negative shift. The mask keeps the result inside the channel.
inline std::uint32_t ComposeChannel(int value, int width, int shift, std::uint32_t mask) {
    std::uint64_t v = static_cast<std::uint32_t>(value) & 0xFFu;
    v = width <= 8 ? v >> (8 - width) : v << (width - 8);
    return static_cast<std::uint32_t>((v << shift) & mask);
}
