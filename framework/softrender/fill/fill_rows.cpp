// The fill's group loops for 16-byte registers, which every processor the
// renderer builds for has, and the choice between the loops.
#include "softrender/fill/fill_rows.h"

#include "softrender/blit_frame.h"
#include "softrender/fill/fill_groups.h"

namespace {

// -1 until chosen: the widest loops the processor has.
int g_Loops = -1;

}  // namespace

void SetFillRowLoops(FillRowLoops loops) {
    // The processors that have the wide copies' 32-byte moves have the
    // registers for the wide groups.
    if (loops == FillRowLoops::kGroups32 && !WideMovesAvailable()) loops = FillRowLoops::kGroups16;
    g_Loops = static_cast<int>(loops);
}

FillRowLoops FillRowLoopsInUse() {
    if (g_Loops < 0) SetFillRowLoops(FillRowLoops::kGroups32);
    return static_cast<FillRowLoops>(g_Loops);
}

namespace fill_rows {

bool FillGroups16(const fill_groups::GroupValues& v, std::uint8_t* start, std::size_t pitch, int n, int height) {
    return fill_groups::Groups<16>::Fill(v, start, pitch, n, height);
}

}  // namespace fill_rows
