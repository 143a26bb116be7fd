// Software images: the pixel buffers the software renderer draws into and
// from, with the two derived buffers that let it skip transparent runs and
// blend with premultiplied colour.
#pragma once

#include <cstdint>

#include "graphics/image/color_format.h"
#include "graphics/image/graph_image.h"
#include "platform/types.h"

constexpr std::uint32_t kMemImgMagic = 0x12345678;

// Pixel kinds (the renderer's "32-bit flag" is kind 1).
constexpr std::uint32_t kMemImgKind565 = 0;        // 16-bit 5:6:5 (4 bytes with alpha)
constexpr std::uint32_t kMemImgKind888 = 1;        // 32-bit 8:8:8, alpha on top when present
constexpr std::uint32_t kMemImgKindOneByte = 2;    // one-byte single channel (masks)
constexpr std::uint32_t kMemImgKindZBuffer = 3;    // two-byte single channel

// Run-table codes: the top two bits give the run's type, the low six bits its
// length minus one. Every row ends with kRunEndOfRow.
constexpr std::uint8_t kRunTransparent = 0x00;
constexpr std::uint8_t kRunOpaque = 0x40;
constexpr std::uint8_t kRunTranslucent = 0x80;
constexpr std::uint8_t kRunEndOfRow = 0xC0;
constexpr int kRunMaxLength = 64;

struct MEMIMG {
    std::uint32_t magic;  // kMemImgMagic while initialised, 0 after release
    std::int32_t width;
    std::int32_t height;
    std::uint32_t pitch;      // bytes from one row to the next
    std::int32_t pitchShift;  // log2 of the pitch when rows can be addressed by shifting, else -1
    const ColorFormatDesc* colorFormat;  // a standard format
    // The pixel value (palette index when paletted) treated as transparent.
    std::uint32_t transparentColor;
    std::uint32_t kind;
    std::uint32_t paletted;      // one-byte palette indexes
    std::uint32_t paletteCount;  // palette entries in use
    std::uint32_t alphaChannel;  // the pixels carry alpha
    std::uint32_t premultipliedValid;  // the premultiplied buffer matches the pixels
    std::uint32_t runTableValid;       // the run table matches the pixels
    std::uint32_t borrowedPixels;      // the pixels belong to someone else
    // 5:6:5 words (kind 0) or 0x00RRGGBB words (kind 1). Both point into
    // this record's storage, or in a view into the source's; so a record is
    // never copied by value.
    void* palette;
    void* paletteCopy;
    alignas(4) std::uint8_t paletteStorage[1024];
    alignas(4) std::uint8_t paletteCopyStorage[1024];
    std::uint8_t* pixels;         // first pixel of row 0
    std::uint8_t* premultiplied;  // owned; same pitch and height as the pixels
    std::uint8_t* runTable;       // owned; (width + 5) x height bytes
};

// The pixels (set in the record beforehand) are borrowed when given, else
// allocated. With derivedBuffers the premultiplied buffer (alpha images) and
// the run table (all kinds but 2) are allocated too. -1 for a record that is
// already initialised or for bad arguments; a failure frees what this call
// allocated and leaves the record uninitialised.
int InitMemImg(MEMIMG* image, int width, int height, int pitch, std::uint32_t transparentColor, int kind,
               int paletted, int alphaChannel, int derivedBuffers);
// Zeroes a record for a new initialisation, all but its two palette stores
// (1 KB each): only a paletted image reads them, and its writer fills them.
void ClearMemImgRecord(MEMIMG* image);
// Zeroes the record first. Kind -1 follows the screen depth setting.
int InitScreenMemImg(MEMIMG* image, int width, int height, int kind);
int InitZBufferMemImg(MEMIMG* image, int width, int height);
// A window onto the source that owns nothing; the window is kept inside the
// source. Releasing a view frees nothing.
void InitMemImgView(MEMIMG* view, const MEMIMG* source, int x, int y, int width, int height);
void ReleaseMemImg(MEMIMG* image);
int MemImgHasPixels(const MEMIMG* image);

// Every write into an image's pixels, other than the whole-image write that
// rebuilds them, must call this: the run table and premultiplied copy no
// longer describe the pixels.
void InvalidateMemImgDerived(MEMIMG* image);

// Copies the rectangle of the source (null: all of it) to (x, y), converting
// between the two formats; clipped to both images. The destination's
// derived buffers become invalid.
int CopyMemImg(MEMIMG* dest, const MEMIMG* source, const RECT* srcRect, int x, int y);
// Writes a rectangle of an image (and of its alpha image, when given) into
// the software image and brings its derived buffers up to date. 0 or -1.
int WriteGraphImageToMemImg(const GraphImage* source, const GraphImage* alphaImage, MEMIMG* dest, int srcX,
                            int srcY, int width, int height, int destX, int destY, int convertOption);
// Copies a rectangle of a 16- or 32-bit image without palette or alpha into
// the target's pixels; any other image copies nothing and gives 0.
int ConvertMemImgRectToGraphImage(const GraphImage* target, const MEMIMG* image, int x, int y, int width,
                                  int height, int destX, int destY, int dither, int convertOption);
// Fills the rectangle (null: the whole image), clipped to the image, with
// the value; no blending.
int ClearMemImgRect(MEMIMG* image, const RECT* rect, std::uint32_t value);

// Rebuilds the run table from the pixels.
void BuildMemImgRunTable(MEMIMG* image);
// Rebuilds the premultiplied copy from the pixels.
void BuildMemImgPremultiplied(MEMIMG* image);
