// The Direct3D 7 stand-in: a device that reports itself as hardware and
// rasterises in software straight into the DirectDraw stand-in's surface
// memory. The Direct3D object is reached through the DirectDraw object's
// QueryInterface. By default it offers no device (so the framework draws
// through its software renderer); KELVO_D3D=1 makes it offer one.
//
// Pixel rules (what every draw follows):
//  - pixel centres lie on integer coordinates; triangles cover the centres
//    inside them, and a centre exactly on an edge only when the edge is a
//    top edge (horizontal, interior below) or a left edge (the top-left
//    rule); everything is clipped to viewport and render target;
//  - lines: both endpoints truncated toward minus infinity, both ends drawn;
//  - flat shading takes the colour of a triangle's first vertex (a strip's
//    i-th vertex for its i-th triangle); Gouraud interpolates; attributes are
//    interpolated affinely (rhw is 1 for every vertex this stand-in draws);
//  - texels expand to 8 bits per channel by bit replication, a format
//    without alpha gives alpha 255; point sampling takes texel
//    (floor(u W), floor(v H)); linear sampling is bilinear at
//    (u W - 0.5, v H - 0.5) with 8-bit weights; addresses clamp;
//  - a texture stage with no texture whose operation reads TEXTURE passes
//    CURRENT through (the diffuse colour at stage 0);
//  - stage arithmetic is 8-bit: MODULATE rounds a b / 255, 2X and 4X shift
//    and saturate, ADD saturates, SUBTRACT stops at 0;
//  - a texel equal to the colour key (its colour bits) rejects the
//    fragment while colour keying is on; the alpha test compares the 8-bit
//    fragment alpha with the reference;
//  - blending: min(255, round((src SF + dst DF) / 255)) per channel, the
//    destination read with bit replication; writes truncate to the target's
//    channel widths (no dither), so alpha 255 is exactly opaque and alpha 0
//    changes nothing;
//  - Z: z x 65535 against the 16-bit buffer attached to the target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/ddraw.h"
#include "platform/types.h"

// ---- results -----------------------------------------------------------------
constexpr HRESULT D_D3D_OK = 0;
constexpr HRESULT D_D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D_D3DERR_SCENE_IN_SCENE = static_cast<HRESULT>(0x887602B5u);
constexpr HRESULT D_D3DERR_SCENE_NOT_IN_SCENE = static_cast<HRESULT>(0x887602B6u);
constexpr HRESULT D_D3DERR_SCENE_BEGIN_FAILED = static_cast<HRESULT>(0x887602B7u);
constexpr HRESULT D_D3DERR_VIEWPORTHASNODEVICE = static_cast<HRESULT>(0x887602A9u);
constexpr HRESULT D_D3DERR_INVALID_DEVICE = static_cast<HRESULT>(0x88760281u);
constexpr HRESULT D_D3DERR_NOTFOUND = static_cast<HRESULT>(0x887602D9u);

// ---- enumeration ------------------------------------------------------------------
constexpr HRESULT D_D3DENUMRET_CANCEL = 0;
constexpr HRESULT D_D3DENUMRET_OK = 1;

// Render depths of a device.
constexpr DWORD D_DDBD_8 = 0x800;
constexpr DWORD D_DDBD_16 = 0x400;
constexpr DWORD D_DDBD_24 = 0x200;
constexpr DWORD D_DDBD_32 = 0x100;

constexpr DWORD D_DDPF_LUMINANCE = 0x20000;
constexpr DWORD D_DDPF_BUMPLUMINANCE = 0x40000;
constexpr DWORD D_DDPF_BUMPDUDV = 0x80000;

constexpr DWORD D_D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
constexpr DWORD D_D3DPTEXTURECAPS_POW2 = 0x2;
constexpr DWORD D_D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr DWORD D_D3DPTEXTURECAPS_SQUAREONLY = 0x20;

struct D_D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
};
static_assert(sizeof(D_D3DPRIMCAPS) == 56);

// 236 bytes.
struct D_D3DDEVICEDESC7 {
    DWORD dwDevCaps;
    D_D3DPRIMCAPS dpcLineCaps;
    D_D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth, dwMinTextureHeight;
    DWORD dwMaxTextureWidth, dwMaxTextureHeight;
    DWORD dwMaxTextureRepeat;
    DWORD dwMaxTextureAspectRatio;
    DWORD dwMaxAnisotropy;
    float dvGuardBandLeft, dvGuardBandTop, dvGuardBandRight, dvGuardBandBottom;
    float dvExtentsAdjust;
    DWORD dwStencilCaps;
    DWORD dwFVFCaps;
    DWORD dwTextureOpCaps;
    WORD wMaxTextureBlendStages;
    WORD wMaxSimultaneousTextures;
    DWORD dwMaxActiveLights;
    float dvMaxVertexW;
    GUID deviceGUID;
    WORD wMaxUserClipPlanes;
    WORD wMaxVertexBlendMatrices;
    DWORD dwVertexProcessingCaps;
    DWORD dwReserved1, dwReserved2, dwReserved3, dwReserved4;
};
static_assert(sizeof(D_D3DDEVICEDESC7) == 236);

struct D_D3DVIEWPORT7 {
    DWORD dwX, dwY, dwWidth, dwHeight;
    float dvMinZ, dvMaxZ;
};

struct D_D3DMATRIX {
    float m[4][4];
};

// ---- render states ------------------------------------------------------------------
constexpr DWORD D_D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4;
constexpr DWORD D_D3DRENDERSTATE_ZENABLE = 7;
constexpr DWORD D_D3DRENDERSTATE_FILLMODE = 8;
constexpr DWORD D_D3DRENDERSTATE_SHADEMODE = 9;
constexpr DWORD D_D3DRENDERSTATE_ZWRITEENABLE = 14;
constexpr DWORD D_D3DRENDERSTATE_ALPHATESTENABLE = 15;
constexpr DWORD D_D3DRENDERSTATE_SRCBLEND = 19;
constexpr DWORD D_D3DRENDERSTATE_DESTBLEND = 20;
constexpr DWORD D_D3DRENDERSTATE_CULLMODE = 22;
constexpr DWORD D_D3DRENDERSTATE_ZFUNC = 23;
constexpr DWORD D_D3DRENDERSTATE_ALPHAREF = 24;
constexpr DWORD D_D3DRENDERSTATE_ALPHAFUNC = 25;
constexpr DWORD D_D3DRENDERSTATE_DITHERENABLE = 26;
constexpr DWORD D_D3DRENDERSTATE_ALPHABLENDENABLE = 27;
constexpr DWORD D_D3DRENDERSTATE_COLORKEYENABLE = 41;
constexpr DWORD D_D3DRENDERSTATE_TEXTUREFACTOR = 60;
constexpr DWORD D_D3DRENDERSTATE_LIGHTING = 137;
constexpr DWORD D_D3DRENDERSTATE_COLORKEYBLENDENABLE = 144;
constexpr DWORD D_D3DRENDERSTATE_COUNT = 256;

constexpr DWORD D_D3DSHADE_FLAT = 1;
constexpr DWORD D_D3DSHADE_GOURAUD = 2;
constexpr DWORD D_D3DCULL_NONE = 1;
constexpr DWORD D_D3DCULL_CW = 2;
constexpr DWORD D_D3DCULL_CCW = 3;

constexpr DWORD D_D3DBLEND_ZERO = 1;
constexpr DWORD D_D3DBLEND_ONE = 2;
constexpr DWORD D_D3DBLEND_SRCCOLOR = 3;
constexpr DWORD D_D3DBLEND_INVSRCCOLOR = 4;
constexpr DWORD D_D3DBLEND_SRCALPHA = 5;
constexpr DWORD D_D3DBLEND_INVSRCALPHA = 6;
constexpr DWORD D_D3DBLEND_DESTALPHA = 7;
constexpr DWORD D_D3DBLEND_INVDESTALPHA = 8;
constexpr DWORD D_D3DBLEND_DESTCOLOR = 9;
constexpr DWORD D_D3DBLEND_INVDESTCOLOR = 10;
constexpr DWORD D_D3DBLEND_SRCALPHASAT = 11;

constexpr DWORD D_D3DCMP_NEVER = 1;
constexpr DWORD D_D3DCMP_LESS = 2;
constexpr DWORD D_D3DCMP_EQUAL = 3;
constexpr DWORD D_D3DCMP_LESSEQUAL = 4;
constexpr DWORD D_D3DCMP_GREATER = 5;
constexpr DWORD D_D3DCMP_NOTEQUAL = 6;
constexpr DWORD D_D3DCMP_GREATEREQUAL = 7;
constexpr DWORD D_D3DCMP_ALWAYS = 8;

// ---- texture stages ---------------------------------------------------------------
constexpr DWORD D_D3DTSS_COLOROP = 1;
constexpr DWORD D_D3DTSS_COLORARG1 = 2;
constexpr DWORD D_D3DTSS_COLORARG2 = 3;
constexpr DWORD D_D3DTSS_ALPHAOP = 4;
constexpr DWORD D_D3DTSS_ALPHAARG1 = 5;
constexpr DWORD D_D3DTSS_ALPHAARG2 = 6;
constexpr DWORD D_D3DTSS_TEXCOORDINDEX = 11;
constexpr DWORD D_D3DTSS_ADDRESS = 12;
constexpr DWORD D_D3DTSS_ADDRESSU = 13;
constexpr DWORD D_D3DTSS_ADDRESSV = 14;
constexpr DWORD D_D3DTSS_MAGFILTER = 16;
constexpr DWORD D_D3DTSS_MINFILTER = 17;
constexpr DWORD D_D3DTSS_MIPFILTER = 18;
constexpr DWORD D_D3DTSS_COUNT = 32;
constexpr int kD3DMaxStages = 8;

constexpr DWORD D_D3DTOP_DISABLE = 1;
constexpr DWORD D_D3DTOP_SELECTARG1 = 2;
constexpr DWORD D_D3DTOP_SELECTARG2 = 3;
constexpr DWORD D_D3DTOP_MODULATE = 4;
constexpr DWORD D_D3DTOP_MODULATE2X = 5;
constexpr DWORD D_D3DTOP_MODULATE4X = 6;
constexpr DWORD D_D3DTOP_ADD = 7;
constexpr DWORD D_D3DTOP_ADDSIGNED = 8;
constexpr DWORD D_D3DTOP_ADDSIGNED2X = 9;
constexpr DWORD D_D3DTOP_SUBTRACT = 10;

constexpr DWORD D_D3DTA_DIFFUSE = 0;
constexpr DWORD D_D3DTA_CURRENT = 1;
constexpr DWORD D_D3DTA_TEXTURE = 2;
constexpr DWORD D_D3DTA_TFACTOR = 3;
constexpr DWORD D_D3DTA_SPECULAR = 4;
constexpr DWORD D_D3DTA_SELECTMASK = 0xF;
constexpr DWORD D_D3DTA_COMPLEMENT = 0x10;
constexpr DWORD D_D3DTA_ALPHAREPLICATE = 0x20;

constexpr DWORD D_D3DTADDRESS_WRAP = 1;
constexpr DWORD D_D3DTADDRESS_MIRROR = 2;
constexpr DWORD D_D3DTADDRESS_CLAMP = 3;
constexpr DWORD D_D3DTADDRESS_BORDER = 4;

constexpr DWORD D_D3DTFG_POINT = 1;
constexpr DWORD D_D3DTFG_LINEAR = 2;
constexpr DWORD D_D3DTFN_POINT = 1;
constexpr DWORD D_D3DTFN_LINEAR = 2;

// ---- primitives and vertices --------------------------------------------------------
enum D_D3DPRIMITIVETYPE : DWORD {
    D_D3DPT_POINTLIST = 1,
    D_D3DPT_LINELIST = 2,
    D_D3DPT_LINESTRIP = 3,
    D_D3DPT_TRIANGLELIST = 4,
    D_D3DPT_TRIANGLESTRIP = 5,
    D_D3DPT_TRIANGLEFAN = 6,
};

constexpr DWORD D_D3DFVF_XYZRHW = 0x4;
constexpr DWORD D_D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D_D3DFVF_SPECULAR = 0x80;
constexpr DWORD D_D3DFVF_TEX1 = 0x100;
constexpr DWORD D_D3DFVF_TEX2 = 0x200;
constexpr DWORD D_D3DFVF_TEXCOUNT_MASK = 0xF00;

enum D_D3DTRANSFORMSTATETYPE : DWORD {
    D_D3DTRANSFORMSTATE_WORLD = 1,
    D_D3DTRANSFORMSTATE_VIEW = 2,
    D_D3DTRANSFORMSTATE_PROJECTION = 3,
};

// ---- interfaces --------------------------------------------------------------------
extern const IID IID_D_IDirect3DHALDevice;
extern const IID IID_D_IDirect3DTnLHalDevice;
extern const IID IID_D_IDirect3DRGBDevice;
extern const IID IID_D_IDirect3DDevice7;

using D_LPD3DENUMDEVICESCALLBACK7 = HRESULT (*)(char* description, char* name, D_D3DDEVICEDESC7* desc,
                                                void* context);
using D_LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(D_DDPIXELFORMAT* format, void* context);

struct D_IDirect3DDevice7;

struct D_IDirect3D7 : D_IUnknown {
    virtual HRESULT EnumDevices(D_LPD3DENUMDEVICESCALLBACK7 callback, void* context) = 0;
    virtual HRESULT CreateDevice(REFCLSID deviceGuid, D_IDirectDrawSurface7* surface, D_IDirect3DDevice7** device) = 0;
    virtual HRESULT EnumZBufferFormats(REFCLSID deviceGuid, D_LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       void* context) = 0;
};

struct D_IDirect3DDevice7 : D_IUnknown {
    virtual HRESULT GetCaps(D_D3DDEVICEDESC7* desc) = 0;
    virtual HRESULT EnumTextureFormats(D_LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT SetRenderTarget(D_IDirectDrawSurface7* surface, DWORD flags) = 0;
    virtual HRESULT GetRenderTarget(D_IDirectDrawSurface7** surface) = 0;
    virtual HRESULT SetTransform(D_D3DTRANSFORMSTATETYPE state, D_D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D_D3DTRANSFORMSTATETYPE state, D_D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(D_D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT GetViewport(D_D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT SetRenderState(DWORD state, DWORD value) = 0;
    virtual HRESULT GetRenderState(DWORD state, DWORD* value) = 0;
    virtual HRESULT DrawPrimitive(D_D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD flags) = 0;
    virtual HRESULT DrawIndexedPrimitive(D_D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                         WORD* indices, DWORD indexCount, DWORD flags) = 0;
    virtual HRESULT GetTexture(DWORD stage, D_IDirectDrawSurface7** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, D_IDirectDrawSurface7* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, DWORD state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value) = 0;
    // Copies the rectangle (null: all) of the source texture to the point
    // (null: the same place) of this one; both of one format.
    virtual HRESULT Load(D_IDirectDrawSurface7* dest, POINT* destPoint, D_IDirectDrawSurface7* source, RECT* sourceRect,
                         DWORD flags) = 0;
};

// ---- settings and the test hook -------------------------------------------------------

// One device the Direct3D object reports.
struct D3DStandInDevice {
    std::string description, name;
    D_D3DDEVICEDESC7 desc;
};

// Calls that can be made to fail, and that the call log records.
enum class D3DCall {
    QueryInterface,   // IDirectDraw7::QueryInterface(IID_IDirect3D7)
    EnumDevices,
    EnumZBufferFormats,
    CreateDevice,
    EnumTextureFormats,
    SetRenderState,
    SetTextureStageState,
    SetTexture,
    SetRenderTarget,
    SetViewport,
    SetTransform,
    BeginScene,
    EndScene,
    DrawPrimitive,
    DrawIndexedPrimitive,
    Load,
    Count,
};

struct D3DCallRecord {
    D3DCall call;
    DWORD a, b, c;  // the call's arguments: state and value, type and count, ...
};

struct D3DStandInKnobs {
    // -1: offer a device when KELVO_D3D is 1; 0 never; 1 always.
    int offerDevice = -1;
    // Replace the reported devices, texture formats or Z formats.
    bool replaceDevices = false;
    std::vector<D3DStandInDevice> devices;
    bool replaceTextureFormats = false;
    std::vector<D_DDPIXELFORMAT> textureFormats;
    bool replaceZFormats = false;
    std::vector<D_DDPIXELFORMAT> zFormats;
    // The next n calls of a kind fail (with D_D3DERR_INVALIDCALL or
    // E_NOINTERFACE).
    int failNext[static_cast<int>(D3DCall::Count)] = {};
    // Records every call of the kinds the log is asked for.
    bool logCalls = false;
    // Specialised span loops; the pixels are the same either way, and tests
    // draw both ways.
    bool fastSpans = true;
    // A texture drawn this many times with unchanged texels gets its shadow
    // (its texels in the target's format, with their runs); 0 never.
    int shadowAfterDraws = 2;
};

D3DStandInKnobs& PlatformD3DKnobsRef();
// Default knobs, an empty call log.
void PlatformD3DReset();
const std::vector<D3DCallRecord>& PlatformD3DCallLog();
void PlatformD3DClearCallLog();
// The devices offered by default: HAL first, then T&L HAL.
std::vector<D3DStandInDevice> PlatformD3DDefaultDevices();
std::vector<D_DDPIXELFORMAT> PlatformD3DDefaultTextureFormats();

// Made by the DirectDraw object's QueryInterface.
HRESULT CreateDirect3DStandIn(void** object);
