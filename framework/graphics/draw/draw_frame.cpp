#include "graphics/draw/draw_frame.h"

#include "core/rect.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/mask.h"

DrawFrameScope::DrawFrameScope(const RECT& rect, bool useMask)
    : rect_(rect),
      front_(g_ScreenDevice.screenMemImg && g_ScreenColorFormat.depth > 8 &&
             g_DrawState.drawTarget == kFrontScreenTarget),
      masked_(useMask && IsMaskInEffect()) {
    // Only the front screen and the mask read the rectangle.
    if (front_ || masked_) NormalizeRect(&rect_);
    // The window first, so that what the mask saves is what is shown.
    if (front_) PullWindowToMemImgScreen();
    if (masked_) BeginMaskedDrawOnTarget(rect_);
}

DrawFrameScope::~DrawFrameScope() {
    if (masked_) EndMaskedDrawOnTarget(rect_);
    if (front_) PushMemImgScreenToWindow(rect_);
}
