// The constant-colour operations of the rectangle fill on groups of pixels:
// a group is one vector register of W bytes (8 or 16 pixels of 16 bits, 4 or
// 8 of 32 bits). Each group gives every pixel exactly what the one-pixel
// operation of constant_colour.h gives it; those stay the reference.
//
// The alpha of 16-bit pixels, d + trunc(p * (c - d) / 255) per field, is
// worked out without the table: with m = p * (c - d),
//   trunc(m / 255) = floor((m + 64 * 255 + (m < 0 ? 254 : 0)) / 255) - 64,
// since rounding a negative quotient toward zero is rounding it up, and
//   floor(y / 255) = (y + 1 + (y >> 8)) >> 8   for 0 <= y <= 255 * 255,
// which covers every y here (|m| <= 63 * 255). A 16-bit lane holds them all.
//
// The file is built twice: as it stands for 16-byte registers, and for
// 32-byte ones where the processor has them (fill_rows_wide.cpp). So that
// neither build can stand in for the other at link time, everything here
// depends on W, and nothing is included but the standard headers both
// builds include first and the lane templates, whose every instance depends
// on W through its lane type.
#pragma once

#include <cstddef>
#include <cstdint>

#include "softrender/packed_lanes.h"

namespace fill_groups {

// Which operation, with its pixel size.
enum class GroupOp : std::uint8_t {
    kCopy16,
    kAlpha16,
    kAdd16,
    kSubtract16,
    kMultiply16,
    kCopy32,
    kAlpha32,
    kAdd32,
    kSubtract32,
    kMultiply32,
};

// What an operation needs, prepared once per call from the one-pixel
// operation: the colour as the operation draws it (copied, added or
// subtracted; multiply and 16-bit alpha read its channels), and the blend
// parameter for alpha.
struct GroupValues {
    GroupOp op = GroupOp::kCopy16;
    std::uint32_t colour = 0;
    std::uint32_t red = 0, green = 0, blue = 0;  // channel values, in their own ranges
    std::uint32_t param = 0;                     // 1..254, alpha only
};

template <int W>
struct Lanes {
    typedef std::uint16_t U16 __attribute__((vector_size(W)));
    typedef std::int16_t I16 __attribute__((vector_size(W)));
    typedef std::uint32_t U32 __attribute__((vector_size(W)));
};

template <int W>
struct Groups {
    using U16 = typename Lanes<W>::U16;
    using I16 = typename Lanes<W>::I16;
    using U32 = typename Lanes<W>::U32;

    template <class V>
    static V Load(const std::uint8_t* p) {
        V v;
        __builtin_memcpy(&v, p, W);
        return v;
    }
    template <class V>
    static void Store(std::uint8_t* p, V v) {
        __builtin_memcpy(p, &v, W);
    }
    // Lanes alternating between a and b: a in the even lanes.
    static U16 Alternate(std::uint32_t a, std::uint32_t b) {
        U16 v;
        for (int i = 0; i < W / 2; i += 2) {
            v[i] = static_cast<std::uint16_t>(a);
            v[i + 1] = static_cast<std::uint16_t>(b);
        }
        return v;
    }

    // ---- 5:6:5 pixels ----

    // One field toward the colour's: x + trunc(p * (k - x) / 255).
    static U16 TowardColour(U16 x, U16 k, std::uint16_t p) {
        const I16 e = (I16)(k - x);
        const U16 bias = (U16)(e >> 15) & 254;
        const U16 y = (U16)(e * (std::int16_t)p) + 64 * 255 + bias;
        return x + ((y + 1 + (y >> 8)) >> 8) - 64;
    }

    struct Alpha16 {
        U16 r, g, b;
        std::uint16_t p;
        explicit Alpha16(const GroupValues& v)
            : r(U16{} + (std::uint16_t)v.red), g(U16{} + (std::uint16_t)v.green), b(U16{} + (std::uint16_t)v.blue),
              p((std::uint16_t)v.param) {}
        U16 operator()(U16 d) const {
            return (TowardColour(d >> 11, r, p) << 11) | (TowardColour((d >> 5) & 63, g, p) << 5) |
                   TowardColour(d & 31, b, p);
        }
    };

    // The guard-bit add and subtract, as the one-pixel operations do them.
    struct Add16 {
        U16 s;
        explicit Add16(const GroupValues& v) : s(U16{} + (std::uint16_t)v.colour) {}
        U16 operator()(U16 d) const { return packed_lanes::AddSaturate565(d, s, true); }
    };

    struct Subtract16 {
        U16 s;
        explicit Subtract16(const GroupValues& v) : s(U16{} + (std::uint16_t)v.colour) {}
        U16 operator()(U16 d) const { return packed_lanes::SubtractSaturate565(d, s); }
    };

    struct Multiply16 {
        U16 r, g, b;
        explicit Multiply16(const GroupValues& v)
            : r(U16{} + (std::uint16_t)v.red), g(U16{} + (std::uint16_t)v.green), b(U16{} + (std::uint16_t)v.blue) {}
        U16 operator()(U16 d) const {
            return ((((d >> 11) * r) >> 5) << 11) | (((((d >> 5) & 63) * g) >> 6) << 5) | (((d & 31) * b) >> 5);
        }
    };

    // ---- 32-bit pixels ----
    //
    // A pixel's bytes are worked on in two 16-bit lanes each: blue and red
    // (bytes 0 and 2), green and the fourth byte (bytes 1 and 3). Where the
    // fourth byte is kept, its lane is multiplied by 256 and shifted back.

    static U16 EvenBytes(U32 v) { return (U16)(v & 0x00FF00FFu); }
    static U16 OddBytes(U32 v) { return (U16)(v >> 8) & 0x00FF; }

    // (d * (256 - p) + c * p) >> 8 per byte.
    struct Alpha32 {
        U16 evenWeight, evenAdd, oddWeight, oddAdd;
        explicit Alpha32(const GroupValues& v)
            : evenWeight(U16{} + (std::uint16_t)(256 - v.param)),
              evenAdd(Alternate(v.blue * v.param, v.red * v.param)),
              oddWeight(Alternate(256 - v.param, 256)),
              oddAdd(Alternate(v.green * v.param, 0)) {}
        U32 operator()(U32 d) const {
            const U16 even = (EvenBytes(d) * evenWeight + evenAdd) >> 8;
            const U16 odd = (OddBytes(d) * oddWeight + oddAdd) & 0xFF00;
            return (U32)even | (U32)odd;
        }
    };

    struct Add32 {
        U32 s;
        explicit Add32(const GroupValues& v) : s(U32{} + v.colour) {}
        U32 operator()(U32 d) const { return packed_lanes::AddSaturate888(d, s, true); }
    };

    struct Subtract32 {
        U32 s;
        explicit Subtract32(const GroupValues& v) : s(U32{} + v.colour) {}
        U32 operator()(U32 d) const { return packed_lanes::SubtractSaturate888(d, s); }
    };

    // (d * c) >> 8 per byte.
    struct Multiply32 {
        U16 even, odd;
        explicit Multiply32(const GroupValues& v) : even(Alternate(v.blue, v.red)), odd(Alternate(v.green, 256)) {}
        U32 operator()(U32 d) const {
            return (U32)((EvenBytes(d) * even) >> 8) | (U32)((OddBytes(d) * odd) & 0xFF00);
        }
    };

    // ---- rows ----

    // The first pixel of the row, at or after p, whose address is a whole
    // number of registers; 0 when no pixel's is (an odd address).
    template <int S>
    static int AlignedStart(const std::uint8_t* p) {
        const auto a = reinterpret_cast<std::uintptr_t>(p);
        if (a % S != 0) return 0;
        return static_cast<int>(((W - a % W) % W) / S);
    }

    // Rows of n >= W / S pixels of S bytes. The first and last groups are
    // worked out first, from the pixels as they were, then the groups
    // between them at whole-register addresses; the first and last may
    // overlap those, so no pixel is changed twice.
    template <int S, class V, class Op>
    static void Rows(const Op& op, std::uint8_t* start, std::size_t pitch, int n, int height) {
        constexpr int kLanes = W / S;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* d = start + static_cast<std::size_t>(y) * pitch;
            const int last = n - kLanes;
            const V head = op(Load<V>(d));
            const V tail = op(Load<V>(d + last * S));
            for (int i = AlignedStart<S>(d); i <= last; i += kLanes) Store(d + i * S, op(Load<V>(d + i * S)));
            Store(d, head);
            Store(d + last * S, tail);
        }
    }

    // Rows filled with one value, four registers to a step where the row
    // is long enough: a loop of one store a step does not keep up with the
    // stores the processor can make.
    template <int S, class V>
    static void CopyRows(V value, std::uint8_t* start, std::size_t pitch, int n, int height) {
        constexpr int kLanes = W / S;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* d = start + static_cast<std::size_t>(y) * pitch;
            const int last = n - kLanes;
            Store(d, value);
            int i = AlignedStart<S>(d);
            for (; i + 3 * kLanes <= last; i += 4 * kLanes) {
                Store(d + i * S, value);
                Store(d + i * S + W, value);
                Store(d + i * S + 2 * W, value);
                Store(d + i * S + 3 * W, value);
            }
            for (; i <= last; i += kLanes) Store(d + i * S, value);
            Store(d + last * S, value);
        }
    }

    // The pixels a row needs at least for the group loops.
    static int MinimumWidth(GroupOp op) { return op <= GroupOp::kMultiply16 ? W / 2 : W / 4; }

    // Fills height rows of n pixels from start; false, with nothing drawn,
    // when n is below MinimumWidth.
    static bool Fill(const GroupValues& v, std::uint8_t* start, std::size_t pitch, int n, int height) {
        if (n < MinimumWidth(v.op)) return false;
        switch (v.op) {
        case GroupOp::kCopy16: CopyRows<2>(U16{} + (std::uint16_t)v.colour, start, pitch, n, height); break;
        case GroupOp::kAlpha16: Rows<2, U16>(Alpha16(v), start, pitch, n, height); break;
        case GroupOp::kAdd16: Rows<2, U16>(Add16(v), start, pitch, n, height); break;
        case GroupOp::kSubtract16: Rows<2, U16>(Subtract16(v), start, pitch, n, height); break;
        case GroupOp::kMultiply16: Rows<2, U16>(Multiply16(v), start, pitch, n, height); break;
        case GroupOp::kCopy32: CopyRows<4>(U32{} + v.colour, start, pitch, n, height); break;
        case GroupOp::kAlpha32: Rows<4, U32>(Alpha32(v), start, pitch, n, height); break;
        case GroupOp::kAdd32: Rows<4, U32>(Add32(v), start, pitch, n, height); break;
        case GroupOp::kSubtract32: Rows<4, U32>(Subtract32(v), start, pitch, n, height); break;
        case GroupOp::kMultiply32: Rows<4, U32>(Multiply32(v), start, pitch, n, height); break;
        }
        return true;
    }
};

}  // namespace fill_groups
