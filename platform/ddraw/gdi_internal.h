// Device contexts are views of pixel memory; DirectDraw surfaces hand out DCs
// of their own memory through this.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/display.h"
#include "platform/gdi.h"

struct PixelTarget {
    std::uint8_t* bits = nullptr;
    int pitch = 0, width = 0, height = 0;
    PlatformPixelLayout layout{};
};

// A DC over memory that `target` describes at each use; `written` runs after
// each write through the DC.
HDC CreateTargetDC(std::function<PixelTarget()> target, std::function<void()> written);
void DestroyTargetDC(HDC dc);
