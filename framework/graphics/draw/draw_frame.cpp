#include "graphics/draw/draw_frame.h"

#include "core/rect.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/mask.h"

void DrawFrameScope::Open() {
    // Only the front screen and the mask read the rectangle.
    NormalizeRect(&rect_);
    // The window first, so that what the mask saves is what is shown.
    if (front_) PullWindowToMemImgScreen();
    if (masked_) BeginMaskedDrawOnTarget(rect_);
}

void DrawFrameScope::Close() {
    if (masked_) EndMaskedDrawOnTarget(rect_);
    if (front_) PushMemImgScreenToWindow(rect_);
}
