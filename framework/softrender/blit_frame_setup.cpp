#include "softrender/blit_frame_setup.h"

#include <algorithm>
#include <cstring>

#include "softrender/packed_math.h"
#include "softrender/render_tables.h"

namespace {

bool Usable(const MEMIMG* image) {
    return image != nullptr && image->magic == kMemImgMagic && image->pixels != nullptr &&
           image->colorFormat != nullptr;
}

}  // namespace

void CopyBlitPalette(const MEMIMG& src, std::uint32_t out[256]) {
    std::memset(out, 0, 256 * sizeof *out);
    if (src.palette == nullptr) return;
    const std::uint32_t count = std::min<std::uint32_t>(src.paletteCount, 256);
    const auto* bytes = static_cast<const std::uint8_t*>(src.palette);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (src.kind == kMemImgKind888) {
            out[i] = LoadPixel32(bytes + i * 4);
        } else {
            out[i] = LoadPixel16(bytes + i * 2);
        }
    }
}

int BlitLayoutBytes(const MEMIMG& image) {
    if (image.paletted) return 1;
    if (image.kind == kMemImgKind888) return 4;
    return image.alphaChannel ? 4 : 2;
}

bool BlitImagesDrawable(const MEMIMG* dest, const MEMIMG* src, const MEMIMG* blendMask) {
    if (!Usable(dest) || !Usable(src)) return false;
    if (blendMask != nullptr && blendMask->pixels == nullptr) return false;
    if (dest->kind != src->kind) return false;
    if (dest->paletted || dest->alphaChannel) return false;
    if (src->kind != kMemImgKind565 && src->kind != kMemImgKind888) return false;
    // The loops step by fixed pixel sizes; an image whose format disagrees
    // would be walked past its rows.
    return dest->colorFormat->bytesPerPixel == BlitLayoutBytes(*dest) &&
           src->colorFormat->bytesPerPixel == BlitLayoutBytes(*src);
}

bool BlitKindFor(const MEMIMG& src, const SoftDrawSettings& settings, int transparent, bool mask,
                 BlitLoopKind* kind) {
    std::uint32_t mode = settings.blendMode;
    const std::uint32_t p = std::min<std::uint32_t>(settings.blendParam, 255);
    if (mode > 4) return false;
    if (mode == 1 && p == 255) mode = 0;  // alpha at full weight is the copy
    if (mode >= 1 && mode <= 3 && p == 0) return false;

    const bool is32 = src.kind == kMemImgKind888;
    const bool paletted = src.paletted != 0;
    *kind = BlitLoopKind{};
    kind->family = is32 ? (paletted ? BlitFamily::kPaletted32 : BlitFamily::kDirect32)
                        : (paletted ? BlitFamily::kPaletted16 : BlitFamily::kDirect16);
    kind->mode = static_cast<std::uint8_t>(mode);
    kind->mask = mask;
    kind->bright = !IsBrightWhite(settings.brightColor);
    kind->alpha = !paletted && src.alphaChannel != 0;
    kind->trans = transparent != 0;
    return true;
}

void DropUnmatchableKey(const MEMIMG& src, BlitLoopKind* kind) {
    const std::uint32_t widest = src.paletted ? 0xFF : (src.kind == kMemImgKind888 ? 0xFFFFFFFF : 0xFFFF);
    if (kind->trans && !kind->alpha && src.transparentColor > widest) kind->trans = false;
}

void FillBlitValues(const MEMIMG& src, const SoftDrawSettings& settings, bool mask, BlitFrame* frame) {
    const std::uint32_t p = std::min<std::uint32_t>(settings.blendParam, 255);
    frame->key = src.transparentColor;
    frame->param = p;
    frame->brightRed = BrightRed(settings.brightColor);
    frame->brightGreen = BrightGreen(settings.brightColor);
    frame->brightBlue = BrightBlue(settings.brightColor);
    frame->brightRowRed = ProductTable255[frame->brightRed].data();
    frame->brightRowGreen = ProductTable255[frame->brightGreen].data();
    frame->brightRowBlue = ProductTable255[frame->brightBlue].data();
    frame->paramRow = ProductTable255[p].data();
    frame->diffRow = BlendParamRow(p);
    frame->levelBlock = &LevelTable63[p / 4];
    if (mask) frame->maskWeights = MaskWeightTable.data();
    if (src.paletted) CopyBlitPalette(src, frame->palette);
}
