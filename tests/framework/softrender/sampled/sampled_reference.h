// What one destination pixel of the rotated blit or the textured triangle
// should become, given the texel it takes. These draws blend as the blit's
// general formulas do, without its special parameter forms and 64-level
// table, with one difference of order: 16-bit add and subtract of an alpha
// texel without a blend mask weight each channel by the alpha before
// brightening it.
#pragma once

#include <cstdint>

#include "framework/softrender/blit_reference.h"

namespace sampled_reference {

// s.runList and s.mmx are not read.
std::uint32_t ExpectedPixel(const blit_reference::BlitSettings& s, const blit_reference::SourcePixel& texel,
                            std::uint32_t key, std::uint32_t weight, std::uint32_t d);

}  // namespace sampled_reference
