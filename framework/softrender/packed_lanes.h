// The saturating add and subtract of packed_math.h on vector lanes: one
// 5:6:5 pixel to a 16-bit lane, or one 32-bit pixel to a 32-bit lane, with
// the same guard bits and so the same results pixel for pixel. Shared by the
// blit's and the fill's groups.
//
// Only templates on the lane type live here, and the lane type carries the
// register width: the builds for 16- and 32-byte registers each instantiate
// their own, so neither can stand in for the other at link time.
#pragma once

namespace packed_lanes {

// In a 16-bit lane the carry out of red, which would be bit 16, is where the
// sum wrapped; it saturates red as the seventeenth bit would. With
// `keepLowBits` green's and red's lowest bits are the OR of both operands'
// (the add of packed_math.h); without, they are only what the sum left.
template <typename U16>
[[gnu::always_inline]] inline U16 AddSaturate565(U16 d, U16 s, bool keepLowBits) {
    const U16 dm = d & 0xF7DF;
    const U16 t = dm + (s & 0xF7DF);
    const U16 redCarry = (U16)(t < dm);
    const U16 k = t & 0x0820;
    U16 out = (k - (k >> 5)) | (redCarry & 0xF800) | t;
    if (keepLowBits) out |= (d | s) & 0x0820;
    return out;
}

// Bit 16 of the guarded difference is set when the whole word did not
// borrow; it keeps red as the seventeenth bit would.
template <typename U16>
[[gnu::always_inline]] inline U16 SubtractSaturate565(U16 d, U16 s) {
    const U16 u = d | 0x0820;
    const U16 sm = s & 0xF7DF;
    const U16 x = u - sm;
    const U16 redKept = (U16)(u >= sm);
    const U16 k = x & 0x0820;
    return ((k - (k >> 5)) | (redKept & 0xF800)) & x;
}

template <typename U32>
[[gnu::always_inline]] inline U32 AddSaturate888(U32 d, U32 s, bool keepLowBits) {
    const U32 t = (d & 0x00FEFEFFu) + (s & 0x00FEFEFFu);
    const U32 m = t & 0x01010100u;
    U32 out = (m - (m >> 8)) | t;
    if (keepLowBits) out |= (d | s) & 0x00010100u;
    return out;
}

template <typename U32>
[[gnu::always_inline]] inline U32 SubtractSaturate888(U32 d, U32 s) {
    const U32 x = (d | 0x01010100u) - (s & 0xFEFEFEFFu);
    const U32 m = x & 0x01010100u;
    return (m - (m >> 8)) & x;
}

}  // namespace packed_lanes
