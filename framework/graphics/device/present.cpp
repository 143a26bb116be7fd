// Presenting the finished frame: a flip in full screen, otherwise a copy of
// the back buffer into the window; pacing to the vertical blank; the
// draw-target binding; and keeping a front-screen target visible.
#include "graphics/device/present.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"

#include "core/screen_log.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/screen_device_internal.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/convert_blit.h"
#include "platform/gdi.h"
#include "softrender/fill/fill_rect.h"
#include "window/window.h"

DrawTargetBinding g_DrawTargetBinding{};

namespace {

// Full-screen flipping is the present of a DirectDraw screen in full screen.
bool FullScreenFlipping() {
    const ScreenDeviceState& d = g_ScreenDevice;
    return !d.screenMemImg && !GetGdiSurfaceMode() && !d.softwareOnly && !IsWindowMode() && !IsMenuEnabled();
}

// Draws the on-screen log over the frame with plain settings, then puts the
// draw area, blend and bright colour back.
void DrawScreenLogOverFrame() {
    if (GetScreenLogLineCount() <= 0) return;
    RECT area = g_DrawState.drawArea;
    int mode = g_DrawState.blendMode, param = g_DrawState.blendParam;
    std::uint32_t bright = g_DrawState.brightColor;
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    SetDrawViewport(0, 0, w, h);
    SetBlendModeParam(0, 0);
    SetBrightColor(255, 255, 255);
    DrawScreenLog();
    SetDrawViewport(area.left, area.top, area.right, area.bottom);
    SetBlendModeParam(mode, param);
    SetBrightColorPacked(bright);
}

HRESULT DepthFill(D_IDirectDrawSurface7* surface) {
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 65535;
    return surface->Blt(nullptr, nullptr, nullptr, D_DDBLT_DEPTHFILL | D_DDBLT_WAIT, &fx);
}

// The window's client area as the present's destination: the screen size
// times the window's size ratio.
RECT WindowDestination(int width, int height) {
    RECT client{};
    GetClientScreenRect(&client);
    double scale = GetWindowScale();
    return RECT{client.left, client.top, client.left + static_cast<LONG>(width * scale),
                client.top + static_cast<LONG>(height * scale)};
}

// A top-down DIB header for a software image.
BITMAPINFO DibFor(const MEMIMG& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(image.colorFormat->depth);
    info.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {image.colorFormat->redMask, image.colorFormat->greenMask, image.colorFormat->blueMask};
    std::memcpy(info.bmiColors, masks, sizeof masks);
    return info;
}

// A DIB's rows must be 4-byte aligned; the screen images are, at 16 and 32
// bits and a width of 640.
void CopyImageToWindow(const MEMIMG& image, const RECT* only) {
    BITMAPINFO info = DibFor(image);
    HDC dc = GetDC(g_SystemState.mainWindow);
    RECT client{};
    GetClientScreenRect(&client);
    int cw = client.right - client.left, ch = client.bottom - client.top;
    if (only != nullptr) {
        // Only the rectangle's rows, unscaled.
        int rows = only->bottom - only->top;
        const std::uint8_t* first = image.pixels + static_cast<std::size_t>(only->top) * image.pitch;
        info.bmiHeader.biHeight = -rows;
        SetDIBitsToDevice(dc, 0, only->top, static_cast<DWORD>(image.width), static_cast<DWORD>(rows), 0, 0, 0,
                          static_cast<UINT>(rows), first, &info, DIB_RGB_COLORS);
    } else if (cw == image.width && ch == image.height) {
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(image.width), static_cast<DWORD>(image.height), 0, 0, 0,
                          static_cast<UINT>(image.height), image.pixels, &info, DIB_RGB_COLORS);
    } else {
        StretchDIBits(dc, 0, 0, cw, ch, 0, 0, image.width, image.height, image.pixels, &info, DIB_RGB_COLORS,
                      SRCCOPY);
    }
    ReleaseDC(g_SystemState.mainWindow, dc);
}

// A view of a locked surface rectangle as a GraphImage in the screen format.
GraphImage LockedImage(const D_DDSURFACEDESC2& desc, int width, int height) {
    GraphImage image{};
    image.colorFormat = g_ScreenDevice.colorFormat;
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.pitch = static_cast<std::uint32_t>(desc.lPitch);
    image.pixels = static_cast<std::uint8_t*>(desc.lpSurface);
    return image;
}

}  // namespace

// ---- presenting ------------------------------------------------------------------------

int PresentScreen() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (!d.softwareOnly && d.directDraw == nullptr) return -1;
    WaitWhileInactive();
    if (!FullScreenFlipping()) return PresentToWindow();
    DrawScreenLogOverFrame();
    if (GetDrawTarget() == kFrontScreenTarget && d.vblankWait) {
        ++d.presentCount;
        return WaitVerticalBlankLoop(1);
    }
    FlushVertexBatch();
    EndDeviceScene();
    if (d.primary == nullptr) return -1;
    DWORD flags = d.vblankWait ? D_DDFLIP_WAIT : (D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC);
    d.primary->Flip(nullptr, flags);
    if (d.vblankWait) Sleep(1);
    ++d.presentCount;
    return 0;
}

int PresentToWindow() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (!d.softwareOnly && d.directDraw == nullptr) return -1;
    DrawScreenLogOverFrame();
    if (GetDrawTarget() == kFrontScreenTarget) {
        ++d.presentCount;
        return WaitVerticalBlankLoop(1);
    }
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    RECT source{0, 0, w, h};
    RECT dest = IsWindowMode() ? WindowDestination(w, h) : source;
    DWORD start = timeGetTime();

    if (!d.screenMemImg || d.depth == 8) {
        FlushVertexBatch();
        EndDeviceScene();
        if (d.vblankWait) WaitVBlankPaced();
        if (d.primary == nullptr || d.back == nullptr) return -1;
        if (IsWindowMode())
            d.primary->Blt(&dest, d.back, &source, D_DDBLT_WAIT, nullptr);
        else if (!GetGdiSurfaceMode() && !IsMenuEnabled())
            d.primary->BltFast(0, 0, d.back, &source, D_DDBLTFAST_WAIT);
        else
            d.primary->Blt(nullptr, d.back, nullptr, D_DDBLT_WAIT, nullptr);
    } else if (!d.softwareOnly) {
        if (d.primary == nullptr || d.back == nullptr) return -1;
        if (d.backImageOverSurface) {
            d.back->Unlock(nullptr);
            if (d.vblankWait) WaitVBlankPaced();
            d.primary->Blt(&dest, d.back, &source, D_DDBLT_WAIT, nullptr);
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            if (FAILED(d.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr))) {
                // The image must not keep pointing into a surface that is no
                // longer locked: drawing is refused until the screen is rebuilt.
                d.backImageOverSurface = 0;
                ReleaseMemImg(&d.backImage);
                std::memset(&d.backImage, 0, sizeof d.backImage);
                return WriteLogText("バックサーフェスのロックに失敗しました");
            }
            // The surface may have moved: lay the image over it again.
            ReleaseMemImg(&d.backImage);
            std::memset(&d.backImage, 0, sizeof d.backImage);
            d.backImage.pixels = static_cast<std::uint8_t*>(desc.lpSurface);
            int kind = d.depth == 16 ? static_cast<int>(kMemImgKind565) : static_cast<int>(kMemImgKind888);
            InitMemImg(&d.backImage, w, h, desc.lPitch, 0, kind, 0, 0, 0);
        } else {
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            if (FAILED(d.back->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr)))
                return WriteLogText("バックサーフェスのロックに失敗しました");
            GraphImage target = LockedImage(desc, w, h);
            ConvertMemImgRectToGraphImage(&target, &d.backImage, 0, 0, w, h, 0, 0, 0, 0);
            d.back->Unlock(nullptr);
            if (d.vblankWait) WaitVBlankPaced();
            d.primary->Blt(&dest, d.back, &source, D_DDBLT_WAIT, nullptr);
        }
    } else {
        if (d.vblankWait) WaitVBlankPaced();
        if (d.backImage.magic == kMemImgMagic) CopyImageToWindow(d.backImage, nullptr);
    }
    d.presentedSinceLastPull = 1;
    d.lastPresentCopyMs = static_cast<int>(timeGetTime() - start);
    ++d.presentCount;
    return 0;
}

void WaitVBlankPaced() {
    ScreenDeviceState& d = g_ScreenDevice;
    int interval = d.minPresentInterval;
    D_IDirectDraw7* object = d.directDraw;
    if (interval < 0 || static_cast<std::int32_t>(timeGetTime() - d.lastPresentTime) >= interval) {
        Sleep(0);
        BOOL inBlank = FALSE;
        if (object != nullptr) object->GetVerticalBlankStatus(&inBlank);
        if (!inBlank && object != nullptr) object->WaitForVerticalBlank(D_DDWAITVB_BLOCKBEGIN, nullptr);
    } else {
        while (static_cast<std::int32_t>(timeGetTime() - d.lastPresentTime) < interval) Sleep(1);
        if (object != nullptr) object->WaitForVerticalBlank(D_DDWAITVB_BLOCKBEGIN, nullptr);
    }
    d.lastPresentTime = timeGetTime();
}

int WaitVerticalBlankLoop(int count) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.directDraw == nullptr) return -1;
    if (g_DrawState.drawingSuppressed) return 0;
    if (count < 0) return 0;
    WaitWhileInactive();
    // Each wait gives up after a bounded number of polls, so a display that
    // never reports a blank cannot hang the caller.
    constexpr int kMaxPolls = 2'000'000;
    auto waitFor = [&](bool wantBlank) {
        BOOL inBlank = FALSE;
        for (int polls = 0; polls < kMaxPolls; ++polls) {
            d.directDraw->GetVerticalBlankStatus(&inBlank);
            if ((inBlank != FALSE) == wantBlank) return true;
            if (ProcessMessage() != 0) return false;
        }
        return false;
    };
    int rounds = count == 0 ? 1 : count;
    for (int i = 0; i < rounds; ++i) {
        if (count > 0) waitFor(false);
        waitFor(true);
        if (ProcessMessage() < 0) return -1;
    }
    return 0;
}

std::uint64_t GetPresentCount() { return g_ScreenDevice.presentCount; }

// ---- the draw target -----------------------------------------------------------------

int BindDrawTargetSurface(HandleId newTarget, HandleId oldTarget) {
    ScreenDeviceState& d = g_ScreenDevice;
    DrawTargetBinding& b = g_DrawTargetBinding;
    if (oldTarget == kFrontScreenTarget && d.screenSurfaceMode) {
        KillTimer(d.window, kWindowRefreshTimerId);
        PushBackSurfaceToWindow();
    }
    DrawTargetBinding next{};
    if (newTarget == kFrontScreenTarget) {
        d.drawingDisabled = 0;
        next.surface = d.screenSurfaceMode ? d.tempPrimary : d.primary;
        next.image = d.frontImage.magic == kMemImgMagic ? &d.frontImage : nullptr;
        if (!d.softwareOnly && d.primary != nullptr) {
            if (!FullScreenFlipping()) d.primary->SetClipper(nullptr);
            if (d.screenSurfaceMode) {
                d.primary->SetClipper(d.clipper);
                PullWindowToBackSurface();
                SetTimer(d.window, kWindowRefreshTimerId, kWindowRefreshPeriodMs, WindowRefreshTimerProc);
            }
        }
    } else if (newTarget == kBackScreenTarget) {
        next.surface = d.back;
        next.image = d.backImage.magic == kMemImgMagic ? &d.backImage : nullptr;
        next.zImage = d.zImage.magic == kMemImgMagic ? &d.zImage : nullptr;
        next.zSurface = d.zBuffer;
        d.drawingDisabled = 0;
    } else {
        const GraphRecord* graph = LookupGraph(newTarget);
        if (graph == nullptr) return -1;
        const int bound = graph->textureGraph ? GetTextureTargetStorage(graph, &next) : GetGraphTargetStorage(graph, &next);
        if (bound != 0) return -1;
    }
    if (newTarget != kFrontScreenTarget && !d.softwareOnly && d.primary != nullptr && !FullScreenFlipping())
        d.primary->SetClipper(d.clipper);
    next.videoMemory = 0;
    if (next.surface != nullptr) {
        D_DDSCAPS2 caps{};
        next.surface->GetCaps(&caps);
        next.videoMemory = (caps.dwCaps & D_DDSCAPS_VIDEOMEMORY) ? 1 : 0;
    }
    b = next;
    d.targetSurface = b.surface;
    return 0;
}

int ClearDrawTargetPixels() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.drawingDisabled || g_DrawState.drawingSuppressed) return -1;
    if (!d.softwareOnly && d.directDraw == nullptr) return -1;
    EndDeviceScene();
    FlushVertexBatch();
    DrawTargetBinding& b = g_DrawTargetBinding;
    HandleId target = GetDrawTarget();

    if (d.screenMemImg && d.depth != 8 && (target == kBackScreenTarget || target == kFrontScreenTarget)) {
        if (b.image != nullptr) ClearMemImgRect(b.image, nullptr, ScreenBackgroundIn(b.image->colorFormat));
        // The screen's depth image is written nowhere else: once cleared it
        // stays so, and 600 KB a frame need not be written again.
        if (b.zImage != nullptr && !(b.zImage == &d.zImage && d.zImageHoldsClear)) {
            ClearMemImgRect(b.zImage, nullptr, 65535);
            if (b.zImage == &d.zImage) d.zImageHoldsClear = 1;
        }
        return 0;
    }
    if (target != kBackScreenTarget && target != kFrontScreenTarget) {
        const GraphRecord* graph = LookupGraph(target);
        if (graph == nullptr) return -1;
        if (graph->textureGraph) return 0;
        if (b.surface != nullptr) {
            if (b.zSurface != nullptr) DepthFill(b.zSurface);
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            b.surface->GetSurfaceDesc(&desc);
            RECT whole{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
            ColorFillSurface(b.surface, &whole, ScreenBackgroundCode());
        } else if (b.image != nullptr) {
            if (b.zImage != nullptr) ClearMemImgRect(b.zImage, nullptr, 65535);
            FillRectMemImg(b.image, nullptr, ScreenBackgroundIn(b.image->colorFormat));
        }
        return 0;
    }
    if (b.surface == nullptr) return -1;
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    RECT rect{0, 0, w, h};
    if (target == kFrontScreenTarget && IsWindowMode()) GetScreenRectOnPrimary(&rect);
    ColorFillSurface(b.surface, &rect, ScreenBackgroundCode());
    if (b.zSurface != nullptr) DepthFill(b.zSurface);
    return 0;
}

// ---- keeping the front screen visible -------------------------------------------------

namespace {

// Copies between the window's client rectangle on the primary and the whole
// temporary primary, one way or the other.
void CopyWindowAndTempPrimary(bool toWindow) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.primary == nullptr || d.tempPrimary == nullptr) return;
    RECT client{};
    GetClientScreenRect(&client);
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    RECT local{0, 0, w, h};
    RECT window{client.left, client.top, client.left + w, client.top + h};
    if (toWindow)
        d.primary->Blt(&window, d.tempPrimary, &local, D_DDBLT_WAIT, nullptr);
    else
        d.tempPrimary->Blt(&local, d.primary, &window, D_DDBLT_WAIT, nullptr);
}

}  // namespace

void PullWindowToBackSurface() { CopyWindowAndTempPrimary(false); }

void PushBackSurfaceToWindow() { CopyWindowAndTempPrimary(true); }

void WindowRefreshTimerProc(HWND window, UINT, UINT_PTR, DWORD) {
    KillTimer(window, kWindowRefreshTimerId);
    if (g_ScreenDevice.primary == nullptr) return;
    PushBackSurfaceToWindow();
    SetTimer(window, kWindowRefreshTimerId, kWindowRefreshPeriodMs, WindowRefreshTimerProc);
}

void GetScreenRectOnPrimary(RECT* rect) {
    int w = 0, h = 0;
    QueryScreenSize(&w, &h);
    *rect = RECT{0, 0, w, h};
    if (!g_ScreenDevice.screenSurfaceMode) {
        RECT client{};
        GetClientScreenRect(&client);
        rect->left += client.left;
        rect->right += client.left;
        rect->top += client.top;
        rect->bottom += client.top;
    }
}

int PullWindowToMemImgScreen() {
    ScreenDeviceState& d = g_ScreenDevice;
    if (!(d.screenMemImg || d.softwareOnly) || !d.presentedSinceLastPull) return 0;
    if (d.frontImage.magic != kMemImgMagic) return -1;
    d.presentedSinceLastPull = 0;
    int w = d.frontImage.width, h = d.frontImage.height;
    if (d.softwareOnly) {
        HDC windowDC = GetDC(g_SystemState.mainWindow);
        HDC memory = CreateCompatibleDC(windowDC);
        HBITMAP bitmap = CreateCompatibleBitmap(windowDC, w, h);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, windowDC, 0, 0, SRCCOPY);
        BITMAPINFO info = DibFor(d.frontImage);
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), d.frontImage.pixels, &info, DIB_RGB_COLORS);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(g_SystemState.mainWindow, windowDC);
        InvalidateMemImgDerived(&d.frontImage);
        return 0;
    }
    D_IDirectDrawSurface7* from = d.screenSurfaceMode ? d.tempPrimary : d.primary;
    if (from == nullptr) return -1;
    RECT rect{};
    GetScreenRectOnPrimary(&rect);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(from->Lock(&rect, &desc, D_DDLOCK_WAIT, nullptr))) return -1;
    RECT all{0, 0, w, h};
    BlitConvertFormat(d.frontImage.pixels, static_cast<int>(d.frontImage.pitch), d.frontImage.colorFormat,
                      static_cast<const std::uint8_t*>(desc.lpSurface), desc.lPitch, &d.colorFormat, nullptr, 0,
                      nullptr, 0, 0, &all, 0, 0, 0, 0, 0, 0, 0);
    from->Unlock(&rect);
    InvalidateMemImgDerived(&d.frontImage);
    return 0;
}

int PushMemImgScreenToWindow(const RECT& area) {
    ScreenDeviceState& d = g_ScreenDevice;
    if (d.frontImage.magic != kMemImgMagic) return -1;
    RECT r{std::max<LONG>(area.left, 0), std::max<LONG>(area.top, 0), std::min<LONG>(area.right, d.frontImage.width),
           std::min<LONG>(area.bottom, d.frontImage.height)};
    if (r.left >= r.right || r.top >= r.bottom) return 0;
    if (d.softwareOnly) {
        CopyImageToWindow(d.frontImage, &r);
        return 0;
    }
    D_IDirectDrawSurface7* to = d.screenSurfaceMode ? d.tempPrimary : d.primary;
    if (to == nullptr) return -1;
    RECT onPrimary = r;
    if (IsWindowMode() && !d.screenSurfaceMode) {
        RECT client{};
        GetClientScreenRect(&client);
        onPrimary.left += client.left;
        onPrimary.right += client.left;
        onPrimary.top += client.top;
        onPrimary.bottom += client.top;
    }
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(to->Lock(&onPrimary, &desc, D_DDLOCK_WAIT, nullptr))) return -1;
    const std::uint8_t* from = d.frontImage.pixels + static_cast<std::size_t>(r.top) * d.frontImage.pitch +
                               static_cast<std::size_t>(r.left) * d.frontImage.colorFormat->bytesPerPixel;
    RECT part{0, 0, r.right - r.left, r.bottom - r.top};
    BlitConvertFormat(static_cast<std::uint8_t*>(desc.lpSurface), desc.lPitch, &d.colorFormat, from,
                      static_cast<int>(d.frontImage.pitch), d.frontImage.colorFormat, nullptr, 0, nullptr, 0, 0,
                      &part, 0, 0, 0, 0, 0, 0, 0);
    to->Unlock(&onPrimary);
    return 0;
}
