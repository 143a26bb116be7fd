// A DirectDraw object on the headless display, with every presented frame
// kept; the display is put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/backend.h"
#include "platform/ddraw.h"
#include "platform/display.h"
#include "platform/kernel.h"

inline HWND FakeWindow() { return reinterpret_cast<HWND>(std::uintptr_t{0x1234}); }

// The description of a w x h surface with the given caps.
inline D_DDSURFACEDESC2 PlainSurfaceDesc(int w, int h, DWORD caps) {
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

// A pixel of 1 to 4 bytes, low byte first.
inline DWORD ReadPixelBytes(const std::uint8_t* p, int bytes) {
    DWORD v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}
inline void WritePixelBytes(std::uint8_t* p, int bytes, DWORD v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

class DirectDrawFixture : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object), S_OK);
        dd = static_cast<D_IDirectDraw7*>(object);
        ASSERT_EQ(dd->Initialize(nullptr), D_DD_OK);
    }
    void TearDown() override {
        if (dd != nullptr) dd->Release();
        PlatformSetFrameSink(nullptr);
        PlatformSetPresentListener(nullptr);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        CoUninitialize();
    }

    // Full screen 640 x 480 at `bits`, and a primary with one back buffer.
    D_IDirectDrawSurface7* MakeFullScreenChain(DWORD bits = 16) {
        EXPECT_EQ(dd->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN), D_DD_OK);
        EXPECT_EQ(dd->SetDisplayMode(640, 480, bits, 0, 0), D_DD_OK);
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps = D_DDSCAPS_PRIMARYSURFACE | D_DDSCAPS_FLIP | D_DDSCAPS_COMPLEX;
        desc.dwBackBufferCount = 1;
        D_IDirectDrawSurface7* primary = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), D_DD_OK);
        return primary;
    }

    D_IDirectDraw7* dd = nullptr;
    std::vector<PlatformFrame> frames;
};
