// The run-list loops of the four families: unclipped transparent draws of a
// source whose run list describes its pixels.
#include "softrender/blit/blit_walk.h"

namespace {

template <BlitFamily F>
constexpr auto kLoops = blit::MakeRunListTable<F>(std::make_index_sequence<blit::kRunListLoopCount>{});

}  // namespace

BlitLoopFn SelectRunListLoop32(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted32: return blit::PickRunList(kLoops<BlitFamily::kPaletted32>.data(), kind);
    case BlitFamily::kDirect32: return blit::PickRunList(kLoops<BlitFamily::kDirect32>.data(), kind);
    default: return nullptr;
    }
}

BlitLoopFn SelectRunListLoop16(const BlitLoopKind& kind) {
    switch (kind.family) {
    case BlitFamily::kPaletted16: return blit::PickRunList(kLoops<BlitFamily::kPaletted16>.data(), kind);
    case BlitFamily::kDirect16: return blit::PickRunList(kLoops<BlitFamily::kDirect16>.data(), kind);
    default: return nullptr;
    }
}
