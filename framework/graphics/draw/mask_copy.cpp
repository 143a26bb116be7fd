// The two steps around a draw through the mask: the target's rectangle
// saved into the work image before the draw goes there, and afterwards only
// the pixels the mask allows copied back over the target.
//
// The mask buffer and the work image are addressed in draw-target
// coordinates; only the target itself is reached at its own place (a part
// graphic inside its surface, the front screen at the window's place on the
// primary surface). The copy back is per pixel and takes no colour key, so
// a drawn pixel of the key's colour is kept like any other.
#include <cstring>

#include "core/rect.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/mask.h"
#include "graphics/image/convert_blit.h"

namespace {

// One side of a copy: the pixel at the rectangle's top-left corner, the row
// pitch and the format; the surface to unlock or the image to mark written.
struct PixelSide {
    std::uint8_t* corner = nullptr;
    int pitch = 0;
    const ColorFormatDesc* format = nullptr;
    ColorFormatDesc surfaceFormat{};
    D_IDirectDrawSurface7* locked = nullptr;
    MEMIMG* image = nullptr;

    PixelSide() = default;
    PixelSide(const PixelSide&) = delete;
    PixelSide& operator=(const PixelSide&) = delete;
    ~PixelSide() {
        if (locked != nullptr) locked->Unlock(nullptr);
    }
};

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// The rectangle (x, y) of the image at the corner; false when it does not
// lie wholly inside the image.
bool OpenImage(MEMIMG* image, const RECT& r, PixelSide* side) {
    if (image == nullptr || !MemImgHasPixels(image)) return false;
    if (r.left < 0 || r.top < 0 || r.right > image->width || r.bottom > image->height) return false;
    side->corner = image->pixels + static_cast<std::ptrdiff_t>(r.top) * image->pitch +
                   static_cast<std::ptrdiff_t>(r.left) * image->colorFormat->bytesPerPixel;
    side->pitch = static_cast<int>(image->pitch);
    side->format = image->colorFormat;
    side->image = image;
    return true;
}

bool OpenSurface(D_IDirectDrawSurface7* surface, const RECT& r, PixelSide* side) {
    if (surface == nullptr) return false;
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    RECT lockRect = r;
    if (FAILED(surface->Lock(&lockRect, &desc, D_DDLOCK_WAIT, nullptr))) return false;
    side->locked = surface;
    ColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &side->surfaceFormat);
    side->corner = static_cast<std::uint8_t*>(desc.lpSurface);
    side->pitch = static_cast<int>(desc.lPitch);
    side->format = &side->surfaceFormat;
    return true;
}

bool OpenWork(const RECT& r, PixelSide* side) {
    MaskScreenState& m = g_MaskScreen;
    return m.workIsMemImg ? OpenImage(&m.workImage, r, side) : OpenSurface(m.workSurface, r, side);
}

bool OpenTarget(const MaskDrawTarget& target, const RECT& r, PixelSide* side) {
    const RECT moved{r.left + target.originX, r.top + target.originY, r.right + target.originX,
                     r.bottom + target.originY};
    return target.image != nullptr ? OpenImage(target.image, moved, side) : OpenSurface(target.surface, moved, side);
}

bool HasWorkImage() {
    const MaskScreenState& m = g_MaskScreen;
    return m.workIsMemImg ? MemImgHasPixels(&m.workImage) != 0 : m.workSurface != nullptr;
}

// The rectangle both steps work on: inside the draw area and the mask
// screen.
bool MaskRect(const RECT& rect, RECT* out) {
    RECT r = rect;
    NormalizeRect(&r);
    ClipRectToRect(&r, &g_DrawState.drawArea);
    const RECT screen{0, 0, g_MaskScreen.width, g_MaskScreen.height};
    ClipRectToRect(&r, &screen);
    *out = r;
    return !IsEmpty(r);
}

// `count` pixels of row y from column x, both sides relative to their
// corners; converted when the formats differ.
void CopyRun(const PixelSide& to, const PixelSide& from, int x, int y, int count) {
    const int bytes = to.format->bytesPerPixel;
    if (bytes == from.format->bytesPerPixel && SameColorFormat(to.format, from.format)) {
        std::memcpy(to.corner + static_cast<std::ptrdiff_t>(y) * to.pitch + static_cast<std::ptrdiff_t>(x) * bytes,
                    from.corner + static_cast<std::ptrdiff_t>(y) * from.pitch + static_cast<std::ptrdiff_t>(x) * bytes,
                    static_cast<std::size_t>(count) * static_cast<std::size_t>(bytes));
        return;
    }
    const RECT source{x, y, x + count, y + 1};
    BlitConvertFormat(to.corner, to.pitch, to.format, from.corner, from.pitch, from.format, nullptr, 0, nullptr, x, y,
                      &source, 0, 0, 0, 0, 0, 0, 0);
}

bool Allows(std::uint8_t maskByte) { return g_MaskScreen.reversal ? maskByte == 0 : maskByte != 0; }

// Copies the rectangle r (draw-target coordinates) from one side to the
// other: every pixel, or with `masked` only the runs the mask allows.
void CopyRect(const PixelSide& to, const PixelSide& from, const RECT& r, bool masked) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    for (int y = 0; y < height; ++y) {
        if (!masked) {
            CopyRun(to, from, 0, y, width);
            continue;
        }
        const std::uint8_t* row = g_MaskScreen.buffer +
                                  static_cast<std::ptrdiff_t>(r.top + y) * g_MaskScreen.rowBytes + r.left;
        for (int x = 0; x < width;) {
            if (!Allows(row[x])) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < width && Allows(row[end])) ++end;
            CopyRun(to, from, x, y, end - x);
            x = end;
        }
    }
    if (to.image != nullptr) InvalidateMemImgDerived(to.image);
}

MaskDrawTarget CurrentMaskDrawTarget() {
    const DrawTargetBinding& b = g_DrawTargetBinding;
    MaskDrawTarget target{nullptr, nullptr, b.offsetX, b.offsetY};
    if (b.image != nullptr && MemImgHasPixels(b.image)) {
        target.image = b.image;
        return target;
    }
    target.surface = b.surface;
    if (g_DrawState.drawTarget == kFrontScreenTarget && b.surface != nullptr) {
        // The front screen is the window's part of the primary surface.
        RECT onPrimary{};
        GetScreenRectOnPrimary(&onPrimary);
        target.originX += onPrimary.left;
        target.originY += onPrimary.top;
    }
    return target;
}

}  // namespace

int SaveRectForMask(const RECT& rect, const MaskDrawTarget& target) {
    if (!HasWorkImage()) return 0;
    EndDeviceScene();
    RECT r;
    if (!MaskRect(rect, &r)) return 0;
    PixelSide work, from;
    if (OpenTarget(target, r, &from) && OpenWork(r, &work)) CopyRect(work, from, r, false);
    return 0;
}

int RestoreMaskedRect(const RECT& rect, const MaskDrawTarget& target) {
    if (!g_DrawState.maskInEffect || g_MaskScreen.buffer == nullptr || !HasWorkImage()) return 0;
    EndDeviceScene();
    RECT r;
    if (!MaskRect(rect, &r)) return 0;
    PixelSide work, to;
    if (OpenTarget(target, r, &to) && OpenWork(r, &work)) CopyRect(to, work, r, true);
    return 0;
}

int BeginMaskedDrawOnTarget(const RECT& rect) { return SaveRectForMask(rect, CurrentMaskDrawTarget()); }

int EndMaskedDrawOnTarget(const RECT& rect) { return RestoreMaskedRect(rect, CurrentMaskDrawTarget()); }
