// Source images for the unscaled blit's tests: test images whose pixels come
// in runs of transparent, opaque and (for alpha images) partly transparent
// pixels, with a palette, a colour key and, on request, a run list built by
// the image's own run-list writer.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "framework/softrender/blit_reference.h"
#include "framework/softrender/soft_test_image.h"
#include "graphics/image/memimg.h"
#include "softrender/soft_draw_settings.h"

namespace blit_test {

using soft_test::ImageLayout;
using soft_test::TestImage;

// Every kind of source the rasterisers draw from.
constexpr ImageLayout kSourceLayouts[] = {ImageLayout::k16,         ImageLayout::k32,     ImageLayout::kPaletted16,
                                          ImageLayout::kPaletted32, ImageLayout::kAlpha16, ImageLayout::kAlpha32};

// The blend-mask table the sweeps draw with: a border parameter and range
// that give weights across the whole range, 0 and 255 included.
constexpr std::uint32_t kSweepMaskParam = 100, kSweepMaskRange = 90;

bool Is32(ImageLayout layout);
bool IsPaletted(ImageLayout layout);
bool HasAlpha(ImageLayout layout);
ImageLayout DestLayoutFor(ImageLayout source);
pixel_oracle::PixelKind KindOf(ImageLayout layout);
// The reference's settings for a draw from a source of the layout.
blit_reference::BlitSettings ReferenceSettings(ImageLayout layout, const SoftDrawSettings& settings, bool mask,
                                               int transparent);

class SourceImage {
public:
    // Random runs of pixels. The key is a value the pixels use, unless
    // keyOutOfRange, which gives 0xFFFFFFFF: then the highest index and the
    // 16-bit value 0xFFFF occur in the image but are not transparent.
    SourceImage(ImageLayout layout, int width, int height, std::uint32_t seed, bool keyOutOfRange = false);

    MEMIMG* image() { return pixels_.image(); }
    TestImage& pixels() { return pixels_; }
    ImageLayout layout() const { return layout_; }
    std::uint32_t key() const { return key_; }

    // Builds the run list from the current pixels and marks it valid.
    void BuildRunList();
    const std::vector<std::uint8_t>& runList() const { return runList_; }

    // The pixel as the blit's loops see it.
    blit_reference::SourcePixel At(int x, int y) const;
    // Sets pixel (x, y) from a colour (and alpha, for alpha images).
    void SetColour(int x, int y, std::uint32_t colour, std::uint32_t alpha = 255);

private:
    ImageLayout layout_;
    TestImage pixels_;
    std::uint32_t key_ = 0;
    std::vector<std::uint8_t> runList_;
};

// A blend mask of one byte per pixel, random.
class MaskImage {
public:
    MaskImage(int width, int height, std::uint32_t seed);
    MEMIMG* image() { return pixels_.image(); }
    std::uint8_t At(int x, int y) const { return static_cast<std::uint8_t>(pixels_.Get(x, y)); }
    void Set(int x, int y, std::uint8_t v) { pixels_.Set(x, y, v); }

private:
    TestImage pixels_;
};

}  // namespace blit_test
