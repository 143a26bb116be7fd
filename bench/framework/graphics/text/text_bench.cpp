// Glyphs per second of the text the game draws: a line of the shop in the
// default font (Verdana 16, thickness 9) on the headless 640 x 480 5:6:5 back
// screen, once with every glyph already in the cache and once with the cache
// emptied before each line, so every glyph is rendered through the GDI
// stand-in first. Beside them FreeType's own FT_Load_Glyph + FT_Render_Glyph
// of the same glyphs of the same face at the same size, with no placing and
// no drawing at all: the rate below which uncached text cannot go. Items are
// glyphs.
#include <benchmark/benchmark.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>

#include "api/framework_init.h"
#include "graphics/draw/draw_state.h"
#include "graphics/text/font.h"
#include "kelvo/api.h"
#include "platform/backend.h"

namespace {

// 40 characters, 34 of them drawn; the shop's widest kind of line.
constexpr char kLine[] = "morning star    ATK 170, STR 5, LUK 10 ";
constexpr int kLineGlyphs = sizeof kLine - 1;

int StartFramework() {
    static int font = [] {
        PlatformSelectBackend(PlatformBackend::Headless);
        ApiSetLogEnabled(0);
        if (ApiInitFramework() != 0) return -1;
        ApiSelectDrawTarget(kDrawTargetBack);
        ApiSetDefaultFontFace("Verdana", -1);
        ApiSetDefaultFontSize(16);
        ApiSetDefaultFontThickness(9);
        return FetchDefaultFontHandle();
    }();
    return font;
}

void BM_TextFromCache(benchmark::State& state) {
    const int font = StartFramework();
    if (font < 0) return state.SkipWithError("no framework");
    const std::uint32_t white = ApiMakeColorCode(255, 255, 255);
    DrawTextWithFont(10, 100, kLine, white, font, 0, 0);
    for (auto _ : state) benchmark::DoNotOptimize(DrawTextWithFont(10, 100, kLine, white, font, 0, 0));
    state.SetItemsProcessed(state.iterations() * kLineGlyphs);
}
BENCHMARK(BM_TextFromCache);

// Through the public entry, formatting and the lock included, as the game
// calls it.
void BM_TextFormattedEntry(benchmark::State& state) {
    if (StartFramework() < 0) return state.SkipWithError("no framework");
    const std::uint32_t white = ApiMakeColorCode(255, 255, 255);
    for (auto _ : state) benchmark::DoNotOptimize(ApiDrawTextFormatted(10, 100, white, "%s", kLine));
    state.SetItemsProcessed(state.iterations() * kLineGlyphs);
}
BENCHMARK(BM_TextFormattedEntry);

void BM_TextUncached(benchmark::State& state) {
    const int font = StartFramework();
    if (font < 0) return state.SkipWithError("no framework");
    const std::uint32_t white = ApiMakeColorCode(255, 255, 255);
    FontRecord* record = LookupFont(font);
    for (auto _ : state) {
        ClearFontCache(record);
        benchmark::DoNotOptimize(DrawTextWithFont(10, 100, kLine, white, font, 0, 0));
    }
    state.SetItemsProcessed(state.iterations() * kLineGlyphs);
}
BENCHMARK(BM_TextUncached);

// FreeType alone: the glyphs of the line, loaded and rendered to 1 bit, from
// the face fontconfig gives for Verdana bold, at the pixel size the stand-in
// uses for a 16-pixel cell (14).
void BM_FreeTypeRenderGlyph(benchmark::State& state) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FcInit();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Verdana:weight=210"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    if (match == nullptr || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch ||
        FT_Init_FreeType(&library) != 0 || FT_New_Face(library, reinterpret_cast<char*>(file), 0, &face) != 0)
        return state.SkipWithError("no face");
    FT_Set_Pixel_Sizes(face, 0, 14);
    FT_UInt indexes[kLineGlyphs];
    for (int i = 0; i < kLineGlyphs; ++i) indexes[i] = FT_Get_Char_Index(face, static_cast<unsigned char>(kLine[i]));
    for (auto _ : state) {
        for (FT_UInt index : indexes) {
            FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO);
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLineGlyphs);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
}
BENCHMARK(BM_FreeTypeRenderGlyph);

}  // namespace
