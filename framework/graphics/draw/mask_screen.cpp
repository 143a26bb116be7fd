// The mask screen: its byte buffer, the work image draws go into while the
// mask is in effect, and the mask switch.
#include <cstring>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/mask.h"
#include "window/window.h"

MaskScreenState g_MaskScreen{};

namespace {

// The work surface: the screen's size and format, keyed with the mask's
// transparent colour; in system memory when the screen is held as software
// images, else where the device puts it.
D_IDirectDrawSurface7* MakeWorkSurface(int width, int height) {
    D_IDirectDraw7* directDraw = g_ScreenDevice.directDraw;
    if (directDraw == nullptr) return nullptr;
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_CKSRCBLT;
    desc.ddsCaps.dwCaps = g_ScreenDevice.screenMemImg ? D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY
                                                      : D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_3DDEVICE;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddckCKSrcBlt = D_DDCOLORKEY{g_MaskScreen.transparentColor, g_MaskScreen.transparentColor};
    D_IDirectDrawSurface7* surface = nullptr;
    if (FAILED(directDraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

bool WorkIsMemImg() { return g_ScreenDevice.screenMemImg && g_ScreenColorFormat.depth != 8; }

}  // namespace

int MakeMaskWorkScreen(int makeBuffer, int makeWorkImage) {
    MaskScreenState& m = g_MaskScreen;
    int width = 0, height = 0;
    QueryScreenSize(&width, &height);
    if (makeBuffer && m.buffer == nullptr) {
        const int rowBytes = (width + 3) / 4 * 4;
        m.buffer = static_cast<std::uint8_t*>(
            KV_ALLOC_ZEROED(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height)));
        if (m.buffer == nullptr) return WriteLogText("マスク用バッファの確保に失敗しました\n");
        m.rowBytes = rowBytes;
        m.width = width;
        m.height = height;
    }
    if (makeWorkImage && m.workSurface == nullptr && !m.workIsMemImg) {
        if (WorkIsMemImg()) {
            if (InitScreenMemImg(&m.workImage, width, height, -1) < 0) FatalError("マスク用 MEMIMG の作成に失敗しました");
            m.workIsMemImg = 1;
            m.workVideoMemory = 0;
        } else {
            m.workSurface = MakeWorkSurface(width, height);
            if (m.workSurface == nullptr) FatalError("マスク用サーフェスの作成に失敗しました");
            D_DDSCAPS2 caps{};
            m.workSurface->GetCaps(&caps);
            m.workVideoMemory = (caps.dwCaps & D_DDSCAPS_VIDEOMEMORY) ? 1 : 0;
            m.workIsMemImg = 0;
        }
    }
    return 0;
}

int ReleaseMaskWorkSurface() {
    MaskScreenState& m = g_MaskScreen;
    if (m.workSurface != nullptr) m.workSurface->Release();
    m.workSurface = nullptr;
    m.workVideoMemory = 0;
    return 0;
}

int ReleaseMaskWorkScreen() {
    MaskScreenState& m = g_MaskScreen;
    KV_FREE(m.buffer);
    m.buffer = nullptr;
    m.rowBytes = m.width = m.height = 0;
    ReleaseMaskWorkSurface();
    if (m.workIsMemImg) {
        ReleaseMemImg(&m.workImage);
        m.workIsMemImg = 0;
    }
    return 0;
}

D_IDirectDrawSurface7* GetMaskSurface() { return g_MaskScreen.workSurface; }

MEMIMG* GetMaskDrawMemImg() { return g_MaskScreen.workIsMemImg ? &g_MaskScreen.workImage : nullptr; }

int HasMaskBuffer() { return g_MaskScreen.buffer != nullptr ? 1 : 0; }

int GetMaskScreenFlag() { return g_MaskScreen.screenFlag; }


int SetMaskActive(int flag) {
    if (g_MaskScreen.buffer == nullptr) return -1;
    DrawState& s = g_DrawState;
    s.maskOn = flag;
    s.maskInEffect = flag != 0 && g_MaskScreen.screenFlag ? 1 : 0;
    // Drawn through the mask, the target is addressed from its own (0, 0):
    // the work image is screen-sized wherever the window lies.
    ResetDrawTargetRect();
    if (IsDirect3DUp()) ApplyDrawTargetToDevice(s.maskInEffect);
    return 0;
}

int GetMaskActive() { return g_DrawState.maskOn; }

int CreateMaskScreen() {
    if (g_DrawState.drawingSuppressed) return -1;
    // Without a device there is nothing to make the work image with.
    if (!g_ScreenDevice.screenMemImg && g_ScreenDevice.directDraw == nullptr) return -1;
    if (MakeMaskWorkScreen(1, 1) < 0) return -1;
    g_MaskScreen.screenFlag = 1;
    return SetMaskActive(g_DrawState.maskOn);
}

int DeleteMaskScreen() {
    if (g_MaskScreen.buffer == nullptr) return 0;
    g_MaskScreen.screenFlag = 0;
    SetMaskActive(g_DrawState.maskOn);
    ReleaseMaskWorkScreen();
    return 0;
}

int FillMaskScreen(std::uint8_t value) {
    const MaskScreenState& m = g_MaskScreen;
    if (m.buffer == nullptr) return -1;
    std::memset(m.buffer, value, static_cast<std::size_t>(m.rowBytes) * static_cast<std::size_t>(m.height));
    return 0;
}

int ShutDownMask() {
    // Not while the framework ends: an inactive window may never become
    // active again, and releasing needs no active window.
    if (!g_SystemState.ending) WaitWhileInactive();
    if (g_DrawState.maskOn && g_MaskScreen.buffer != nullptr) SetMaskActive(0);
    ReleaseMaskWorkScreen();
    g_MaskScreen.screenFlag = 0;
    g_DrawState.maskInEffect = 0;
    return 0;
}
