// The scaled blit's loops of the two 32-bit families (paletted and direct
// sources).
#include "softrender/scaled/blit_scaled_walk.h"

namespace {

constexpr auto kPaletted32Loops =
    blit::MakeScaledTable<BlitFamily::kPaletted32>(std::make_index_sequence<blit::kScaledLoopCount>{});
constexpr auto kDirect32Loops =
    blit::MakeScaledTable<BlitFamily::kDirect32>(std::make_index_sequence<blit::kScaledLoopCount>{});

}  // namespace

ScaledLoopFn SelectScaledLoop32(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted32: return blit::PickScaled(kPaletted32Loops.data(), kind);
    case BlitFamily::kDirect32: return blit::PickScaled(kDirect32Loops.data(), kind);
    default: return nullptr;
    }
}
