// Shared between the display, presenting and the DirectDraw stand-in.
#pragma once

#include <mutex>

// Guards the display state; DirectDraw and GDI calls take it while they touch
// the framebuffer.
std::recursive_mutex& PlatformDisplayMutex();
// Bytes per row of a surface `width` pixels wide: 8-byte aligned plus the
// test padding.
int PlatformSurfacePitch(int width, int bytesPerPixel);
void PlatformResetPresentState();
