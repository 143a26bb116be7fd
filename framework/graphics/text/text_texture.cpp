// A font's glyph cache kept in a texture graphic while Direct3D draws: the
// cache cells are laid out as the texture's, every rendered glyph is copied
// from its memory cell into the texture as white with the glyph's coverage
// as alpha (an edged font keeps its edges in the right half), and text is
// drawn as parts of that graphic modulated by the text colour.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/graph_image.h"
#include "graphics/text/font.h"

namespace {

constexpr int kTextureCacheStart = 512;
constexpr int kTextureCacheMinSlots = 10;

// The creation settings of the cache graphic, put back afterwards.
struct CreationSettings {
    int defaultTransparency, createAlphaTest, createColorDepth, use3D;
    static CreationSettings Current() {
        const DrawState& s = g_DrawState;
        return {s.defaultTransparency, s.createAlphaTest, s.createColorDepth, s.use3D};
    }
    void Apply() const {
        DrawState& s = g_DrawState;
        s.defaultTransparency = defaultTransparency;
        s.createAlphaTest = createAlphaTest;
        s.createColorDepth = createColorDepth;
        s.use3D = use3D;
    }
};

// The coverage (0-255) of the glyph and of its edge at (x, y) of a cell.
void CellCoverage(const FontRecord& font, const std::uint8_t* cell, int pitch, int x, int y, int* glyph, int* edge) {
    *glyph = *edge = 0;
    const bool edged = (font.fontType & kFontTypeEdge) != 0;
    if (font.cacheBitsPerPixel == 1) {
        *glyph = (cell[static_cast<std::size_t>(y) * pitch + x / 8] >> (7 - x % 8) & 1) ? 255 : 0;
        return;
    }
    const int v = cell[static_cast<std::size_t>(y) * pitch + x];
    if (font.fontType & kFontTypeAntialias) {
        *glyph = (v & 15) * 17;
        if (edged) *edge = (v >> 4) * 17;
    } else if (edged) {
        *glyph = v == 1 ? 255 : 0;
        *edge = v == 2 ? 255 : 0;
    } else {
        *glyph = v ? 255 : 0;
    }
}

}  // namespace

int FontTextureCacheWanted() {
    if (g_DrawState.use3D != 1 || !IsDirect3DUp() || IsScreenMemImg()) return 0;
    const ColorFormatDesc* aa = GetFontTextureFormat(1, 0, 0, 0);
    const ColorFormatDesc* plain = GetFontTextureFormat(0, 1, 0, 0);
    return aa != nullptr && aa->depth == 16 && aa->alphaWidth == 4 && plain != nullptr && plain->depth == 16 &&
                   plain->alphaWidth == 1
               ? 1
               : 0;
}

int MakeFontTextureCache(FontRecord* font) {
    const int mw = font->maxCharWidth;
    if (mw <= 0) return -1;
    int width = kTextureCacheStart, height = kTextureCacheStart;
    auto slots = [&] { return (width / mw) * (height / mw); };
    while (slots() < kTextureCacheMinSlots) (width > height ? height : width) *= 2;
    // The memory cells take the texture's layout, so that a cell index
    // names the same place in both.
    const int rowBytes = (width * font->cacheBitsPerPixel + 7) / 8;
    auto* pixels = static_cast<std::uint8_t*>(KV_ALLOC_ZEROED(static_cast<std::size_t>(rowBytes) * height));
    if (pixels == nullptr) return -1;
    KV_FREE(font->cachePixels);
    font->cachePixels = pixels;
    font->cacheRowBytes = rowBytes;
    font->cacheWidth = width;
    font->cacheHeight = height;
    font->slotCount = std::min(slots(), kFontGlyphSlotCount);
    font->cellsPerColumn = height / mw;
    font->textureCache = 1;
    return EnsureFontTextureCache(font);
}

int EnsureFontTextureCache(FontRecord* font) {
    if (!font->textureCacheLost) return 0;
    font->textureCacheLost = 0;
    ReleaseFontTextureCache(font);
    const bool grey = (font->fontType & kFontTypeAntialias) != 0;
    const bool edged = (font->fontType & kFontTypeEdge) != 0;
    const CreationSettings saved = CreationSettings::Current();
    CreationSettings{grey ? 1 : 0, grey ? 0 : 1, 16, 1}.Apply();
    const HandleId graph =
        CreateGraphWithSurfaces(font->cacheWidth * (edged ? 2 : 1), font->cacheHeight, 1, grey ? 1 : 0, 0);
    saved.Apply();
    GraphRecord* record = LookupGraph(graph);
    if (record == nullptr || !record->textureGraph) {
        if (graph >= 0) ReleaseGraph(graph, 0);
        return -1;
    }
    font->textureCacheGraph = graph;
    LinkGraphLostFlag(graph, &font->textureCacheLost);
    FillGraphSurface3Ds(record, 255, 255, 255, 0);
    ClearFontCache(font);
    return 0;
}

void ReleaseFontTextureCache(FontRecord* font) {
    if (font->textureCacheGraph >= 0) {
        LinkGraphLostFlag(font->textureCacheGraph, nullptr);
        ReleaseGraph(font->textureCacheGraph, 0);
    }
    font->textureCacheGraph = font->textureCacheEdgeGraph = kNoHandle;
}

int UploadGlyphCell(FontRecord* font, int cellIndex) {
    GraphRecord* graph = LookupGraph(font->textureCacheGraph);
    if (graph == nullptr) return -1;
    const int mw = font->maxCharWidth;
    const int column = cellIndex / font->cellsPerColumn, row = cellIndex % font->cellsPerColumn;
    const int cellX = column * mw, cellY = row * mw;
    const std::uint8_t* cell = font->cachePixels + static_cast<std::size_t>(cellY) * font->cacheRowBytes;
    const bool edged = (font->fontType & kFontTypeEdge) != 0;
    // White everywhere; the coverage in the alpha. The edge half follows
    // the glyph half in the image.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(mw) * mw * 2);
    for (int y = 0; y < mw; ++y)
        for (int x = 0; x < mw; ++x) {
            int glyph = 0, edge = 0;
            CellCoverage(*font, cell, font->cacheRowBytes, cellX + x, y, &glyph, &edge);
            pixels[static_cast<std::size_t>(y) * mw * 2 + x] = static_cast<std::uint32_t>(glyph) << 24 | 0xFFFFFF;
            pixels[static_cast<std::size_t>(y) * mw * 2 + mw + x] = static_cast<std::uint32_t>(edge) << 24 | 0xFFFFFF;
        }
    GraphImage image{};
    BuildColorFormat(&image.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    image.width = static_cast<std::uint32_t>(mw * 2);
    image.height = static_cast<std::uint32_t>(mw);
    image.pitch = static_cast<std::uint32_t>(mw * 2 * 4);
    image.pixels = reinterpret_cast<std::uint8_t*>(pixels.data());
    if (WriteRectToGraphTextures(graph, &image, nullptr, RECT{0, 0, mw, mw}, cellX, cellY) < 0) return -1;
    if (edged && WriteRectToGraphTextures(graph, &image, nullptr, RECT{mw, 0, 2 * mw, mw}, font->cacheWidth + cellX,
                                          cellY) < 0)
        return -1;
    return 0;
}
