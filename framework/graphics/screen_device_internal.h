// Shared between the screen device's files and presenting.
#pragma once

#include "platform/types.h"

// The timer that keeps a front-screen draw target visible in screen-surface
// mode.
constexpr UINT_PTR kWindowRefreshTimerId = 32767;
constexpr UINT kWindowRefreshPeriodMs = 17;

// Keeps what the video card reported in the system information.
void SetVideoCardInfo(const char* driver, const char* description, DWORD totalMemory, DWORD freeMemory);
