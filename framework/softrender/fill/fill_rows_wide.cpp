// The fill's group loops built a second time for processors with 32-byte
// registers. The standard headers are included before the build switches
// to those registers, so nothing but these loops is built for them.
#include <cstddef>
#include <cstdint>

#include "softrender/fill/fill_group_loops.h"

#if defined(__x86_64__) || defined(__i386__)

#pragma GCC push_options
#pragma GCC target("avx2")
#include "softrender/fill/fill_groups.h"

namespace fill_rows {

bool FillGroups32(const fill_groups::GroupValues& v, std::uint8_t* start, std::size_t pitch, int n, int height) {
    return fill_groups::Groups<32>::Fill(v, start, pitch, n, height);
}

}  // namespace fill_rows

#pragma GCC pop_options

#else

namespace fill_rows {

bool FillGroups32(const fill_groups::GroupValues&, std::uint8_t*, std::size_t, int, int) { return false; }

}  // namespace fill_rows

#endif
