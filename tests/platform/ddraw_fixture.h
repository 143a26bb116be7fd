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
