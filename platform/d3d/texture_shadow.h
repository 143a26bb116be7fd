// A texture as the straight loops read it when it is drawn onto one kind of
// target: every texel already in the target's pixel format, and each row
// cut into runs of texels whose alpha is 0, 255 or in between. A keyed
// sprite drawn 1:1 is then a copy of its opaque runs with the clear runs
// stepped over; at any other step its opaque texels are picked from the
// row without a conversion. The device keeps it with the texture surface
// until the texels change.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/display.h"

enum class TexelAlpha : std::uint8_t { Clear, Opaque, Partial };

struct TexelRun {
    std::uint16_t start, end;  // texel columns [start, end)
    TexelAlpha alpha;
};

class TextureShadow {
public:
    TextureShadow(const std::uint8_t* bits, int pitch, int width, int height, const PlatformPixelLayout& texture,
                  const PlatformPixelLayout& target);

    bool MadeFor(const PlatformPixelLayout& texture, const PlatformPixelLayout& target) const {
        return texture == texture_ && target == target_;
    }
    int width() const { return width_; }
    int height() const { return height_; }
    // Row y of texels as target pixels.
    const std::uint8_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * rowBytes_; }
    // The runs of row y, left to right, covering the whole row.
    const TexelRun* RunsBegin(int y) const { return runs_.data() + firstRun_[static_cast<std::size_t>(y)]; }
    const TexelRun* RunsEnd(int y) const { return runs_.data() + firstRun_[static_cast<std::size_t>(y) + 1]; }
    // The runs of row y without its clear texels: each the longest run of
    // texels none of which is clear, Opaque when all are, else Partial.
    const TexelRun* SolidBegin(int y) const { return solid_.data() + firstSolid_[static_cast<std::size_t>(y)]; }
    const TexelRun* SolidEnd(int y) const { return solid_.data() + firstSolid_[static_cast<std::size_t>(y) + 1]; }
    // Bytes held, for the memory the shadows take.
    std::size_t Bytes() const;

private:
    PlatformPixelLayout texture_, target_;
    int width_, height_;
    std::size_t rowBytes_;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint32_t> firstRun_, firstSolid_;  // per row, and one past the last
    std::vector<TexelRun> runs_, solid_;
};
