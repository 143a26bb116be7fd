// Stage backgrounds, defeat pictures and their thumbnails, the water overlay.
#include <string>

#include "art.h"

namespace {

// A stable number from a name, so each picture differs but runs repeat.
unsigned NameHash(const std::string& name) {
    unsigned h = 2166136261u;
    for (unsigned char c : name) h = (h ^ c) * 16777619u;
    return h;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

}  // namespace

// Far layers fill the whole picture: sky with clouds or hills by name.
Image MakeFarLayer(const std::string& name) {
    unsigned h = NameHash(name);
    Image img(640, 480);
    Rgb top{40, 90, 200}, bottom{170, 210, 250};
    if (name.rfind("yuuhi", 0) == 0 || name == "soraorange") top = {200, 90, 40}, bottom = {250, 200, 120};
    if (name.rfind("saba", 0) == 0) top = {220, 170, 90}, bottom = {250, 230, 170};
    if (name.rfind("hai", 0) == 0) top = {60, 60, 80}, bottom = {140, 130, 130};
    img.GradientRect(0, 0, 640, 480, top, bottom);
    for (int c = 0; c < 6; ++c) {
        int x = static_cast<int>((h >> (c * 3)) % 600) + c * 17 % 40;
        int y = 40 + static_cast<int>((h >> (c * 2)) % 160);
        img.FillEllipse(x, y, 50, 16, Mix(bottom, Rgb{255, 255, 255}, 2, 3));
    }
    for (int x = 0; x < 640; x += 8) {
        int hill = 300 + static_cast<int>(((x * 7 + h) % 97)) / 3;
        img.FillRect(x, hill, 8, 480 - hill, Mix(top, Rgb{40, 80, 40}, 2, 3));
    }
    img.Text(8, 8, Upper(name), Rgb{255, 255, 255}, 2);
    return img;
}

// Panels are transparent above the ground, so the far layer shows through;
// the ground band starts at y 384, the floor rows of the default maps.
Image MakePanel(const std::string& name) {
    unsigned h = NameHash(name);
    Image img(640, 480);
    Rgb earth = Mix(Hue(static_cast<int>(h % 24), 24, 160), Rgb{110, 80, 50}, 2, 3);
    img.FillRect(0, 384, 640, 96, earth);
    img.FillRect(0, 384, 640, 8, Rgb{80, 180, 70});
    for (int i = 0; i < 12; ++i) img.FillRect(i * 56 + static_cast<int>(h % 40), 410 + (i % 3) * 20, 20, 6, Mix(earth, Rgb{40, 30, 20}, 1, 2));
    // a tree or a post so scrolling is visible
    int tx = 80 + static_cast<int>(h % 480);
    img.FillRect(tx, 300, 14, 84, Rgb{110, 70, 40});
    img.FillCircle(tx + 7, 290, 34, Rgb{50, 150, 60});
    img.Text(8, 440, Upper(name), Rgb{255, 255, 255}, 3);
    return img;
}

Image MakeBlackPanel() { return Image(640, 480); }

Image MakeDefeatPicture(int index, const std::string& name) {
    Image img(640, 480);
    Rgb tone = Hue(index * 5 % 32, 32, 180);
    img.GradientRect(0, 0, 640, 480, Mix(tone, Rgb{20, 20, 30}, 2, 3), tone);
    img.FillCircle(320, 220, 120, Mix(tone, Rgb{255, 255, 255}, 1, 3));
    img.TextCentered(320, 200, std::to_string(index), Rgb{255, 255, 255}, 8);
    img.TextCentered(320, 380, Upper(name), Rgb{255, 255, 220}, 4);
    return img;
}

// Thumbnail i stands for picture i; the last one is the "locked" mark.
Image MakeThumbnails() {
    return MakeSheet(4, 9, 70, 53, 33, [](Image& cell, int k) {
        if (k == 32) {
            cell.FillRect(0, 0, 70, 53, Rgb{60, 60, 60});
            cell.TextCentered(35, 20, "?", Rgb{200, 200, 200}, 2);
            return;
        }
        Rgb tone = Hue(k * 5 % 32, 32, 180);
        cell.GradientRect(0, 0, 70, 53, Mix(tone, Rgb{20, 20, 30}, 2, 3), tone);
        cell.TextCentered(35, 18, std::to_string(k), Rgb{255, 255, 255}, 2);
    });
}

Image MakeWater() {
    Image img(640, 480);
    for (int y = 0; y < 480; ++y) {
        Rgb c = Mix(Rgb{60, 120, 220}, Rgb{20, 50, 140}, y, 480);
        img.FillRect(0, y, 640, 1, c);
    }
    for (int w = 0; w < 30; ++w) img.FillEllipse((w * 71) % 640, (w * 37) % 480, 24, 3, Rgb{160, 200, 255});
    return img;
}
