#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "font5x7.h"

Rgb Visible(Rgb c) {
    // 5:6:5 keeps the top 5, 6 and 5 bits: all-zero there means black.
    if ((c.r >> 3) == 0 && (c.g >> 2) == 0 && (c.b >> 3) == 0) return Rgb{16, 16, 16};
    return c;
}

Rgb Mix(Rgb a, Rgb b, int num, int den) {
    auto mix = [&](int x, int y) { return static_cast<std::uint8_t>((x * (den - num) + y * num) / den); };
    return Rgb{mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

Rgb Hue(int i, int n, int value) {
    double h = 6.0 * i / n;
    int sector = static_cast<int>(h) % 6;
    double f = h - std::floor(h);
    auto v = static_cast<std::uint8_t>(value);
    auto lo = static_cast<std::uint8_t>(value * 0.25);
    auto up = static_cast<std::uint8_t>(lo + (value - lo) * f);
    auto down = static_cast<std::uint8_t>(value - (value - lo) * f);
    switch (sector) {
        case 0: return {v, up, lo};
        case 1: return {down, v, lo};
        case 2: return {lo, v, up};
        case 3: return {lo, down, v};
        case 4: return {up, lo, v};
        default: return {v, lo, down};
    }
}

Image::Image(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

void Image::Put(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y) * width_ + x] = Visible(c);
}

void Image::Clear(int x, int y, int w, int h) {
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(width_, x + w); ++i)
            pixels_[static_cast<std::size_t>(j) * width_ + i] = kTransparent;
}

void Image::FillRect(int x, int y, int w, int h, Rgb c) {
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(width_, x + w); ++i) Put(i, j, c);
}

void Image::FrameRect(int x, int y, int w, int h, Rgb c, int t) {
    FillRect(x, y, w, t, c);
    FillRect(x, y + h - t, w, t, c);
    FillRect(x, y, t, h, c);
    FillRect(x + w - t, y, t, h, c);
}

void Image::FillEllipse(int cx, int cy, int rx, int ry, Rgb c) {
    if (rx <= 0 || ry <= 0) return;
    for (int j = -ry; j <= ry; ++j)
        for (int i = -rx; i <= rx; ++i)
            if (static_cast<double>(i) * i / (static_cast<double>(rx) * rx) +
                    static_cast<double>(j) * j / (static_cast<double>(ry) * ry) <=
                1.0)
                Put(cx + i, cy + j, c);
}

void Image::Line(int x0, int y0, int x1, int y1, Rgb c, int t) {
    int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int s = 0; s <= steps; ++s) {
        int x = steps == 0 ? x0 : x0 + (x1 - x0) * s / steps;
        int y = steps == 0 ? y0 : y0 + (y1 - y0) * s / steps;
        FillRect(x - t / 2, y - t / 2, t, t, c);
    }
}

void Image::FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, Rgb c) {
    int minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
    int minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return static_cast<long>(bx - ax) * (py - ay) - static_cast<long>(by - ay) * (px - ax);
    };
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x) {
            long a = edge(x0, y0, x1, y1, x, y), b = edge(x1, y1, x2, y2, x, y), d = edge(x2, y2, x0, y0, x, y);
            if ((a >= 0 && b >= 0 && d >= 0) || (a <= 0 && b <= 0 && d <= 0)) Put(x, y, c);
        }
}

void Image::GradientRect(int x, int y, int w, int h, Rgb top, Rgb bottom) {
    for (int j = 0; j < h; ++j) FillRect(x, y + j, w, 1, Mix(top, bottom, j, std::max(1, h - 1)));
}

void Image::Text(int x, int y, const std::string& text, Rgb c, int scale) {
    int pen = x;
    for (char ch : text) {
        if (const Glyph5x7* g = FindGlyph5x7(ch)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row] & (0x10 >> col)) FillRect(pen + col * scale, y + row * scale, scale, scale, c);
        }
        pen += 6 * scale;
    }
}

void Image::Paste(const Image& src, int x, int y, bool mirror) {
    for (int j = 0; j < src.height(); ++j)
        for (int i = 0; i < src.width(); ++i) {
            Rgb c = src.At(mirror ? src.width() - 1 - i : i, j);
            if (c.r || c.g || c.b) Put(x + i, y + j, c);
        }
}

std::vector<std::uint8_t> Image::EncodeBmp() const {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width_) * 3 + 3) & ~3u;
    const std::uint32_t dataSize = rowBytes * static_cast<std::uint32_t>(height_);
    const std::uint32_t fileSize = 14 + 40 + dataSize;
    std::vector<std::uint8_t> out;
    out.reserve(fileSize);
    auto u16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    u32(fileSize);
    u16(0);
    u16(0);
    u32(14 + 40);
    // BITMAPINFOHEADER
    u32(40);
    u32(static_cast<std::uint32_t>(width_));
    u32(static_cast<std::uint32_t>(height_));  // positive: bottom-up
    u16(1);
    u16(24);
    u32(0);  // BI_RGB
    u32(dataSize);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = height_ - 1; y >= 0; --y) {
        std::uint32_t written = 0;
        for (int x = 0; x < width_; ++x) {
            Rgb c = At(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            written += 3;
        }
        for (; written < rowBytes; ++written) out.push_back(0);
    }
    return out;
}
