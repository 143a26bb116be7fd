// Pixel work shared by the DirectDraw surfaces and the GDI device contexts:
// fills, keyed copies and stepped (stretched) copies of pixels of 1 to 4
// bytes, at memory speed. Rows may start at any address.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// Writes `value` (the pixel's low `bytes` bytes, little-endian) to `width`
// pixels on each of `rows` rows `pitch` bytes apart.
void FillPixels(std::uint8_t* first, std::size_t pitch, std::size_t width, std::size_t rows, int bytes, DWORD value);

// Copies `width` x `rows` pixels, leaving out those whose value, masked by
// `mask`, equals `key` masked the same way. The two must not overlap.
void CopyKeyedPixels(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* in, std::size_t inPitch,
                     std::size_t width, std::size_t rows, int bytes, DWORD mask, DWORD key);

// Output pixel i is the input pixel at byte offset `offsets[i]` of `in`;
// keyed as above when `keyed`. The rows must not overlap.
void CopySteppedPixelRow(std::uint8_t* out, const std::uint8_t* in, const std::uint32_t* offsets,
                         std::size_t count, int bytes, bool keyed, DWORD mask, DWORD key);
