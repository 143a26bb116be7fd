// The steps every drawing operation takes around its draw. Before: a front
// screen held as a software image is read back from the window, and, with
// the mask in effect, the rectangle the draw touches is saved into the
// mask's work image (the draw then goes there). After, also when the draw
// failed: the pixels the mask allows are copied back over the target, and
// the front screen is shown again.
#pragma once

#include "core/handle.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/mask.h"
#include "graphics/image/color_format.h"
#include "platform/types.h"

class DrawFrameScope {
public:
    // The rectangle's corners may come in any order; `useMask` is false for
    // draws the mask does not apply to. Most draws need neither step, and
    // find that out here without a call.
    explicit DrawFrameScope(const RECT& rect, bool useMask = true)
        : rect_(rect),
          front_(g_ScreenDevice.screenMemImg && g_ScreenColorFormat.depth > 8 &&
                 g_DrawState.drawTarget == kFrontScreenTarget),
          masked_(useMask && IsMaskInEffect()) {
        if (front_ || masked_) Open();
    }
    ~DrawFrameScope() {
        if (front_ || masked_) Close();
    }
    DrawFrameScope(const DrawFrameScope&) = delete;
    DrawFrameScope& operator=(const DrawFrameScope&) = delete;

    // The rectangle with its corners ordered.
    const RECT& rect() const { return rect_; }

private:
    void Open();
    void Close();

    RECT rect_;
    bool front_;
    bool masked_;
};
