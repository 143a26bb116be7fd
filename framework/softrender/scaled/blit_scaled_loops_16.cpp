// The scaled blit's loops of the two 16-bit families (paletted and direct
// sources).
#include "softrender/scaled/blit_scaled_walk.h"

namespace {

constexpr auto kPaletted16Loops =
    blit::MakeScaledTable<BlitFamily::kPaletted16>(std::make_index_sequence<blit::kScaledLoopCount>{});
constexpr auto kDirect16Loops =
    blit::MakeScaledTable<BlitFamily::kDirect16>(std::make_index_sequence<blit::kScaledLoopCount>{});

}  // namespace

ScaledLoopFn SelectScaledLoop16(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted16: return blit::PickScaled(kPaletted16Loops.data(), kind);
    case BlitFamily::kDirect16: return blit::PickScaled(kDirect16Loops.data(), kind);
    default: return nullptr;
    }
}
