#include "softrender/memimg_layout.h"

#include <algorithm>
#include <cstring>

#include "softrender/packed_math.h"

bool MemImgUsable(const MEMIMG* image) {
    return image != nullptr && image->magic == kMemImgMagic && image->pixels != nullptr &&
           image->colorFormat != nullptr;
}

int MemImgStepBytes(const MEMIMG& image) {
    if (image.paletted) return 1;
    if (image.kind == kMemImgKind888) return 4;
    return image.alphaChannel ? 4 : 2;
}

bool MemImgStepMatchesFormat(const MEMIMG& image) {
    return image.colorFormat != nullptr && image.colorFormat->bytesPerPixel == MemImgStepBytes(image);
}

BlitLoopKind PlainLoopKindFor(const MEMIMG& source, std::uint32_t mode, bool mask, std::uint32_t bright,
                              int transparent) {
    const bool paletted = source.paletted != 0;
    BlitLoopKind kind;
    if (source.kind == kMemImgKind888) kind.family = paletted ? BlitFamily::kPaletted32 : BlitFamily::kDirect32;
    else kind.family = paletted ? BlitFamily::kPaletted16 : BlitFamily::kDirect16;
    kind.mode = static_cast<std::uint8_t>(mode);
    kind.mask = mask;
    kind.bright = !IsBrightWhite(bright);
    kind.alpha = !paletted && source.alphaChannel != 0;
    kind.trans = transparent != 0;
    return kind;
}

void CopyPaletteForDraw(const MEMIMG& image, std::uint32_t out[256]) {
    std::memset(out, 0, 256 * sizeof *out);
    if (image.palette == nullptr) return;
    const std::uint32_t count = std::min<std::uint32_t>(image.paletteCount, 256);
    const auto* bytes = static_cast<const std::uint8_t*>(image.palette);
    for (std::uint32_t i = 0; i < count; ++i)
        out[i] = image.kind == kMemImgKind888 ? LoadPixel32(bytes + i * 4) : LoadPixel16(bytes + i * 2);
}
