// The general loops of the two 32-bit families (paletted and direct sources).
#include "softrender/blit/blit_walk.h"

namespace {

constexpr auto kPaletted32Loops =
    blit::MakeGeneralTable<BlitFamily::kPaletted32>(std::make_index_sequence<blit::kGeneralLoopCount>{});
constexpr auto kDirect32Loops =
    blit::MakeGeneralTable<BlitFamily::kDirect32>(std::make_index_sequence<blit::kGeneralLoopCount>{});

}  // namespace

BlitLoopFn SelectGeneralLoop32(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted32: return blit::PickGeneral(kPaletted32Loops.data(), kind);
    case BlitFamily::kDirect32: return blit::PickGeneral(kDirect32Loops.data(), kind);
    default: return nullptr;
    }
}
