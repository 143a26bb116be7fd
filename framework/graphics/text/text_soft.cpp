// The software text path: the text straight into the draw target's pixels,
// or, under a blend mode or with an edged font, composed in the font's cache
// surface first and then drawn from there like a graphic, so the blend and
// the edge's colour key apply to the text as a whole.
#include <algorithm>

#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "core/rect.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/soft_bridge.h"
#include "graphics/image/color_format.h"
#include "graphics/text/font.h"
#include "softrender/soft_draw_settings.h"

namespace {

TextWorkTarget WorkOver(MEMIMG* image, const ColorFormatDesc* format, const RECT& clip) {
    return TextWorkTarget{image->pixels, static_cast<int>(image->pitch), image->width, image->height, format, clip, 1};
}

RECT TextRect(int x, int y, const TextExtent& e) {
    return RECT{x + e.left, y + e.top, x + e.right, y + e.bottom};
}

// Straight into the target's pixels.
int DrawTextDirect(FontRecord* font, int x, int y, const char* text, std::uint32_t color, std::uint32_t edge,
                   const TextExtent& extent, const TextGlyphList& glyphs) {
    if (DrawsStraightIntoScreenMemImg()) {
        MEMIMG view;  // filled in whole when a view is needed; too large (2 KB) to clear each draw
        MEMIMG* target = StraightDrawTarget(&view);
        if (target == nullptr) return -1;
        RECT clip{};
        if (!ClipDrawAreaToImage(CurrentSoftDrawSettings(), target->width, target->height, &clip)) return 0;
        DrawTextThroughCache(font, x, y, text, color, edge, WorkOver(target, target->colorFormat, clip), &glyphs);
        InvalidateMemImgDerived(target);
        return 0;
    }
    RECT rect = TextRect(x, y, extent);
    // Nothing of it in the draw area: nothing to open. Edge by edge, which
    // is shorter work than the rectangle clipped whole.
    const RECT& area = g_DrawState.drawArea;
    if (std::max(rect.left, area.left) >= std::min(rect.right, area.right) ||
        std::max(rect.top, area.top) >= std::min(rect.bottom, area.bottom))
        return 0;
    if (BeginTargetMemImgAccessFor(nullptr, nullptr, 0, nullptr, &rect, 1, &color, &edge) < 0) return -1;
    const TargetMemImgAccess& a = g_TargetMemImgAccess;
    // Pixels locked in place keep the screen's format; copied ones were
    // converted to the standard format, and the colours with them.
    const ColorFormatDesc* format =
        a.convert && !a.copiedThroughWork1 ? &g_ScreenDevice.colorFormat : a.workImage->colorFormat;
    // Clipped to what was opened: the draw area narrowed to the rectangle.
    DrawTextThroughCache(font, x, y, text, color, edge, WorkOver(a.workImage, format, a.drawRect), &glyphs);
    EndTargetMemImgAccess();
    return 0;
}

// The lowest pixel value that is neither colour: the colour key of text
// composed without alpha.
std::uint32_t KeyColorFor(std::uint32_t text, std::uint32_t edge) {
    std::uint32_t key = 0;
    while (key == text || key == edge) ++key;
    return key;
}

// Composes the text in the cache surface at its (0, 0) and blends it onto
// the target at the text's place.
int DrawTextComposed(FontRecord* font, int x, int y, const char* text, std::uint32_t color, std::uint32_t edge,
                     const TextExtent& extent) {
    if (EnsureFontCacheSurface(font) < 0) return -1;
    const Surface2DRecord* surface = LookupSurface2D(font->cacheSurface);
    SurfaceDataRecord* data = surface != nullptr ? LookupSurfaceData(surface->surfaceData) : nullptr;
    if (data == nullptr) return -1;
    const int w = std::min(extent.right - extent.left, static_cast<int>(surface->width));
    const int h = std::min(extent.bottom - extent.top, static_cast<int>(surface->height));
    if (w <= 0 || h <= 0) return 0;

    int pitch = 0;
    void* pixels = nullptr;
    const ColorFormatDesc* format = nullptr;
    const RECT whole{0, 0, w, h};
    if (LockSurfaceData(surface->surfaceData, &pitch, &pixels, 0, &whole, &format) < 0 || format == nullptr) return -1;
    // A cache held as a software image is in a standard format, which the
    // colours are moved into; a DirectDraw cache is in the screen's own. The
    // key must differ from both colours in the colour bits, which are all a
    // colour key compares.
    const ColorFormatDesc* screen = GetScreenColorFormat();
    const bool same = SameColorFormat(format, screen) != 0;
    const std::uint32_t t = (same ? color : ConvertPixel(format, screen, color)) & ~format->alphaMask;
    const std::uint32_t e = (same ? edge : ConvertPixel(format, screen, edge)) & ~format->alphaMask;
    const bool alpha = format->alphaMask != 0;
    const std::uint32_t colourBits = format->redMask | format->greenMask | format->blueMask;
    const std::uint32_t key = alpha ? 0 : KeyColorFor(t & colourBits, e & colourBits);
    TextWorkTarget work{static_cast<std::uint8_t*>(pixels), pitch, w, h, format, whole, 1};
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            std::uint8_t* p = work.pixels + static_cast<std::ptrdiff_t>(row) * pitch + col * format->bytesPerPixel;
            for (int b = 0; b < format->bytesPerPixel; ++b) p[b] = static_cast<std::uint8_t>(key >> (8 * b));
        }
    DrawTextThroughCache(font, -extent.left, -extent.top, text, t, e, work);
    UnlockSurfaceData(surface->surfaceData);

    if (data->heldAsMemImg) {
        if (!alpha) data->memImg.transparentColor = key;
        InvalidateMemImgDerived(&data->memImg);
    } else {
        int r = 0, g = 0, b = 0;
        SplitColorCode(key, &r, &g, &b);
        data->transparentColor = static_cast<std::uint32_t>(r << 16 | g << 8 | b);
        SetSurfaceDataColorKey(surface->surfaceData);
    }

    DrawState& s = g_DrawState;
    const RECT savedArea = s.drawArea;
    const DrawRectF savedAreaF = s.drawAreaF;
    const std::uint32_t savedBright = s.brightColor;
    const int left = x + extent.left, top = y + extent.top;
    RECT area{left, top, left + w, top + h};
    ClipRectToRect(&area, &savedArea);
    int result = 0;
    if (area.left < area.right && area.top < area.bottom) {
        s.drawArea = area;
        s.drawAreaF = DrawRectF{static_cast<float>(area.left), static_cast<float>(area.top),
                                static_cast<float>(area.right), static_cast<float>(area.bottom)};
        SetBrightColor(255, 255, 255);
        result = SoftBlitGraph(left, top, font->cacheSurface, 1);
        s.drawArea = savedArea;
        s.drawAreaF = savedAreaF;
        SetBrightColorPacked(savedBright);
    }
    return result < 0 ? -1 : 0;
}

}  // namespace

int SoftDrawFontText(int x, int y, const char* text, std::uint32_t color, int fontHandle, std::uint32_t edgeColor,
                     int vertical) {
    return SoftDrawFontTextRecord(x, y, text, color, LookupFont(fontHandle), edgeColor, vertical);
}

int SoftDrawFontTextRecord(int x, int y, const char* text, std::uint32_t color, FontRecord* font,
                           std::uint32_t edgeColor, int) {
    if (SoftDrawingUnavailable()) return -1;
    if (font == nullptr || text == nullptr) return -1;
    if ((g_DrawState.brightColor & 0xFFFFFF) != 0xFFFFFF) BrightenTextColors(&color, &edgeColor);
    TextGlyphList glyphs;
    const TextExtent extent = MeasureTextExtentOf(font, text, &glyphs);
    if (extent.right <= extent.left || extent.bottom <= extent.top) return 0;
    const bool composed = (g_DrawState.blendMode != kBlendModeNone || (font->fontType & kFontTypeEdge) != 0) &&
                          GetScreenColorFormat()->depth != 8;
    if (composed) return DrawTextComposed(font, x, y, text, color, edgeColor, extent);
    return DrawTextDirect(font, x, y, text, color, edgeColor, extent, glyphs);
}
