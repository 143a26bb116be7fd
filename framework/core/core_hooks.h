// What core reaches in the layers above it, through hooks rather than their
// headers. api/subsystem_hooks.cpp binds them to those layers' operations
// from the program's start; a test may put its own in their place.
//   EndFramework                  the framework's shut-down, from FatalError
//   HasDirectDrawObject,
//   QueryScreenSize, MakeColorCode,
//   CreateFontToHandle, LinkFontLostFlag,
//   DrawTextWithFont,
//   ReleaseFontHandle             the screen and the font the screen log
//                                 draws with (graphics)
#pragma once

#include <cstdint>

struct CoreHooks {
    int (*EndFramework)();

    int (*HasDirectDrawObject)();
    int (*QueryScreenSize)(int* width, int* height);
    std::uint32_t (*MakeColorCode)(int r, int g, int b);
    int (*CreateFontToHandle)(const char* face, int size, int thickness, int fontType, int charSetKind,
                              int edgeSize, int italic, int slot, int checkNumber);
    int (*LinkFontLostFlag)(int fontHandle, int* lostFlag);
    int (*DrawTextWithFont)(int x, int y, const char* text, std::uint32_t color, int fontHandle,
                            std::uint32_t edgeColor, int vertical);
    int (*ReleaseFontHandle)(int fontHandle);
};

extern CoreHooks g_CoreHooks;
