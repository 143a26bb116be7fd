// An RGB picture the generator paints into and writes as a 24-bit BMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kTransparent{0, 0, 0};

class Image {
public:
    Image(int width, int height, Rgb fill = kTransparent);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

    // Every painted colour stays visible on a 5:6:5 screen: a colour that
    // would collapse to black there (and so turn transparent) is lifted.
    void Put(int x, int y, Rgb c);
    void Clear(int x, int y, int w, int h);  // back to transparent black
    void FillRect(int x, int y, int w, int h, Rgb c);
    void FrameRect(int x, int y, int w, int h, Rgb c, int thickness = 1);
    void FillEllipse(int cx, int cy, int rx, int ry, Rgb c);
    void FillCircle(int cx, int cy, int r, Rgb c) { FillEllipse(cx, cy, r, r, c); }
    void Line(int x0, int y0, int x1, int y1, Rgb c, int thickness = 1);
    void FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, Rgb c);
    void GradientRect(int x, int y, int w, int h, Rgb top, Rgb bottom);
    // Text in the built-in 5 x 7 font, each font pixel `scale` pixels wide.
    void Text(int x, int y, const std::string& text, Rgb c, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1) {
        return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scale - scale;
    }
    void TextCentered(int cx, int y, const std::string& text, Rgb c, int scale = 1) {
        Text(cx - TextWidth(text, scale) / 2, y, text, c, scale);
    }
    // Copies `src` with its top-left corner at (x, y), mirrored when asked;
    // transparent source pixels are skipped.
    void Paste(const Image& src, int x, int y, bool mirror = false);

    // 24-bit uncompressed bottom-up BMP, written field by field.
    std::vector<std::uint8_t> EncodeBmp() const;

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// A visible colour: never one that a 5:6:5 screen turns into black.
Rgb Visible(Rgb c);
Rgb Mix(Rgb a, Rgb b, int numerator, int denominator);
// A distinct, saturated colour for index i of n.
Rgb Hue(int i, int n, int value = 230);
