// For the benchmarks that time the DirectDraw stand-in itself: a plain
// off-screen surface of the object's, w x h; the program stops if none is
// made, as a benchmark without its surfaces would time nothing.
#pragma once

#include <cstdlib>

#include "platform/ddraw.h"

inline D_IDirectDrawSurface7* MakeOffscreenSurface(D_IDirectDraw7* dd, int w, int h) {
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN;
    D_IDirectDrawSurface7* s = nullptr;
    if (dd->CreateSurface(&desc, &s, nullptr) != D_DD_OK) std::abort();
    return s;
}
