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
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        CoUninitialize();
    }

    D_IDirectDraw7* dd = nullptr;
    std::vector<PlatformFrame> frames;
};
