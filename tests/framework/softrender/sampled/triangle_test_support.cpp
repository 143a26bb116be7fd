#include "framework/softrender/sampled/triangle_test_support.h"

#include <algorithm>
#include <sstream>

#include "framework/softrender/sampled/sampled_reference.h"
#include "softrender/sampled/triangle_memimg.h"

namespace triangle_test {

namespace po = pixel_oracle;
namespace ref = blit_reference;
namespace tr = triangle_reference;
using blit_test::ImageLayout;

namespace {

void AddUnique(std::vector<std::uint32_t>* values, std::uint32_t v) {
    if (std::find(values->begin(), values->end(), v) == values->end()) values->push_back(v);
}

}  // namespace

std::vector<std::vector<tr::Corner>> QuadTriangles(const std::int32_t c[8], int w, int h) {
    const tr::Corner q[4] = {{c[0], c[1], 0, 0}, {c[2], c[3], w, 0}, {c[4], c[5], 0, h}, {c[6], c[7], w, h}};
    return {{q[0], q[1], q[2]}, {q[1], q[2], q[3]}};
}

::testing::AssertionResult DrawMatches(blit_test::TestImage& dest, const Draw& draw, Tally* tally) {
    const std::vector<std::uint32_t> before = dest.Pixels();
    MEMIMG* tex = draw.texture != nullptr ? draw.texture->image() : nullptr;
    MEMIMG* mask = draw.mask != nullptr ? draw.mask->image() : nullptr;
    if (draw.quad) {
        DrawQuadMemImg(dest.image(), tex, draw.corners, draw.transparent, mask, draw.settings);
    } else {
        TriangleVertex v[3];
        for (int i = 0; i < 3; ++i)
            v[i] = TriangleVertex{draw.triangle[i].x, draw.triangle[i].y, draw.triangle[i].u, draw.triangle[i].v};
        DrawTriangleMemImg(dest.image(), tex, v, draw.transparent, mask, draw.colour, draw.settings);
    }

    const int texW = tex != nullptr ? tex->width : 0, texH = tex != nullptr ? tex->height : 0;
    std::vector<std::vector<tr::Corner>> pieces;
    if (draw.quad) {
        // Only a quad whose widened box reaches the draw area is drawn.
        const RECT& area = draw.settings.drawArea;
        const std::int32_t* c = draw.corners;
        const std::int64_t minX = std::min({c[0], c[2], c[4], c[6]}), maxX = std::max({c[0], c[2], c[4], c[6]});
        const std::int64_t minY = std::min({c[1], c[3], c[5], c[7]}), maxY = std::max({c[1], c[3], c[5], c[7]});
        if (minX - 2 < std::min<int>(area.right, dest.width()) && maxX + 4 > std::max<int>(area.left, 0) &&
            minY - 2 < std::min<int>(area.bottom, dest.height()) && maxY + 4 > std::max<int>(area.top, 0))
            pieces = QuadTriangles(c, texW, texH);
    } else {
        pieces.push_back({draw.triangle[0], draw.triangle[1], draw.triangle[2]});
    }
    return PiecesMatch(dest, before, pieces, draw, tally);
}

::testing::AssertionResult PiecesMatch(blit_test::TestImage& dest, const std::vector<std::uint32_t>& before,
                                       const std::vector<std::vector<tr::Corner>>& pieces, const Draw& draw,
                                       Tally* tally) {
    MEMIMG* tex = draw.texture != nullptr ? draw.texture->image() : nullptr;
    MEMIMG* mask = draw.mask != nullptr ? draw.mask->image() : nullptr;
    const int texW = tex != nullptr ? tex->width : 0, texH = tex != nullptr ? tex->height : 0;
    const int width = dest.width(), height = dest.height();
    const RECT& area = draw.settings.drawArea;
    const tr::Clip clip{std::max<int>(area.left, 0), std::max<int>(area.top, 0), std::min<int>(area.right, width),
                        std::min<int>(area.bottom, height)};
    std::vector<tr::Oracle> oracles;
    for (const auto& p : pieces) oracles.emplace_back(p.data(), texW, texH, clip);

    const ImageLayout layout = draw.texture != nullptr ? draw.texture->layout()
                                                       : (dest.image()->kind == 1 ? ImageLayout::k32 : ImageLayout::k16);
    const ref::BlitSettings s = blit_test::ReferenceSettings(layout, draw.settings, mask != nullptr, draw.transparent);
    // A flat triangle brightens its colour through the product rows, then
    // draws it as the fill does (its own brightening then left out).
    po::ConstantColourDraw flat;
    flat.kind = s.kind;
    flat.mode = s.mode;
    flat.param = s.param;
    flat.bright = 0xFFFFFF;
    flat.colour = po::BrightenSource(s.kind, s.kind == po::PixelKind::k32 ? draw.colour : (draw.colour & 0xFFFF),
                                     s.bright);

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t old = before[static_cast<std::size_t>(y * width + x)];
            std::vector<std::uint32_t> values{old};
            bool ambiguous = false, drawn = false;
            for (const tr::Oracle& oracle : oracles) {
                const tr::PixelCover c = oracle.At(x, y);
                if (c.maxDraws == 0) continue;
                drawn = true;
                ambiguous = ambiguous || (tex != nullptr ? c.ambiguous() : c.minDraws != c.maxDraws);
                // Every value the pixel may hold after m draws, for each m
                // the coverage allows.
                std::vector<std::uint32_t> now = values, result;
                for (int m = 0; m <= c.maxDraws; ++m) {
                    if (m >= c.minDraws)
                        for (std::uint32_t v : now) AddUnique(&result, v);
                    std::vector<std::uint32_t> next;
                    for (std::uint32_t v : now) {
                        if (tex == nullptr) {
                            AddUnique(&next, po::ConstantColourPixel(flat, v));
                            continue;
                        }
                        if (c.outsidePossible) AddUnique(&next, v);
                        for (int i = 0; i < c.count; ++i) {
                            const std::uint32_t w =
                                mask != nullptr ? po::MaskWeight(kMaskParam, kMaskRange, draw.mask->At(c.col[i], c.row[i])) : 0;
                            AddUnique(&next, sampled_reference::ExpectedPixel(s, draw.texture->At(c.col[i], c.row[i]),
                                                                              draw.texture->key(), w, v));
                        }
                    }
                    now = next;
                }
                values = result;
            }
            if (drawn) ++tally->drawn;
            if (ambiguous) ++tally->ambiguous;
            const std::uint32_t got = dest.Get(x, y);
            if (std::find(values.begin(), values.end(), got) == values.end()) {
                std::ostringstream msg;
                msg << "dest (" << x << ", " << y << ") is 0x" << std::hex << got << ", allowed";
                for (std::uint32_t v : values) msg << " 0x" << v;
                msg << " (was 0x" << old << ")" << std::dec << "; layout " << static_cast<int>(layout)
                    << (draw.quad ? " quad" : " triangle");
                for (const auto& p : pieces)
                    for (const tr::Corner& c : p) msg << " (" << c.x << "," << c.y << " ; " << c.u << "," << c.v << ")";
                msg << " mode " << s.mode << " param " << s.param << " bright 0x" << std::hex << s.bright << std::dec
                    << " mask " << s.mask << " transparent " << s.transparent << " area " << area.left << ","
                    << area.top << "-" << area.right << "," << area.bottom;
                return ::testing::AssertionFailure() << msg.str();
            }
        }
    if (!dest.GuardsIntact()) return ::testing::AssertionFailure() << "a guard byte of the destination changed";
    return ::testing::AssertionSuccess();
}

}  // namespace triangle_test
