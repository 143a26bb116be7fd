// The several-pixels-at-once forms of the blit's loops replace the lookup
// tables by division-free arithmetic. These tests hold them to the
// table-driven one-pixel formulas: the divisions over their whole ranges,
// and every group operation on random pixel pairs at random parameters and
// bright colours.

#include "softrender/blit/blit_vector.h"

#include <gtest/gtest.h>

#include <random>

#include "softrender/packed_math.h"
#include "softrender/render_tables.h"

namespace {

using namespace blit;

TEST(BlitVector, DivisionFormsAreExactOverTheirRanges) {
    for (std::uint32_t base = 0; base <= 65025; base += 8) {
        U16x8 x;
        for (int i = 0; i < 8; ++i) x[i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(base + i, 65025));
        const U16x8 q = Div255(x);
        for (int i = 0; i < 8; ++i) ASSERT_EQ(q[i], x[i] / 255) << x[i];
    }
    for (std::uint32_t base = 0; base <= 3969; base += 8) {
        U16x8 x;
        for (int i = 0; i < 8; ++i) x[i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(base + i, 3969));
        const U16x8 q = Div63(x);
        for (int i = 0; i < 8; ++i) ASSERT_EQ(q[i], x[i] / 63) << x[i];
    }
}

BlitFrame FrameFor(std::uint32_t p, std::uint32_t bright) {
    BlitFrame f;
    f.param = p;
    f.brightRed = BrightRed(bright);
    f.brightGreen = BrightGreen(bright);
    f.brightBlue = BrightBlue(bright);
    f.brightRowRed = ProductTable255[f.brightRed].data();
    f.brightRowGreen = ProductTable255[f.brightGreen].data();
    f.brightRowBlue = ProductTable255[f.brightBlue].data();
    f.paramRow = ProductTable255[p].data();
    f.diffRow = BlendParamRow(p);
    f.levelBlock = &LevelTable63[p / 4];
    return f;
}

// Applies one group to random pixels and compares each lane with the
// one-pixel formula.
template <BlitLoopKind K>
void GroupMatchesPixels(std::uint32_t seed) {
    using G = Group<K>;
    using V = typename G::V;
    std::mt19937 rng(seed);
    for (int round = 0; round < 1 << 14; ++round) {
        std::uint32_t p = 1 + rng() % 254;
        if (K.special == BlitSpecial::kHalfWeight) p = 128;
        if (K.special == BlitSpecial::kFullStrength || K.special == BlitSpecial::kFullStrengthMmx) p = 255;
        const std::uint32_t bright = K.bright ? (rng() & 0xFFFFFF) : 0xFFFFFF;
        const BlitFrame f = FrameFor(p, bright);
        const VectorContext<16> c = MakeVectorContext<16>(f);
        V s, d;
        for (int i = 0; i < G::kLanes; ++i) {
            s[i] = Is32(K.family) ? rng() : (rng() & 0xFFFF);
            d[i] = Is32(K.family) ? rng() : (rng() & 0xFFFF);
        }
        const V out = G::Apply(c, s, d);
        for (int i = 0; i < G::kLanes; ++i)
            ASSERT_EQ(static_cast<std::uint32_t>(out[i]), Pixel<K>::Opaque(f, s[i], d[i], 0))
                << "mode " << int{K.mode} << " bright " << K.bright << " special " << int(K.special) << " run list "
                << K.runList << " p " << p << std::hex << " s 0x" << s[i] << " d 0x" << d[i];
    }
}

template <BlitFamily F, bool kRunList>
void AllKinds() {
    constexpr auto kind = [](int mode, bool bright, BlitSpecial special) {
        BlitLoopKind k;
        k.family = F;
        k.mode = static_cast<std::uint8_t>(mode);
        k.bright = bright;
        k.special = special;
        k.runList = kRunList;
        return k;
    };
    GroupMatchesPixels<kind(0, false, BlitSpecial::kNone)>(1);
    GroupMatchesPixels<kind(0, true, BlitSpecial::kNone)>(2);
    GroupMatchesPixels<kind(1, false, BlitSpecial::kNone)>(3);
    GroupMatchesPixels<kind(1, true, BlitSpecial::kNone)>(4);
    GroupMatchesPixels<kind(2, false, BlitSpecial::kNone)>(5);
    GroupMatchesPixels<kind(2, true, BlitSpecial::kNone)>(6);
    GroupMatchesPixels<kind(3, false, BlitSpecial::kNone)>(7);
    GroupMatchesPixels<kind(3, true, BlitSpecial::kNone)>(8);
    GroupMatchesPixels<kind(4, false, BlitSpecial::kNone)>(9);
    GroupMatchesPixels<kind(4, true, BlitSpecial::kNone)>(10);
    if constexpr (!kRunList) {
        GroupMatchesPixels<kind(1, false, BlitSpecial::kHalfWeight)>(11);
        GroupMatchesPixels<kind(2, false, BlitSpecial::kFullStrength)>(12);
        GroupMatchesPixels<kind(3, false, BlitSpecial::kFullStrength)>(13);
        if constexpr (Is32(F)) {
            GroupMatchesPixels<kind(2, false, BlitSpecial::kFullStrengthMmx)>(14);
            GroupMatchesPixels<kind(3, false, BlitSpecial::kFullStrengthMmx)>(15);
        }
    }
}

TEST(BlitVector, SixteenBitGroupsGiveThePixelFormulas) {
    AllKinds<BlitFamily::kDirect16, false>();
    AllKinds<BlitFamily::kDirect16, true>();
}

TEST(BlitVector, ThirtyTwoBitGroupsGiveThePixelFormulas) {
    AllKinds<BlitFamily::kDirect32, false>();
    AllKinds<BlitFamily::kDirect32, true>();
}

}  // namespace
