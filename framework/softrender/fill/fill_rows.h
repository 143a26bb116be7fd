// Whole rows of one constant-colour operation: the rectangle fill's pixel
// loops. Rows wide enough go a register of pixels at a time (fill_groups.h);
// narrower ones, and every row when the plain loops are chosen, one pixel at
// a time through the operations of constant_colour.h, which the group loops
// are tested against.
#pragma once

#include <cstddef>
#include <cstdint>

#include "softrender/constant_colour.h"
#include "softrender/fill/fill_group_loops.h"
#include "softrender/fill/fill_groups.h"

// The loops the fill draws with: one pixel at a time, 16-byte groups, or
// 32-byte groups where the processor has them (the default, else 16-byte).
// The pixels are the same whichever is chosen; tests draw all three.
enum class FillRowLoops { kPlain, kGroups16, kGroups32 };
void SetFillRowLoops(FillRowLoops loops);
FillRowLoops FillRowLoopsInUse();

namespace fill_rows {

// What the group loops need of each one-pixel operation.
inline fill_groups::GroupValues ValuesOf(const constant_colour::Copy16& op) {
    return {fill_groups::GroupOp::kCopy16, op.c};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Alpha16& op) {
    return {fill_groups::GroupOp::kAlpha16, 0, static_cast<std::uint32_t>(op.r), static_cast<std::uint32_t>(op.g),
            static_cast<std::uint32_t>(op.b), op.p};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Add16& op) {
    return {fill_groups::GroupOp::kAdd16, op.s};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Subtract16& op) {
    return {fill_groups::GroupOp::kSubtract16, op.s};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Multiply16& op) {
    return {fill_groups::GroupOp::kMultiply16, 0, op.r, op.g, op.b};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Copy32& op) {
    return {fill_groups::GroupOp::kCopy32, op.c};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Alpha32& op) {
    return {fill_groups::GroupOp::kAlpha32, 0, static_cast<std::uint32_t>(op.r), static_cast<std::uint32_t>(op.g),
            static_cast<std::uint32_t>(op.b), static_cast<std::uint32_t>(op.p)};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Add32& op) {
    return {fill_groups::GroupOp::kAdd32, op.s};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Subtract32& op) {
    return {fill_groups::GroupOp::kSubtract32, op.s};
}
inline fill_groups::GroupValues ValuesOf(const constant_colour::Multiply32& op) {
    return {fill_groups::GroupOp::kMultiply32, 0, op.r, op.g, op.b};
}

// One pixel at a time.
template <class Op>
void PlainRows(const Op& op, std::uint8_t* start, std::size_t pitch, int n, int height, std::size_t pixelBytes) {
    for (int y = 0; y < height; ++y) {
        std::uint8_t* px = start + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < n; ++x, px += pixelBytes) op(px);
    }
}

// The plain 16-bit copy writes whole 32-bit words, two pixels to a word,
// and one 16-bit store for an odd width.
inline void PlainRows(const constant_colour::Copy16& op, std::uint8_t* start, std::size_t pitch, int n, int height,
                      std::size_t) {
    const std::uint32_t pair = op.c | (op.c << 16);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* px = start + static_cast<std::size_t>(y) * pitch;
        for (int i = 0; i < n / 2; ++i, px += 4) StorePixel32(px, pair);
        if (n & 1) StorePixel16(px, op.c);
    }
}

}  // namespace fill_rows

// Changes height rows of n pixels from start (rows pitch bytes apart) by op,
// one of the operations of constant_colour.h.
template <class Op>
void FillConstantRows(const Op& op, std::uint8_t* start, std::size_t pitch, int n, int height) {
    const fill_groups::GroupValues values = fill_rows::ValuesOf(op);
    const std::size_t pixelBytes = values.op <= fill_groups::GroupOp::kMultiply16 ? 2 : 4;
    switch (FillRowLoopsInUse()) {
    case FillRowLoops::kGroups32:
        if (fill_rows::FillGroups32(values, start, pitch, n, height)) return;
        [[fallthrough]];
    case FillRowLoops::kGroups16:
        if (fill_rows::FillGroups16(values, start, pitch, n, height)) return;
        [[fallthrough]];
    case FillRowLoops::kPlain: fill_rows::PlainRows(op, start, pitch, n, height, pixelBytes); break;
    }
}
