// Which pixels a triangle covers, how often, and which texel each takes,
// worked out independently of the rasteriser.
//
// Coverage comes from exact rational edges: the corners sit at pixel
// centres, each row from the top corner's down to the one above the bottom
// corner's is a span, and each end of a span is its edge's exact x at that
// row rounded half up to a column (truncated toward zero, as the drawing
// rules convert every position). Both ends are drawn. The rules that place
// rows are taken as stated: a corner above row 0 shifts the rows down by one
// (int(-0.5) = 0), and when the left edge turns at the middle corner its
// rows restart from the middle corner's row, each row drawn once: the upper
// rows stop above it. The rasteriser steps its edges
// by slopes truncated to 18 fraction bits; a span end whose exact position
// lies within that error of a rounding threshold may fall either way.
//
// Texels come from the affine map through the three corners, evaluated in
// double precision at the pixel, from the corner with the least x (the
// first such corner) as the drawing rules fix it. Where the rasteriser's
// gradients, truncated to 18 fraction bits, move the position across a
// texel edge, either texel is allowed.
#pragma once

#include <cstdint>
#include <vector>

namespace triangle_reference {

struct Corner {
    std::int32_t x, y, u, v;
};

struct Clip {
    int left, top, right, bottom;  // right and bottom exclusive
};

// What a pixel may become in one triangle: drawn between minDraws and
// maxDraws times, each time from one of the listed texels; a texel outside
// the texture (or a draw count of 0) leaves it alone.
struct PixelCover {
    int minDraws = 0, maxDraws = 0;
    int count = 0;
    int col[4] = {}, row[4] = {};
    bool outsidePossible = false;  // a candidate texel lies outside the texture
    bool ambiguous() const { return maxDraws != minDraws || count + (outsidePossible ? 1 : 0) > 1; }
};

class Oracle {
public:
    // textureWidth and textureHeight bound the texels; for a flat triangle
    // pass 0 and read only the draw counts.
    Oracle(const Corner corners[3], int textureWidth, int textureHeight, const Clip& clip);
    PixelCover At(int x, int y) const;
    bool drawsNothing() const { return empty_; }

private:
    struct Span {
        int row;
        int firstSure, lastSure;  // columns surely drawn
        int firstMaybe, lastMaybe;  // columns possibly drawn
    };
    void Texels(int x, int y, PixelCover* c) const;

    Corner c_[3];
    int texW_, texH_;
    Clip clip_;
    bool empty_ = false;
    std::vector<Span> spans_;
    // The texture map: u = baseU + (x - baseX) * uX + (y - baseY) * uY.
    double baseX_ = 0, baseY_ = 0, baseU_ = 0, baseV_ = 0;
    double uX_ = 0, uY_ = 0, vX_ = 0, vY_ = 0;
    double uXError_ = 0, uYError_ = 0, vXError_ = 0, vYError_ = 0;  // lost by truncating to 18 bits
};

}  // namespace triangle_reference
