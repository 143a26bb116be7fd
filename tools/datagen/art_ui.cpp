// Glyph sheets, doors, captions, cursors, effects and title pictures.
#include <cmath>
#include <string>

#include "art.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The four colour sets of the glyph sheets.
constexpr Rgb kGlyphSets[4] = {{255, 255, 255}, {255, 90, 90}, {100, 255, 120}, {255, 220, 60}};

void Glyph(Image& cell, char ch, Rgb color) {
    // The game sets these glyphs 16 pixels apart: each letter keeps to the
    // left 16 columns of its cell, or its neighbour would cover half of it.
    // A dark outline first so the glyph reads on any background.
    Rgb edge = Mix(color, Rgb{16, 16, 16}, 3, 4);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) cell.Text(1 + dx, 4 + dy, std::string(1, ch), edge, 3);
    cell.Text(1, 4, std::string(1, ch), color, 3);
}

}  // namespace

Image MakeGlyphLetters() {
    return MakeSheet(13, 9, 32, 32, 108, [](Image& cell, int k) {
        if (k < 104) {
            Glyph(cell, static_cast<char>('A' + k % 26), kGlyphSets[k / 26]);
            return;
        }
        static constexpr char kSigns[4] = {'/', '*', '^', '+'};
        Glyph(cell, kSigns[k - 104], kGlyphSets[0]);
    });
}

Image MakeGlyphDigits() {
    return MakeSheet(10, 4, 32, 32, 40,
                     [](Image& cell, int k) { Glyph(cell, static_cast<char>('0' + k % 10), kGlyphSets[k / 10]); });
}

Image MakeShopDoors() {
    static const char* kNames[3] = {"ARMS", "ARMOR", "ITEMS"};
    return MakeSheet(2, 2, 128, 128, 3, [](Image& cell, int k) {
        Rgb wood = Hue(k * 3 + 1, 12, 170);
        cell.FillRect(24, 20, 80, 108, Mix(wood, Rgb{60, 40, 20}, 1, 2));
        cell.FillRect(32, 30, 64, 98, wood);
        cell.FillCircle(86, 84, 4, Rgb{250, 220, 90});
        cell.FillRect(14, 6, 100, 18, Rgb{230, 230, 200});
        cell.TextCentered(64, 8, kNames[k], Rgb{40, 40, 120}, 2);
    });
}

Image MakeShopCaptions() {
    static const char* kText[3] = {"WEAPON SHOP", "ARMOR SHOP", "ACCESSORIES"};
    return MakeSheet(1, 4, 256, 64, 3, [](Image& cell, int k) {
        cell.FillRect(4, 8, 248, 48, Rgb{250, 250, 230});
        cell.FrameRect(4, 8, 248, 48, Rgb{90, 60, 30}, 3);
        cell.TextCentered(128, 18, kText[k], Rgb{90, 30, 30}, 3);
        cell.Text(10, 48, "UP: ENTER", Rgb{60, 60, 140}, 1);
    });
}

// Fire frames are cut in a column of eight 32 x 16 pieces.
Image MakeFire() {
    return MakeSheet(1, 8, 32, 16, 8, [](Image& cell, int k) {
        int len = 10 + k * 2;
        cell.FillEllipse(16, 8, len / 2 + 2, 6, Rgb{220, 60, 20});
        cell.FillEllipse(16, 8, len / 3 + 1, 4, Rgb{255, 200, 40});
    });
}

Image MakeGas() {
    return MakeSheet(4, 2, 32, 32, 8, [](Image& cell, int k) {
        int r = 6 + k;
        cell.FillCircle(16, 16, r, Rgb{90, 160, 60});
        cell.FillCircle(12, 12, r / 2, Rgb{150, 220, 110});
    });
}

Image MakeCrossEffect() {
    return MakeSheet(6, 4, 64, 64, 24, [](Image& cell, int k) {
        int arm = 8 + (k % 12) * 2;
        Rgb c = Mix(Rgb{255, 255, 200}, Rgb{120, 180, 255}, k % 6, 6);
        cell.FillRect(32 - arm, 28, arm * 2, 8, c);
        cell.FillRect(28, 32 - arm, 8, arm * 2, c);
    });
}

Image MakeBallEffect() {
    return MakeSheet(8, 4, 64, 64, 32, [](Image& cell, int k) {
        int r = 6 + (k % 8) * 3;
        cell.FillCircle(32, 32, r, Hue(k, 32, 240));
        cell.FillCircle(32, 32, r / 2, Rgb{255, 255, 230});
    });
}

Image MakeSkillCaption(const std::string& name, Rgb color) {
    return MakeSheet(1, 2, 128, 32, 2, [&](Image& cell, int k) {
        cell.FillRect(2, 2, 124, 28, k == 0 ? Mix(color, Rgb{20, 20, 40}, 1, 2) : color);
        cell.TextCentered(64, 6, name, Rgb{255, 255, 255}, 3);
    });
}

Image MakeWarpDoors() {
    return MakeSheet(3, 2, 128, 128, 6, [](Image& cell, int k) {
        cell.FillEllipse(64, 70, 34, 52, Rgb{70, 40, 140});
        cell.FillEllipse(64, 70, 24 - k * 2, 42 - k * 3, Hue(k, 6, 240));
        for (int s = 0; s < 6; ++s) {
            double a = (s + k * 0.5) * kPi / 3;
            cell.FillCircle(64 + static_cast<int>(std::cos(a) * 40), 70 + static_cast<int>(std::sin(a) * 56), 3,
                            Rgb{255, 255, 180});
        }
    });
}

Image MakeCursors(int size) {
    return MakeSheet(10, 3, size, size, 30, [size](Image& cell, int k) {
        Rgb c = Mix(Rgb{255, 255, 80}, Rgb{255, 120, 40}, k % 10, 10);
        int inset = size / 8 + (k % 5) * size / 48;
        cell.FillTriangle(inset, inset, inset, size - inset, size - inset, size / 2, c);
    });
}

Image MakeTitleLogo() {
    Image logo(470, 320);
    logo.FillEllipse(235, 160, 228, 150, Rgb{40, 60, 140});
    logo.FillEllipse(235, 160, 214, 136, Rgb{70, 100, 200});
    logo.TextCentered(235, 90, "RUK", Rgb{255, 230, 90}, 14);
    logo.TextCentered(235, 200, "QUEST OF THE 61 LANDS", Rgb{255, 255, 255}, 3);
    return logo;
}

Image MakeTitlePortrait() {
    Image p(129, 320);
    p.FillRect(30, 120, 70, 170, Rgb{60, 120, 200});
    p.FillCircle(64, 80, 36, Rgb{240, 200, 160});
    p.FillRect(28, 40, 72, 22, Rgb{120, 70, 30});
    p.FillRect(40, 290, 18, 30, Rgb{90, 60, 40});
    p.FillRect(72, 290, 18, 30, Rgb{90, 60, 40});
    p.Line(100, 150, 120, 40, Rgb{200, 210, 230}, 5);
    return p;
}

Image MakeLoadingPicture() {
    Image p(512, 300);
    p.FillRect(0, 0, 512, 300, Rgb{30, 40, 80});
    p.FrameRect(0, 0, 512, 300, Rgb{200, 200, 255}, 4);
    p.TextCentered(256, 120, "NOW LOADING", Rgb{255, 255, 255}, 5);
    return p;
}

Image MakeTitleLayer(int which) {
    Image img(640, 480);
    img.GradientRect(0, 0, 640, 480, which == 1 ? Rgb{30, 40, 110} : Rgb{60, 30, 100},
                     which == 1 ? Rgb{150, 180, 240} : Rgb{240, 150, 120});
    for (int s = 0; s < 40; ++s) img.FillCircle((s * 97 + which * 31) % 640, (s * 53) % 300, 1 + s % 2, Rgb{255, 255, 220});
    return img;
}
