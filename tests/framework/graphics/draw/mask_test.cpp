// The mask screen and mask data on their own: the switch and when it is in
// effect, the buffer's rows, mask handles and their refusals, mask data
// drawn into the mask screen and clipped at its edges, what shut-down and a
// lost device leave behind.
#include <gtest/gtest.h>

#include <climits>
#include <numeric>

#include "core/memory.h"
#include "framework/graphics/draw/mask_fixture.h"
#include "graphics/draw/draw_ops.h"

using namespace mask_test;

namespace {


TEST_F(MaskTest, TheSwitchNeedsABufferAndIsInEffectOnlyWithAMaskScreen) {
    StartOn(Route::kBackScreen);
    ASSERT_EQ(HasMaskBuffer(), 0);
    EXPECT_EQ(GetMaskActive(), 1);  // the start value
    EXPECT_EQ(SetMaskActive(0), -1);
    EXPECT_EQ(GetMaskActive(), 1);
    EXPECT_EQ(g_DrawState.maskInEffect, 0);

    // A buffer and work image, but no mask screen in use: never in effect,
    // and draws land on the target as they are.
    ASSERT_EQ(MakeMaskWorkScreen(1, 1), 0);
    ASSERT_NE(GetMaskSurface(), nullptr);
    EXPECT_EQ(SetMaskActive(1), 0);
    EXPECT_EQ(g_DrawState.maskInEffect, 0);
    ASSERT_EQ(ApiPaintBox(10, 10, 20, 20, kBlue, 1), 0);
    const MaskDrawTarget back{nullptr, g_DrawTargetBinding.surface, 0, 0};
    EXPECT_EQ(RestoreMaskedRect(RECT{0, 0, 640, 480}, back), 0);
    EXPECT_EQ(Snapshot()[15 * 640 + 15], kBlue);

    // In use: in effect while the switch is on.
    g_MaskScreen.screenFlag = 1;
    EXPECT_EQ(SetMaskActive(1), 0);
    EXPECT_EQ(g_DrawState.maskInEffect, 1);
    EXPECT_EQ(SetMaskActive(0), 0);
    EXPECT_EQ(g_DrawState.maskInEffect, 0);
    EXPECT_EQ(SetMaskActive(1), 0);
    // Selecting a target keeps the switch and its effect.
    ASSERT_EQ(ApiSelectDrawTarget(kDrawTargetFront), 0);
    EXPECT_EQ(GetMaskActive(), 1);
    EXPECT_EQ(g_DrawState.maskInEffect, 1);
    ASSERT_EQ(DeleteMaskScreen(), 0);
    EXPECT_EQ(HasMaskBuffer(), 0);
    EXPECT_EQ(g_DrawState.maskInEffect, 0);
    EXPECT_EQ(GetMaskSurface(), nullptr);
}

TEST_F(MaskTest, TheBufferRowsAreTheScreenWidthRoundedUpToFour) {
    StartOn(Route::kSoftwareScreen);
    for (int width : {640, 641, 642, 644}) {
        SCOPED_TRACE(width);
        const int saved = g_ScreenDevice.width;
        g_ScreenDevice.width = width;
        ASSERT_EQ(MakeMaskWorkScreen(1, 0), 0);
        g_ScreenDevice.width = saved;
        EXPECT_EQ(g_MaskScreen.rowBytes, (width + 3) / 4 * 4);
        EXPECT_EQ(g_MaskScreen.height, 480);
        EXPECT_EQ(GetMaskDrawMemImg(), nullptr);  // only the buffer was asked for
        const std::uint8_t* b = g_MaskScreen.buffer;
        EXPECT_EQ(std::accumulate(b, b + g_MaskScreen.rowBytes * 480, 0), 0);
        ReleaseMaskWorkScreen();
    }
    // On a software screen the work image is a software image.
    ASSERT_EQ(CreateMaskScreen(), 0);
    ASSERT_NE(GetMaskDrawMemImg(), nullptr);
    EXPECT_EQ(GetMaskSurface(), nullptr);
    EXPECT_EQ(GetMaskDrawMemImg()->width, 640);
}

TEST_F(MaskTest, ANewMaskScreenProtectsEveryPixelUntilMaskDataAllowsThem) {
    StartOn(Route::kBackScreen);
    const std::vector<std::uint32_t> before = Snapshot();
    ASSERT_EQ(CreateMaskScreen(), 0);
    EXPECT_EQ(g_DrawState.maskInEffect, 1);
    ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, kRed, 1), 0);
    EXPECT_EQ(Snapshot(), before);
    ASSERT_EQ(FillMaskScreen(kMaskAllow), 0);
    ASSERT_EQ(ApiPaintBox(0, 0, 640, 480, kRed, 1), 0);
    const std::vector<std::uint32_t> all = Snapshot();
    EXPECT_EQ(std::count(all.begin(), all.end(), kRed), 640 * 480);
}

TEST_F(MaskTest, MaskDataIsDrawnIntoTheMaskScreenClippedAtEveryEdge) {
    StartOn(Route::kBackScreen);
    const HandleId mask = MakeMask(10, 6);
    ASSERT_GE(mask, 0);
    std::uint8_t bytes[6][12] = {};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) bytes[y][x] = static_cast<std::uint8_t>(x == 4 ? 0 : 1 + y * 10 + x);
    ASSERT_EQ(SetMaskData(mask, &bytes[0][0], 12), 0);
    int w = 0, h = 0;
    ASSERT_EQ(GetMaskSize(mask, &w, &h), 0);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(DrawMask(0, 0, mask, 0), -1);  // no mask screen yet

    ASSERT_EQ(CreateMaskScreen(), 0);
    const MaskScreenState& m = g_MaskScreen;
    // Positions over each edge and corner, and far off.
    const int places[][2] = {{-3, -2}, {635, 477}, {-7, 200}, {300, -5}, {634, 100}, {50, 476},
                             {INT_MIN, 0}, {0, INT_MAX}, {-10, 0}, {640, 0}};
    for (const auto& p : places) {
        SCOPED_TRACE(::testing::Message() << p[0] << ", " << p[1]);
        FillMaskScreen(0xEE);
        ASSERT_EQ(DrawMask(p[0], p[1], mask, 0), 0);
        for (int y = 0; y < m.height; ++y)
            for (int x = 0; x < m.width; ++x) {
                const std::int64_t mx = std::int64_t{x} - p[0], my = std::int64_t{y} - p[1];
                const bool on = mx >= 0 && mx < 10 && my >= 0 && my < 6;
                const int want = on ? bytes[my][mx] : 0xEE;
                ASSERT_EQ(m.buffer[y * m.rowBytes + x], want) << x << ", " << y;
            }
    }
    // Transparent: bytes of 0 leave the mask screen as it was.
    FillMaskScreen(0xEE);
    ASSERT_EQ(DrawMask(20, 30, mask, 1), 0);
    EXPECT_EQ(m.buffer[31 * m.rowBytes + 24], 0xEE);
    EXPECT_EQ(m.buffer[31 * m.rowBytes + 25], bytes[1][5]);
    ASSERT_EQ(DrawMask(20, 30, mask, 0), 0);
    EXPECT_EQ(m.buffer[31 * m.rowBytes + 24], 0);
}

TEST_F(MaskTest, MaskHandlesAreCheckedLikeEveryOtherHandle) {
    StartOn(Route::kBackScreen);
    EXPECT_EQ(MakeMask(0, 5), kNoHandle);
    EXPECT_EQ(MakeMask(5, -1), kNoHandle);
    EXPECT_EQ(MakeMask(INT_MAX, INT_MAX), kNoHandle);
    const HandleId a = MakeMask(4, 4), b = MakeMask(4, 4);
    ASSERT_GE(a, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(a) & kHandleTypeBits, kHandleTypeMask);
    EXPECT_NE(a, b);
    const std::uint8_t row[4] = {1, 2, 3, 4};
    EXPECT_EQ(SetMaskData(a, row, 3), -1);  // rows shorter than the mask
    EXPECT_EQ(SetMaskData(a, nullptr, 4), -1);
    // The wrong type, a slot past the table, a check number that does not
    // match, a handle freed already.
    EXPECT_EQ(FreeMaskHandle(static_cast<HandleId>((static_cast<std::uint32_t>(a) & ~kHandleTypeBits) |
                                                    kHandleTypeGraph)),
              -1);
    EXPECT_EQ(FreeMaskHandle(MakeHandleId(kHandleTypeMask, HandleCheckNumber(a), 600)), -1);
    EXPECT_EQ(FreeMaskHandle(MakeHandleId(kHandleTypeMask, HandleCheckNumber(a) + 1, a & 0xFFFF)), -1);
    EXPECT_EQ(FreeMaskHandle(-1), -1);
    EXPECT_EQ(FreeMaskHandle(a), 0);
    EXPECT_EQ(FreeMaskHandle(a), -1);
    EXPECT_EQ(GetMaskSize(a, nullptr, nullptr), -1);
    EXPECT_EQ(DrawMask(0, 0, a, 0), -1);
    // The freed slot is taken again under a new check number.
    const HandleId c = MakeMask(2, 2);
    EXPECT_EQ(c & 0xFFFF, a & 0xFFFF);
    EXPECT_NE(c, a);
    EXPECT_EQ(FreeMaskHandle(b), 0);
    EXPECT_EQ(FreeMaskHandle(c), 0);
}

TEST_F(MaskTest, ShutDownFreesEveryMaskAndTheMaskScreen) {
    StartOn(Route::kBackScreen);
    const int blocks = g_MemoryTracker.count;
    ASSERT_EQ(CreateMaskScreen(), 0);
    for (int i = 0; i < 5; ++i) ASSERT_GE(MakeMask(30 + i, 20), 0);
    EXPECT_EQ(g_MemoryTracker.count, blocks + 6);
    ASSERT_EQ(ShutDownMask(), 0);
    ASSERT_EQ(FreeAllMaskHandles(), 0);
    EXPECT_EQ(g_MemoryTracker.count, blocks);
    EXPECT_EQ(GetMaskScreenFlag(), 0);
    EXPECT_EQ(g_DrawState.maskInEffect, 0);
    EXPECT_EQ(GetMaskSurface(), nullptr);
    // Every slot is free again.
    std::vector<HandleId> all;
    for (int i = 0; i < kMaskSlotCount; ++i) all.push_back(MakeMask(1, 1));
    EXPECT_EQ(std::count(all.begin(), all.end(), kNoHandle), 0);
    EXPECT_EQ(MakeMask(1, 1), kNoHandle);
    // The framework's own end frees them.
    ASSERT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(FreeMaskHandle(all[0]), -1);
}

}  // namespace
