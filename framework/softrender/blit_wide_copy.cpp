// The plain copies of direct pixels, transparent (the commonest draw of
// all) and opaque, built a second time for processors with 32-byte
// registers. Integer moves and comparisons only: the pixels are the same as
// the other loops give.
//
// Opaque runs are copied 32 bytes at a time. The general 16-bit copy
// instead compares sixteen pixels with the key and merges them with the
// destination at once, which costs less than walking a run list cut to a
// clipped rectangle; with eight 32-bit pixels to a register it would not.
#include <cstring>

#include "softrender/blit_walk.h"

namespace {

#if defined(__x86_64__) || defined(__i386__)

typedef std::uint16_t U16x16 __attribute__((vector_size(32)));

// One row of 16-bit pixels: those equal to the key keep the destination.
// The last sixteen are worked out first, from the destination as it was, so
// that the groups may overlap at the row's end.
__attribute__((target("avx2"))) inline void KeyedCopyRow16(const std::uint8_t* s, std::uint8_t* d, int n,
                                                           std::uint16_t key) {
    constexpr int kLanes = 16;
    if (n < kLanes) {
        for (int i = 0; i < n; ++i) {
            const std::uint32_t v = LoadPixel16(s + i * 2);
            if (v != key) StorePixel16(d + i * 2, v);
        }
        return;
    }
    const int last = n - kLanes;
    U16x16 ts, td;
    std::memcpy(&ts, s + last * 2, sizeof ts);
    std::memcpy(&td, d + last * 2, sizeof td);
    const U16x16 tailKeep = (U16x16)(ts == key);
    const U16x16 tail = (td & tailKeep) | (ts & ~tailKeep);
    for (int i = 0; i < last; i += kLanes) {
        U16x16 sv, dv;
        std::memcpy(&sv, s + i * 2, sizeof sv);
        std::memcpy(&dv, d + i * 2, sizeof dv);
        const U16x16 keep = (U16x16)(sv == key);
        const U16x16 out = (dv & keep) | (sv & ~keep);
        std::memcpy(d + i * 2, &out, sizeof out);
    }
    std::memcpy(d + last * 2, &tail, sizeof tail);
}

// The general 16-bit keyed copy. A key above 0xFFFF matches no pixel.
__attribute__((target("avx2"))) void KeyedCopyLoop16(const BlitFrame& f) {
    for (int y = 0; y < f.height; ++y) {
        const std::uint8_t* s = f.src + y * f.srcPitch;
        std::uint8_t* d = f.dest + y * f.destPitch;
        if (f.key > 0xFFFF) std::memmove(d, s, static_cast<std::size_t>(f.width) * 2);
        else KeyedCopyRow16(s, d, f.width, static_cast<std::uint16_t>(f.key));
    }
}

template <BlitLoopKind K>
__attribute__((target("avx2"))) void RunListLoopWide(const BlitFrame& f) {
    blit::RunWalk<K, false>(f);
}
template <BlitLoopKind K>
__attribute__((target("avx2"))) void GeneralLoopWide(const BlitFrame& f) {
    blit::GeneralBody<K>(f);
}

// A copy without mask or bright colour, transparent unless said otherwise.
constexpr BlitLoopKind CopyKind(BlitFamily family, bool alpha, bool runList, bool trans = true) {
    BlitLoopKind k;
    k.family = family;
    k.alpha = alpha;
    k.trans = trans;
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
    if (k.mode != 0 || k.mask || k.bright || k.special != BlitSpecial::kNone) return nullptr;
    constexpr BlitFamily k16 = BlitFamily::kDirect16, k32 = BlitFamily::kDirect32;
    if (!k.trans) {
        // The plain copies of whole rows.
        if (k.alpha || k.runList) return nullptr;
        if (k.family == k16) return &GeneralLoopWide<CopyKind(k16, false, false, false)>;
        if (k.family == k32) return &GeneralLoopWide<CopyKind(k32, false, false, false)>;
        return nullptr;
    }
    if (k.family == k16 && !k.alpha) return k.runList ? &RunListLoopWide<CopyKind(k16, false, true)> : &KeyedCopyLoop16;
    if (k.family == k32 && !k.alpha)
        return k.runList ? &RunListLoopWide<CopyKind(k32, false, true)> : &GeneralLoopWide<CopyKind(k32, false, false)>;
    if (k.family == k32)
        return k.runList ? &RunListLoopWide<CopyKind(k32, true, true)> : &GeneralLoopWide<CopyKind(k32, true, false)>;
#else
    (void)k;
#endif
    return nullptr;
}
