// BMP: uncompressed 4, 8 and 24-bit pictures and RLE8/RLE4 are unpacked
// here; 1, 16 and 32-bit pictures and bit-field layouts are turned into the
// standard 24-bit format.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/image_loader.h"
#include "graphics/image/image_loader_io.h"

namespace {

constexpr std::uint32_t kBmpFileHeaderSize = 14;
constexpr std::uint32_t kBmpInfoHeaderSize = 40;
constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;

struct BmpHeader {
    std::uint32_t pixelOffset;
    std::uint32_t infoSize;
    std::int32_t width;
    std::int32_t height;  // positive: bottom row first
    std::uint16_t depth;
    std::uint32_t compression;
    std::uint32_t colorsUsed;
    std::uint32_t masks[3];
    std::uint32_t palette[256];  // 0x00RRGGBB
    std::uint32_t paletteCount;
};

int Damaged(const char* what) {
    WriteLogFormat("ＢＭＰファイルが壊れています(%s)", what);
    return -1;
}

std::uint32_t Align4(std::uint64_t bytes) { return static_cast<std::uint32_t>((bytes + 3) / 4 * 4); }

// Reads the file and information headers, the palette and the masks.
// Returns 1 for a BMP, 0 for another format, -1 for a damaged one.
int ReadBmpHeader(StreamData* stream, std::int64_t length, BmpHeader* h) {
    std::uint8_t file[kBmpFileHeaderSize];
    if (!StreamReadExact(stream, file, sizeof file) || file[0] != 'B' || file[1] != 'M') return 0;
    std::uint8_t info[kBmpInfoHeaderSize + 12];
    if (!StreamReadExact(stream, info, kBmpInfoHeaderSize)) return Damaged("header");
    *h = {};
    h->pixelOffset = ReadLe32(file + 10);
    h->infoSize = ReadLe32(info);
    h->width = static_cast<std::int32_t>(ReadLe32(info + 4));
    h->height = static_cast<std::int32_t>(ReadLe32(info + 8));
    h->depth = ReadLe16(info + 14);
    h->compression = ReadLe32(info + 16);
    h->colorsUsed = ReadLe32(info + 32);
    // Later header versions are longer; what follows the header (masks,
    // palette) starts after however long it says it is.
    if (h->infoSize < kBmpInfoHeaderSize || h->infoSize > 1024) return Damaged("header size");
    if (h->compression == kCompressionBitFields) {
        // Masks follow a 40-byte header and sit inside the longer ones.
        if (!StreamReadExact(stream, info + kBmpInfoHeaderSize, 12)) return Damaged("masks");
        for (int i = 0; i < 3; ++i) h->masks[i] = ReadLe32(info + kBmpInfoHeaderSize + 4 * i);
    }
    if (h->depth <= 8) {
        const std::uint32_t most = h->depth == 0 ? 0 : 1u << h->depth;
        h->paletteCount = h->colorsUsed != 0 && h->colorsUsed < most ? h->colorsUsed : most;
        std::uint32_t paletteAt = kBmpFileHeaderSize + h->infoSize;
        if (h->infoSize == kBmpInfoHeaderSize && h->compression == kCompressionBitFields) paletteAt += 12;
        std::uint8_t entries[256 * 4];
        if (!StreamSeekTo(stream, paletteAt) || !StreamReadExact(stream, entries, h->paletteCount * 4))
            return Damaged("palette");
        for (std::uint32_t i = 0; i < h->paletteCount; ++i)
            h->palette[i] = (entries[i * 4 + 2] << 16) | (entries[i * 4 + 1] << 8) | entries[i * 4];
    }
    if (h->width <= 0 || h->height == 0 || h->height == INT32_MIN) return Damaged("size");
    if (h->pixelOffset > length) return Damaged("pixel offset");
    return 1;
}

std::uint32_t AbsHeight(const BmpHeader& h) {
    return h.height < 0 ? 0u - static_cast<std::uint32_t>(h.height) : static_cast<std::uint32_t>(h.height);
}

// Row `y` of the result (top first) comes from stored row storedRow(y).
std::uint32_t StoredRow(const BmpHeader& h, std::uint32_t y) { return h.height > 0 ? AbsHeight(h) - 1 - y : y; }

// RLE8 and RLE4 into one byte per pixel in stored row order. Every write is
// clipped to the image and decoding stops at the end of the data.
void DecodeRle(const std::vector<std::uint8_t>& data, bool rle4, std::uint32_t width, std::uint32_t height,
               std::uint32_t pitch, std::uint8_t* out) {
    std::size_t at = 0;
    std::uint32_t x = 0, y = 0;
    auto put = [&](std::uint8_t value) {
        if (x < width && y < height) out[static_cast<std::size_t>(y) * pitch + x] = value;
        ++x;
    };
    while (at + 1 < data.size() && y < height) {
        const std::uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count; ++i) put(rle4 ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of image
            break;
        } else if (value == 2) {  // move right and down
            if (at + 1 >= data.size()) break;
            x += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(data[at])));
            y += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(data[at + 1])));
            at += 2;
        } else {  // absolute run of `value` pixels, padded to an even byte count
            const std::size_t bytes = rle4 ? (value + 1u) / 2 : value;
            for (std::uint32_t i = 0; i < value; ++i) {
                const std::size_t from = at + (rle4 ? i / 2 : i);
                if (from >= data.size()) break;
                put(rle4 ? ((i & 1) ? data[from] & 0x0F : data[from] >> 4) : data[from]);
            }
            at += (bytes + 1) / 2 * 2;
        }
    }
}

int FinishPaletted(const BmpHeader& h, std::uint32_t paletteSize, GraphImage* out) {
    std::memset(&out->colorFormat, 0, sizeof out->colorFormat);
    SetPalette8Format(&out->colorFormat);
    for (std::uint32_t i = 0; i < paletteSize && i < h.paletteCount; ++i) out->colorFormat.palette[i] = h.palette[i];
    return 0;
}

// Copies stored rows of `rowBytes` into a top-first image of `pitch`.
void CopyRowsTopFirst(const BmpHeader& h, const std::vector<std::uint8_t>& data, std::uint32_t srcPitch,
                      std::uint32_t rowBytes, std::uint32_t pitch, std::uint8_t* out) {
    const std::uint32_t height = AbsHeight(h);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t from = static_cast<std::size_t>(StoredRow(h, y)) * srcPitch;
        std::uint8_t* row = out + static_cast<std::size_t>(y) * pitch;
        if (from >= data.size()) continue;
        std::memcpy(row, data.data() + from, std::min<std::size_t>(rowBytes, data.size() - from));
    }
}

// Channel value scaled to 8 bits from a mask of any width.
std::uint8_t MaskedChannel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const std::uint32_t field = mask >> shift;
    const std::uint32_t value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(value * 255 / field);
}

// The layouts GDI would convert for us: 1-bit with its palette, 16 and
// 32-bit with the default or the file's masks.
int ConvertTo24(const BmpHeader& h, const std::vector<std::uint8_t>& data, std::uint32_t srcPitch,
                GraphImage* out) {
    const std::uint32_t width = static_cast<std::uint32_t>(h.width), height = AbsHeight(h);
    std::uint32_t masks[3];
    if (h.compression == kCompressionBitFields && (h.depth == 16 || h.depth == 32)) {
        std::memcpy(masks, h.masks, sizeof masks);
    } else if (h.compression == kCompressionRgb && h.depth == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (h.compression == kCompressionRgb && (h.depth == 32 || h.depth == 1)) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    } else {
        WriteLogText("ＤＩＢの作成に失敗しました3\n");
        return -1;
    }
    const std::uint32_t pitch = Align4(static_cast<std::uint64_t>(width) * 3);
    const std::size_t rowBytes = (static_cast<std::size_t>(h.depth) * width + 7) / 8;
    const std::size_t bytes = CheckedImageBytes(width, height, pitch);
    std::uint8_t* pixels = bytes == 0 ? nullptr : AllocImageBuffer(bytes, true);
    if (pixels == nullptr) {
        WriteLogText("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        return -1;
    }
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t from = static_cast<std::size_t>(StoredRow(h, y)) * srcPitch;
        if (from + rowBytes > data.size()) continue;  // checked by the loader; a guard
        const std::uint8_t* src = data.data() + from;
        std::uint8_t* dst = pixels + static_cast<std::size_t>(y) * pitch;
        for (std::uint32_t x = 0; x < width; ++x, dst += 3) {
            std::uint32_t rgb;
            if (h.depth == 1) {
                const std::uint32_t index = (src[x / 8] >> (7 - x % 8)) & 1;
                rgb = index < h.paletteCount ? h.palette[index] : 0;
            } else {
                const std::uint32_t pixel = h.depth == 16 ? ReadLe16(src + x * 2) : ReadLe32(src + x * 4);
                rgb = (MaskedChannel(pixel, masks[0]) << 16) | (MaskedChannel(pixel, masks[1]) << 8) |
                      MaskedChannel(pixel, masks[2]);
            }
            dst[0] = static_cast<std::uint8_t>(rgb), dst[1] = static_cast<std::uint8_t>(rgb >> 8);
            dst[2] = static_cast<std::uint8_t>(rgb >> 16);
        }
    }
    std::memset(&out->colorFormat, 0, sizeof out->colorFormat);
    SetRGB24Format(&out->colorFormat);
    SetImagePixels(out, width, height, pitch, pixels);
    return 0;
}

}  // namespace

int LoadBmpImage(StreamData* stream, GraphImage* image) {
    const std::int64_t length = StreamLength(stream);
    if (length < 0) return -1;
    BmpHeader h;
    const int recognised = ReadBmpHeader(stream, length, &h);
    if (recognised <= 0) return -1;

    const std::uint32_t width = static_cast<std::uint32_t>(h.width), height = AbsHeight(h);
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(h.depth) * width + 7) / 8;
    const std::uint64_t srcPitch = Align4(rowBytes);
    if (CheckedImageBytes(width, height, srcPitch == 0 ? 1 : srcPitch) == 0) return Damaged("size");
    // Uncompressed rows must all be there (the last one may lack its
    // padding): a header alone can claim 7000 x 6000 pixels. Run-length data
    // has no such size, and what it skips is meant to stay 0.
    const bool runLength = h.compression == kCompressionRle8 || h.compression == kCompressionRle4;
    if (!runLength && static_cast<std::uint64_t>(length - h.pixelOffset) < srcPitch * (height - 1) + rowBytes)
        return Damaged("pixel data shorter than the header says");

    std::vector<std::uint8_t> data(static_cast<std::size_t>(length - h.pixelOffset));
    if (!StreamSeekTo(stream, h.pixelOffset) || !StreamReadExact(stream, data.data(), data.size()))
        return Damaged("pixels");

    GraphImage result = {};
    const bool rle8 = h.compression == kCompressionRle8 && h.depth == 8;
    const bool rle4 = h.compression == kCompressionRle4 && h.depth == 4;
    const bool plain4 = h.compression == kCompressionRgb && h.depth == 4;
    const bool plain8or24 = h.compression == kCompressionRgb && (h.depth == 8 || h.depth == 24);
    if (rle8 || rle4 || plain4) {
        // One byte per pixel, rows padded to 4.
        const std::uint32_t pitch = Align4(width);
        const std::size_t bytes = CheckedImageBytes(width, height, pitch);
        std::uint8_t* stored = bytes == 0 ? nullptr : AllocImageBuffer(bytes, true);
        if (stored == nullptr) return -1;
        if (plain4) {
            for (std::uint32_t row = 0; row < height; ++row) {
                const std::size_t from = static_cast<std::size_t>(row) * srcPitch;
                for (std::uint32_t x = 0; x < width && from + x / 2 < data.size(); ++x) {
                    const std::uint8_t two = data[from + x / 2];
                    stored[static_cast<std::size_t>(row) * pitch + x] = (x & 1) ? two & 0x0F : two >> 4;
                }
            }
        } else {
            DecodeRle(data, rle4, width, height, pitch, stored);
        }
        // Stored order to top-first, in place.
        if (h.height > 0) {
            std::vector<std::uint8_t> swap(pitch);
            for (std::uint32_t y = 0; y < height / 2; ++y) {
                std::uint8_t* top = stored + static_cast<std::size_t>(y) * pitch;
                std::uint8_t* bottom = stored + static_cast<std::size_t>(height - 1 - y) * pitch;
                std::memcpy(swap.data(), top, pitch);
                std::memcpy(top, bottom, pitch);
                std::memcpy(bottom, swap.data(), pitch);
            }
        }
        std::uint8_t* pixels = stored;
        FinishPaletted(h, rle8 ? 256 : 16, &result);
        SetImagePixels(&result, width, height, pitch, pixels);
    } else if (plain8or24) {
        const std::uint32_t pitch = static_cast<std::uint32_t>(srcPitch);
        std::uint8_t* pixels = AllocImageBuffer(CheckedImageBytes(width, height, pitch), true);
        if (pixels == nullptr) return -1;
        CopyRowsTopFirst(h, data, pitch, pitch, pitch, pixels);
        if (h.depth == 8) {
            FinishPaletted(h, 256, &result);
        } else {
            SetRGB24Format(&result.colorFormat);
        }
        SetImagePixels(&result, width, height, pitch, pixels);
    } else if (ConvertTo24(h, data, static_cast<std::uint32_t>(srcPitch), &result) != 0) {
        return -1;
    }
    *image = result;
    return 0;
}
