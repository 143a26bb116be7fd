// The DirectDraw and GDI stand-ins over the display model.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/ddraw_fixture.h"
#include "platform/gdi.h"
#include "platform/kernel.h"

namespace {

class DirectDrawTest : public DirectDrawFixture {
protected:
    void FullScreen(DWORD bits = 16) {
        ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
        ASSERT_EQ(dd->SetDisplayMode(640, 480, bits, 0, 0), D_DD_OK);
    }

    D_IDirectDrawSurface7* MakePrimaryChain(HRESULT expected = D_DD_OK) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FLIP | D_DDSCAPS_COMPLEX | D_DDSCAPS_3DDEVICE;
        desc.dwBackBufferCount = 1;
        D_IDirectDrawSurface7* primary = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), expected);
        return primary;
    }

    D_IDirectDrawSurface7* MakeOffscreen(int w, int h, DWORD memory = 0) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | memory;
        D_IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), D_DD_OK);
        return s;
    }

    static HRESULT Fill(D_IDirectDrawSurface7* s, DWORD color, RECT* rect = nullptr) {
        D_DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = color;
        return s->Blt(rect, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx);
    }

    static DWORD Pixel16(D_IDirectDrawSurface7* s, int x, int y) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        std::uint16_t v;
        std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 2, 2);
        s->Unlock(nullptr);
        return v;
    }
};

TEST_F(DirectDrawTest, OffersDirectDrawAndADirect3DObject) {
    void* out = nullptr;
    EXPECT_EQ(dd->QueryInterface(IID_D_IDirectDraw, &out), S_OK);
    static_cast<D_IUnknown*>(out)->Release();
    // The Direct3D object is there; whether it offers a device is its own
    // business.
    EXPECT_EQ(dd->QueryInterface(IID_D_IDirect3D7, &out), S_OK);
    static_cast<D_IUnknown*>(out)->Release();
    EXPECT_EQ(dd->QueryInterface(IID_D_IDirectDraw4, &out), E_NOINTERFACE);
    D_DDCAPS caps{};
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), D_DD_OK);
    EXPECT_EQ(caps.dwSize, 380u);
    EXPECT_EQ(caps.dwMinOverlayStretch, 0u);
}

TEST_F(DirectDrawTest, DisplayModesNeedExclusiveModeAndAKnownMode) {
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), D_DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 24, 0, 0), D_DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), D_DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 75, 0), D_DDERR_INVALIDMODE);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), D_DD_OK);
    D_DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof mode;
    ASSERT_EQ(dd->GetDisplayMode(&mode), D_DD_OK);
    EXPECT_EQ(mode.dwWidth, 640u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(dd->RestoreDisplayMode(), D_DD_OK);
    EXPECT_EQ(PlatformDisplayWidth(), 1024);
    EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, 32);
}

TEST_F(DirectDrawTest, FlipPresentsTheBackBufferIn565) {
    FullScreen();
    D_IDirectDrawSurface7* primary = MakePrimaryChain();
    ASSERT_NE(primary, nullptr);
    D_DDSCAPS2 caps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
    D_IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), D_DD_OK);
    // Pure red in 5:6:5, with a blue square.
    ASSERT_EQ(Fill(back, 0xF800), D_DD_OK);
    RECT square{10, 20, 30, 40};
    ASSERT_EQ(Fill(back, 0x001F, &square), D_DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC), D_DD_OK);
    ASSERT_EQ(frames.size(), 1u);
    const PlatformFrame& f = frames.back();
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(f.height, 480);
    EXPECT_EQ(f.layout, kLayout565);
    EXPECT_EQ(f.flipFlags, D_DDFLIP_WAIT | D_DDFLIP_NOVSYNC);
    EXPECT_EQ(f.Raw(0, 0), 0xF800u);
    EXPECT_EQ(f.Rgb(0, 0), 0xF80000u);
    EXPECT_EQ(f.Raw(10, 20), 0x001Fu);
    EXPECT_EQ(f.Raw(30, 40), 0xF800u);
    // The back buffer now holds the old front: black.
    EXPECT_EQ(Pixel16(back, 0, 0), 0u);
    back->Release();
    primary->Release();
}

TEST_F(DirectDrawTest, FlippingChainsAndSecondPrimariesAreRefused) {
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_NORMAL), D_DD_OK);
    EXPECT_EQ(MakePrimaryChain(D_DDERR_NOEXCLUSIVEMODE), nullptr);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS;
    desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE;
    D_IDirectDrawSurface7 *a = nullptr, *b = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &a, nullptr), D_DD_OK);
    EXPECT_EQ(dd->CreateSurface(&desc, &b, nullptr), D_DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(a->Flip(nullptr, D_DDFLIP_WAIT), D_DDERR_NOTFLIPPABLE);
    a->Release();
    // Requests refused, each one change from a plain 16 x 16 surface; none
    // leaves a surface behind.
    const int surfacesBefore = PlatformLiveSurfaceCount();
    const struct {
        const char* name;
        void (*change)(D_DDSURFACEDESC2&);
        HRESULT want;
    } cases[] = {
        {"as asked", [](D_DDSURFACEDESC2&) {}, D_DD_OK},
        {"overlay", [](D_DDSURFACEDESC2& d) { d.ddsCaps.dwCaps = D_DDSCAPS_OVERLAY | D_DDSCAPS_VIDEOMEMORY; },
         D_DDERR_NOOVERLAYHW},
        {"no width", [](D_DDSURFACEDESC2& d) { d.dwWidth = 0; }, D_DDERR_INVALIDPARAMS},
        {"width not said", [](D_DDSURFACEDESC2& d) { d.dwFlags &= ~D_DDSD_WIDTH; }, D_DDERR_INVALIDPARAMS},
        {"no caps and no size", [](D_DDSURFACEDESC2& d) { d.dwFlags = 0; }, D_DDERR_INVALIDPARAMS},
        {"wrong description size", [](D_DDSURFACEDESC2& d) { d.dwSize = sizeof d - 4; }, D_DDERR_INVALIDPARAMS},
        {"a primary with a size",
         [](D_DDSURFACEDESC2& d) { d.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE; }, D_DDERR_INVALIDPARAMS},
        {"a primary with a format",
         [](D_DDSURFACEDESC2& d) {
             d.dwFlags = D_DDSD_CAPS | D_DDSD_PIXELFORMAT;
             d.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE;
         },
         D_DDERR_INVALIDPARAMS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        D_DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
        d.dwWidth = d.dwHeight = 16;
        d.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
        c.change(d);
        b = reinterpret_cast<D_IDirectDrawSurface7*>(&d);  // overwritten with null when refused
        EXPECT_EQ(dd->CreateSurface(&d, &b, nullptr), c.want);
        EXPECT_EQ(b != nullptr, c.want == D_DD_OK);
        if (b != nullptr) b->Release();
        EXPECT_EQ(PlatformLiveSurfaceCount(), surfacesBefore);
    }
}

// An 8-bit screen takes its colours from the palette on the primary surface:
// set there, changed there, and not from a palette on any other surface.
TEST_F(DirectDrawTest, ThePrimarysPaletteColoursTheScreen) {
    FullScreen(8);
    PALETTEENTRY entries[256] = {};
    for (int i = 0; i < 256; ++i) entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
    D_IDirectDrawPalette *palette = nullptr, *other = nullptr;
    EXPECT_EQ(dd->CreatePalette(0, entries, &palette, nullptr), D_DDERR_INVALIDPARAMS) << "8-bit only";
    ASSERT_EQ(dd->CreatePalette(D_DDPCAPS_8BIT, entries, &palette, nullptr), D_DD_OK);
    ASSERT_EQ(dd->CreatePalette(D_DDPCAPS_8BIT, entries, &other, nullptr), D_DD_OK);
    D_IDirectDrawSurface7* primary = MakePrimaryChain();
    ASSERT_NE(primary, nullptr);
    D_IDirectDrawSurface7* plain = MakeOffscreen(8, 8);
    std::uint32_t shown[256];
    auto Shown = [&](int i) {
        PlatformFramebufferPalette(shown);
        return shown[i];
    };
    // Until a palette is set the screen shows a fixed 3:3:2 one.
    const std::pair<int, std::uint32_t> fixed[] = {{0, 0},           {255, 0xFFFFFF}, {0xE0, 0xFF0000},
                                                   {0x1C, 0x00FF00}, {0x03, 0x0000FF}, {0xAA, 0xB648AA}};
    for (const auto& [index, rgb] : fixed) EXPECT_EQ(Shown(index), rgb) << index;
    ASSERT_EQ(primary->SetPalette(palette), D_DD_OK);
    EXPECT_EQ(Shown(3), 0x03FC07u);
    const PALETTEENTRY red{255, 0, 0, 0};
    ASSERT_EQ(palette->SetEntries(0, 3, 1, &red), D_DD_OK);
    EXPECT_EQ(Shown(3), 0xFF0000u) << "a change on the primary's palette shows at once";
    ASSERT_EQ(plain->SetPalette(other), D_DD_OK);
    const PALETTEENTRY blue{0, 0, 255, 0};
    ASSERT_EQ(other->SetEntries(0, 3, 1, &blue), D_DD_OK);
    EXPECT_EQ(Shown(3), 0xFF0000u) << "another surface's palette is not the screen's";
    EXPECT_EQ(palette->SetEntries(0, 250, 7, entries), D_DDERR_INVALIDPARAMS);
    PALETTEENTRY back[2];
    EXPECT_EQ(palette->GetEntries(0, 255, 2, back), D_DDERR_INVALIDPARAMS);
    ASSERT_EQ(palette->GetEntries(0, 2, 2, back), D_DD_OK);
    EXPECT_EQ(back[1].peRed, 255);
    D_IDirectDrawPalette* got = nullptr;
    ASSERT_EQ(primary->GetPalette(&got), D_DD_OK);
    EXPECT_EQ(got, palette);
    got->Release();
    plain->Release();
    other->Release();
    palette->Release();
    primary->Release();

    // A depth buffer says it is one, with its depth and mask.
    FullScreen(16);
    for (DWORD bits : {16u, 24u, 32u}) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
        desc.dwWidth = desc.dwHeight = 8;
        desc.ddsCaps.dwCaps = D_DDSCAPS_ZBUFFER;
        desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
        desc.ddpfPixelFormat.dwFlags = 0x400;
        desc.ddpfPixelFormat.dwZBufferBitDepth = bits;
        D_IDirectDrawSurface7* z = nullptr;
        ASSERT_EQ(dd->CreateSurface(&desc, &z, nullptr), D_DD_OK);
        D_DDPIXELFORMAT pf{};
        pf.dwSize = sizeof pf;
        ASSERT_EQ(z->GetPixelFormat(&pf), D_DD_OK);
        EXPECT_EQ(pf.dwFlags, 0x400u) << bits;
        EXPECT_EQ(pf.dwZBufferBitDepth, bits);
        EXPECT_EQ(pf.dwZBitMask, bits == 16 ? 0xFFFFu : bits == 24 ? 0xFFFFFFu : 0xFFFFFFFFu);
        // Attached once, detached once; after that the last release frees it.
        D_IDirectDrawSurface7* target = MakeOffscreen(8, 8);
        ASSERT_EQ(target->AddAttachedSurface(z), D_DD_OK);
        EXPECT_EQ(target->AddAttachedSurface(z), D_DDERR_INVALIDPARAMS);
        EXPECT_EQ(target->DeleteAttachedSurface(0, z), D_DD_OK);
        EXPECT_EQ(target->DeleteAttachedSurface(0, z), D_DDERR_NOTFOUND);
        const int live = PlatformLiveSurfaceCount();
        z->Release();
        EXPECT_EQ(PlatformLiveSurfaceCount(), live - 1);
        target->Release();
    }
}

TEST_F(DirectDrawTest, LockAddressesTheWholeSurfaceWithItsPitch) {
    PlatformDisplayKnobsRef().pitchPadding = 40;
    FullScreen();
    D_IDirectDrawSurface7* s = MakeOffscreen(100, 50);
    D_DDSURFACEDESC2 whole{}, part{};
    whole.dwSize = part.dwSize = sizeof whole;
    ASSERT_EQ(s->Lock(nullptr, &whole, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    s->Unlock(nullptr);
    EXPECT_EQ(whole.lPitch, 200 + 40);
    RECT r{5, 7, 20, 30};
    ASSERT_EQ(s->Lock(&r, &part, D_DDLOCK_WAIT | D_DDLOCK_WRITEONLY, nullptr), D_DD_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(part.lpSurface),
              static_cast<std::uint8_t*>(whole.lpSurface) + 7 * whole.lPitch + 5 * 2);
    EXPECT_EQ(part.dwWidth, 100u);  // the pointer moved, the surface did not
    s->Unlock(nullptr);
    RECT outside{90, 0, 101, 10};
    EXPECT_EQ(s->Lock(&outside, &part, 0, nullptr), D_DDERR_INVALIDRECT);
    D_DDSURFACEDESC2 unsized{};
    EXPECT_EQ(s->Lock(nullptr, &unsized, 0, nullptr), D_DDERR_INVALIDPARAMS) << "a description without its size";
    EXPECT_EQ(s->Unlock(nullptr), D_DDERR_NOTLOCKED);
    // Where locks are strict, a surface locked once is busy until unlocked.
    PlatformDisplayKnobsRef().strictLocks = true;
    ASSERT_EQ(s->Lock(nullptr, &whole, 0, nullptr), D_DD_OK);
    EXPECT_EQ(s->Lock(nullptr, &part, 0, nullptr), D_DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), D_DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), D_DDERR_NOTLOCKED);
    ASSERT_EQ(s->Lock(nullptr, &part, 0, nullptr), D_DD_OK);
    s->Unlock(nullptr);
    s->Release();
}

TEST_F(DirectDrawTest, BltFastWithSourceKeySkipsKeyedPixelsAndRefusesOverhangs) {
    FullScreen();
    D_IDirectDrawSurface7* src = MakeOffscreen(4, 1);
    D_IDirectDrawSurface7* dst = MakeOffscreen(8, 2);
    Fill(dst, 0x1111);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(src->Lock(nullptr, &desc, 0, nullptr), D_DD_OK);
    const std::uint16_t row[4] = {0xAAAA, 0x0000, 0xBBBB, 0x0000};
    std::memcpy(desc.lpSurface, row, sizeof row);
    src->Unlock(nullptr);
    D_DDCOLORKEY key{0, 0};
    ASSERT_EQ(src->SetColorKey(D_DDCKEY_SRCBLT, &key), D_DD_OK);
    ASSERT_EQ(dst->BltFast(2, 1, src, nullptr, D_DDBLTFAST_SRCCOLORKEY | D_DDBLTFAST_WAIT), D_DD_OK);
    EXPECT_EQ(Pixel16(dst, 2, 1), 0xAAAAu);
    EXPECT_EQ(Pixel16(dst, 3, 1), 0x1111u);
    EXPECT_EQ(Pixel16(dst, 4, 1), 0xBBBBu);
    EXPECT_EQ(Pixel16(dst, 5, 1), 0x1111u);
    // Without the key flag everything is copied.
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, D_DDBLTFAST_NOCOLORKEY), D_DD_OK);
    EXPECT_EQ(Pixel16(dst, 1, 0), 0u);
    EXPECT_EQ(dst->BltFast(5, 0, src, nullptr, 0), D_DDERR_INVALIDRECT);
    RECT bad{2, 0, 6, 1};
    EXPECT_EQ(dst->BltFast(0, 0, src, &bad, 0), D_DDERR_INVALIDRECT);
    src->Release();
    dst->Release();
}

TEST_F(DirectDrawTest, BltStretchesNearestAndRefusesBadRectangles) {
    FullScreen();
    D_IDirectDrawSurface7* src = MakeOffscreen(2, 1);
    D_IDirectDrawSurface7* dst = MakeOffscreen(4, 2);
    RECT left{0, 0, 1, 1}, right{1, 0, 2, 1};
    Fill(src, 0x1234, &left);
    Fill(src, 0x5678, &right);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, D_DDBLT_WAIT, nullptr), D_DD_OK);
    EXPECT_EQ(Pixel16(dst, 0, 0), 0x1234u);
    EXPECT_EQ(Pixel16(dst, 1, 1), 0x1234u);
    EXPECT_EQ(Pixel16(dst, 2, 0), 0x5678u);
    EXPECT_EQ(Pixel16(dst, 3, 1), 0x5678u);
    RECT outside{0, 0, 5, 2};
    EXPECT_EQ(dst->Blt(&outside, src, nullptr, D_DDBLT_WAIT, nullptr), D_DDERR_INVALIDRECT);
    EXPECT_EQ(Fill(dst, 0, &outside), D_DDERR_INVALIDRECT);
    src->Release();
    dst->Release();
}

TEST_F(DirectDrawTest, VideoMemorySurfacesAreLostWithExclusiveModeAndRestoredAfter) {
    FullScreen();
    D_IDirectDrawSurface7* video = MakeOffscreen(8, 8);
    D_IDirectDrawSurface7* system = MakeOffscreen(8, 8, D_DDSCAPS_SYSTEMMEMORY);
    D_DDSCAPS2 caps{};
    video->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & D_DDSCAPS_VIDEOMEMORY);
    system->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & D_DDSCAPS_SYSTEMMEMORY);
    PlatformDisplayLoseExclusive();
    EXPECT_EQ(video->IsLost(), D_DDERR_SURFACELOST);
    EXPECT_EQ(Fill(video, 1), D_DDERR_SURFACELOST);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(video->Lock(nullptr, &desc, 0, nullptr), D_DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), D_DD_OK);
    EXPECT_EQ(video->Restore(), D_DDERR_NOEXCLUSIVEMODE);
    PlatformDisplayRegainExclusive();
    EXPECT_EQ(video->Restore(), D_DD_OK);
    EXPECT_EQ(video->IsLost(), D_DD_OK);
    EXPECT_EQ(Fill(video, 1), D_DD_OK);
    video->Release();
    system->Release();
}

TEST_F(DirectDrawTest, ReleasingTheObjectOrThePrimaryInvalidatesWhatHangsOnIt) {
    FullScreen();
    D_IDirectDrawSurface7* primary = MakePrimaryChain();
    D_DDSCAPS2 caps{D_DDSCAPS_BACKBUFFER, 0, 0, 0};
    D_IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), D_DD_OK);
    D_IDirectDrawSurface7* plain = MakeOffscreen(4, 4);
    primary->Release();
    // The chain went with the primary; the back buffer's memory is still safe.
    EXPECT_EQ(Fill(back, 1), D_DDERR_INVALIDOBJECT);
    back->Release();
    dd->Release();
    dd = nullptr;
    EXPECT_EQ(Fill(plain, 1), D_DDERR_INVALIDOBJECT);
    EXPECT_EQ(plain->IsLost(), D_DDERR_INVALIDOBJECT);
    plain->Release();
    // Releasing the object gave the display mode back.
    EXPECT_FALSE(PlatformDisplayModeChanged());
}

TEST_F(DirectDrawTest, WindowModeCopiesTheBackSurfaceIntoTheClientAreaStretched) {
    ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_NORMAL), D_DD_OK);
    // The desktop is 32-bit; a window twice the screen size at (100, 50).
    PlatformDisplaySetClientRect(RECT{100, 50, 100 + 1280, 50 + 960});
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS;
    desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE;
    PlatformDisplayKnobsRef().desktopWidth = 1600;
    PlatformDisplayKnobsRef().desktopHeight = 1200;
    PlatformDisplayReset();
    PlatformDisplaySetClientRect(RECT{100, 50, 100 + 1280, 50 + 960});
    D_IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), D_DD_OK);
    D_IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), D_DD_OK);
    clipper->SetHWnd(0, FakeWindow());
    primary->SetClipper(clipper);
    D_IDirectDrawSurface7* back = MakeOffscreen(640, 480);
    RECT half{320, 0, 640, 480};
    Fill(back, 0x0000FF00);
    Fill(back, 0x00FF0000, &half);
    RECT dest{100, 50, 100 + 1280, 50 + 960};
    ASSERT_EQ(primary->Blt(&dest, back, nullptr, D_DDBLT_WAIT, nullptr), D_DD_OK);
    ASSERT_FALSE(frames.empty());
    const PlatformFrame& f = frames.back();
    EXPECT_EQ(f.width, 1280);
    EXPECT_EQ(f.height, 960);
    EXPECT_EQ(f.Rgb(0, 0), 0x00FF00u);
    EXPECT_EQ(f.Rgb(639, 959), 0x00FF00u);
    EXPECT_EQ(f.Rgb(640, 0), 0xFF0000u);
    // A Blt that reaches outside the window is clipped to it, not refused.
    RECT beyond{0, 0, 1600, 1200};
    EXPECT_EQ(primary->Blt(&beyond, back, nullptr, D_DDBLT_WAIT, nullptr), D_DD_OK);
    // A copy one pixel wide inside the window is drawn, not dropped.
    RECT thin{110, 60, 111, 70}, redColumn{400, 0, 401, 10};
    frames.clear();
    ASSERT_EQ(Fill(back, 0x00FF0000, &redColumn), D_DD_OK);
    Fill(primary, 0x000000FF);
    EXPECT_EQ(primary->Blt(&thin, back, &redColumn, D_DDBLT_WAIT, nullptr), D_DD_OK);
    PlatformPumpPresent();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().Rgb(10, 10), 0xFF0000u);
    EXPECT_EQ(frames.back().Rgb(11, 10), 0x0000FFu);
    clipper->Release();
    back->Release();
    primary->Release();
}

TEST_F(DirectDrawTest, VerticalBlankPollsEndAndWaitsLandInTheBlank) {
    BOOL inBlank = FALSE;
    int polls = 0;
    // Polling moves the virtual clock, so both phases come around.
    do {
        ASSERT_EQ(dd->GetVerticalBlankStatus(&inBlank), D_DD_OK);
        ASSERT_LT(++polls, 10000);
    } while (inBlank);
    do {
        ASSERT_EQ(dd->GetVerticalBlankStatus(&inBlank), D_DD_OK);
        ASSERT_LT(++polls, 10000);
    } while (!inBlank);
    DWORD line = 0;
    EXPECT_EQ(dd->GetScanLine(&line), D_DDERR_VERTICALBLANKINPROGRESS);
    ASSERT_EQ(dd->WaitForVerticalBlank(D_DDWAITVB_BLOCKBEGIN, nullptr), D_DD_OK);
    EXPECT_GE(PlatformScanLine(), kVisibleScanLines);
}

TEST_F(DirectDrawTest, SurfaceDcsBlockLocksAndCopyThroughBitBlt) {
    FullScreen(32);
    D_IDirectDrawSurface7* a = MakeOffscreen(16, 16);
    D_IDirectDrawSurface7* b = MakeOffscreen(16, 16);
    Fill(a, 0x00123456);
    HDC dcA = nullptr, dcB = nullptr;
    ASSERT_EQ(a->GetDC(&dcA), D_DD_OK);
    ASSERT_EQ(b->GetDC(&dcB), D_DD_OK);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(a->Lock(nullptr, &desc, 0, nullptr), D_DDERR_SURFACEBUSY);
    EXPECT_TRUE(BitBlt(dcB, 4, 4, 100, 100, dcA, 0, 0, SRCCOPY));  // clipped, not refused
    a->ReleaseDC(dcA);
    b->ReleaseDC(dcB);
    ASSERT_EQ(b->Lock(nullptr, &desc, 0, nullptr), D_DD_OK);
    auto* px = static_cast<std::uint32_t*>(desc.lpSurface);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0u);
    EXPECT_EQ(px[4 * (desc.lPitch / 4) + 4] & 0xFFFFFF, 0x123456u);
    b->Unlock(nullptr);
    a->Release();
    b->Release();
}

TEST_F(DirectDrawTest, SoftwarePresentWritesATopDownDibIntoTheWindow) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 16;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    std::vector<std::uint16_t> image(640 * 480, 0x07E0);
    image[0] = 0xF800;  // top-left red
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 640;
    info.bmiHeader.biHeight = -480;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.bmiColors, masks, sizeof masks);
    HDC window = GetDC(FakeWindow());
    EXPECT_EQ(SetDIBitsToDevice(window, 0, 0, 640, 480, 0, 0, 0, 480, image.data(), &info, DIB_RGB_COLORS), 480);
    ReleaseDC(FakeWindow(), window);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().Raw(0, 0), 0xF800u);
    EXPECT_EQ(frames.back().Raw(1, 0), 0x07E0u);
    EXPECT_EQ(frames.back().Raw(639, 479), 0x07E0u);
    // A damaged header is refused, not followed.
    info.bmiHeader.biWidth = -5;
    window = GetDC(FakeWindow());
    EXPECT_EQ(SetDIBitsToDevice(window, 0, 0, 640, 480, 0, 0, 0, 480, image.data(), &info, DIB_RGB_COLORS), 0);
    ReleaseDC(FakeWindow(), window);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(PlatformDisplayLayout().bitsPerPixel, 32);
}

TEST_F(DirectDrawTest, MemoryBitmapsReadBackAsDibs) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 2);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // Draw a top-down 32-bit DIB into the memory bitmap, then read it back
    // as 16-bit 5:6:5.
    std::uint32_t pixels[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0, 0, 0x808080};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    EXPECT_EQ(SetDIBitsToDevice(memory, 0, 0, 4, 2, 0, 0, 0, 2, pixels, &info, DIB_RGB_COLORS), 2);
    std::uint16_t out[8] = {};
    BITMAPINFO want{};
    want.bmiHeader = info.bmiHeader;
    want.bmiHeader.biBitCount = 16;
    want.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(want.bmiColors, masks, sizeof masks);
    EXPECT_EQ(GetDIBits(memory, bitmap, 0, 2, out, &want, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[0], 0xF800);
    EXPECT_EQ(out[1], 0x07E0);
    EXPECT_EQ(out[2], 0x001F);
    EXPECT_EQ(out[7], 0x8410);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Pixels of a surface as plain values, read and written through a lock.
std::vector<DWORD> ReadSurface(D_IDirectDrawSurface7* s, int w, int h, int bytes) {
    std::vector<DWORD> pixels(static_cast<std::size_t>(w) * h);
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            DWORD v = 0;
            std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
            pixels[static_cast<std::size_t>(y) * w + x] = v;
        }
    s->Unlock(nullptr);
    return pixels;
}

void WriteSurface(D_IDirectDrawSurface7* s, int w, int h, int bytes, const std::vector<DWORD>& pixels) {
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes,
                        &pixels[static_cast<std::size_t>(y) * w + x], bytes);
    s->Unlock(nullptr);
}

// Colour fills of random rectangles against a plain pixel-by-pixel fill, in
// every depth.
TEST_F(DirectDrawTest, ColourFillsMatchAPlainPixelFill) {
    for (DWORD bits : {8u, 16u, 32u}) {
        SCOPED_TRACE(bits);
        FullScreen(bits);
        const int w = 37, h = 23, bytes = static_cast<int>(bits / 8);
        const DWORD mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        D_IDirectDrawSurface7* s = MakeOffscreen(w, h);
        ASSERT_EQ(Fill(s, 0), D_DD_OK);
        std::vector<DWORD> expected(static_cast<std::size_t>(w) * h, 0);
        std::mt19937 random(bits);
        for (int n = 0; n < 300; ++n) {
            LONG left = static_cast<LONG>(random() % w), top = static_cast<LONG>(random() % h);
            LONG right = left + 1 + static_cast<LONG>(random() % (w - left));
            LONG bottom = top + 1 + static_cast<LONG>(random() % (h - top));
            RECT rect{left, top, right, bottom};
            DWORD colour = static_cast<DWORD>(random()) & mask;
            ASSERT_EQ(Fill(s, colour, &rect), D_DD_OK);
            for (LONG y = top; y < bottom; ++y)
                for (LONG x = left; x < right; ++x) expected[static_cast<std::size_t>(y) * w + x] = colour;
        }
        EXPECT_EQ(ReadSurface(s, w, h, bytes), expected);
        s->Release();
    }
}

// BitBlt between two surfaces and within one, at random places partly or
// wholly outside either side, against a plain clipped copy (a copy within one
// surface reads the pixels as they were before it).
TEST_F(DirectDrawTest, BitBltMatchesAPlainClippedCopy) {
    for (DWORD bits : {16u, 32u}) {
        SCOPED_TRACE(bits);
        FullScreen(bits);
        const int bytes = static_cast<int>(bits / 8);
        const int aw = 40, ah = 30, bw = 50, bh = 20;
        D_IDirectDrawSurface7* a = MakeOffscreen(aw, ah);
        D_IDirectDrawSurface7* b = MakeOffscreen(bw, bh);
        std::mt19937 random(bits + 7);
        auto noise = [&](int count) {
            std::vector<DWORD> v(static_cast<std::size_t>(count));
            for (DWORD& p : v) p = static_cast<DWORD>(random()) & (bits == 32 ? 0xFFFFFFu : 0xFFFFu);
            return v;
        };
        std::vector<DWORD> pixelsA = noise(aw * ah), pixelsB = noise(bw * bh);
        WriteSurface(a, aw, ah, bytes, pixelsA);
        WriteSurface(b, bw, bh, bytes, pixelsB);
        for (int n = 0; n < 200; ++n) {
            const bool self = n % 3 == 0;  // within B
            int x = static_cast<int>(random() % 120) - 60, y = static_cast<int>(random() % 80) - 40;
            int sx = static_cast<int>(random() % 120) - 60, sy = static_cast<int>(random() % 80) - 40;
            int width = static_cast<int>(random() % 70) - 5, height = static_cast<int>(random() % 50) - 5;
            const std::vector<DWORD> source = self ? pixelsB : pixelsA;
            const int sw = self ? bw : aw, sh = self ? bh : ah;
            for (int j = 0; j < height; ++j)
                for (int i = 0; i < width; ++i) {
                    int dx = x + i, dy = y + j, px = sx + i, py = sy + j;
                    if (dx < 0 || dy < 0 || dx >= bw || dy >= bh || px < 0 || py < 0 || px >= sw || py >= sh) continue;
                    pixelsB[static_cast<std::size_t>(dy) * bw + dx] = source[static_cast<std::size_t>(py) * sw + px];
                }
            HDC dcA = nullptr, dcB = nullptr;
            ASSERT_EQ(a->GetDC(&dcA), D_DD_OK);
            ASSERT_EQ(b->GetDC(&dcB), D_DD_OK);
            EXPECT_TRUE(BitBlt(dcB, x, y, width, height, self ? dcB : dcA, sx, sy, SRCCOPY));
            a->ReleaseDC(dcA);
            b->ReleaseDC(dcB);
            ASSERT_EQ(ReadSurface(b, bw, bh, bytes), pixelsB) << "copy " << n;
        }
        // Offsets far out of range copy nothing and do not overflow.
        HDC dcA = nullptr, dcB = nullptr;
        ASSERT_EQ(a->GetDC(&dcA), D_DD_OK);
        ASSERT_EQ(b->GetDC(&dcB), D_DD_OK);
        EXPECT_TRUE(BitBlt(dcB, INT_MIN, 0, INT_MAX, 10, dcA, 0, 0, SRCCOPY));
        EXPECT_TRUE(BitBlt(dcB, 0, 0, 10, 10, dcA, INT_MIN, INT_MAX, SRCCOPY));
        a->ReleaseDC(dcA);
        b->ReleaseDC(dcB);
        EXPECT_EQ(ReadSurface(b, bw, bh, bytes), pixelsB);
        a->Release();
        b->Release();
    }
}

}  // namespace
