// The default font, as the public entries and start-up call it. Declared
// here until the graphics issues build it; the drawing operations come with
// it for the callers that include this.
#pragma once

#include <cstdint>

#include "graphics/draw/draw_ops.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/color_format.h"

int DrawTextDefaultFont(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor);
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
int SetDefaultFontFace(const char* faceName, int charSet);
