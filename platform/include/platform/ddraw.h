// The DirectDraw 7 stand-in: the interfaces, structures and constants the
// screen device and the graphics code use. Surfaces live in this process's
// memory; the primary surface is the display's framebuffer, which the backend
// shows in the SDL window or hands to a headless frame sink.
#pragma once

#include "platform/com.h"
#include "platform/types.h"

// ---- result codes --------------------------------------------------------------
constexpr HRESULT D_DD_OK = 0;
constexpr HRESULT D_DDERR_GENERIC = E_FAIL;
constexpr HRESULT D_DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT D_DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT D_DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT D_DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT D_DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
constexpr HRESULT D_DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT D_DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082u);
constexpr HRESULT D_DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
constexpr HRESULT D_DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT D_DDERR_NOTFLIPPABLE = static_cast<HRESULT>(0x887601EAu);
constexpr HRESULT D_DDERR_NOTLOCKED = static_cast<HRESULT>(0x887601EEu);
constexpr HRESULT D_DDERR_NOOVERLAYHW = static_cast<HRESULT>(0x8876014Au);
constexpr HRESULT D_DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
constexpr HRESULT D_DDERR_CANNOTATTACHSURFACE = static_cast<HRESULT>(0x8876006Eu);
constexpr HRESULT D_DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234u);
constexpr HRESULT D_DDERR_VERTICALBLANKINPROGRESS = static_cast<HRESULT>(0x88760219u);
constexpr HRESULT D_DDERR_NOCOLORKEY = static_cast<HRESULT>(0x887600D7u);
constexpr HRESULT D_DDERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT D_DDERR_WRONGMODE = static_cast<HRESULT>(0x8876024Bu);
// Cooperative-level results the screen device accepts as success.
constexpr HRESULT D_DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT D_DDERR_HWNDALREADYSET = static_cast<HRESULT>(0x8876023Bu);
constexpr HRESULT D_DDERR_HWNDSUBCLASSED = static_cast<HRESULT>(0x8876023Au);

// ---- pixel formats ---------------------------------------------------------------
constexpr DWORD D_DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD D_DDPF_ALPHA = 0x2;
constexpr DWORD D_DDPF_FOURCC = 0x4;
constexpr DWORD D_DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD D_DDPF_RGB = 0x40;
constexpr DWORD D_DDPF_ZBUFFER = 0x400;

constexpr DWORD D_MAKEFOURCC(char a, char b, char c, char d) {
    return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
           (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

// 32 bytes, as the display reports it and as the framework hands it on.
struct D_DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwStencilBitDepth;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwZBitMask;
    };
    DWORD dwBBitMask;
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwRGBZBitMask;
    };
};
static_assert(sizeof(D_DDPIXELFORMAT) == 32);

struct D_DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct D_DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

struct D_DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    D_DDCOLORKEY ddckCKDestOverlay;
    D_DDCOLORKEY ddckCKDestBlt;
    D_DDCOLORKEY ddckCKSrcOverlay;
    D_DDCOLORKEY ddckCKSrcBlt;
    D_DDPIXELFORMAT ddpfPixelFormat;
    D_DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

constexpr DWORD D_DDSD_CAPS = 0x1;
constexpr DWORD D_DDSD_HEIGHT = 0x2;
constexpr DWORD D_DDSD_WIDTH = 0x4;
constexpr DWORD D_DDSD_PITCH = 0x8;
constexpr DWORD D_DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD D_DDSD_ZBUFFERBITDEPTH = 0x40;
constexpr DWORD D_DDSD_LPSURFACE = 0x800;
constexpr DWORD D_DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD D_DDSD_CKSRCBLT = 0x10000;
constexpr DWORD D_DDSD_REFRESHRATE = 0x40000;

constexpr DWORD D_DDSCAPS_ALPHA = 0x2;
constexpr DWORD D_DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD D_DDSCAPS_COMPLEX = 0x8;
constexpr DWORD D_DDSCAPS_FLIP = 0x10;
constexpr DWORD D_DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD D_DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD D_DDSCAPS_OVERLAY = 0x80;
constexpr DWORD D_DDSCAPS_PALETTE = 0x100;
constexpr DWORD D_DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD D_DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD D_DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD D_DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD D_DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD D_DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD D_DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD D_DDSCAPS2_TEXTUREMANAGE = 0x10;

// ---- blits -----------------------------------------------------------------------
struct D_DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwROP;
    DWORD dwDDROP;
    DWORD dwRotationAngle;
    DWORD dwZBufferOpCode;
    DWORD dwZBufferLow;
    DWORD dwZBufferHigh;
    DWORD dwZBufferBaseDest;
    DWORD dwZDestConstBitDepth;
    DWORD dwZDestConst;
    DWORD dwZSrcConstBitDepth;
    DWORD dwZSrcConst;
    DWORD dwAlphaEdgeBlendBitDepth;
    DWORD dwAlphaEdgeBlend;
    DWORD dwReserved;
    DWORD dwAlphaDestConstBitDepth;
    DWORD dwAlphaDestConst;
    DWORD dwAlphaSrcConstBitDepth;
    DWORD dwAlphaSrcConst;
    union {
        DWORD dwFillColor;
        DWORD dwFillDepth;
        DWORD dwFillPixel;
    };
    D_DDCOLORKEY ddckDestColorkey;
    D_DDCOLORKEY ddckSrcColorkey;
};

constexpr DWORD D_DDBLT_COLORFILL = 0x400;
constexpr DWORD D_DDBLT_DDFX = 0x800;
constexpr DWORD D_DDBLT_KEYSRC = 0x8000;
constexpr DWORD D_DDBLT_WAIT = 0x1000000;
constexpr DWORD D_DDBLT_DEPTHFILL = 0x2000000;

constexpr DWORD D_DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD D_DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD D_DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr DWORD D_DDBLTFAST_WAIT = 0x10;

constexpr DWORD D_DDFLIP_WAIT = 0x1;
constexpr DWORD D_DDFLIP_NOVSYNC = 0x8;
constexpr DWORD D_DDSDM_STANDARDVGAMODE = 0x1;

constexpr DWORD D_DDLOCK_WAIT = 0x1;
constexpr DWORD D_DDLOCK_READONLY = 0x10;
constexpr DWORD D_DDLOCK_WRITEONLY = 0x20;

constexpr DWORD D_DDCKEY_SRCBLT = 0x8;

constexpr DWORD D_DDSCL_FULLSCREEN = 0x1;
constexpr DWORD D_DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD D_DDSCL_NORMAL = 0x8;
constexpr DWORD D_DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD D_DDSCL_MULTITHREADED = 0x400;

constexpr DWORD D_DDWAITVB_BLOCKBEGIN = 0x1;

constexpr DWORD D_DDPCAPS_8BIT = 0x4;
constexpr DWORD D_DDPCAPS_ALLOW256 = 0x40;

// ---- capabilities and identification --------------------------------------------
// The driver capability block: 380 bytes of plain words. The framework reads
// only the overlay stretch factors; the rest stay zero.
struct D_DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
    DWORD dwRops[8];
    DWORD ddsOldCaps;
    DWORD dwMinOverlayStretch;
    DWORD dwMaxOverlayStretch;
    DWORD dwRest[59];
};
static_assert(sizeof(D_DDCAPS) == 380);

struct D_DDDEVICEIDENTIFIER2 {
    char szDriver[512];
    char szDescription[512];
    LARGE_INTEGER liDriverVersion;
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    GUID guidDeviceIdentifier;
    DWORD dwWHQLLevel;
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// ---- interface ids ----------------------------------------------------------------
extern const CLSID CLSID_D_DirectDraw7;
extern const IID IID_D_IDirectDraw;
extern const IID IID_D_IDirectDraw4;
extern const IID IID_D_IDirectDraw7;
extern const IID IID_D_IDirect3D7;
extern const IID IID_D_IDirectDrawSurface7;

// ---- interfaces ----------------------------------------------------------------------
struct D_IDirectDrawSurface7;
struct D_IDirectDrawClipper;
struct D_IDirectDrawPalette;
struct HDC__;
using HDC = HDC__*;

struct D_IDirectDrawClipper : D_IUnknown {
    virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
    virtual HRESULT GetHWnd(HWND* window) = 0;
};

struct D_IDirectDrawPalette : D_IUnknown {
    virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) = 0;
    virtual HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) = 0;
};

using D_LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(D_IDirectDrawSurface7* surface, D_DDSURFACEDESC2* desc, void* context);

struct D_IDirectDrawSurface7 : D_IUnknown {
    virtual HRESULT Lock(RECT* rect, D_DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
    virtual HRESULT Blt(RECT* destRect, D_IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                        D_DDBLTFX* fx) = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, D_IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags) = 0;
    virtual HRESULT Flip(D_IDirectDrawSurface7* target, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(D_DDSCAPS2* caps, D_IDirectDrawSurface7** surface) = 0;
    virtual HRESULT AddAttachedSurface(D_IDirectDrawSurface7* surface) = 0;
    virtual HRESULT DeleteAttachedSurface(DWORD flags, D_IDirectDrawSurface7* surface) = 0;
    virtual HRESULT EnumAttachedSurfaces(void* context, D_LPDDENUMSURFACESCALLBACK7 callback) = 0;
    virtual HRESULT SetColorKey(DWORD flags, D_DDCOLORKEY* key) = 0;
    virtual HRESULT GetColorKey(DWORD flags, D_DDCOLORKEY* key) = 0;
    virtual HRESULT SetClipper(D_IDirectDrawClipper* clipper) = 0;
    virtual HRESULT GetClipper(D_IDirectDrawClipper** clipper) = 0;
    virtual HRESULT SetPalette(D_IDirectDrawPalette* palette) = 0;
    virtual HRESULT GetPalette(D_IDirectDrawPalette** palette) = 0;
    virtual HRESULT GetCaps(D_DDSCAPS2* caps) = 0;
    virtual HRESULT GetSurfaceDesc(D_DDSURFACEDESC2* desc) = 0;
    virtual HRESULT GetPixelFormat(D_DDPIXELFORMAT* format) = 0;
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;
};

struct D_IDirectDraw7 : D_IUnknown {
    virtual HRESULT Initialize(GUID* driver) = 0;
    virtual HRESULT GetDeviceIdentifier(D_DDDEVICEIDENTIFIER2* identifier, DWORD flags) = 0;
    virtual HRESULT GetAvailableVidMem(D_DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
    virtual HRESULT GetCaps(D_DDCAPS* driverCaps, D_DDCAPS* helCaps) = 0;
    virtual HRESULT CreateClipper(DWORD flags, D_IDirectDrawClipper** clipper, D_IUnknown* outer) = 0;
    virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, D_IDirectDrawPalette** palette,
                                  D_IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(D_DDSURFACEDESC2* desc, D_IDirectDrawSurface7** surface, D_IUnknown* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate,
                                   DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT GetDisplayMode(D_DDSURFACEDESC2* desc) = 0;
    virtual HRESULT FlipToGDISurface() = 0;
    virtual HRESULT GetVerticalBlankStatus(BOOL* inBlank) = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
    virtual HRESULT GetScanLine(DWORD* line) = 0;
};

// The stand-in's DirectDraw class is registered for CoCreateInstance on first
// use of any display call; tests may call this themselves.
void RegisterDirectDrawStandIn();
