// Drawing through the mask, against the unmasked draw as oracle: on every
// route and for every kind of draw the game makes, under several blends,
// the masked draw leaves the target exactly as the unmasked one where the
// mask allows drawing and exactly as it was everywhere else. Failed draws
// leave the target and the mask's state as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <iterator>
#include <filesystem>

#include "framework/graphics/draw/mask_fixture.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/graph_load.h"
#include "graphics/text/font.h"
#include "platform/files.h"
#include "platform/kernel.h"

using namespace mask_test;

namespace {

struct Blend {
    const char* what;
    int mode, param, r, g, b;
};
constexpr Blend kBlends[] = {
    {"plain", kBlendModeNone, 0, 255, 255, 255},
    {"alpha 128", kBlendModeAlpha, 128, 255, 255, 255},
    {"add 200, bright orange", kBlendModeAdd, 200, 255, 128, 64},
    {"subtract 90", kBlendModeSubtract, 90, 255, 255, 255},
    {"multiply, bright sky blue", kBlendModeMultiply, 255, 128, 192, 255},
};

// A mask with protected and allowed bands, single pixels of each and
// non-zero bytes of every size.
std::uint8_t MaskPattern(int x, int y) {
    if (y >= 100 && y < 130) return 0;                // a protected band
    if (x >= 300 && x < 340) return 0xFF;             // an allowed band
    if ((x * 7 + y * 13) % 5 < 2) return 0;
    return static_cast<std::uint8_t>(1 + (x * 31 + y * 17) % 255);
}

class MaskDrawTest : public MaskTest {
protected:
    void SetUpScene() {
        background_ = MakePicture(Width(), Height(), 0, [](int x, int y) { return Picture(x + 3, y * 2 + 1); });
        video_ = MakePicture(40, 24, 0);
        software_ = MakePicture(40, 24, 1);
        ASSERT_EQ(CreateMaskScreen(), 0);
        // The pattern as mask data, drawn into the mask screen.
        std::vector<std::uint8_t> bytes(640 * 480);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) bytes[static_cast<std::size_t>(y) * 640 + x] = MaskPattern(x, y);
        const HandleId mask = MakeMask(640, 480);
        ASSERT_EQ(SetMaskData(mask, bytes.data(), 640), 0);
        ASSERT_EQ(DrawMask(0, 0, mask, 0), 0);
        ASSERT_EQ(FreeMaskHandle(mask), 0);
        ASSERT_EQ(SetMaskActive(0), 0);
    }

    // The background drawn over the whole target, without the mask.
    std::vector<std::uint32_t> Reset() {
        const int on = GetMaskActive();
        SetMaskActive(0);
        ApiSetBlendModeParam(0, 0);
        ApiSetBrightColor(255, 255, 255);
        EXPECT_EQ(ApiBlitGraph(0, 0, background_, 0), 0);
        SetMaskActive(on);
        return Snapshot();
    }

    // What the draw leaves unmasked and masked, compared pixel by pixel:
    // the masked target is the unmasked one where the mask allows, the
    // earlier one everywhere else.
    void CheckAgainstUnmasked(const Blend& blend, const std::function<int()>& draw) {
        const std::vector<std::uint32_t> before = Reset();
        ApiSetBlendModeParam(blend.mode, blend.param);
        ApiSetBrightColor(blend.r, blend.g, blend.b);
        const int unmaskedResult = draw();
        const std::vector<std::uint32_t> unmasked = Snapshot();

        ASSERT_EQ(Reset(), before);
        ASSERT_EQ(SetMaskActive(1), 0);
        ASSERT_EQ(g_DrawState.maskInEffect, 1);
        const RECT area = g_DrawState.drawArea, targetRect = g_DrawState.drawTargetRect;
        ApiSetBlendModeParam(blend.mode, blend.param);
        ApiSetBrightColor(blend.r, blend.g, blend.b);
        EXPECT_EQ(draw(), unmaskedResult);
        const std::vector<std::uint32_t> masked = Snapshot();
        ExpectMaskStateKept(area, targetRect);
        SetMaskActive(0);

        int drawn = 0, differing = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * Width() + x;
                if (unmasked[i] != before[i] && Allowed(x, y)) ++drawn;
                const std::uint32_t want = Allowed(x, y) ? unmasked[i] : before[i];
                if (masked[i] != want && differing++ == 0) firstX = x, firstY = y;
            }
        EXPECT_EQ(differing, 0) << "first at (" << firstX << ", " << firstY << ")";
        EXPECT_GT(drawn, 0) << "the draw showed nothing through the mask";
    }

    // After a draw through the mask: the switch, the target rectangle and
    // the draw area as they were, nothing left open or locked.
    void ExpectMaskStateKept(const RECT& area, const RECT& targetRect) {
        EXPECT_EQ(GetMaskActive(), 1);
        EXPECT_EQ(g_DrawState.maskInEffect, 1);
        EXPECT_EQ(g_TargetMemImgAccess.open, 0);
        EXPECT_EQ(std::memcmp(&g_DrawState.drawArea, &area, sizeof area), 0);
        EXPECT_EQ(std::memcmp(&g_DrawState.drawTargetRect, &targetRect, sizeof targetRect), 0);
        if (D_IDirectDrawSurface7* work = GetMaskSurface()) {
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            EXPECT_EQ(work->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK) << "the work surface stayed locked";
            work->Unlock(nullptr);
        }
    }

    HandleId background_ = kNoHandle, video_ = kNoHandle, software_ = kNoHandle;
};

TEST_F(MaskDrawTest, EveryDrawThroughTheMaskTouchesExactlyTheAllowedPixels) {
    struct Draw {
        const char* what;
        std::function<int()> run;
    };
    const Draw draws[] = {
        {"blit from video memory", [this] { return ApiBlitGraph(290, 90, video_, 0); }},
        {"keyed blit from a software image", [this] { return ApiBlitGraph(-10, 110, software_, 1); }},
        {"stretched, mirrored", [this] { return ApiStretchBlitGraph(380, 80, 290, 140, video_, 1); }},
        {"rotated", [this] { return ApiRotateBlitGraph(320, 115, 1.5, 0.7, software_, 1, 0); }},
        {"rotated off the bottom right",
         [this] { return ApiRotateBlitGraph(635, 475, 3.0, 2.0, video_, 1, 0); }},
        {"filled box", [] { return ApiPaintBox(250, 95, 420, 135, ApiMakeColorCode(20, 200, 90), 1); }},
        {"filled box, corners reversed",
         [] { return ApiPaintBox(415, 128, 255, 98, ApiMakeColorCode(200, 20, 150), 1); }},
        {"box outline", [] { return ApiPaintBox(260, 96, 410, 134, ApiMakeColorCode(250, 40, 0), 0); }},
        {"text", [] { return ApiDrawTextFormatted(280, 134, ApiMakeColorCode(255, 255, 0), "MASK %d", 7); }},
    };
    // Each draw under one blend per route, the blend turning with the
    // route, so that every pairing comes up without drawing them all
    // everywhere.
    for (std::size_t r = 0; r < std::size(kAllRoutes); ++r) {
        SCOPED_TRACE(RouteName(kAllRoutes[r]));
        StartOn(kAllRoutes[r]);
        SetUpScene();
        for (std::size_t d = 0; d < std::size(draws); ++d) {
            const Blend& blend = kBlends[(d + r) % std::size(kBlends)];
            SCOPED_TRACE(::testing::Message() << draws[d].what << ", " << blend.what);
            CheckAgainstUnmasked(blend, draws[d].run);
        }
        EndRoute();
    }
}

TEST_F(MaskDrawTest, AFailedDrawLeavesTheTargetAndTheMaskAsTheyWere) {
    for (Route route : {Route::kBackScreen, Route::kSoftwareScreen, Route::kWindowFront, Route::kDirect3D}) {
        SCOPED_TRACE(RouteName(route));
        StartOn(route);
        SetUpScene();
        const std::vector<std::uint32_t> before = Reset();
        ASSERT_EQ(SetMaskActive(1), 0);
        const RECT area = g_DrawState.drawArea, targetRect = g_DrawState.drawTargetRect;
        // Failing after the rectangle was saved (no width to stretch into,
        // a turn that is not a number) and before (a blend graphic smaller
        // than the graphic, a bad handle).
        const int noWidth = ApiStretchBlitGraph(300, 100, 300, 140, video_, 0);
        EXPECT_EQ(noWidth, route == Route::kSoftwareScreen ? 0 : -1);
        EXPECT_EQ(ApiRotateBlitGraph(320, 115, 1.0, std::nan(""), video_, 0, 0), -1);
        const HandleId small = MakePicture(4, 4, 1);
        ASSERT_EQ(AssignBlendMaskGraph(small, 0, 255), 0);
        EXPECT_EQ(ApiBlitGraph(300, 100, video_, 0), -1);
        ASSERT_EQ(AssignBlendMaskGraph(kNoHandle, 0, 0), 0);
        EXPECT_EQ(ApiBlitGraph(300, 100, 0x08001234, 0), -1);
        ExpectMaskStateKept(area, targetRect);
        SetMaskActive(0);
        EXPECT_EQ(Snapshot(), before);
        // And the next draw through the mask is whole again.
        CheckAgainstUnmasked(kBlends[1], [&] { return ApiBlitGraph(295, 95, software_, 1); });
        EndRoute();
    }
}

TEST_F(MaskDrawTest, ALostDeviceKeepsTheMaskAndItsWorkSurfaceComesBack) {
    for (Route route : {Route::kBackScreen, Route::kDirect3D}) {
        SCOPED_TRACE(RouteName(route));
        StartOn(route);
        SetUpScene();
        ASSERT_EQ(SetMaskActive(1), 0);
        const MaskScreenState& m = g_MaskScreen;
        const std::vector<std::uint8_t> mask(m.buffer, m.buffer + m.rowBytes * m.height);
        ASSERT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);
        ASSERT_NE(GetMaskSurface(), nullptr);
        EXPECT_EQ(std::vector<std::uint8_t>(m.buffer, m.buffer + m.rowBytes * m.height), mask);
        EXPECT_EQ(g_DrawState.maskInEffect, 1);
        // Still in effect across the loss: the next draw goes through it.
        const std::vector<std::uint32_t> before = Snapshot();
        ASSERT_EQ(ApiPaintBox(250, 95, 420, 135, ApiMakeColorCode(9, 99, 9), 1), 0);
        const std::vector<std::uint32_t> after = Snapshot();
        int drawn = 0, leaked = 0;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * Width() + x;
                if (after[i] == before[i]) continue;
                ++(Allowed(x, y) ? drawn : leaked);
            }
        EXPECT_GT(drawn, 0);
        EXPECT_EQ(leaked, 0);
        SetMaskActive(0);
        // The graphics came back from nowhere (they have no file); draw new ones.
        video_ = MakePicture(40, 24, 0);
        background_ = MakePicture(640, 480, 0, [](int x, int y) { return Picture(y, x); });
        CheckAgainstUnmasked(kBlends[1], [&] { return ApiStretchBlitGraph(280, 90, 360, 140, video_, 1); });
        EndRoute();
    }
}

// The test program's folder, where the build writes the game's data set.
const std::filesystem::path g_startPath = std::filesystem::current_path();

TEST_F(MaskDrawTest, AMonsterSeenThroughARoundWindowInTheMask) {
    // With KELVO_CAPTURE set (and KELVO_CAPTURE_EVERY=1) the presented
    // frame is written as a picture.
    if (!std::filesystem::is_regular_file(g_startPath / "rukbmp" / "algall.bmp"))
        GTEST_SKIP() << "no data set beside the test program";
    ASSERT_TRUE(SetCurrentDirectoryA(PlatformWindowsPath(g_startPath.string()).c_str()));
    for (Route route : {Route::kBackScreen, Route::kDirect3D}) {
        SCOPED_TRACE(RouteName(route));
        StartOn(route);
        const int panel = ApiLoadImageToGraph("bmp\\0101.bmp", 0);
        ASSERT_GE(panel, 0);
        int frames[17];
        ASSERT_EQ(ApiLoadImageToDivGraphs("rukbmp\\algall.bmp", 17, 6, 3, 128, 128, frames, 0), 0);
        Background(0x30, 0x50, 0x70);
        ASSERT_EQ(ApiBlitGraph(0, 240, panel, 0), 0);

        // A round window with a slit across it.
        ASSERT_EQ(CreateMaskScreen(), 0);
        const HandleId round = MakeMask(300, 300);
        std::vector<std::uint8_t> bytes(300 * 300);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x) {
                const int dx = x - 150, dy = y - 150;
                bytes[static_cast<std::size_t>(y) * 300 + x] = dx * dx + dy * dy < 150 * 150 && std::abs(dy) > 4 ? 1 : 0;
            }
        ASSERT_EQ(SetMaskData(round, bytes.data(), 300), 0);
        ASSERT_EQ(DrawMask(170, 90, round, 0), 0);
        const std::vector<std::uint32_t> before = Snapshot();

        // Through it: a light veil over the whole screen, the monster three
        // times its size, a translucent band and a line of text, each reaching
        // well past the window.
        ApiSetBlendModeParam(kBlendModeAlpha, 64);
        ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, ApiMakeColorCode(255, 255, 255), 1), 0);
        ApiSetBlendModeParam(0, 0);
        ASSERT_EQ(ApiStretchBlitGraph(128, 48, 512, 432, frames[0], 1), 0);
        ApiSetBlendModeParam(kBlendModeAlpha, 96);
        ASSERT_EQ(ApiPaintBox(0, 330, 640, 370, ApiMakeColorCode(0, 0, 255), 1), 0);
        ApiSetBlendModeParam(0, 0);
        ASSERT_EQ(ApiDrawTextFormatted(150, 340, ApiMakeColorCode(255, 255, 0), "SEEN THROUGH THE MASK"), 0);
        const std::vector<std::uint32_t> after = Snapshot();
        Present();

        int inside = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * 640 + x;
                if (!Allowed(x, y))
                    ASSERT_EQ(after[i], before[i]) << x << ", " << y;
                else if (after[i] != before[i])
                    ++inside;
            }
        EXPECT_GT(inside, 150 * 150);
        EndRoute();
    }
}

}  // namespace
