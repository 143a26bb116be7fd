// The fill's group loops of its two builds (fill_groups.h), declared apart
// from the groups themselves: the build for 32-byte registers must see
// those only once it has switched to them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fill_groups {
struct GroupValues;
}

namespace fill_rows {

// Each changes height rows of n pixels from start; false, with nothing
// drawn, for rows too narrow for its groups.
bool FillGroups16(const fill_groups::GroupValues& v, std::uint8_t* start, std::size_t pitch, int n, int height);
// Only where the processor has 32-byte registers (WideMovesAvailable).
bool FillGroups32(const fill_groups::GroupValues& v, std::uint8_t* start, std::size_t pitch, int n, int height);

}  // namespace fill_rows
