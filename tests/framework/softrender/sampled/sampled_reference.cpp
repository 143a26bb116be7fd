#include "framework/softrender/sampled/sampled_reference.h"

namespace sampled_reference {

namespace po = pixel_oracle;

std::uint32_t ExpectedPixel(const blit_reference::BlitSettings& s, const blit_reference::SourcePixel& texel,
                            std::uint32_t key, std::uint32_t weight, std::uint32_t d) {
    blit_reference::BlitSettings general = s;
    // The blit's run-list loops have neither special forms nor the 64-level
    // table: exactly the formulas these draws use.
    general.runList = true;
    general.mmx = false;
    const bool alpha = s.alphaChannel && !s.paletted;
    const bool alphaWeighs = alpha && (s.transparent == 0 || (texel.alpha != 0 && texel.alpha != 255));
    const std::uint32_t mode = s.mode;
    if (s.kind == po::PixelKind::k32 || s.mask || !alphaWeighs || (mode != 2 && mode != 3) || s.param == 0)
        return blit_reference::ExpectedPixel(general, texel, key, weight, d);

    // 16-bit add or subtract of an alpha-weighted texel without a mask:
    // each channel is first weighted by alpha, then brightened, then scaled
    // by the parameter.
    const po::Channels c = po::Split(s.kind, texel.colour);
    const auto term = [&](std::int64_t channel, std::uint32_t brightByte) {
        std::uint32_t i = static_cast<std::uint32_t>(channel * texel.alpha / 256);
        if ((s.bright & 0xFFFFFF) != 0xFFFFFF) i = po::Product255(brightByte, i);
        return static_cast<std::int64_t>(po::Product255(s.param, i));
    };
    po::Channels t;
    t.r = term(c.r, (s.bright >> 16) & 0xFF);
    t.g = term(c.g, (s.bright >> 8) & 0xFF);
    t.b = term(c.b, s.bright & 0xFF);
    const std::uint32_t packed = po::Join(s.kind, t);
    return mode == 2 ? po::AddPixels(s.kind, d, packed) : po::SubtractPixels(s.kind, d, packed);
}

}  // namespace sampled_reference
