// The DirectDraw object, its clipper and palette.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "ddraw/ddraw_internal.h"
#include "ddraw/display_internal.h"
#include "platform/d3d.h"
#include "platform/kernel.h"

const CLSID CLSID_D_DirectDraw7 = {0x3C305196, 0x50DB, 0x11D3, {0x9C, 0xFE, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
const IID IID_D_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_D_IDirectDraw4 = {0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
const IID IID_D_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_D_IDirect3D7 = {0xF5049E77, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
const IID IID_D_IDirectDrawSurface7 = {0x06675A80, 0x3B9B, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

D_DDPIXELFORMAT PixelFormatOf(const PlatformPixelLayout& layout) {
    D_DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwFlags = D_DDPF_RGB | (layout.bitsPerPixel == 8 ? D_DDPF_PALETTEINDEXED8 : 0) |
                 (layout.alphaMask != 0 ? D_DDPF_ALPHAPIXELS : 0);
    pf.dwRGBBitCount = static_cast<DWORD>(layout.bitsPerPixel);
    pf.dwRBitMask = layout.redMask;
    pf.dwGBitMask = layout.greenMask;
    pf.dwBBitMask = layout.blueMask;
    pf.dwRGBAlphaBitMask = layout.alphaMask;
    return pf;
}

// ---- clipper -----------------------------------------------------------------------

HRESULT Clipper::SetHWnd(DWORD, HWND window) {
    if (!core_->alive) return D_DDERR_INVALIDOBJECT;
    window_ = window;
    return D_DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* window) {
    if (window == nullptr) return D_DDERR_INVALIDPARAMS;
    *window = window_;
    return D_DD_OK;
}

// ---- palette -----------------------------------------------------------------------

Palette::Palette(std::shared_ptr<DirectDrawCore> core, const PALETTEENTRY* entries) : core_(std::move(core)) {
    if (entries != nullptr) std::memcpy(entries_, entries, sizeof entries_);
}

HRESULT Palette::SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* entries) {
    if (!core_->alive) return D_DDERR_INVALIDOBJECT;
    if (entries == nullptr || start > 256 || count > 256 - start) return D_DDERR_INVALIDPARAMS;
    std::memcpy(entries_ + start, entries, count * sizeof(PALETTEENTRY));
    if (onPrimary_) PushToDisplay();
    return D_DD_OK;
}

HRESULT Palette::GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* entries) {
    if (entries == nullptr || start > 256 || count > 256 - start) return D_DDERR_INVALIDPARAMS;
    std::memcpy(entries, entries_ + start, count * sizeof(PALETTEENTRY));
    return D_DD_OK;
}

void Palette::AttachToPrimary(bool attached) {
    onPrimary_ = attached;
    if (attached) PushToDisplay();
}

void Palette::ToRgb(std::uint32_t* out256) const {
    for (int i = 0; i < 256; ++i)
        out256[i] = (static_cast<std::uint32_t>(entries_[i].peRed) << 16) |
                    (static_cast<std::uint32_t>(entries_[i].peGreen) << 8) | entries_[i].peBlue;
}

void Palette::PushToDisplay() const {
    std::uint32_t rgb[256];
    ToRgb(rgb);
    PlatformSetFramebufferPalette(rgb);
}

// ---- the DirectDraw object -------------------------------------------------------

namespace {

class DirectDraw : public ComObject<D_IDirectDraw7> {
public:
    DirectDraw() : core_(std::make_shared<DirectDrawCore>()) {}
    ~DirectDraw() override {
        // Everything this object made stops working with it.
        core_->alive = false;
        if (core_->changedMode) PlatformDisplayRestoreMode();
    }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_D_IDirectDraw7) || IsEqualGUID(riid, IID_D_IDirectDraw)) {
            *object = static_cast<D_IDirectDraw7*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualGUID(riid, IID_D_IDirect3D7)) return CreateDirect3DStandIn(object);
        // The older DirectDraw interfaces are not offered.
        return ComObject::QueryInterface(riid, object);
    }

    HRESULT Initialize(GUID*) override {
        if (PlatformDisplayKnobsRef().refuseDirectDrawInitialize) return D_DDERR_GENERIC;
        initialised_ = true;
        return D_DD_OK;
    }

    HRESULT GetDeviceIdentifier(D_DDDEVICEIDENTIFIER2* id, DWORD) override {
        if (id == nullptr) return D_DDERR_INVALIDPARAMS;
        std::memset(id, 0, sizeof *id);
        std::snprintf(id->szDriver, sizeof id->szDriver, "%s", "display");
        std::snprintf(id->szDescription, sizeof id->szDescription, "%s", "Memory display");
        return D_DD_OK;
    }

    HRESULT GetAvailableVidMem(D_DDSCAPS2*, DWORD* total, DWORD* free) override {
        if (total != nullptr) *total = 64u << 20;
        if (free != nullptr) *free = 64u << 20;
        return D_DD_OK;
    }

    HRESULT GetCaps(D_DDCAPS* driverCaps, D_DDCAPS* helCaps) override {
        for (D_DDCAPS* caps : {driverCaps, helCaps}) {
            if (caps == nullptr) continue;
            std::memset(caps, 0, sizeof *caps);
            caps->dwSize = sizeof *caps;
            caps->dwVidMemTotal = 64u << 20;
            caps->dwVidMemFree = 64u << 20;
        }
        if (driverCaps != nullptr) {
            driverCaps->dwMinOverlayStretch = PlatformDisplayKnobsRef().minOverlayStretch;
            driverCaps->dwMaxOverlayStretch = PlatformDisplayKnobsRef().maxOverlayStretch;
        }
        return D_DD_OK;
    }

    HRESULT CreateClipper(DWORD, D_IDirectDrawClipper** clipper, D_IUnknown*) override {
        if (clipper == nullptr) return D_DDERR_INVALIDPARAMS;
        *clipper = new Clipper(core_);
        return D_DD_OK;
    }

    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, D_IDirectDrawPalette** palette, D_IUnknown*) override {
        if (palette == nullptr || entries == nullptr) return D_DDERR_INVALIDPARAMS;
        *palette = nullptr;
        if ((flags & D_DDPCAPS_8BIT) == 0) return D_DDERR_INVALIDPARAMS;
        *palette = new Palette(core_, entries);
        return D_DD_OK;
    }

    HRESULT CreateSurface(D_DDSURFACEDESC2* desc, D_IDirectDrawSurface7** surface, D_IUnknown*) override {
        if (desc == nullptr || surface == nullptr) return D_DDERR_INVALIDPARAMS;
        *surface = nullptr;
        if (!initialised_) return D_DDERR_GENERIC;
        int& before = PlatformDisplayKnobsRef().surfacesBeforeRefusal;
        if (before == 0) return D_DDERR_OUTOFMEMORY;
        if (before > 0) --before;
        return CreateStandInSurface(core_, *desc, surface);
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        bool exclusive = (flags & D_DDSCL_EXCLUSIVE) != 0, fullscreen = (flags & D_DDSCL_FULLSCREEN) != 0;
        if (exclusive != fullscreen) return D_DDERR_INVALIDPARAMS;
        if ((flags & D_DDSCL_NORMAL) != 0 && exclusive) return D_DDERR_INVALIDPARAMS;
        core_->cooperativeFlags = flags;
        core_->window = window;
        if (exclusive) PlatformDisplayRegainExclusive();
        return D_DD_OK;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) override {
        if (!core_->Exclusive()) return D_DDERR_NOEXCLUSIVEMODE;
        // The only flag asks for the VGA's own 320 x 200 x 8 mode.
        if ((flags & ~D_DDSDM_STANDARDVGAMODE) != 0) return D_DDERR_INVALIDPARAMS;
        if (flags != 0 && (width != 320 || height != 200 || bits != 8)) return D_DDERR_INVALIDMODE;
        if (width > 16384 || height > 16384) return D_DDERR_INVALIDMODE;
        if (!PlatformDisplaySetMode(static_cast<int>(width), static_cast<int>(height), static_cast<int>(bits),
                                    static_cast<int>(refresh)))
            return D_DDERR_INVALIDMODE;
        core_->changedMode = true;
        return D_DD_OK;
    }

    HRESULT RestoreDisplayMode() override {
        PlatformDisplayRestoreMode();
        core_->changedMode = false;
        return D_DD_OK;
    }

    HRESULT GetDisplayMode(D_DDSURFACEDESC2* desc) override {
        if (desc == nullptr || desc->dwSize != sizeof *desc) return D_DDERR_INVALIDPARAMS;
        DWORD size = desc->dwSize;
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = size;
        desc->dwFlags = D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PITCH | D_DDSD_PIXELFORMAT | D_DDSD_REFRESHRATE;
        desc->dwWidth = static_cast<DWORD>(PlatformDisplayWidth());
        desc->dwHeight = static_cast<DWORD>(PlatformDisplayHeight());
        desc->lPitch = PlatformFramebufferPitch();
        desc->dwRefreshRate = static_cast<DWORD>(PlatformDisplayRefresh());
        desc->ddpfPixelFormat = PixelFormatOf(PlatformDisplayLayout());
        return D_DD_OK;
    }

    // The GDI surface is the one the primary was made on; after an odd
    // number of flips it is the back buffer and is flipped to the front.
    HRESULT FlipToGDISurface() override {
        if (core_->primary == nullptr || !core_->gdiSurfaceInBack) return D_DD_OK;
        return core_->primary->Flip(nullptr, D_DDFLIP_WAIT);
    }

    HRESULT GetVerticalBlankStatus(BOOL* inBlank) override {
        if (inBlank == nullptr) return D_DDERR_INVALIDPARAMS;
        *inBlank = PlatformInVerticalBlank() ? TRUE : FALSE;
        return D_DD_OK;
    }

    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override {
        if ((flags & D_DDWAITVB_BLOCKBEGIN) == 0) return D_DDERR_UNSUPPORTED;
        return PlatformWaitVerticalBlankStart() ? D_DD_OK : D_DDERR_GENERIC;
    }

    HRESULT GetScanLine(DWORD* line) override {
        if (line == nullptr) return D_DDERR_INVALIDPARAMS;
        int scan = PlatformScanLine();
        *line = static_cast<DWORD>(scan);
        return scan >= kVisibleScanLines ? D_DDERR_VERTICALBLANKINPROGRESS : D_DD_OK;
    }

private:
    std::shared_ptr<DirectDrawCore> core_;
    bool initialised_ = false;
};

HRESULT MakeDirectDraw(REFIID riid, void** object) {
    if (PlatformDisplayKnobsRef().refuseDirectDraw) return E_FAIL;
    auto* made = new DirectDraw;
    HRESULT hr = made->QueryInterface(riid, object);
    made->Release();
    return hr;
}

}  // namespace

void RegisterDirectDrawStandIn() { RegisterComClass(CLSID_D_DirectDraw7, MakeDirectDraw); }

