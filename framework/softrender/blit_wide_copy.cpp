// The plain copies of direct pixels, the commonest draw of all, built a
// second time for processors with 32-byte registers, so that their opaque
// runs move 32 bytes at a time. Integer moves only: the pixels are the same.
#include "softrender/blit_walk.h"

namespace {

#if defined(__x86_64__) || defined(__i386__)

template <BlitLoopKind K>
__attribute__((target("avx2"))) void RunListLoopWide(const BlitFrame& f) {
    blit::RunWalk<K, false>(f);
}
template <BlitLoopKind K>
__attribute__((target("avx2"))) void GeneralLoopWide(const BlitFrame& f) {
    blit::GeneralBody<K>(f);
}

// A copy without mask or bright colour, of sources whose pixels are as wide
// as the destination's.
constexpr BlitLoopKind CopyKind(BlitFamily family, bool alpha, bool runList) {
    BlitLoopKind k;
    k.family = family;
    k.alpha = alpha;
    k.trans = true;
    k.runList = runList;
    return k;
}

#endif

}  // namespace

bool WideMovesAvailable() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

BlitLoopFn SelectWideCopyLoop(const BlitLoopKind& k) {
#if defined(__x86_64__) || defined(__i386__)
    if (k.mode != 0 || k.mask || k.bright || !k.trans || k.special != BlitSpecial::kNone) return nullptr;
    if (k.family == BlitFamily::kDirect16 && !k.alpha) {
        constexpr BlitLoopKind runs = CopyKind(BlitFamily::kDirect16, false, true);
        constexpr BlitLoopKind general = CopyKind(BlitFamily::kDirect16, false, false);
        return k.runList ? &RunListLoopWide<runs> : &GeneralLoopWide<general>;
    }
    if (k.family == BlitFamily::kDirect32) {
        constexpr BlitLoopKind runs = CopyKind(BlitFamily::kDirect32, false, true);
        constexpr BlitLoopKind general = CopyKind(BlitFamily::kDirect32, false, false);
        constexpr BlitLoopKind alphaRuns = CopyKind(BlitFamily::kDirect32, true, true);
        constexpr BlitLoopKind alphaGeneral = CopyKind(BlitFamily::kDirect32, true, false);
        if (k.alpha) return k.runList ? &RunListLoopWide<alphaRuns> : &GeneralLoopWide<alphaGeneral>;
        return k.runList ? &RunListLoopWide<runs> : &GeneralLoopWide<general>;
    }
#else
    (void)k;
#endif
    return nullptr;
}
