// Stand-ins until drawing is built: nothing is drawn and
// every operation fails.
#include "graphics/stubs/draw_stubs.h"

int ClearDrawTarget() { return -1; }
int BlitGraph(int, int, int, int) { return -1; }
int StretchBlitGraph(int, int, int, int, int, int) { return -1; }
int RotateBlitGraph(int, int, double, double, int, int, int) { return -1; }
int MirrorBlitGraph(int, int, int, int) { return -1; }
int PaintBox(int, int, int, int, std::uint32_t, int) { return -1; }
int DrawTextDefaultFont(int, int, const char*, std::uint32_t, std::uint32_t) { return -1; }
int SetDefaultFontSize(int) { return -1; }
int SetDefaultFontThickness(int) { return -1; }
int SetDefaultFontFace(const char*, int) { return -1; }
