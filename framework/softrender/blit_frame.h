// What the unscaled blit works out once per call and hands to exactly one of
// its pixel loops, and the names of those loops.
//
// Every setting a loop depends on (source kind, blend mode, blend mask,
// bright colour, alpha channel, transparency, the special parameter values)
// is a template argument of the loop, so no loop tests a setting per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "softrender/render_tables.h"

// Pixel size of the destination and the kind of source pixels.
enum class BlitFamily : std::uint8_t {
    kPaletted32,  // 1-byte indices into 0x00RRGGBB entries, 32-bit destination
    kDirect32,    // 4-byte pixels (alpha in the fourth byte when the source has it)
    kPaletted16,  // 1-byte indices into 5:6:5 entries, 16-bit destination
    kDirect16,    // 5:6:5 words, or 4 bytes (word, alpha, spare) with alpha
};

// Loops that replace the general formula at one parameter value, without
// blend mask, bright colour or alpha channel.
enum class BlitSpecial : std::uint8_t {
    kNone,
    kHalfWeight,       // alpha at 128: both pixels halved and added
    kFullStrength,     // add or subtract at 255, guard-bit form
    kFullStrengthMmx,  // add or subtract at 255, bytewise saturation (32-bit)
};

// One specialised loop. A structural type, so it can be a template argument.
struct BlitLoopKind {
    BlitFamily family = BlitFamily::kDirect16;
    std::uint8_t mode = 0;  // 0 copy, 1 alpha, 2 add, 3 subtract, 4 multiply
    bool mask = false;      // a blend-mask image weights each pixel
    bool bright = false;    // the bright colour is not white
    bool alpha = false;     // direct source with an alpha channel
    bool trans = false;     // transparent pixels are skipped
    BlitSpecial special = BlitSpecial::kNone;
    bool runList = false;   // walks the source's run list
    bool scaled = false;    // a row of the scaled blit, whose formulas differ in places
};

constexpr bool Is32(BlitFamily f) { return f == BlitFamily::kPaletted32 || f == BlitFamily::kDirect32; }
constexpr bool IsPaletted(BlitFamily f) { return f == BlitFamily::kPaletted32 || f == BlitFamily::kPaletted16; }

struct BlitFrame {
    int width = 0, height = 0;  // the visible rectangle

    const std::uint8_t* src = nullptr;  // first visible source pixel
    std::ptrdiff_t srcPitch = 0;
    std::uint8_t* dest = nullptr;  // first visible destination pixel
    std::ptrdiff_t destPitch = 0;
    const std::uint8_t* mask = nullptr;  // mask byte under the first visible source pixel
    std::ptrdiff_t maskPitch = 0;
    // The source's run list when it describes the pixels and the draw is
    // transparent; general loops walk it from row runTop, cut to columns
    // [runLeft, runLeft + width) of rows runRowWidth wide.
    const std::uint8_t* runList = nullptr;
    int runRowWidth = 0, runLeft = 0, runTop = 0;

    std::uint32_t key = 0;    // transparent colour or index, compared whole
    std::uint32_t param = 0;  // blend parameter p, 0..255
    std::uint32_t brightRed = 255, brightGreen = 255, brightBlue = 255;

    // Table rows chosen once per call.
    const std::uint32_t* brightRowRed = nullptr;    // ProductTable255[bright red]
    const std::uint32_t* brightRowGreen = nullptr;
    const std::uint32_t* brightRowBlue = nullptr;
    const std::uint32_t* paramRow = nullptr;        // ProductTable255[p]
    const std::int32_t* diffRow = nullptr;          // BlendParamRow(p): [d] = trunc(p * d / 255)
    const LevelTable63Type::value_type* levelBlock = nullptr;  // LevelTable63[p / 4]: [s][d]
    const std::uint8_t* maskWeights = nullptr;      // MaskWeightTable

    // The source palette in the destination's pixel format (5:6:5 entries
    // zero-extended). Entries past the palette's count are 0. Filled only
    // for a paletted source.
    std::uint32_t palette[256];
};

using BlitLoopFn = void (*)(const BlitFrame&);

// The general loops: every pixel of the rectangle is tested and drawn.
// Null for a combination that does not exist.
BlitLoopFn SelectGeneralLoop32(const BlitLoopKind& kind);
BlitLoopFn SelectGeneralLoop16(const BlitLoopKind& kind);
// The run-list loops: unclipped transparent draws of a source whose run list
// is valid; kind.trans and kind.special are ignored.
BlitLoopFn SelectRunListLoop32(const BlitLoopKind& kind);
BlitLoopFn SelectRunListLoop16(const BlitLoopKind& kind);
// The plain copies of direct pixels (transparent or not) built for 32-byte
// moves, or null for any other kind. Only where WideMovesAvailable().
BlitLoopFn SelectWideCopyLoop(const BlitLoopKind& kind);
bool WideMovesAvailable();
// The loops of the other kinds of direct source without alpha or blend
// mask (every mode, bright colour and transparency, the run list and the
// special loops) with 32-byte groups of pixels, or null for any other kind.
// Only where WideMovesAvailable().
BlitLoopFn SelectWideGroupLoop(const BlitLoopKind& kind);
// Whether the plain copies use those loops now (see SetBlitMemImgWideMoves).
bool BlitWideMovesInUse();
