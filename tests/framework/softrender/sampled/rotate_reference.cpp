#include "framework/softrender/sampled/rotate_reference.h"

#include <algorithm>
#include <cmath>

namespace rotate_reference {

namespace {

constexpr double kFraction = 262144.0;  // 2^18

// Kept to 18 fraction bits, truncated toward zero.
double Quantised(double v) { return std::trunc(v * kFraction) / kFraction; }

}  // namespace

Oracle::Oracle(const Geometry& g) : g_(g) {
    const double a = g.angle;
    cos_ = Quantised(static_cast<double>(static_cast<float>(std::cos(a))));
    sin_ = Quantised(static_cast<double>(static_cast<float>(std::sin(a))));
    const double hw = g.width * static_cast<double>(g.scale) / 2, hh = g.height * static_cast<double>(g.scale) / 2;
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2) {
            const double ox = sx * hw, oy = sy * hh;
            const double px = g.x + ox * cos_ - oy * sin_, py = g.y + ox * sin_ + oy * cos_;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
    // The draw rounds its corners to single precision: an edge within a
    // thousandth of a pixel of a whole pixel may fall either way.
    const double slack = g.exact ? 0.0 : 1e-3;
    for (int i = 0; i < 2; ++i) {
        const double inward = i == 0 ? slack : -slack;  // [0]: the box surely drawn; [1]: possibly drawn
        boxLeft_[i] = static_cast<int>(std::trunc(minX + inward)) - 2;
        boxTop_[i] = static_cast<int>(std::trunc(minY + inward)) - 2;
        boxRight_[i] = static_cast<int>(std::trunc(maxX - inward)) + 4;
        boxBottom_[i] = static_cast<int>(std::trunc(maxY - inward)) + 4;
    }
}

Cover Oracle::At(int px, int py) const {
    Cover c;
    const bool possibly = px >= boxLeft_[1] && px < boxRight_[1] && py >= boxTop_[1] && py < boxBottom_[1];
    const bool surely = px >= boxLeft_[0] && px < boxRight_[0] && py >= boxTop_[0] && py < boxBottom_[0];
    if (!possibly) {
        c.mayStay = true;
        return c;
    }
    if (!surely) c.mayStay = true;

    const double s = g_.scale;
    const double dx = px - g_.x, dy = py - g_.y;
    const double u = (dx * cos_ + dy * sin_) / s + (g_.width >> 1);
    const double v = (dy * cos_ - dx * sin_) / s + (g_.height >> 1);

    // The bound on the draw's fixed-point error, in 2^-18 texels: its
    // set-up products rounded to single precision and truncated, and one
    // truncated unit per column and per row stepped from the box's corner.
    double eps = 0;
    if (!g_.exact) {
        const double distance = std::fabs(dx) + std::fabs(dy);
        const double steps = (std::min(boxRight_[1], g_.clipRight) - std::max(boxLeft_[1], g_.clipLeft)) +
                             (std::min(boxBottom_[1], g_.clipBottom) - std::max(boxTop_[1], g_.clipTop));
        eps = (distance / (4 * std::fabs(s)) + 8 + steps * (2 + 1 / (16 * std::fabs(s)))) / kFraction;
    }
    int cols[2] = {static_cast<int>(std::floor(u - eps)), static_cast<int>(std::floor(u + eps))};
    int rows[2] = {static_cast<int>(std::floor(v - eps)), static_cast<int>(std::floor(v + eps))};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            if (i == 1 && cols[1] == cols[0]) continue;
            if (j == 1 && rows[1] == rows[0]) continue;
            if (cols[i] < 0 || cols[i] >= g_.width || rows[j] < 0 || rows[j] >= g_.height) {
                c.mayStay = true;
                continue;
            }
            c.col[c.count] = cols[i];
            c.row[c.count] = rows[j];
            ++c.count;
        }
    c.ambiguous = c.count + (c.mayStay ? 1 : 0) > 1;
    return c;
}

}  // namespace rotate_reference
