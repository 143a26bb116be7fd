// Stage backgrounds, defeat pictures and their thumbnails, the water overlay.
#include <algorithm>
#include <array>
#include <string>

#include "art.h"
#include "stage_geometry.h"

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

// Panels are transparent above the ground, so the far layer shows through.
// The ground is the panel's profile, the one the collision maps are made of,
// cell for cell: earth from each column's top row down with grass on it, a
// darker face where the ground steps, seams every cell so heights can be
// counted, and nothing at all over a pit.
Image MakePanel(const std::string& name) {
    unsigned h = NameHash(name);
    Image img(640, 480);
    std::array<int, kPanelColumns> floor;
    floor.fill(12);
    if (const PanelProfile* profile = FindPanelProfile(name)) floor = profile->floor;

    Rgb earth = Mix(Hue(static_cast<int>(h % 24), 24, 160), Rgb{110, 80, 50}, 2, 3);
    Rgb seam = Mix(earth, Rgb{40, 30, 20}, 1, 3);
    Rgb face = Mix(earth, Rgb{30, 20, 10}, 1, 2);
    for (int c = 0; c < kPanelColumns; ++c) {
        if (floor[c] == kNoFloor) continue;
        int x = c * 32, top = floor[c] * 32;
        img.FillRect(x, top, 32, 480 - top, earth);
        for (int y = top + 32; y < 480; y += 32) img.FillRect(x, y, 32, 2, seam);
        img.FillRect(x + 31, top + 6, 1, 480 - top - 6, seam);
        // The face of a step down on either side, as deep as the drop.
        int left = c > 0 ? floor[c - 1] : floor[c];
        int right = c + 1 < kPanelColumns ? floor[c + 1] : floor[c];
        if (left > floor[c]) img.FillRect(x, top, 4, std::min(480, left * 32) - top, face);
        if (right > floor[c]) img.FillRect(x + 28, top, 4, std::min(480, right * 32) - top, face);
        img.FillRect(x, top, 32, 6, kPanelGrass);
    }
    // A tree on the widest flat stretch, so scrolling is easy to follow.
    int bestStart = 0, bestLength = 0;
    for (int c = 0; c < kPanelColumns;) {
        int end = c;
        while (end < kPanelColumns && floor[end] == floor[c]) ++end;
        if (floor[c] != kNoFloor && end - c > bestLength) bestStart = c, bestLength = end - c;
        c = end;
    }
    int base = floor[bestStart] * 32;
    // Whole leaves: the trunk keeps 27 pixels from either panel edge.
    int lo = std::max(bestStart * 32, 27), hi = std::max(lo, std::min((bestStart + bestLength) * 32 - 14, 640 - 41));
    int tx = lo + static_cast<int>(h % static_cast<unsigned>(hi - lo + 1));
    img.FillRect(tx, base - 84, 14, 84, Rgb{110, 70, 40});
    img.FillCircle(tx + 7, base - 94, 34, Rgb{50, 150, 60});
    img.Text(8, 440, Upper(name), Rgb{255, 255, 255}, 3);
    // Over a pit the far layer shows, and below the level of its rims a dark
    // shaft, so it reads as a hole rather than as ground.
    for (int c = 0; c < kPanelColumns; ++c) {
        if (floor[c] != kNoFloor) continue;
        int rim = kLowestFloorRow;
        for (int d = c; d >= 0; --d)
            if (floor[d] != kNoFloor) {
                rim = std::min(rim, floor[d]);
                break;
            }
        for (int d = c; d < kPanelColumns; ++d)
            if (floor[d] != kNoFloor) {
                rim = std::min(rim, floor[d]);
                break;
            }
        img.Clear(c * 32, 0, 32, 480);
        int top = rim * 32 + 6;
        img.GradientRect(c * 32, top, 32, 480 - top, kPitTop, kPitBottom);
    }
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
