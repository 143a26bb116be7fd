// Drawing triangles and quads in tests and checking every destination pixel
// against the triangle oracle and the per-pixel references.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/softrender/blit_test_images.h"
#include "framework/softrender/sampled/triangle_reference.h"
#include "softrender/soft_draw_settings.h"

namespace triangle_test {

constexpr std::uint32_t kMaskParam = blit_test::kSweepMaskParam, kMaskRange = blit_test::kSweepMaskRange;

// One draw: a triangle, or a quad (four corners: top-left, top-right,
// bottom-left, bottom-right of the texture), textured or flat.
struct Draw {
    bool quad = false;
    std::int32_t corners[8] = {};              // x, y of each corner (quads)
    triangle_reference::Corner triangle[3] = {};  // x, y, u, v (triangles)
    blit_test::SourceImage* texture = nullptr;    // null: flat colour
    blit_test::MaskImage* mask = nullptr;
    int transparent = 0;
    std::uint32_t colour = 0;  // flat triangles
    SoftDrawSettings settings{RECT{0, 0, 0, 0}, 0, 255, 0xFFFFFF};
};

struct Tally {
    long drawn = 0, ambiguous = 0;
};

// Draws into dest (whose layout must suit the texture, or be k16 or k32
// for a flat draw) and checks every pixel and guard byte.
::testing::AssertionResult DrawMatches(blit_test::TestImage& dest, const Draw& draw, Tally* tally);

// Checks a destination drawn with the pieces (triangles, in drawing order)
// of a draw's settings; before holds its pixels as they were.
::testing::AssertionResult PiecesMatch(blit_test::TestImage& dest, const std::vector<std::uint32_t>& before,
                                       const std::vector<std::vector<triangle_reference::Corner>>& pieces,
                                       const Draw& draw, Tally* tally);

// The triangles a quad is drawn as, in order, with the texture's size.
std::vector<std::vector<triangle_reference::Corner>> QuadTriangles(const std::int32_t corners[8], int width,
                                                                   int height);

}  // namespace triangle_test
