// Stand-ins until text drawing is built: nothing is drawn and every
// operation fails.
#include "graphics/draw/draw_stubs.h"

int DrawTextDefaultFont(int, int, const char*, std::uint32_t, std::uint32_t) { return -1; }
int SetDefaultFontSize(int) { return -1; }
int SetDefaultFontThickness(int) { return -1; }
int SetDefaultFontFace(const char*, int) { return -1; }
