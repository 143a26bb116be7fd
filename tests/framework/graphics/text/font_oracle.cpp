#include "framework/graphics/text/font_oracle.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>

struct OracleFace {
    std::string file;
    FT_Face face = nullptr;
    int ppem = 0;
    bool embolden = false;
};

namespace {

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        FT_Init_FreeType(&l);
        return l;
    }();
    return library;
}

std::string FileOf(const std::string& pattern) {
    FcInit();
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    std::string file;
    FcChar8* f = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &f) == FcResultMatch) file = reinterpret_cast<char*>(f);
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(p);
    return file;
}

}  // namespace

FontOracle::FontOracle(const std::vector<OracleFaceSpec>& specs, int cellHeight) {
    ok_ = true;
    for (const OracleFaceSpec& spec : specs) {
        auto* f = new OracleFace;
        faces_.push_back(f);
        f->embolden = spec.embolden;
        f->file = FileOf(spec.pattern);
        if (f->file.empty() || FT_New_Face(Library(), f->file.c_str(), 0, &f->face) != 0) {
            ok_ = false;
            continue;
        }
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f->face, FT_SFNT_OS2));
        const double extent = os2->usWinAscent + os2->usWinDescent;
        f->ppem = static_cast<int>(std::lround(cellHeight * f->face->units_per_EM / extent));
        FT_Set_Pixel_Sizes(f->face, 0, static_cast<FT_UInt>(f->ppem));
        if (faces_.size() == 1)
            ascent_ = static_cast<int>(std::lround(static_cast<double>(os2->usWinAscent) * f->ppem / f->face->units_per_EM));
    }
}

FontOracle::~FontOracle() {
    for (OracleFace* f : faces_) {
        if (f->face != nullptr) FT_Done_Face(f->face);
        delete f;
    }
}

std::vector<std::string> FontOracle::files() const {
    std::vector<std::string> out;
    for (const OracleFace* f : faces_) out.push_back(f->file);
    return out;
}

int FontOracle::FaceOf(char32_t c) const {
    for (std::size_t i = 0; i < faces_.size(); ++i)
        if (faces_[i]->face != nullptr && FT_Get_Char_Index(faces_[i]->face, c) != 0) return static_cast<int>(i);
    return -1;
}

FontOracle::Picture FontOracle::Render(const std::u32string& text, int x, int y, int width, int height, bool mono,
                                       int grow) const {
    Picture p;
    p.width = width;
    p.height = height;
    p.coverage.assign(static_cast<std::size_t>(width) * height, 0);
    int pen = x;
    for (char32_t c : text) {
        p.penStarts.push_back(pen);
        const int which = FaceOf(c);
        if (which < 0) continue;
        FT_Face face = faces_[which]->face;
        FT_Load_Char(face, c, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (faces_[which]->embolden) FT_GlyphSlot_Embolden(face->glyph);
        FT_Render_Glyph(face->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL);
        const FT_Bitmap& b = face->glyph->bitmap;
        const int left = pen + face->glyph->bitmap_left + grow, top = y + ascent_ - face->glyph->bitmap_top + grow;
        for (unsigned row = 0; row < b.rows; ++row)
            for (unsigned col = 0; col < b.width; ++col) {
                const std::uint8_t* line = b.buffer + static_cast<std::ptrdiff_t>(row) * b.pitch;
                const int v = mono ? (line[col / 8] >> (7 - col % 8)) & 1 : line[col];
                const int px = left + static_cast<int>(col), py = top + static_cast<int>(row);
                if (v != 0 && px >= 0 && py >= 0 && px < width && py < height)
                    p.coverage[static_cast<std::size_t>(py) * width + px] = static_cast<std::uint8_t>(v);
            }
        pen += static_cast<int>((face->glyph->advance.x + 32) >> 6) + 2 * grow;
    }
    p.penEnd = pen;
    return p;
}
