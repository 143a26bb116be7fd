// Shared between the screen device's files and presenting.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"
#include "platform/ddraw.h"
#include "platform/types.h"

// The timer that keeps a front-screen draw target visible in screen-surface
// mode.
constexpr UINT_PTR kWindowRefreshTimerId = 32767;
constexpr UINT kWindowRefreshPeriodMs = 17;

// Keeps what the video card reported in the system information.
void SetVideoCardInfo(const char* driver, const char* description, DWORD totalMemory, DWORD freeMemory);

// The framework's background colour: as a screen colour code, and composed in
// another format with alpha 255.
std::uint32_t ScreenBackgroundCode();
std::uint32_t ScreenBackgroundIn(const ColorFormatDesc* format);
// A colour fill of the rectangle (null: the whole surface), waiting for the
// blitter.
HRESULT ColorFillSurface(D_IDirectDrawSurface7* surface, RECT* rect, std::uint32_t color);
