// The framework started on the headless display with the display's knobs
// put back, every presented frame kept, and a double start allowed.
#pragma once

#include <vector>

#include "framework/framework_fixture.h"
#include "graphics/device/present.h"
#include "platform/display.h"

class ScreenDeviceTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        PlatformSetFrameSink([this](const PlatformFrame& f) { frames.push_back(f); });
        ApiSetAllowDoubleStart(1);
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformSetFrameSink(nullptr);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    }

    // Clears the back screen to a colour and presents it.
    void ClearAndPresent(int r, int g, int b) {
        g_SystemState.backgroundRed = r;
        g_SystemState.backgroundGreen = g;
        g_SystemState.backgroundBlue = b;
        ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTargetPixels(), 0);
        ASSERT_EQ(ApiPresentScreen(), 0);
    }

    std::vector<PlatformFrame> frames;
};
