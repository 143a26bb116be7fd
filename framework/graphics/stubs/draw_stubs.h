// Drawing operations and the default font, as the public entries and
// start-up call them. Declared here until the graphics issues build them.
#pragma once

#include <cstdint>

#include "graphics/color_format.h"
#include "graphics/draw_state.h"

int ClearDrawTarget();
int BlitGraph(int x, int y, int graphHandle, int transparent);
int StretchBlitGraph(int x1, int y1, int x2, int y2, int graphHandle, int transparent);
int RotateBlitGraph(int x, int y, double scale, double angle, int graphHandle, int transparent, int turn);
int MirrorBlitGraph(int x, int y, int graphHandle, int transparent);
int PaintBox(int x1, int y1, int x2, int y2, std::uint32_t color, int filled);
int DrawTextDefaultFont(int x, int y, const char* text, std::uint32_t color, std::uint32_t edgeColor);
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
int SetDefaultFontFace(const char* faceName, int charSet);
