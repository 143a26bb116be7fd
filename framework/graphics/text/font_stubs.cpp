// Stand-in for fonts until they are built: there are none to re-create.
#include "graphics/text/font.h"

int RecreateAllFonts() { return 0; }

// No fonts can be made or drawn yet.
int CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }
int DrawTextWithFont(int, int, const char*, std::uint32_t, int, std::uint32_t, int) { return -1; }
int LinkFontLostFlag(int, int*) { return -1; }

int ReleaseFontHandle(int) { return -1; }
int ResetAllFonts() { return 0; }
