// The shared tables, entry by entry against their defining rules, plus the
// counts, sums and sample rows that would catch a shifted or truncated table.

#include "softrender/render_tables.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "framework/softrender/pixel_oracle.h"
#include "graphics/device/surface2d.h"

namespace po = pixel_oracle;

namespace {

TEST(RenderTables, ProductTableMatchesRule) {
    std::uint64_t sum = 0;
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t b = 0; b < 256; ++b) {
            ASSERT_EQ(ProductTable255[a][b], po::Product255(a, b)) << a << " " << b;
            sum += ProductTable255[a][b];
        }
    EXPECT_EQ(ProductTable255.size() * ProductTable255[0].size(), 65536u);
    EXPECT_EQ(sum, 4146150u);
    EXPECT_EQ(ProductTable255[255][255], 255u);
    EXPECT_EQ(ProductTable255[128][255], 128u);
    EXPECT_EQ(ProductTable255[0][255], 0u);
    for (std::uint32_t b = 0; b < 256; ++b) EXPECT_EQ(ProductTable255[255][b], b);  // identity row
}

TEST(RenderTables, BlendParamTableMatchesRule) {
    std::int64_t sum = 0, absSum = 0;
    for (std::uint32_t p = 0; p < 256; ++p) {
        EXPECT_EQ(BlendParamTable[p][0], 0);
        for (std::int32_t k = 1; k < 512; ++k) {
            ASSERT_EQ(BlendParamTable[p][k], po::ScaledDifference(p, k - 256)) << p << " " << k;
            sum += BlendParamTable[p][k];
            absSum += BlendParamTable[p][k] < 0 ? -BlendParamTable[p][k] : BlendParamTable[p][k];
        }
    }
    EXPECT_EQ(BlendParamTable.size() * BlendParamTable[0].size(), 131072u);
    // Truncation toward zero makes every row odd-symmetric about entry 256,
    // and each half is a product-table row without its column 0.
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(absSum, 2 * 4146150);
    EXPECT_EQ(BlendParamRow(255)[-255], -255);
    EXPECT_EQ(BlendParamRow(1)[254], 0);
    EXPECT_EQ(BlendParamRow(128)[100], 50);
    EXPECT_EQ(BlendParamRow(128)[-100], -50);
    EXPECT_EQ(BlendParamRow(200)[0], 0);
}

TEST(RenderTables, LevelTableMatchesRule) {
    std::uint64_t sum = 0;
    for (std::uint32_t k = 0; k < 64; ++k)
        for (std::uint32_t i = 0; i < 64; ++i)
            for (std::uint32_t j = 0; j < 64; ++j) {
                ASSERT_EQ(LevelTable63[k][i][j], po::Level63(k, i, j)) << k << " " << i << " " << j;
                sum += LevelTable63[k][i][j];
            }
    EXPECT_EQ(sizeof(LevelTable63), 64u * 64 * 64);
    // Block 0 copies j and block 63 copies i.
    for (std::uint32_t i = 0; i < 64; ++i)
        for (std::uint32_t j = 0; j < 64; ++j) {
            EXPECT_EQ(LevelTable63[0][i][j], j);
            EXPECT_EQ(LevelTable63[63][i][j], i);
        }
    EXPECT_EQ(LevelTable63[25][31][0], 12);
    EXPECT_EQ(LevelTable63[32][63][0], 32);
    EXPECT_EQ(sum, 8137416u);
}

TEST(RenderTables, MaskWeightTableFollowsItsSettings) {
    // Nothing assigned yet: every weight is full.
    for (int i = 0; i < 256; ++i) EXPECT_EQ(MaskWeightTable[i], 255);

    const int settings[][2] = {{0, 255}, {128, 255}, {255, 0}, {1, 1}, {64, 16}, {200, 100}, {255, 255}, {17, 0}};
    for (const auto& s : settings) {
        BuildBlendMaskTable(s[0], s[1]);
        for (std::uint32_t i = 0; i < 256; ++i)
            ASSERT_EQ(MaskWeightTable[i], po::MaskWeight(s[0], s[1], i)) << s[0] << " " << s[1] << " " << i;
    }

    BuildBlendMaskTable(128, 255);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(MaskWeightTable[i], i);
    BuildBlendMaskTable(255, 0);
    for (int i = 0; i < 255; ++i) EXPECT_EQ(MaskWeightTable[i], 0);
    EXPECT_EQ(MaskWeightTable[255], 1);

    // Out-of-range settings are brought into 0..255 rather than read as is.
    BuildBlendMaskTable(-40, 900);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(MaskWeightTable[i], 255);
    BuildBlendMaskTable(300, -3);
    for (std::uint32_t i = 0; i < 256; ++i) EXPECT_EQ(MaskWeightTable[i], po::MaskWeight(255, 0, i));

    BuildBlendMaskTable(0, 255);
}

TEST(RenderTables, MaskWeightRisesWithByteAndFasterForSmallRange) {
    for (int p : {32, 128, 250}) {
        BuildBlendMaskTable(p, 255);
        const auto wide = MaskWeightTable;
        BuildBlendMaskTable(p, 15);
        const auto narrow = MaskWeightTable;
        for (int i = 1; i < 256; ++i) {
            EXPECT_GE(wide[i], wide[i - 1]);
            EXPECT_GE(narrow[i], narrow[i - 1]);
        }
        EXPECT_LT(wide[0], 255);
    }
    BuildBlendMaskTable(0, 255);
}

}  // namespace
