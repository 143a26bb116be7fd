// What a software rasteriser reads of the draw state. An entry takes it once
// per call; tests and callers that must clip to something narrower than the
// draw area (a work image smaller than the target) pass their own.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct SoftDrawSettings {
    RECT drawArea;             // clip rectangle; right and bottom exclusive
    std::uint32_t blendMode;   // 0 copy, 1 alpha, 2 add, 3 subtract, 4 multiply; above 4 draws nothing
    std::uint32_t blendParam;  // 0..255
    std::uint32_t brightColor; // 0x00RRGGBB; white as a whole means no brightening
};

// The current draw state's draw area, blend mode and parameter and bright
// colour. Defined by the drawing layer, which owns the draw state; the
// renderer's entries that draw with the current settings call it.
SoftDrawSettings CurrentSoftDrawSettings();

// The draw area brought inside the image (0, 0, width, height), so that a
// draw area larger than the image it is applied to can never lead a
// rasteriser outside its pixels. Returns false when nothing is left.
bool ClipDrawAreaToImage(const SoftDrawSettings& settings, int width, int height, RECT* clip);
