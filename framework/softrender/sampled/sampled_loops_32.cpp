// The run loops of the two 32-bit families (paletted and direct sources)
// of the rotated blit and the textured triangle.
#include "softrender/sampled/sampled_run.h"

namespace {

constexpr auto kPalettedLoops =
    sampled::MakeRunTable<BlitFamily::kPaletted32>(std::make_index_sequence<blit::kMatrixLoopCount>{});
constexpr auto kDirectLoops =
    sampled::MakeRunTable<BlitFamily::kDirect32>(std::make_index_sequence<blit::kMatrixLoopCount>{});

}  // namespace

SampledRunFn SelectSampledRun32(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted32: return sampled::PickRun(kPalettedLoops.data(), kind);
    case BlitFamily::kDirect32: return sampled::PickRun(kDirectLoops.data(), kind);
    default: return nullptr;
    }
}
