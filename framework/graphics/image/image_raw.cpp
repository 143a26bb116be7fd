// The framework's own raw "BGRA" format: a 16-byte header (magic, channel
// bits, width, height) and unpadded B, G, R, A pixels, top row first, with 8
// or 16 bits per channel.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/image_loader.h"
#include "graphics/image/image_loader_io.h"

namespace {
constexpr std::uint32_t kChannels8 = 0x08080808;
constexpr std::uint32_t kChannels16 = 0x10101010;
}  // namespace

int LoadBgraImage(StreamData* stream, GraphImage* image) {
    std::uint8_t header[16];
    if (!StreamReadExact(stream, header, sizeof header) || std::memcmp(header, "BGRA", 4) != 0) return -1;
    const std::uint32_t bits = ReadLe32(header + 4);
    const std::uint32_t width = ReadLe32(header + 8), height = ReadLe32(header + 12);
    if (bits != kChannels8 && bits != kChannels16) return -1;
    const std::size_t bytes = CheckedImageBytes(width, height, static_cast<std::uint64_t>(width) * 4);
    if (bytes == 0) {
        WriteLogFormat("ＢＧＲＡファイルのサイズが不正です(%u x %u)", width, height);
        return -1;
    }
    // A file cannot hold more pixels than it has bytes: checked before the
    // buffer is made, so a damaged size never allocates much.
    const std::int64_t length = StreamLength(stream);
    const std::uint64_t needed = static_cast<std::uint64_t>(bytes) * (bits == kChannels16 ? 2 : 1);
    if (length < 0 || static_cast<std::uint64_t>(length) < 16 + needed) {
        WriteLogText("ＢＧＲＡファイルが途中で終わっています\n");
        return -1;
    }
    std::uint8_t* pixels = AllocImageBuffer(bytes, false);
    if (pixels == nullptr) return -1;
    bool ok = true;
    if (bits == kChannels8) {
        ok = StreamReadExact(stream, pixels, bytes);
    } else {
        // Row by row, keeping the high byte of each little-endian channel.
        std::uint8_t* row = static_cast<std::uint8_t*>(KV_ALLOC(static_cast<std::size_t>(width) * 8));
        ok = row != nullptr;
        for (std::uint32_t y = 0; ok && y < height; ++y) {
            ok = StreamReadExact(stream, row, static_cast<std::size_t>(width) * 8);
            std::uint8_t* out = pixels + static_cast<std::size_t>(y) * width * 4;
            for (std::uint32_t i = 0; ok && i < width * 4; ++i) out[i] = row[i * 2 + 1];
        }
        KV_FREE(row);
    }
    if (!ok) {
        KV_FREE(pixels);
        return -1;
    }
    std::memset(&image->colorFormat, 0, sizeof image->colorFormat);
    BuildColorFormat(&image->colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    SetImagePixels(image, width, height, width * 4, pixels);
    return 0;
}
