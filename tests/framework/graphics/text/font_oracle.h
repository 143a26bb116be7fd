// FreeType's own rendering of a text, as the tests' reference for what the
// framework's text drawing must put on the screen: each character from the
// first of the given faces that has it, at the pixel size that makes the
// face's Windows ascent and descent fill the requested cell height, the pen
// moving on by FreeType's hinted advances.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct OracleFace;

// A face by fontconfig pattern ("DejaVu Sans:bold", "IPAGothic"), and
// whether its glyphs are emboldened, as fontconfig asks for a face lighter
// than the requested weight.
struct OracleFaceSpec {
    std::string pattern;
    bool embolden = false;
};

class FontOracle {
public:
    FontOracle(const std::vector<OracleFaceSpec>& faces, int cellHeight);
    ~FontOracle();
    FontOracle(const FontOracle&) = delete;
    FontOracle& operator=(const FontOracle&) = delete;

    bool ok() const { return ok_; }
    // The face file of each pattern, for messages.
    std::vector<std::string> files() const;
    int ascent() const { return ascent_; }

    // Coverage of the text drawn with its pen starting at (x, y), y the top
    // of the character cell: 0 or 1 per pixel with `mono`, else FreeType's
    // 0..255 coverage. Width x height pixels from (0, 0).
    struct Picture {
        int width = 0, height = 0;
        std::vector<std::uint8_t> coverage;
        std::vector<int> penStarts;  // where each character's pen started
        int penEnd = 0;
        int At(int x, int y) const {
            return x < 0 || y < 0 || x >= width || y >= height ? 0 : coverage[static_cast<std::size_t>(y) * width + x];
        }
    };
    // `grow` is an edge's size: each glyph moves right and down by it and
    // each advance grows by twice it.
    Picture Render(const std::u32string& text, int x, int y, int width, int height, bool mono, int grow = 0) const;
    // Which face (index into the patterns) draws the character; -1 none.
    int FaceOf(char32_t c) const;

private:
    std::vector<OracleFace*> faces_;
    int ascent_ = 0;
    bool ok_ = false;
};
