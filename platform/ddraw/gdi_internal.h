// Device contexts are views of pixel memory; DirectDraw surfaces hand out DCs
// of their own memory through this.
#pragma once

#include <cstdint>

#include "platform/display.h"
#include "platform/gdi.h"

struct PixelTarget {
    std::uint8_t* bits = nullptr;
    int pitch = 0, width = 0, height = 0;
    PlatformPixelLayout layout{};
    bool screen = false;  // the display's framebuffer, written under the display lock
};

// Pixel memory kept elsewhere (a DirectDraw surface's) that a DC draws into.
class DcPixelOwner {
public:
    // The pixels as they are now.
    virtual void DcTarget(PixelTarget* out) = 0;
    // After each write through the DC.
    virtual void DcWritten() = 0;

protected:
    ~DcPixelOwner() = default;
};

// A DC over `owner`'s pixels, made once and kept by the owner until it
// destroys it; GDI's own ReleaseDC and DeleteDC refuse it.
HDC CreateTargetDC(DcPixelOwner* owner);
void DestroyTargetDC(HDC dc);
