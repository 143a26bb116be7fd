// What the DirectDraw stand-in answers to each request, as the system
// answers it: the object's own calls, surfaces described back as they were
// made, colour keys, clippers, palettes, attachments, losses and restores.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ddraw_fixture.h"

namespace {

class DirectDrawRequests : public DirectDrawFixture {
protected:
    void FullScreen(DWORD bits = 16) {
        ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
        ASSERT_EQ(dd->SetDisplayMode(640, 480, bits, 0, 0), D_DD_OK);
    }
    D_IDirectDrawSurface7* Make(D_DDSURFACEDESC2 desc) {
        D_IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), D_DD_OK);
        return s;
    }
    static D_DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a = 0) {
        D_DDPIXELFORMAT pf{};
        pf.dwSize = sizeof pf;
        pf.dwFlags = D_DDPF_RGB | (a != 0 ? D_DDPF_ALPHAPIXELS : 0);
        pf.dwRGBBitCount = bits;
        pf.dwRBitMask = r;
        pf.dwGBitMask = g;
        pf.dwBBitMask = b;
        pf.dwRGBAlphaBitMask = a;
        return pf;
    }
};

// The object's own calls: identification, memory, capabilities, the
// cooperative level's legal combinations, modes past any screen, and the
// vertical blank; each refusal with the system's code.
TEST_F(DirectDrawRequests, TheObjectAnswersItsOwnCalls) {
    D_DDDEVICEIDENTIFIER2 id;
    std::memset(&id, 'x', sizeof id);
    ASSERT_EQ(dd->GetDeviceIdentifier(&id, 0), D_DD_OK);
    EXPECT_STREQ(id.szDriver, "display");
    EXPECT_STREQ(id.szDescription, "Memory display");
    EXPECT_EQ(id.dwVendorId, 0u);
    DWORD total = 0, free = 0;
    ASSERT_EQ(dd->GetAvailableVidMem(nullptr, &total, &free), D_DD_OK);
    EXPECT_EQ(total, 64u << 20);
    EXPECT_EQ(free, 64u << 20);
    EXPECT_EQ(dd->GetAvailableVidMem(nullptr, nullptr, nullptr), D_DD_OK);
    D_DDCAPS driver, hel;
    std::memset(&driver, 0xCD, sizeof driver);
    std::memset(&hel, 0xCD, sizeof hel);
    ASSERT_EQ(dd->GetCaps(&driver, &hel), D_DD_OK);
    for (const D_DDCAPS* caps : {&driver, &hel}) {
        EXPECT_EQ(caps->dwSize, 380u);
        EXPECT_EQ(caps->dwVidMemTotal, 64u << 20);
        EXPECT_EQ(caps->dwVidMemFree, 64u << 20);
        EXPECT_EQ(caps->dwCaps, 0u);
        EXPECT_EQ(caps->dwMaxOverlayStretch, 0u);
    }
    EXPECT_EQ(dd->GetCaps(nullptr, &hel), D_DD_OK);
    EXPECT_EQ(dd->FlipToGDISurface(), D_DD_OK);

    // Exclusive and full screen come together, never with the normal level.
    const struct {
        DWORD flags;
        HRESULT want;
    } levels[] = {
        {D_DDSCL_NORMAL, D_DD_OK},
        {D_DDSCL_EXCLUSIVE, D_DDERR_INVALIDPARAMS},
        {D_DDSCL_FULLSCREEN, D_DDERR_INVALIDPARAMS},
        {D_DDSCL_NORMAL | D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN, D_DDERR_INVALIDPARAMS},
        {D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN, D_DD_OK},
    };
    for (const auto& l : levels) EXPECT_EQ(dd->SetCooperativeLevel(FakeWindow(), l.flags), l.want) << l.flags;
    EXPECT_EQ(dd->SetDisplayMode(16385, 480, 16, 0, 0), D_DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 0x80000000u, 16, 0, 0), D_DDERR_INVALIDMODE);
    EXPECT_FALSE(PlatformDisplayModeChanged());
    // Losing exclusive mode and asking again takes it back.
    PlatformDisplayLoseExclusive();
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
    EXPECT_TRUE(PlatformDisplayHasExclusive());
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32, 60, 0), D_DD_OK);
    D_DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof mode;
    ASSERT_EQ(dd->GetDisplayMode(&mode), D_DD_OK);
    EXPECT_EQ(mode.dwSize, sizeof mode);
    EXPECT_EQ(mode.dwFlags, D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PITCH | D_DDSD_PIXELFORMAT | D_DDSD_REFRESHRATE);
    EXPECT_EQ(mode.dwWidth, 640u);
    EXPECT_EQ(mode.dwHeight, 480u);
    EXPECT_EQ(mode.lPitch, 2560);
    EXPECT_EQ(mode.dwRefreshRate, 60u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwFlags, D_DDPF_RGB);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwBBitMask, 0xFFu);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8, 0, 0), D_DD_OK);
    ASSERT_EQ(dd->GetDisplayMode(&mode), D_DD_OK);
    EXPECT_EQ(mode.ddpfPixelFormat.dwFlags, D_DDPF_RGB | D_DDPF_PALETTEINDEXED8);
    EXPECT_EQ(mode.lPitch, 640);

    // Null pointers and unknown waits are refused.
    EXPECT_EQ(dd->GetDisplayMode(nullptr), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetDeviceIdentifier(nullptr, 0), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetVerticalBlankStatus(nullptr), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetScanLine(nullptr), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->CreateClipper(0, nullptr, nullptr), D_DDERR_INVALIDPARAMS);
    D_IDirectDrawPalette* palette = reinterpret_cast<D_IDirectDrawPalette*>(&mode);
    EXPECT_EQ(dd->CreatePalette(D_DDPCAPS_8BIT, nullptr, &palette, nullptr), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->CreateSurface(nullptr, nullptr, nullptr), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->WaitForVerticalBlank(0, nullptr), D_DDERR_UNSUPPORTED);
    PlatformResetVirtualClock();
    DWORD line = 999;
    EXPECT_EQ(dd->GetScanLine(&line), D_DD_OK) << "a period starts with its visible lines";
    EXPECT_LT(line, 480u);
    BOOL inBlank = TRUE;
    ASSERT_EQ(dd->GetVerticalBlankStatus(&inBlank), D_DD_OK);
    EXPECT_FALSE(inBlank);
    ASSERT_EQ(dd->WaitForVerticalBlank(D_DDWAITVB_BLOCKBEGIN, nullptr), D_DD_OK);
    ASSERT_EQ(dd->GetVerticalBlankStatus(&inBlank), D_DD_OK);
    EXPECT_TRUE(inBlank);
    ASSERT_EQ(dd->RestoreDisplayMode(), D_DD_OK);
    EXPECT_FALSE(PlatformDisplayModeChanged());
}

// An object not yet initialised makes no surfaces; the knobs that make
// DirectDraw fail are honoured.
TEST_F(DirectDrawRequests, UninitialisedAndRefusedObjects) {
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object), S_OK);
    auto* fresh = static_cast<D_IDirectDraw7*>(object);
    D_DDSURFACEDESC2 desc = PlainSurfaceDesc(8, 8, D_DDSCAPS_OFFSCREENPLAIN);
    D_IDirectDrawSurface7* s = reinterpret_cast<D_IDirectDrawSurface7*>(&desc);
    EXPECT_EQ(fresh->CreateSurface(&desc, &s, nullptr), D_DDERR_GENERIC);
    EXPECT_EQ(s, nullptr);
    PlatformDisplayKnobsRef().refuseDirectDrawInitialize = true;
    EXPECT_EQ(fresh->Initialize(nullptr), D_DDERR_GENERIC);
    EXPECT_EQ(fresh->CreateSurface(&desc, &s, nullptr), D_DDERR_GENERIC);
    PlatformDisplayKnobsRef().refuseDirectDrawInitialize = false;
    EXPECT_EQ(fresh->Initialize(nullptr), D_DD_OK);
    ASSERT_EQ(fresh->CreateSurface(&desc, &s, nullptr), D_DD_OK);
    s->Release();
    fresh->Release();
    PlatformDisplayKnobsRef().refuseDirectDraw = true;
    object = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object), E_FAIL);
}

// Each surface describes itself as it was asked for: size, pitch, pixel
// format, where its memory is and its colour key; a lock says the same and
// where the pixels are. Formats that cannot be made are refused.
TEST_F(DirectDrawRequests, SurfacesDescribeThemselvesAsMade) {
    FullScreen(16);
    const DWORD video = D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_LOCALVIDMEM;
    const struct {
        const char* name;
        D_DDSURFACEDESC2 desc;
        DWORD caps;            // as reported
        D_DDPIXELFORMAT format;
        int pitch;
        bool keyed;
    } cases[] = {
        {"plain", PlainSurfaceDesc(10, 3, D_DDSCAPS_OFFSCREENPLAIN), D_DDSCAPS_OFFSCREENPLAIN | video,
         Rgb(16, 0xF800, 0x07E0, 0x001F), 24, false},
        {"system memory", PlainSurfaceDesc(4, 2, D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY),
         D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY, Rgb(16, 0xF800, 0x07E0, 0x001F), 8, false},
        {"no caps: plain", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(2, 2, 0);
             d.dwFlags &= ~D_DDSD_CAPS;
             return d;
         }(), D_DDSCAPS_OFFSCREENPLAIN | video, Rgb(16, 0xF800, 0x07E0, 0x001F), 8, false},
        {"32-bit with alpha", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(3, 1, D_DDSCAPS_TEXTURE | D_DDSCAPS_SYSTEMMEMORY);
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
             return d;
         }(), D_DDSCAPS_TEXTURE | D_DDSCAPS_SYSTEMMEMORY, Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u), 16, false},
        {"alpha mask without its flag", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(2, 1, D_DDSCAPS_OFFSCREENPLAIN);
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat = Rgb(32, 0xFF0000, 0xFF00, 0xFF);
             d.ddpfPixelFormat.dwRGBAlphaBitMask = 0xFF000000u;
             return d;
         }(), D_DDSCAPS_OFFSCREENPLAIN | video, Rgb(32, 0xFF0000, 0xFF00, 0xFF), 8, false},
        {"24-bit", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(3, 1, D_DDSCAPS_OFFSCREENPLAIN);
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat = Rgb(24, 0xFF0000, 0xFF00, 0xFF);
             return d;
         }(), D_DDSCAPS_OFFSCREENPLAIN | video, Rgb(24, 0xFF0000, 0xFF00, 0xFF), 16, false},
        {"8-bit indexed", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(9, 1, D_DDSCAPS_OFFSCREENPLAIN);
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat.dwSize = sizeof d.ddpfPixelFormat;
             d.ddpfPixelFormat.dwFlags = D_DDPF_PALETTEINDEXED8 | D_DDPF_RGB;
             d.ddpfPixelFormat.dwRGBBitCount = 8;
             return d;
         }(), D_DDSCAPS_OFFSCREENPLAIN | video, [] {
             D_DDPIXELFORMAT pf = Rgb(8, 0, 0, 0);
             pf.dwFlags |= D_DDPF_PALETTEINDEXED8;
             return pf;
         }(), 16, false},
        {"managed texture", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(4, 4, D_DDSCAPS_TEXTURE);
             d.ddsCaps.dwCaps2 = D_DDSCAPS2_TEXTUREMANAGE;
             return d;
         }(), D_DDSCAPS_TEXTURE | D_DDSCAPS_SYSTEMMEMORY, Rgb(16, 0xF800, 0x07E0, 0x001F), 8, false},
        {"keyed at creation", [] {
             D_DDSURFACEDESC2 d = PlainSurfaceDesc(2, 2, D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_VIDEOMEMORY);
             d.dwFlags |= D_DDSD_CKSRCBLT;
             d.ddckCKSrcBlt = {0x1234, 0x1234};
             return d;
         }(), D_DDSCAPS_OFFSCREENPLAIN | video, Rgb(16, 0xF800, 0x07E0, 0x001F), 8, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        D_IDirectDrawSurface7* s = Make(c.desc);
        ASSERT_NE(s, nullptr);
        D_DDSURFACEDESC2 got;
        std::memset(&got, 0xCD, sizeof got);
        got.dwSize = sizeof got;
        ASSERT_EQ(s->GetSurfaceDesc(&got), D_DD_OK);
        EXPECT_EQ(got.dwSize, sizeof got);
        EXPECT_EQ(got.dwFlags, D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PITCH | D_DDSD_PIXELFORMAT |
                                   (c.keyed ? D_DDSD_CKSRCBLT : 0));
        EXPECT_EQ(got.dwWidth, c.desc.dwWidth);
        EXPECT_EQ(got.dwHeight, c.desc.dwHeight);
        EXPECT_EQ(got.lPitch, c.pitch);
        EXPECT_EQ(got.ddsCaps.dwCaps, c.caps);
        EXPECT_EQ(std::memcmp(&got.ddpfPixelFormat, &c.format, sizeof c.format), 0);
        EXPECT_EQ(got.lpSurface, nullptr);
        if (c.keyed) {
            EXPECT_EQ(got.ddckCKSrcBlt.dwColorSpaceLowValue, 0x1234u);
        }
        D_DDSCAPS2 caps{};
        ASSERT_EQ(s->GetCaps(&caps), D_DD_OK);
        EXPECT_EQ(caps.dwCaps, c.caps);
        D_DDPIXELFORMAT pf{};
        ASSERT_EQ(s->GetPixelFormat(&pf), D_DD_OK);
        EXPECT_EQ(std::memcmp(&pf, &c.format, sizeof pf), 0);
        // A lock tells the same, with the memory.
        D_DDSURFACEDESC2 lock;
        std::memset(&lock, 0xCD, sizeof lock);
        lock.dwSize = sizeof lock;
        ASSERT_EQ(s->Lock(nullptr, &lock, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        EXPECT_EQ(lock.dwFlags,
                  D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PITCH | D_DDSD_PIXELFORMAT | D_DDSD_LPSURFACE);
        EXPECT_EQ(lock.dwWidth, c.desc.dwWidth);
        EXPECT_EQ(lock.dwHeight, c.desc.dwHeight);
        EXPECT_EQ(lock.lPitch, c.pitch);
        EXPECT_EQ(lock.ddsCaps.dwCaps, c.caps);
        EXPECT_EQ(std::memcmp(&lock.ddpfPixelFormat, &c.format, sizeof c.format), 0);
        EXPECT_NE(lock.lpSurface, nullptr);
        EXPECT_EQ(lock.ddckCKSrcBlt.dwColorSpaceLowValue, 0u) << "a lock says nothing of the key";
        EXPECT_EQ(s->Unlock(nullptr), D_DD_OK);
        EXPECT_EQ(s->GetSurfaceDesc(nullptr), D_DDERR_INVALIDPARAMS);
        EXPECT_EQ(s->GetCaps(nullptr), D_DDERR_INVALIDPARAMS);
        EXPECT_EQ(s->GetPixelFormat(nullptr), D_DDERR_INVALIDPARAMS);
        s->Release();
    }

    // Refused: formats that cannot be made, depths a depth buffer cannot
    // have, sides past 16384, video memory when there is none left (the
    // system's out-of-video-memory code) though system memory still is.
    const int live = PlatformLiveSurfaceCount();
    const struct {
        const char* name;
        void (*change)(D_DDSURFACEDESC2&);
        HRESULT want;
    } refused[] = {
        {"four-character code", [](D_DDSURFACEDESC2& d) {
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat = Rgb(16, 0xF800, 0x07E0, 0x001F);
             d.ddpfPixelFormat.dwFlags |= D_DDPF_FOURCC;
         }, D_DDERR_INVALIDPIXELFORMAT},
        {"not RGB", [](D_DDSURFACEDESC2& d) {
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat = Rgb(16, 0xF800, 0x07E0, 0x001F);
             d.ddpfPixelFormat.dwFlags = D_DDPF_ALPHA;
         }, D_DDERR_INVALIDPIXELFORMAT},
        {"12 bits", [](D_DDSURFACEDESC2& d) {
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat = Rgb(12, 0xF00, 0xF0, 0xF);
         }, D_DDERR_INVALIDPIXELFORMAT},
        {"8-bit depth", [](D_DDSURFACEDESC2& d) {
             d.ddsCaps.dwCaps = D_DDSCAPS_ZBUFFER;
             d.dwFlags |= D_DDSD_PIXELFORMAT;
             d.ddpfPixelFormat.dwZBufferBitDepth = 8;
         }, D_DDERR_INVALIDPIXELFORMAT},
        {"too wide", [](D_DDSURFACEDESC2& d) { d.dwWidth = 16385; }, D_DDERR_INVALIDPARAMS},
        {"too high", [](D_DDSURFACEDESC2& d) { d.dwHeight = 16385; }, D_DDERR_INVALIDPARAMS},
        {"no height", [](D_DDSURFACEDESC2& d) { d.dwHeight = 0; }, D_DDERR_INVALIDPARAMS},
        {"height not said", [](D_DDSURFACEDESC2& d) { d.dwFlags &= ~D_DDSD_HEIGHT; }, D_DDERR_INVALIDPARAMS},
        {"no video memory", [](D_DDSURFACEDESC2&) { PlatformDisplayKnobsRef().videoMemoryFails = true; },
         static_cast<HRESULT>(0x887600BBu)},
        {"no video memory: a depth buffer", [](D_DDSURFACEDESC2& d) {
             PlatformDisplayKnobsRef().videoMemoryFails = true;
             d.ddsCaps.dwCaps = D_DDSCAPS_ZBUFFER;
         }, static_cast<HRESULT>(0x887600BBu)},
        {"no video memory: system memory", [](D_DDSURFACEDESC2& d) {
             PlatformDisplayKnobsRef().videoMemoryFails = true;
             d.ddsCaps.dwCaps |= D_DDSCAPS_SYSTEMMEMORY;
         }, D_DD_OK},
        {"no video memory: a managed texture", [](D_DDSURFACEDESC2& d) {
             PlatformDisplayKnobsRef().videoMemoryFails = true;
             d.ddsCaps.dwCaps = D_DDSCAPS_TEXTURE;
             d.ddsCaps.dwCaps2 = D_DDSCAPS2_TEXTUREMANAGE;
         }, D_DD_OK},
        {"16384 wide", [](D_DDSURFACEDESC2& d) { d.dwWidth = 16384; }, D_DD_OK},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        D_DDSURFACEDESC2 d = PlainSurfaceDesc(8, 2, D_DDSCAPS_OFFSCREENPLAIN);
        r.change(d);
        D_IDirectDrawSurface7* s = reinterpret_cast<D_IDirectDrawSurface7*>(&d);
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), r.want);
        PlatformDisplayKnobsRef().videoMemoryFails = false;
        EXPECT_EQ(s != nullptr, r.want == D_DD_OK);
        if (s != nullptr) s->Release();
        EXPECT_EQ(PlatformLiveSurfaceCount(), live);
    }
}

// Colour keys, clippers and palettes are kept, handed back with a reference
// and cleared; getting one that is not there says so. Clippers and palettes
// stop working with their DirectDraw object.
TEST_F(DirectDrawRequests, KeysClippersAndPalettesAreKeptAndHandedBack) {
    FullScreen(16);
    D_IDirectDrawSurface7* s = Make(PlainSurfaceDesc(4, 4, D_DDSCAPS_OFFSCREENPLAIN));
    D_DDCOLORKEY key{7, 9};
    EXPECT_EQ(s->GetColorKey(D_DDCKEY_SRCBLT, &key), D_DDERR_NOCOLORKEY);
    EXPECT_EQ(s->SetColorKey(0, &key), D_DDERR_UNSUPPORTED) << "only source keys for copies";
    ASSERT_EQ(s->SetColorKey(D_DDCKEY_SRCBLT, &key), D_DD_OK);
    D_DDCOLORKEY got{};
    ASSERT_EQ(s->GetColorKey(D_DDCKEY_SRCBLT, &got), D_DD_OK);
    EXPECT_EQ(got.dwColorSpaceLowValue, 7u);
    EXPECT_EQ(got.dwColorSpaceHighValue, 9u);
    EXPECT_EQ(s->GetColorKey(0, &got), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->GetColorKey(D_DDCKEY_SRCBLT, nullptr), D_DDERR_INVALIDPARAMS);
    ASSERT_EQ(s->SetColorKey(D_DDCKEY_SRCBLT, nullptr), D_DD_OK);
    EXPECT_EQ(s->GetColorKey(D_DDCKEY_SRCBLT, &got), D_DDERR_NOCOLORKEY);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    s->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.dwFlags & D_DDSD_CKSRCBLT, 0u) << "a cleared key is not described";

    D_IDirectDrawClipper* clipper = nullptr;
    D_IDirectDrawClipper* none = reinterpret_cast<D_IDirectDrawClipper*>(&desc);
    EXPECT_EQ(s->GetClipper(&none), D_DDERR_NOTFOUND);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(s->GetClipper(nullptr), D_DDERR_INVALIDPARAMS);
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), D_DD_OK);
    HWND window = reinterpret_cast<HWND>(&desc);
    EXPECT_EQ(clipper->GetHWnd(&window), D_DD_OK);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(clipper->SetHWnd(0, FakeWindow()), D_DD_OK);
    EXPECT_EQ(clipper->GetHWnd(&window), D_DD_OK);
    EXPECT_EQ(window, FakeWindow());
    EXPECT_EQ(clipper->GetHWnd(nullptr), D_DDERR_INVALIDPARAMS);
    ASSERT_EQ(s->SetClipper(clipper), D_DD_OK);
    D_IDirectDrawClipper* back = nullptr;
    ASSERT_EQ(s->GetClipper(&back), D_DD_OK);
    EXPECT_EQ(back, clipper);
    EXPECT_EQ(back->Release(), 2u) << "one reference for the caller, one for the surface";
    ASSERT_EQ(s->SetClipper(nullptr), D_DD_OK);
    EXPECT_EQ(s->GetClipper(&back), D_DDERR_NOTFOUND);

    PALETTEENTRY entries[256] = {};
    D_IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(D_DDPCAPS_8BIT | D_DDPCAPS_ALLOW256, entries, &palette, nullptr), D_DD_OK);
    EXPECT_EQ(s->SetPalette(palette), D_DDERR_INVALIDPIXELFORMAT) << "a 16-bit surface takes no palette";
    EXPECT_EQ(s->SetPalette(nullptr), D_DD_OK);
    D_IDirectDrawPalette* noPalette = palette;
    EXPECT_EQ(s->GetPalette(&noPalette), D_DDERR_NOTFOUND);
    EXPECT_EQ(noPalette, nullptr);
    EXPECT_EQ(s->GetPalette(nullptr), D_DDERR_INVALIDPARAMS);
    const PALETTEENTRY one{1, 2, 3, 0};
    EXPECT_EQ(palette->SetEntries(0, 255, 1, &one), D_DD_OK) << "the last entry";
    EXPECT_EQ(palette->SetEntries(0, 256, 0, &one), D_DD_OK) << "nothing, at the end";
    EXPECT_EQ(palette->SetEntries(0, 257, 0, &one), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(palette->SetEntries(0, 0, 1, nullptr), D_DDERR_INVALIDPARAMS);
    PALETTEENTRY read[256];
    ASSERT_EQ(palette->GetEntries(0, 0, 256, read), D_DD_OK);
    EXPECT_EQ(read[255].peGreen, 2);
    EXPECT_EQ(read[0].peGreen, 0);
    EXPECT_EQ(palette->GetEntries(0, 0, 1, nullptr), D_DDERR_INVALIDPARAMS);
    s->Release();

    // With the object gone its clipper and palette refuse changes.
    dd->Release();
    dd = nullptr;
    EXPECT_EQ(clipper->SetHWnd(0, FakeWindow()), D_DDERR_INVALIDOBJECT);
    EXPECT_EQ(palette->SetEntries(0, 0, 1, &one), D_DDERR_INVALIDOBJECT);
    EXPECT_EQ(clipper->Release(), 0u);
    EXPECT_EQ(palette->Release(), 0u);
}

struct Seen {
    std::vector<D_IDirectDrawSurface7*> surfaces;
    std::vector<DWORD> caps;
    int stopAfter = 100;
};

HRESULT Collect(D_IDirectDrawSurface7* surface, D_DDSURFACEDESC2* desc, void* context) {
    auto* seen = static_cast<Seen*>(context);
    seen->surfaces.push_back(surface);
    seen->caps.push_back(desc->ddsCaps.dwCaps);
    surface->Release();
    return static_cast<int>(seen->surfaces.size()) < seen->stopAfter ? 1 : 0;
}

// A flipping chain's back buffer is found by its caps and listed first,
// then what was attached, each with its description; a callback that says
// stop ends the walk. The back buffer is lost and restored with its primary,
// a restored surface shows the pattern that marks memory not yet reloaded,
// and a primary made for another mode cannot be restored.
TEST_F(DirectDrawRequests, ChainsAttachmentsLossesAndRestores) {
    D_IDirectDrawSurface7* primary = MakeFullScreenChain();
    ASSERT_NE(primary, nullptr);
    D_DDSURFACEDESC2 zDesc = PlainSurfaceDesc(640, 480, D_DDSCAPS_ZBUFFER);
    D_IDirectDrawSurface7* z = Make(zDesc);
    ASSERT_EQ(primary->AddAttachedSurface(z), D_DD_OK);
    EXPECT_EQ(primary->AddAttachedSurface(primary), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(primary->AddAttachedSurface(nullptr), D_DDERR_INVALIDPARAMS);
    D_DDSCAPS2 caps{};
    caps.dwCaps = D_DDSCAPS_BACKBUFFER;
    D_IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), D_DD_OK);
    caps.dwCaps = D_DDSCAPS_ZBUFFER | D_DDSCAPS_VIDEOMEMORY;
    D_IDirectDrawSurface7* foundZ = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &foundZ), D_DD_OK);
    EXPECT_EQ(foundZ, z);
    foundZ->Release();
    caps.dwCaps = D_DDSCAPS_ZBUFFER | D_DDSCAPS_SYSTEMMEMORY;
    EXPECT_EQ(primary->GetAttachedSurface(&caps, &foundZ), D_DDERR_NOTFOUND) << "every cap asked must be there";
    EXPECT_EQ(foundZ, nullptr);
    EXPECT_EQ(primary->GetAttachedSurface(nullptr, &foundZ), D_DDERR_INVALIDPARAMS);

    Seen all, first;
    first.stopAfter = 1;
    ASSERT_EQ(primary->EnumAttachedSurfaces(&all, Collect), D_DD_OK);
    ASSERT_EQ(primary->EnumAttachedSurfaces(&first, Collect), D_DD_OK);
    EXPECT_EQ(primary->EnumAttachedSurfaces(&all, nullptr), D_DDERR_INVALIDPARAMS);
    ASSERT_EQ(all.surfaces.size(), 2u);
    EXPECT_EQ(all.surfaces[0], back);
    EXPECT_EQ(all.surfaces[1], z);
    EXPECT_EQ(all.caps[0] & D_DDSCAPS_BACKBUFFER, D_DDSCAPS_BACKBUFFER);
    EXPECT_EQ(all.caps[1] & D_DDSCAPS_ZBUFFER, D_DDSCAPS_ZBUFFER);
    EXPECT_EQ(first.surfaces.size(), 1u);
    D_DDSURFACEDESC2 primaryDesc{};
    primaryDesc.dwSize = sizeof primaryDesc;
    primary->GetSurfaceDesc(&primaryDesc);
    EXPECT_EQ(primaryDesc.ddsCaps.dwCaps & (D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FRONTBUFFER | D_DDSCAPS_FLIP),
              D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FRONTBUFFER | D_DDSCAPS_FLIP);
    EXPECT_EQ(primaryDesc.lPitch, 1280);

    // Lost with exclusive mode; restored together; the back buffer's
    // memory then holds the marking pattern.
    PlatformDisplayLoseExclusive();
    EXPECT_EQ(back->IsLost(), D_DDERR_SURFACELOST);
    EXPECT_EQ(z->IsLost(), D_DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_EQ(back->GetDC(&dc), D_DDERR_SURFACELOST);
    EXPECT_EQ(dc, nullptr);
    EXPECT_EQ(primary->Flip(nullptr, D_DDFLIP_NOVSYNC), D_DDERR_SURFACELOST);
    PlatformDisplayRegainExclusive();
    ASSERT_EQ(primary->Restore(), D_DD_OK);
    EXPECT_EQ(back->IsLost(), D_DD_OK) << "restored with its primary";
    EXPECT_EQ(z->IsLost(), D_DDERR_SURFACELOST) << "attached surfaces are the owner's to restore";
    EXPECT_EQ(back->Restore(), D_DD_OK);
    ASSERT_EQ(z->Restore(), D_DD_OK);
    D_DDSURFACEDESC2 lock{};
    lock.dwSize = sizeof lock;
    ASSERT_EQ(z->Lock(nullptr, &lock, 0, nullptr), D_DD_OK);
    const auto* bytes = static_cast<const std::uint8_t*>(lock.lpSurface);
    const std::uint8_t pattern[8] = {0x1F, 0x1F, 0x1F, 0x1F, 0xF8, 0xF8, 0xF8, 0xF8};
    EXPECT_EQ(std::memcmp(bytes, pattern, 8), 0);
    EXPECT_EQ(std::memcmp(bytes + lock.lPitch * 479 + 1272, pattern, 8), 0);
    z->Unlock(nullptr);
    EXPECT_EQ(primary->Flip(nullptr, D_DDFLIP_NOVSYNC), D_DD_OK);

    // Another mode: the primary no longer fits the screen and cannot be
    // restored into it.
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), D_DD_OK);
    EXPECT_EQ(primary->Restore(), D_DDERR_WRONGMODE);
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    EXPECT_EQ(primary->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DDERR_SURFACELOST);
    EXPECT_EQ(primary->DeleteAttachedSurface(0, z), D_DD_OK);
    back->Release();
    z->Release();
    primary->Release();
    EXPECT_EQ(PlatformLiveSurfaceCount(), 0);
}

// Copies and fills the system refuses, each with its code, and the
// destination left as it was; busy surfaces (a DC out, a lock under strict
// locks) and flips without exclusive mode. A depth fill writes the depth.
TEST_F(DirectDrawRequests, RefusedCopiesLeaveTheirDestination) {
    D_IDirectDrawSurface7* primary = MakeFullScreenChain(16);
    ASSERT_NE(primary, nullptr);
    D_DDSCAPS2 backCaps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
    D_IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&backCaps, &back), D_DD_OK);
    const DWORD system = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;  // never lost
    D_IDirectDrawSurface7* dest = Make(PlainSurfaceDesc(8, 8, system));
    D_IDirectDrawSurface7* source = Make(PlainSurfaceDesc(4, 4, system));
    D_IDirectDrawSurface7* busy = Make(PlainSurfaceDesc(4, 4, system));
    D_IDirectDrawSurface7* lost = Make(PlainSurfaceDesc(4, 4, D_DDSCAPS_OFFSCREENPLAIN));
    D_DDSURFACEDESC2 wideDesc = PlainSurfaceDesc(4, 4, system);
    wideDesc.dwFlags |= D_DDSD_PIXELFORMAT;
    wideDesc.ddpfPixelFormat = Rgb(32, 0xFF0000, 0xFF00, 0xFF);
    D_IDirectDrawSurface7* wide = Make(wideDesc);
    D_IDirectDrawSurface7* z = Make(PlainSurfaceDesc(8, 8, D_DDSCAPS_ZBUFFER));
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x1234;
    ASSERT_EQ(dest->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DD_OK);
    fx.dwFillColor = 0x0F0F;
    ASSERT_EQ(source->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DD_OK);
    HDC busyDc = nullptr;
    ASSERT_EQ(busy->GetDC(&busyDc), D_DD_OK);
    RECT outside{2, 2, 5, 4}, inside{0, 0, 4, 4};
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT want;
    } cases[] = {
        {"a depth fill of a plain surface",
         [&] { return dest->Blt(nullptr, nullptr, nullptr, D_DDBLT_DEPTHFILL, &fx); }, D_DDERR_INVALIDPARAMS},
        {"a fill without its effects", [&] { return dest->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, nullptr); },
         D_DDERR_INVALIDPARAMS},
        {"a copy without a source", [&] { return dest->Blt(nullptr, nullptr, nullptr, 0, nullptr); },
         D_DDERR_INVALIDPARAMS},
        {"a copy from another format", [&] { return dest->Blt(nullptr, wide, nullptr, 0, nullptr); },
         D_DDERR_INVALIDPIXELFORMAT},
        {"a fast copy from another format", [&] { return dest->BltFast(0, 0, wide, nullptr, 0); },
         D_DDERR_INVALIDPIXELFORMAT},
        {"a copy from a surface with its DC out", [&] { return dest->Blt(nullptr, busy, nullptr, 0, nullptr); },
         D_DDERR_SURFACEBUSY},
        {"a fast copy from a surface with its DC out", [&] { return dest->BltFast(0, 0, busy, nullptr, 0); },
         D_DDERR_SURFACEBUSY},
        {"a copy onto a surface with its DC out", [&] { return busy->Blt(nullptr, source, nullptr, 0, nullptr); },
         D_DDERR_SURFACEBUSY},
        {"a fast copy past the largest side", [&] { return dest->BltFast(16385, 0, source, nullptr, 0); },
         D_DDERR_INVALIDRECT},
        {"a fast copy at a negative place", [&] { return dest->BltFast(0, 0x80000000u, source, nullptr, 0); },
         D_DDERR_INVALIDRECT},
        {"a fast copy of a rectangle outside its source",
         [&] { return dest->BltFast(0, 0, source, &outside, 0); }, D_DDERR_INVALIDRECT},
        {"a copy of a rectangle outside its source",
         [&] { return dest->Blt(&inside, source, &outside, 0, nullptr); }, D_DDERR_INVALIDRECT},
        {"a copy from a lost surface", [&] {
             PlatformDisplayLoseExclusive();
             PlatformDisplayRegainExclusive();
             return dest->Blt(nullptr, lost, nullptr, 0, nullptr);
         }, D_DDERR_SURFACELOST},
        {"a fast copy from a lost surface", [&] { return dest->BltFast(0, 0, lost, nullptr, 0); },
         D_DDERR_SURFACELOST},
        {"a lock with the DC out", [&] {
             D_DDSURFACEDESC2 d{};
             d.dwSize = sizeof d;
             return busy->Lock(nullptr, &d, 0, nullptr);
         }, D_DDERR_SURFACEBUSY},
        {"a second DC", [&] {
             HDC second = nullptr;
             return busy->GetDC(&second);
         }, D_DDERR_SURFACEBUSY},
        {"a DC while locked", [&] {
             D_DDSURFACEDESC2 d{};
             d.dwSize = sizeof d;
             dest->Lock(nullptr, &d, 0, nullptr);
             HDC dc = nullptr;
             const HRESULT hr = dest->GetDC(&dc);
             dest->Unlock(nullptr);
             return hr;
         }, D_DDERR_SURFACEBUSY},
        {"a DC given back to the wrong surface", [&] { return dest->ReleaseDC(busyDc); }, D_DDERR_INVALIDPARAMS},
        {"an unlock of what is not locked", [&] { return dest->Unlock(nullptr); }, D_DDERR_NOTLOCKED},
        {"a flip with the back buffer's DC out", [&] {
             back->Restore();
             primary->Restore();
             HDC dc = nullptr;
             back->GetDC(&dc);
             const HRESULT hr = primary->Flip(nullptr, D_DDFLIP_NOVSYNC);
             back->ReleaseDC(dc);
             return hr;
         }, D_DDERR_SURFACEBUSY},
        {"a flip of a locked primary under strict locks", [&] {
             PlatformDisplayKnobsRef().strictLocks = true;
             D_DDSURFACEDESC2 d{};
             d.dwSize = sizeof d;
             primary->Lock(nullptr, &d, 0, nullptr);
             const HRESULT hr = primary->Flip(nullptr, D_DDFLIP_NOVSYNC);
             primary->Unlock(nullptr);
             PlatformDisplayKnobsRef().strictLocks = false;
             return hr;
         }, D_DDERR_SURFACEBUSY},
        {"a flip of the back buffer", [&] { return back->Flip(nullptr, D_DDFLIP_NOVSYNC); }, D_DDERR_NOTFLIPPABLE},
        {"a flip without exclusive mode", [&] {
             dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_NORMAL);
             return primary->Flip(nullptr, D_DDFLIP_NOVSYNC);
         }, D_DDERR_NOEXCLUSIVEMODE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.want);
        D_DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(dest->Lock(nullptr, &d, 0, nullptr), D_DD_OK);
        int changed = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                std::uint16_t v;
                std::memcpy(&v, static_cast<std::uint8_t*>(d.lpSurface) + y * d.lPitch + x * 2, 2);
                changed += v != 0x1234;
            }
        dest->Unlock(nullptr);
        EXPECT_EQ(changed, 0);
    }
    EXPECT_EQ(busy->ReleaseDC(busyDc), D_DD_OK);
    EXPECT_EQ(busy->ReleaseDC(busyDc), D_DDERR_INVALIDPARAMS) << "given back once";
    // A depth fill writes the depth value into every sample.
    fx.dwFillDepth = 0xBEEF;
    ASSERT_EQ(z->Restore(), D_DD_OK);
    ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, D_DDBLT_DEPTHFILL, &fx), D_DD_OK);
    D_DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(z->Lock(nullptr, &d, 0, nullptr), D_DD_OK);
    std::uint16_t corner = 0;
    std::memcpy(&corner, static_cast<std::uint8_t*>(d.lpSurface) + 7 * d.lPitch + 14, 2);
    EXPECT_EQ(corner, 0xBEEF);
    z->Unlock(nullptr);
    for (D_IDirectDrawSurface7* s : {z, wide, lost, busy, source, dest, back, primary}) s->Release();
}

// A surface holds its clipper and palette until it goes; the primary's
// palette stops colouring the screen when the primary goes.
TEST_F(DirectDrawRequests, SurfacesLetGoOfWhatTheyHold) {
    const int objects = PlatformLiveComObjectCount();
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8, 0, 0), D_DD_OK);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS;
    desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE;
    D_IDirectDrawSurface7* primary = Make(desc);
    D_DDSCAPS2 caps{};
    ASSERT_EQ(primary->GetCaps(&caps), D_DD_OK);
    EXPECT_EQ(caps.dwCaps, D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_LOCALVIDMEM) << "no chain";
    PALETTEENTRY entries[256] = {};
    entries[9] = {9, 8, 7, 0};
    D_IDirectDrawPalette* palette = nullptr;
    D_IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreatePalette(D_DDPCAPS_8BIT, entries, &palette, nullptr), D_DD_OK);
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), D_DD_OK);
    PALETTEENTRY read{};
    ASSERT_EQ(palette->GetEntries(0, 9, 1, &read), D_DD_OK);
    EXPECT_EQ(read.peRed, 9) << "made with the entries given";
    EXPECT_EQ(read.peBlue, 7);
    ASSERT_EQ(primary->SetPalette(palette), D_DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper), D_DD_OK);
    EXPECT_EQ(palette->Release(), 1u);
    EXPECT_EQ(clipper->Release(), 1u);
    std::uint32_t shown[256];
    PlatformFramebufferPalette(shown);
    EXPECT_EQ(shown[9], 0x090807u);
    // Replaced by another palette: the old one is let go of, the new one shown.
    D_IDirectDrawPalette* other = nullptr;
    entries[9] = {1, 1, 1, 0};
    ASSERT_EQ(dd->CreatePalette(D_DDPCAPS_8BIT, entries, &other, nullptr), D_DD_OK);
    palette->AddRef();
    ASSERT_EQ(primary->SetPalette(other), D_DD_OK);
    PlatformFramebufferPalette(shown);
    EXPECT_EQ(shown[9], 0x010101u);
    const PALETTEENTRY red{255, 0, 0, 0};
    ASSERT_EQ(palette->SetEntries(0, 9, 1, &red), D_DD_OK);
    PlatformFramebufferPalette(shown);
    EXPECT_EQ(shown[9], 0x010101u) << "the palette taken off no longer colours the screen";
    EXPECT_EQ(palette->Release(), 0u);
    EXPECT_EQ(primary->Release(), 0u);
    ASSERT_EQ(other->SetEntries(0, 9, 1, &red), D_DD_OK);
    PlatformFramebufferPalette(shown);
    EXPECT_EQ(shown[9], 0x010101u) << "nor does the palette of a primary that is gone";
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(PlatformLiveComObjectCount(), objects) << "clipper and palettes went with the surface";
}

// Off the main thread a wait for the blank follows the clock as others move
// it, and gives up after 100 ms of real time when the clock stands still.
TEST_F(DirectDrawRequests, WaitsOffTheMainThreadFollowTheClockOrGiveUp) {
    PlatformResetVirtualClock();
    std::atomic<int> result{-1}, line{-1};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        result = PlatformWaitVerticalBlankStart() ? 1 : 0;
        line = PlatformScanLine();  // off the main thread a read does not move the clock
        done = true;
    });
    // The clock is moved on by this thread: first to 10 ms, before the
    // blank (a wait that ended there would read a line of the picture), then
    // to just past the blank's start (15237 us into the period that began at
    // 999960 us). A waiter that first read the clock after that aims at a
    // later blank, so the clock then moves on one 16666 us period at a time,
    // always to just past a blank, until the waiter has seen one.
    PlatformAdvanceVirtualClock(10'000);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    PlatformAdvanceVirtualClock(5'300);
    for (int step = 0; step < 40 && !done; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!done) PlatformAdvanceVirtualClock(16'666);
    }
    waiter.join();
    EXPECT_EQ(result, 1);
    EXPECT_GE(line, 480) << "not before the blank";
    EXPECT_LE(line, 484);
    std::thread stalled([&] { result = PlatformWaitVerticalBlankStart() ? 1 : 0; });
    stalled.join();
    EXPECT_EQ(result, 0);
}

}  // namespace

namespace {

// Requests the system refuses for their form: descriptions and fill
// parameters without their size, mode flags other than the VGA mode's.
// Failures on demand: surfaces refused after a count, attachments refused.
// Overlays only in the format the hardware takes. The GDI surface flipped
// back to the front only when a flip left it behind.
TEST_F(DirectDrawRequests, StrictFormsFailuresOnDemandOverlaysAndTheGdiSurface) {
    D_IDirectDrawSurface7* primary = MakeFullScreenChain();
    ASSERT_NE(primary, nullptr);
    D_IDirectDrawSurface7* plain = Make(PlainSurfaceDesc(8, 8, D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY));
    ASSERT_NE(plain, nullptr);
    D_DDSURFACEDESC2 desc{};
    EXPECT_EQ(plain->GetSurfaceDesc(&desc), D_DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetDisplayMode(&desc), D_DDERR_INVALIDPARAMS);
    D_DDBLTFX fx{};
    EXPECT_EQ(plain->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DDERR_INVALIDPARAMS);
    fx.dwSize = sizeof fx;
    EXPECT_EQ(plain->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL, &fx), D_DD_OK);
    const struct {
        DWORD width, height, bits, flags;
        HRESULT result;
    } modes[] = {{640, 480, 16, 1, D_DDERR_INVALIDMODE}, {640, 480, 16, 2, D_DDERR_INVALIDPARAMS},
                 {320, 200, 8, 3, D_DDERR_INVALIDPARAMS}, {640, 480, 16, 0, D_DD_OK}};
    for (const auto& m : modes) EXPECT_EQ(dd->SetDisplayMode(m.width, m.height, m.bits, 0, m.flags), m.result) << m.flags;
    ASSERT_EQ(primary->Restore(), D_DD_OK);

    PlatformDisplayKnobs& knobs = PlatformDisplayKnobsRef();
    knobs.surfacesBeforeRefusal = 1;
    D_IDirectDrawSurface7* made = Make(PlainSurfaceDesc(4, 4, D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY));
    D_DDSURFACEDESC2 small = PlainSurfaceDesc(4, 4, D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY);
    D_IDirectDrawSurface7* refused = nullptr;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(dd->CreateSurface(&small, &refused, nullptr), D_DDERR_OUTOFMEMORY);
    EXPECT_EQ(refused, nullptr);
    knobs.surfacesBeforeRefusal = -1;
    knobs.refuseAttachments = true;
    D_DDSCAPS2 backCaps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
    D_IDirectDrawSurface7* back = nullptr;
    EXPECT_EQ(primary->GetAttachedSurface(&backCaps, &back), D_DDERR_NOTFOUND);
    EXPECT_EQ(plain->AddAttachedSurface(made), D_DDERR_CANNOTATTACHSURFACE);
    knobs.refuseAttachments = false;
    for (DWORD D_DDSCAPS2::*word : {&D_DDSCAPS2::dwCaps2, &D_DDSCAPS2::dwCaps3, &D_DDSCAPS2::dwCaps4}) {
        D_DDSCAPS2 more = backCaps;
        more.*word = 1;
        EXPECT_EQ(primary->GetAttachedSurface(&more, &back), D_DDERR_NOTFOUND);
    }
    ASSERT_EQ(primary->GetAttachedSurface(&backCaps, &back), D_DD_OK);
    back->Release();
    made->Release();

    constexpr DWORD kYuy2 = 0x32595559;
    D_DDCAPS caps{};
    caps.dwSize = sizeof caps;
    knobs.minOverlayStretch = 100;
    knobs.maxOverlayStretch = 3000;
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), D_DD_OK);
    EXPECT_EQ(caps.dwMinOverlayStretch, 100u);
    EXPECT_EQ(caps.dwMaxOverlayStretch, 3000u);
    auto overlay = [](DWORD fourCC, const D_DDPIXELFORMAT* rgb) {
        D_DDSURFACEDESC2 d = PlainSurfaceDesc(16, 16, D_DDSCAPS_OVERLAY | D_DDSCAPS_VIDEOMEMORY);
        d.dwFlags |= D_DDSD_PIXELFORMAT;
        if (rgb != nullptr) {
            d.ddpfPixelFormat = *rgb;
        } else {
            d.ddpfPixelFormat.dwSize = sizeof d.ddpfPixelFormat;
            d.ddpfPixelFormat.dwFlags = D_DDPF_FOURCC;
            d.ddpfPixelFormat.dwFourCC = fourCC;
        }
        return d;
    };
    const D_DDPIXELFORMAT rgb565 = Rgb(16, 0xF800, 0x07E0, 0x001F);
    const struct {
        DWORD knobFourCC;
        PlatformPixelLayout knobLayout;
        bool system;
        D_DDSURFACEDESC2 desc;
        HRESULT result;
        DWORD memory;
    } overlays[] = {
        {0, {}, false, overlay(kYuy2, nullptr), D_DDERR_NOOVERLAYHW, 0},
        {kYuy2, {}, false, overlay(kYuy2, nullptr), D_DD_OK, D_DDSCAPS_VIDEOMEMORY},
        {kYuy2, {}, true, overlay(kYuy2, nullptr), D_DD_OK, D_DDSCAPS_SYSTEMMEMORY},
        {kYuy2, {}, false, overlay(kYuy2 + 1, nullptr), D_DDERR_INVALIDPIXELFORMAT, 0},
        {kYuy2, {}, false, overlay(0, &rgb565), D_DDERR_INVALIDPIXELFORMAT, 0},
        {0, kLayout565, false, overlay(0, &rgb565), D_DD_OK, D_DDSCAPS_VIDEOMEMORY},
        {0, kLayout555, false, overlay(0, &rgb565), D_DDERR_INVALIDPIXELFORMAT, 0},
        {kYuy2, {}, false, PlainSurfaceDesc(16, 16, D_DDSCAPS_OVERLAY), D_DDERR_INVALIDPARAMS, 0},
    };
    for (const auto& o : overlays) {
        SCOPED_TRACE(testing::Message() << std::hex << o.knobFourCC << " " << o.knobLayout.redMask << " " << o.result);
        knobs.overlayFourCC = o.knobFourCC;
        knobs.overlayLayout = o.knobLayout;
        knobs.overlaysInSystemMemory = o.system;
        D_DDSURFACEDESC2 d = o.desc;
        D_IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), o.result);
        if (s == nullptr) continue;
        D_DDSCAPS2 got{};
        s->GetCaps(&got);
        EXPECT_EQ(got.dwCaps & (D_DDSCAPS_OVERLAY | D_DDSCAPS_VIDEOMEMORY | D_DDSCAPS_SYSTEMMEMORY),
                  D_DDSCAPS_OVERLAY | o.memory);
        D_DDPIXELFORMAT pf{};
        s->GetPixelFormat(&pf);
        EXPECT_EQ(pf.dwFourCC, o.knobFourCC);
        EXPECT_EQ(pf.dwFlags & D_DDPF_FOURCC, o.knobFourCC != 0 ? D_DDPF_FOURCC : 0u);
        s->Release();
    }

    // Flipped once, the GDI surface is behind: flipped back, shown once.
    const struct {
        int flips, shown;
    } gdi[] = {{0, 0}, {1, 1}, {2, 0}, {3, 1}};
    for (const auto& g : gdi) {
        for (int i = 0; i < g.flips; ++i) ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC), D_DD_OK);
        frames.clear();
        EXPECT_EQ(dd->FlipToGDISurface(), D_DD_OK);
        EXPECT_EQ(static_cast<int>(frames.size()), g.shown) << g.flips;
        frames.clear();
        EXPECT_EQ(dd->FlipToGDISurface(), D_DD_OK);
        EXPECT_TRUE(frames.empty()) << "in front already";
    }
    plain->Release();
    primary->Release();
    EXPECT_EQ(dd->FlipToGDISurface(), D_DD_OK) << "no primary: nothing to flip";
}

}  // namespace
