// Choosing the face files of a font through fontconfig, as the desktop's own
// programs do: the family, weight and slant pick the font's face; the same
// request with the character set's language, sorted, gives the faces that
// glyphs missing from it fall back to.
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

#include "ddraw/gdi_font_internal.h"

namespace {

// Fallback faces beyond the first are rarely needed; a few cover any script
// the system has fonts for.
constexpr std::size_t kMaxFallbackFaces = 8;

std::mutex g_matchMutex;

// Choices are kept per request: fonts are made again each time the default
// font's size changes, and fontconfig's sort is slow beside that.
using RequestKey = std::tuple<std::string, int, bool, DWORD>;
std::map<RequestKey, std::vector<FontFaceChoice>> g_chosen;

FcPattern* RequestPattern(const FontRequest& request, const char* language) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    if (!request.familyUtf8.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.familyUtf8.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // FreeType renders outlines at any size; bitmap-only faces would not scale.
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (language != nullptr && *language != '\0')
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

bool ChoiceOf(FcPattern* request, FcPattern* font, FontFaceChoice* out) {
    FcPattern* settled = FcFontRenderPrepare(nullptr, request, font);
    if (settled == nullptr) return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(settled, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (ok) {
        out->file = reinterpret_cast<const char*>(file);
        int index = 0;
        FcPatternGetInteger(settled, FC_INDEX, 0, &index);
        out->index = index;
        FcBool embolden = FcFalse;
        FcPatternGetBool(settled, FC_EMBOLDEN, 0, &embolden);
        out->embolden = embolden == FcTrue;
        FcMatrix* matrix = nullptr;
        out->oblique = FcPatternGetMatrix(settled, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix != nullptr &&
                       matrix->xy != 0.0;
    }
    FcPatternDestroy(settled);
    return ok;
}

bool SameFace(const FontFaceChoice& a, const FontFaceChoice& b) { return a.file == b.file && a.index == b.index; }

// fontconfig's configuration lives until the program ends; it is released
// then, so that nothing of it is left for a leak checker to find.
bool StartFontconfig() {
    static const bool started = [] {
        if (!FcInit()) return false;
        std::atexit([] { FcFini(); });
        return true;
    }();
    return started;
}

std::vector<FontFaceChoice> Choose(const FontRequest& request) {
    std::vector<FontFaceChoice> faces;
    if (!StartFontconfig()) return faces;
    FcPattern* pattern = RequestPattern(request, nullptr);
    if (pattern == nullptr) return faces;
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FontFaceChoice choice;
        if (ChoiceOf(pattern, match, &choice)) faces.push_back(choice);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);

    pattern = RequestPattern(request, LanguageOfCharSet(request.charSet));
    if (pattern == nullptr) return faces;
    if (FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result)) {
        for (int i = 0; i < sorted->nfont && faces.size() < kMaxFallbackFaces + 1; ++i) {
            FontFaceChoice choice;
            if (!ChoiceOf(pattern, sorted->fonts[i], &choice)) continue;
            bool seen = false;
            for (const FontFaceChoice& f : faces) seen = seen || SameFace(f, choice);
            if (!seen) faces.push_back(choice);
        }
        FcFontSetDestroy(sorted);
    }
    FcPatternDestroy(pattern);
    return faces;
}

}  // namespace

std::vector<FontFaceChoice> ChooseFontFaces(const FontRequest& request) {
    std::lock_guard lock(g_matchMutex);
    const RequestKey key{request.familyUtf8, request.weight, request.italic, request.charSet};
    auto it = g_chosen.find(key);
    if (it != g_chosen.end()) return it->second;
    std::vector<FontFaceChoice> faces = Choose(request);
    if (!faces.empty()) g_chosen.emplace(key, faces);
    return faces;
}
