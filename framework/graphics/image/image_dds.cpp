// DDS: the top-level image of an uncompressed surface, with its format from
// the RGB masks or from a FourCC code of the format table.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/image_loader.h"
#include "graphics/image/image_loader_dds_table.h"
#include "graphics/image/image_loader_io.h"

namespace {
constexpr std::uint32_t kDescriptionSize = 124;
constexpr std::uint32_t kFlagPitch = 0x8;
constexpr std::uint32_t kPixelAlpha = 0x01;
constexpr std::uint32_t kPixelFourCC = 0x04;
constexpr std::uint32_t kPixelRgb = 0x40;

int Damaged(const char* what) {
    WriteLogFormat("ＤＤＳファイルが壊れています(%s)", what);
    return -1;
}
}  // namespace

const DdsFormatRow* FindDdsFormat(std::uint32_t code) {
    for (const DdsFormatRow& row : DdsFormatTable) {
        if (row.code == kDdsFormatTableEnd) break;
        if (row.code == code) return &row;
    }
    return nullptr;
}

int LoadDdsImage(StreamData* stream, GraphImage* image) {
    std::uint8_t magic[4];
    if (!StreamReadExact(stream, magic, 4) || std::memcmp(magic, "DDS", 3) != 0) return -1;
    std::uint8_t d[kDescriptionSize];
    if (!StreamReadExact(stream, d, sizeof d)) return Damaged("header");
    const std::uint32_t flags = ReadLe32(d + 4);
    const std::uint32_t height = ReadLe32(d + 8), width = ReadLe32(d + 12);
    const std::uint32_t filePitch = ReadLe32(d + 16);
    // The pixel format sits at offset 72 of the description.
    const std::uint8_t* pf = d + 72;
    const std::uint32_t pixelFlags = ReadLe32(pf + 4), fourCC = ReadLe32(pf + 8);
    std::uint32_t bitCount, masks[4];
    if ((pixelFlags & ~kPixelAlpha) == kPixelRgb) {
        bitCount = ReadLe32(pf + 12);
        for (int i = 0; i < 4; ++i) masks[i] = ReadLe32(pf + 16 + 4 * i);
        if ((pixelFlags & kPixelAlpha) == 0) masks[3] = 0;
    } else if (pixelFlags == kPixelFourCC) {
        const DdsFormatRow* row = FindDdsFormat(fourCC);
        if (row == nullptr) return -1;  // compressed or unknown
        bitCount = row->bitCount;
        masks[0] = row->redMask, masks[1] = row->greenMask, masks[2] = row->blueMask, masks[3] = row->alphaMask;
    } else {
        return -1;
    }
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return Damaged("bit count");
    const std::uint32_t rowBytes = bitCount / 8 * width;
    const std::uint32_t pitch = (flags & kFlagPitch) ? filePitch : rowBytes;
    // A pitch shorter than a row would make every reader run past the rows.
    if (pitch < rowBytes) return Damaged("pitch");
    const std::size_t bytes = CheckedImageBytes(width, height, pitch);
    if (bytes == 0) return Damaged("size");
    const std::int64_t length = StreamLength(stream);
    if (length < 0 || static_cast<std::uint64_t>(length) < 4 + kDescriptionSize + bytes) return Damaged("pixels");
    std::uint8_t* pixels = AllocImageBuffer(bytes, false);
    if (pixels == nullptr) return -1;
    if (!StreamReadExact(stream, pixels, bytes)) {
        KV_FREE(pixels);
        return Damaged("pixels");
    }
    std::memset(&image->colorFormat, 0, sizeof image->colorFormat);
    BuildColorFormat(&image->colorFormat, static_cast<int>(bitCount), masks[0], masks[1], masks[2], masks[3]);
    SetImagePixels(image, width, height, pitch, pixels);
    return 0;
}
