// The hero and the 32 monster kinds.
#include <cmath>
#include <string>

#include "art.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

void Limb(Image& img, int x, int y, double angle, int length, Rgb c, int thickness) {
    int ex = x + static_cast<int>(std::lround(std::sin(angle) * length));
    int ey = y + static_cast<int>(std::lround(std::cos(angle) * length));
    img.Line(x, y, ex, ey, c, thickness);
}

}  // namespace

// The hero faces right. Rows of the sheet get tunics of different colours
// and each frame moves arms and legs, so poses can be told apart; the frame
// number is written in the corner.
Image MakeHeroSheet() {
    return MakeSheet(12, 12, 128, 128, 144, [](Image& cell, int k) {
        const Rgb skin{240, 200, 160}, hair{120, 70, 30}, boots{90, 60, 40}, steel{200, 210, 230};
        Rgb tunic = Hue(k / 12, 12, 200);
        double phase = (k % 12) * 2 * kPi / 12;
        int cx = 64, hipY = 84, shoulderY = 46;
        // legs
        Limb(cell, cx, hipY, 0.5 * std::sin(phase), 39, boots, 7);
        Limb(cell, cx, hipY, -0.5 * std::sin(phase), 39, Mix(boots, tunic, 1, 3), 7);
        // body and head
        cell.FillRect(cx - 10, shoulderY, 20, hipY - shoulderY + 2, tunic);
        cell.FillCircle(cx, shoulderY - 14, 11, skin);
        cell.FillRect(cx - 11, shoulderY - 27, 22, 8, hair);
        cell.FillRect(cx + 4, shoulderY - 17, 3, 3, Rgb{40, 40, 90});  // the eye shows the facing
        // arms, the front one holding a sword
        double swing = (k % 3 == 2) ? -1.6 : -0.6 * std::cos(phase);
        Limb(cell, cx, shoulderY + 4, 0.6 * std::cos(phase), 22, skin, 5);
        int handX = cx + static_cast<int>(std::lround(std::sin(kPi / 2 + swing) * 22));
        int handY = shoulderY + 4 + static_cast<int>(std::lround(std::cos(kPi / 2 + swing) * 22));
        cell.Line(cx, shoulderY + 4, handX, handY, skin, 5);
        cell.Line(handX, handY, handX + 26, handY - 10 - (k % 5) * 4, steel, 4);
        cell.Text(3, 3, std::to_string(k), Rgb{255, 255, 120}, 2);
    });
}

// Each kind gets its own colour, body shape and number of eyes, and faces
// left. Frames 0-9 bob and step; 10-16 lunge with a bright claw.
Image MakeMonsterSheet(int kind) {
    return MakeSheet(6, 3, 128, 128, 17, [kind](Image& cell, int frame) {
        Rgb body = Hue(kind * 7 % 32, 32, 220 - (kind / 16) * 40);
        Rgb dark = Mix(body, Rgb{20, 20, 20}, 1, 2);
        bool attack = frame >= 10;
        int bob = static_cast<int>(std::lround(std::sin(frame * kPi / 5) * 4));
        int lunge = attack ? -(frame - 9) * 3 : 0;
        int cx = 64 + lunge, cy = 64 + bob;
        switch (kind % 4) {
            case 0: cell.FillCircle(cx, cy, 28, body); break;
            case 1: cell.FillRect(cx - 26, cy - 26, 52, 52, body); break;
            case 2: cell.FillTriangle(cx - 30, cy + 26, cx + 30, cy + 26, cx, cy - 32, body); break;
            default: cell.FillEllipse(cx, cy, 36, 20, body); break;
        }
        // a second feature by kind / 4: horns, spikes, a tail, wings ...
        switch (kind / 4) {
            case 0: cell.FillTriangle(cx - 20, cy - 20, cx - 10, cy - 20, cx - 16, cy - 40, dark); break;
            case 1: cell.FillRect(cx + 24, cy - 4, 20, 8, dark); break;
            case 2: cell.FillEllipse(cx + 8, cy - 30, 22, 8, dark); break;
            case 3: cell.FillTriangle(cx + 20, cy, cx + 44, cy - 16, cx + 44, cy + 16, dark); break;
            case 4: cell.FillCircle(cx + 20, cy + 20, 10, dark); break;
            case 5: cell.Line(cx - 30, cy + 24, cx - 44, cy + 34, dark, 5); break;
            case 6: cell.FillRect(cx - 6, cy - 44, 12, 18, dark); break;
            default: cell.FillEllipse(cx, cy + 26, 30, 6, dark); break;
        }
        // feet for the walkers
        cell.FillRect(cx - 18, 88 + bob / 2, 10, 8, dark);
        cell.FillRect(cx + 8, 88 - bob / 2, 10, 8, dark);
        // eyes on the left side: it faces left
        int eyes = 1 + kind % 3;
        for (int e = 0; e < eyes; ++e) {
            cell.FillCircle(cx - 14, cy - 10 + e * 9, 5, Rgb{255, 255, 255});
            cell.FillCircle(cx - 16, cy - 10 + e * 9, 2, Rgb{30, 30, 30});
        }
        if (attack) cell.FillTriangle(cx - 34, cy, cx - 54, cy - 8, cx - 54, cy + 8, Rgb{255, 240, 80});
        cell.Text(cx - Image::TextWidth(std::to_string(kind), 2) / 2, cy + 2, std::to_string(kind),
                  Rgb{255, 255, 255}, 2);
        cell.Text(2, 118, std::to_string(frame), Rgb{200, 200, 200}, 1);
    });
}
