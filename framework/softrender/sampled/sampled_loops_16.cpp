// The run loops of the two 16-bit families (paletted and direct sources)
// of the rotated blit and the textured triangle.
#include "softrender/sampled/sampled_run.h"

namespace {

constexpr auto kPalettedLoops =
    sampled::MakeRunTable<BlitFamily::kPaletted16>(std::make_index_sequence<blit::kMatrixLoopCount>{});
constexpr auto kDirectLoops =
    sampled::MakeRunTable<BlitFamily::kDirect16>(std::make_index_sequence<blit::kMatrixLoopCount>{});

}  // namespace

SampledRunFn SelectSampledRun16(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted16: return sampled::PickRun(kPalettedLoops.data(), kind);
    case BlitFamily::kDirect16: return sampled::PickRun(kDirectLoops.data(), kind);
    default: return nullptr;
    }
}
