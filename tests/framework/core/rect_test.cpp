// Rectangle clipping, ordering and sizes.
#include <gtest/gtest.h>

#include <climits>

#include "core/rect.h"

namespace {

TEST(Rect, ClipCollapsesOntoTheClipEdge) {
    const RECT screen{0, 0, 640, 480};
    RECT reversed{50, 50, 10, 10};
    ClipRectToRect(&reversed, &screen);
    EXPECT_EQ(reversed.left, 50);
    EXPECT_EQ(reversed.right, 50);
    EXPECT_EQ(reversed.bottom, 50);
    RECT outside{700, -30, 900, -10};
    ClipRectToRect(&outside, &screen);
    EXPECT_EQ(outside.left, 640);
    EXPECT_EQ(outside.right, 640);
    EXPECT_EQ(outside.top, 0);
    EXPECT_EQ(outside.bottom, 0);
    RECT across{-5, 470, 10, 500};
    ClipRectToRect(&across, &screen);
    EXPECT_EQ(across.left, 0);
    EXPECT_EQ(across.right, 10);
    EXPECT_EQ(across.top, 470);
    EXPECT_EQ(across.bottom, 480);
}

TEST(Rect, NormalizeAndSize) {
    RECT r{10, 20, 4, 2};
    NormalizeRect(&r);
    int w = 0, h = 0;
    QueryRectSize(&r, &w, &h);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 18);
    QueryRectSize(&r, nullptr, &h);
    RECT wide{INT_MIN, 0, INT_MAX, 1};
    QueryRectSize(&wide, &w, nullptr);  // wraps instead of overflowing
    EXPECT_EQ(w, -1);
}

}  // namespace
