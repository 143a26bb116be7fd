// TGA: colour-mapped and true-colour images, plain or run-length encoded,
// in any of the four orientations, delivered top row first, left to right.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/image_loader.h"
#include "graphics/image/image_loader_io.h"

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kFooterSize = 26;
constexpr std::uint32_t kMaxTgaSide = 4095;

struct TgaHeader {
    std::uint8_t idLength, colorMapType, imageType;
    std::uint16_t mapFirst, mapLength;
    std::uint8_t mapEntryBits;
    std::uint16_t xOrigin, yOrigin, width, height;
    std::uint8_t pixelDepth, descriptor;
};

int Damaged(const char* what) {
    WriteLogFormat("ＴＧＡファイルが壊れています(%s)", what);
    return -1;
}

bool HasFooter(StreamData* stream, std::int64_t length) {
    if (length < static_cast<std::int64_t>(kHeaderSize + kFooterSize)) return false;
    std::uint8_t footer[kFooterSize];
    if (!StreamSeekTo(stream, length - static_cast<std::int64_t>(kFooterSize)) ||
        !StreamReadExact(stream, footer, sizeof footer))
        return false;
    return std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 && ReadLe32(footer) == 0;
}

// Unpacks RLE packets of `bytes`-sized values until `count` values are
// written; false when the data ends first.
bool DecodeTgaRle(const std::vector<std::uint8_t>& data, std::size_t bytes, std::size_t count, std::uint8_t* out) {
    std::size_t at = 0, written = 0;
    while (written < count) {
        if (at >= data.size()) return false;
        const std::uint8_t packet = data[at++];
        const std::size_t run = std::min<std::size_t>((packet & 0x7F) + 1u, count - written);
        if (packet & 0x80) {
            if (at + bytes > data.size()) return false;
            for (std::size_t i = 0; i < run; ++i) std::memcpy(out + (written + i) * bytes, data.data() + at, bytes);
            at += bytes;
        } else {
            if (at + run * bytes > data.size()) return false;
            std::memcpy(out + written * bytes, data.data() + at, run * bytes);
            // A packet cut short at the image's end still owns its values.
            at += ((packet & 0x7F) + 1u) * bytes;
        }
        written += run;
    }
    return true;
}

void SetTgaFormat(int bits, ColorFormatDesc* format) {
    std::memset(format, 0, sizeof *format);
    if (bits == 16) {
        BuildColorFormat(format, 16, 0x7C00, 0x03E0, 0x001F, 0);
    } else if (bits == 24) {
        BuildColorFormat(format, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    } else {
        BuildColorFormat(format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    }
}

}  // namespace

int LoadTgaImage(StreamData* stream, GraphImage* image) {
    const std::int64_t length = StreamLength(stream);
    if (length < static_cast<std::int64_t>(kHeaderSize)) return -1;
    const bool footer = HasFooter(stream, length);
    std::uint8_t raw[kHeaderSize];
    if (!StreamSeekTo(stream, 0) || !StreamReadExact(stream, raw, sizeof raw)) return -1;
    const TgaHeader h = {raw[0],           raw[1],           raw[2],           ReadLe16(raw + 3), ReadLe16(raw + 5),
                         raw[7],           ReadLe16(raw + 8), ReadLe16(raw + 10), ReadLe16(raw + 12),
                         ReadLe16(raw + 14), raw[16],        raw[17]};
    const bool mapped = h.imageType == 1 || h.imageType == 9;
    const bool rle = h.imageType == 9 || h.imageType == 10;
    if (h.imageType != 1 && h.imageType != 2 && h.imageType != 9 && h.imageType != 10) return -1;
    if (h.xOrigin != 0 || h.yOrigin != 0) return -1;
    if (h.width == 0 || h.height == 0 || h.width > kMaxTgaSide || h.height > kMaxTgaSide) return -1;
    const int bits = mapped ? h.mapEntryBits : h.pixelDepth;
    if (bits != 16 && bits != 24 && bits != 32) return -1;
    // Indexes wider than a byte, or a map past 256 entries, do not fit the
    // 256-entry map.
    if (mapped && (h.pixelDepth != 8 || h.colorMapType != 1 || h.mapFirst + h.mapLength > 256))
        return Damaged("colour map");

    const std::size_t bytesPerPixel = static_cast<std::size_t>(bits) / 8;
    const std::uint32_t pitch = h.width * static_cast<std::uint32_t>(bytesPerPixel);
    const std::size_t bytes = CheckedImageBytes(h.width, h.height, pitch);
    const std::size_t count = static_cast<std::size_t>(h.width) * h.height;

    // The image ID sits between the header and the colour map.
    if (!StreamSeekTo(stream, static_cast<std::int64_t>(kHeaderSize) + h.idLength)) return Damaged("image ID");
    std::vector<std::uint8_t> colorMap(256 * 4, 0);
    if (h.colorMapType == 1) {
        const std::size_t entryBytes = (h.mapEntryBits + 7u) / 8;
        std::vector<std::uint8_t> entries(h.mapLength * entryBytes);
        if (!StreamReadExact(stream, entries.data(), entries.size())) return Damaged("colour map");
        // A true-colour file may carry a map it does not use: skipped.
        if (mapped && !entries.empty())
            std::memcpy(colorMap.data() + h.mapFirst * bytesPerPixel, entries.data(), entries.size());
    }

    // What the file holds per pixel: an index, or the pixel itself. The file
    // must hold at least what that many values take before anything is
    // allocated for them: a header alone can claim 4095 x 4095 pixels.
    const std::size_t storedBytes = mapped ? 1 : bytesPerPixel;
    const std::int64_t here = StreamPosition(stream);
    const std::int64_t end = length - (footer ? static_cast<std::int64_t>(kFooterSize) : 0);
    if (here < 0 || end < here) return Damaged("data");
    const std::uint64_t available = static_cast<std::uint64_t>(end - here);
    // A packet gives at most 128 values and takes a byte and one value.
    const std::uint64_t needed = rle ? (count + 127) / 128 * (1 + storedBytes) : count * storedBytes;
    if (available < needed) return Damaged("pixel data shorter than the header says");
    std::vector<std::uint8_t> stored(count * storedBytes);
    if (rle) {
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(available));
        if (!StreamReadExact(stream, packed.data(), packed.size()) ||
            !DecodeTgaRle(packed, storedBytes, count, stored.data()))
            return Damaged("data");
    } else if (!StreamReadExact(stream, stored.data(), stored.size())) {
        return Damaged("data");
    }

    std::uint8_t* pixels = AllocImageBuffer(bytes, false);
    if (pixels == nullptr) return -1;
    // Stored order to top-first, left to right: bit 5 clear means the
    // bottom row comes first, bit 4 set that rows run right to left.
    const bool bottomUp = (h.descriptor & 0x20) == 0, rightToLeft = (h.descriptor & 0x10) != 0;
    for (std::uint32_t y = 0; y < h.height; ++y) {
        const std::size_t storedY = bottomUp ? h.height - 1u - y : y;
        for (std::uint32_t x = 0; x < h.width; ++x) {
            const std::size_t storedX = rightToLeft ? h.width - 1u - x : x;
            const std::size_t at = storedY * h.width + storedX;
            const std::uint8_t* from = mapped ? colorMap.data() + stored[at] * bytesPerPixel
                                              : stored.data() + at * bytesPerPixel;
            std::memcpy(pixels + static_cast<std::size_t>(y) * pitch + x * bytesPerPixel, from, bytesPerPixel);
        }
    }
    SetTgaFormat(bits, &image->colorFormat);
    SetImagePixels(image, h.width, h.height, pitch, pixels);
    return 0;
}
