// The general loops of the two 16-bit families (paletted and direct sources).
#include "softrender/blit/blit_walk.h"

namespace {

constexpr auto kPaletted16Loops =
    blit::MakeGeneralTable<BlitFamily::kPaletted16>(std::make_index_sequence<blit::kGeneralLoopCount>{});
constexpr auto kDirect16Loops =
    blit::MakeGeneralTable<BlitFamily::kDirect16>(std::make_index_sequence<blit::kGeneralLoopCount>{});

}  // namespace

BlitLoopFn SelectGeneralLoop16(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted16: return blit::PickGeneral(kPaletted16Loops.data(), kind);
    case BlitFamily::kDirect16: return blit::PickGeneral(kDirect16Loops.data(), kind);
    default: return nullptr;
    }
}
