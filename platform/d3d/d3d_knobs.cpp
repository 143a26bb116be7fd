// The stand-in's settings: whether a device is offered, what it reports,
// which calls fail, and the call log.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "d3d/d3d_internal.h"

const IID IID_D_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
const IID IID_D_IDirect3DTnLHalDevice = {0xF5049E78, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
const IID IID_D_IDirect3DRGBDevice = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const IID IID_D_IDirect3DDevice7 = {0xF5049E79, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};

namespace {

std::mutex g_logMutex;
std::vector<D3DCallRecord> g_callLog;

D_D3DDEVICEDESC7 HardwareDesc(const GUID& guid) {
    D_D3DDEVICEDESC7 d{};
    d.dwDevCaps = 0;
    for (D_D3DPRIMCAPS* caps : {&d.dpcLineCaps, &d.dpcTriCaps}) {
        caps->dwSize = sizeof *caps;
        caps->dwTextureCaps = D_D3DPTEXTURECAPS_PERSPECTIVE | D_D3DPTEXTURECAPS_POW2 | D_D3DPTEXTURECAPS_ALPHA;
        caps->dwZCmpCaps = caps->dwAlphaCmpCaps = 0xFF;
        caps->dwSrcBlendCaps = caps->dwDestBlendCaps = 0x7FF;
    }
    d.dwDeviceRenderBitDepth = D_DDBD_16 | D_DDBD_32;
    d.dwDeviceZBufferBitDepth = D_DDBD_16;
    d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = d.dwMaxTextureHeight = 2048;
    d.dwMaxTextureRepeat = 2048;
    d.dwMaxTextureAspectRatio = 2048;
    d.dwFVFCaps = 2;
    d.wMaxTextureBlendStages = 4;
    d.wMaxSimultaneousTextures = 4;
    d.dvMaxVertexW = 1.0e10f;
    d.deviceGUID = guid;
    return d;
}

D_DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    D_DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = D_DDPF_RGB | (a != 0 ? D_DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

}  // namespace

D3DStandInKnobs& PlatformD3DKnobsRef() {
    static D3DStandInKnobs knobs;
    return knobs;
}

void PlatformD3DReset() {
    PlatformD3DKnobsRef() = D3DStandInKnobs{};
    PlatformD3DClearCallLog();
}

const std::vector<D3DCallRecord>& PlatformD3DCallLog() { return g_callLog; }

void PlatformD3DClearCallLog() {
    std::lock_guard lock(g_logMutex);
    g_callLog.clear();
}

std::vector<D3DStandInDevice> PlatformD3DDefaultDevices() {
    return {{"Software rasteriser (HAL)", "HAL", HardwareDesc(IID_D_IDirect3DHALDevice)},
            {"Software rasteriser (T&L HAL)", "T&L HAL", HardwareDesc(IID_D_IDirect3DTnLHalDevice)}};
}

std::vector<D_DDPIXELFORMAT> PlatformD3DDefaultTextureFormats() {
    return {Rgb(16, 0xF800, 0x07E0, 0x001F, 0),           Rgb(16, 0x7C00, 0x03E0, 0x001F, 0),
            Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000),      Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
            Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0),           Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)};
}

bool D3DDeviceOffered() {
    const int offer = PlatformD3DKnobsRef().offerDevice;
    if (offer >= 0) return offer != 0;
    const char* v = std::getenv("KELVO_D3D");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

std::vector<D3DStandInDevice> D3DReportedDevices() {
    const D3DStandInKnobs& k = PlatformD3DKnobsRef();
    if (k.replaceDevices) return k.devices;
    return D3DDeviceOffered() ? PlatformD3DDefaultDevices() : std::vector<D3DStandInDevice>{};
}

std::vector<D_DDPIXELFORMAT> D3DReportedTextureFormats() {
    const D3DStandInKnobs& k = PlatformD3DKnobsRef();
    return k.replaceTextureFormats ? k.textureFormats : PlatformD3DDefaultTextureFormats();
}

std::vector<D_DDPIXELFORMAT> D3DReportedZFormats() {
    const D3DStandInKnobs& k = PlatformD3DKnobsRef();
    if (k.replaceZFormats) return k.zFormats;
    D_DDPIXELFORMAT z{};
    z.dwSize = sizeof z;
    z.dwFlags = D_DDPF_ZBUFFER;
    z.dwZBufferBitDepth = 16;
    z.dwZBitMask = 0xFFFF;
    return {z};
}

bool D3DCallFails(D3DCall call) {
    int& left = PlatformD3DKnobsRef().failNext[static_cast<int>(call)];
    if (left <= 0) return false;
    --left;
    return true;
}

void D3DLogCall(D3DCall call, DWORD a, DWORD b, DWORD c) {
    if (!PlatformD3DKnobsRef().logCalls) return;
    std::lock_guard lock(g_logMutex);
    g_callLog.push_back({call, a, b, c});
}
