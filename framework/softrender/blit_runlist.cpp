// The run-list loops of the four families: unclipped transparent draws of a
// source whose run list describes its pixels.
#include "softrender/blit_walk.h"

namespace {

template <BlitFamily F>
constexpr auto kLoops = blit::MakeRunListTable<F>(std::make_index_sequence<blit::kRunListLoopCount>{});

// The plain copies of direct pixels, the commonest draw of all, move their
// opaque runs 32 bytes at a time where the processor can.
constexpr bool IsPlainCopy(const BlitLoopKind& k) {
    return (k.family == BlitFamily::kDirect16 || k.family == BlitFamily::kDirect32) && k.mode == 0 && !k.mask &&
           !k.bright;
}

#if defined(__x86_64__) || defined(__i386__)
constexpr BlitLoopFn kWideCopyLoops[] = {
    &blit::RunListLoopWide<blit::RunListKindAt(BlitFamily::kDirect16, 0)>,
    &blit::RunListLoopWide<blit::RunListKindAt(BlitFamily::kDirect32, 0)>,
    &blit::RunListLoopWide<blit::RunListKindAt(BlitFamily::kDirect32, 1)>,  // with alpha
};
#else
constexpr BlitLoopFn kWideCopyLoops[] = {
    &blit::RunListLoop<blit::RunListKindAt(BlitFamily::kDirect16, 0)>,
    &blit::RunListLoop<blit::RunListKindAt(BlitFamily::kDirect32, 0)>,
    &blit::RunListLoop<blit::RunListKindAt(BlitFamily::kDirect32, 1)>,
};
#endif

}  // namespace

bool RunListWideMovesAvailable() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

BlitLoopFn SelectRunListLoop32(const BlitLoopKind& kind, bool wideMoves) {
    if (wideMoves && IsPlainCopy(kind)) return kind.alpha ? kWideCopyLoops[2] : kWideCopyLoops[1];
    switch (kind.family) {
    case BlitFamily::kPaletted32: return blit::PickRunList(kLoops<BlitFamily::kPaletted32>.data(), kind);
    case BlitFamily::kDirect32: return blit::PickRunList(kLoops<BlitFamily::kDirect32>.data(), kind);
    default: return nullptr;
    }
}

BlitLoopFn SelectRunListLoop16(const BlitLoopKind& kind, bool wideMoves) {
    if (wideMoves && IsPlainCopy(kind) && !kind.alpha) return kWideCopyLoops[0];
    switch (kind.family) {
    case BlitFamily::kPaletted16: return blit::PickRunList(kLoops<BlitFamily::kPaletted16>.data(), kind);
    case BlitFamily::kDirect16: return blit::PickRunList(kLoops<BlitFamily::kDirect16>.data(), kind);
    default: return nullptr;
    }
}
