// The unscaled blit's loops of direct sources without alpha or blend mask
// (every mode, bright colour or not, transparent or not, the run list and
// the special loops) built a second time for processors with 32-byte
// registers, their groups of pixels filling those registers. The plain
// copies among them have loops of their own (blit_wide_copy.cpp). The
// pixels are the same as the other loops give.
#include <array>
#include <utility>

// These loops pass groups of 32-byte vectors between the blit's inline
// functions, which the compiler warns would be passed differently without
// those registers. They are always inlined into the loops below, which have
// them, so no such call is ever made.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "softrender/blit/blit_walk.h"

namespace {

#if defined(__x86_64__) || defined(__i386__)

template <BlitLoopKind K>
__attribute__((target("avx2"))) void RunListGroupsWide(const BlitFrame& f) {
    blit::RunWalk<K, false, 32>(f);
}
template <BlitLoopKind K>
__attribute__((target("avx2"))) void GeneralGroupsWide(const BlitFrame& f) {
    blit::GeneralBody<K, 32>(f);
}

// Their kinds: the general loops of each mode, bright colour or not,
// transparent or not (mode * 4 + bright * 2 + trans), then the special
// loops as the general table orders them; the run-list loops of each mode,
// bright or not (mode * 2 + bright).
constexpr int kWideGeneralCount = 20 + (blit::kGeneralLoopCount - blit::kMatrixLoopCount);
constexpr int kWideRunListCount = 10;

constexpr BlitLoopKind WideGeneralKindAt(BlitFamily family, int i) {
    if (i >= 20) return blit::GeneralKindAt(family, blit::kMatrixLoopCount + i - 20);
    BlitLoopKind k;
    k.family = family;
    k.mode = static_cast<std::uint8_t>(i / 4);
    k.bright = (i & 2) != 0;
    k.trans = (i & 1) != 0;
    return k;
}
constexpr BlitLoopKind WideRunListKindAt(BlitFamily family, int i) {
    BlitLoopKind k;
    k.family = family;
    k.runList = true;
    k.mode = static_cast<std::uint8_t>(i / 2);
    k.bright = (i & 1) != 0;
    return k;
}

template <BlitFamily F, std::size_t... I>
constexpr std::array<BlitLoopFn, sizeof...(I)> MakeWideGeneralTable(std::index_sequence<I...>) {
    return {{&GeneralGroupsWide<WideGeneralKindAt(F, static_cast<int>(I))>...}};
}
template <BlitFamily F, std::size_t... I>
constexpr std::array<BlitLoopFn, sizeof...(I)> MakeWideRunListTable(std::index_sequence<I...>) {
    return {{&RunListGroupsWide<WideRunListKindAt(F, static_cast<int>(I))>...}};
}

template <BlitFamily F>
constexpr auto kWideGeneral = MakeWideGeneralTable<F>(std::make_index_sequence<kWideGeneralCount>{});
template <BlitFamily F>
constexpr auto kWideRunList = MakeWideRunListTable<F>(std::make_index_sequence<kWideRunListCount>{});

#endif

}  // namespace

BlitLoopFn SelectWideGroupLoop(const BlitLoopKind& k) {
#if defined(__x86_64__) || defined(__i386__)
    if (k.mode > 4 || k.mask || k.alpha) return nullptr;
    if (k.family != BlitFamily::kDirect16 && k.family != BlitFamily::kDirect32) return nullptr;
    const bool is32 = k.family == BlitFamily::kDirect32;
    if (k.runList) {
        const int i = k.mode * 2 + (k.bright ? 1 : 0);
        return is32 ? kWideRunList<BlitFamily::kDirect32>[i] : kWideRunList<BlitFamily::kDirect16>[i];
    }
    int i = k.mode * 4 + (k.bright ? 2 : 0) + (k.trans ? 1 : 0);
    if (k.special != BlitSpecial::kNone) {
        // The special loops exist without bright colour, for their modes,
        // and the bytewise one for 32-bit pixels only.
        const bool full = k.special == BlitSpecial::kFullStrength || k.special == BlitSpecial::kFullStrengthMmx;
        if (k.bright || (k.special == BlitSpecial::kHalfWeight && k.mode != 1) ||
            (full && k.mode != 2 && k.mode != 3) || (k.special == BlitSpecial::kFullStrengthMmx && !is32))
            return nullptr;
        i = 20 + blit::GeneralIndex(k) - blit::kMatrixLoopCount;
    }
    return is32 ? kWideGeneral<BlitFamily::kDirect32>[i] : kWideGeneral<BlitFamily::kDirect16>[i];
#else
    (void)k;
    return nullptr;
#endif
}

