// Which source texel each destination pixel of the rotated blit takes,
// worked out in double precision from the inverse turn: the pixel's offset
// from the centre turned back by the angle and divided by the scale, about
// the source's integer half size (width >> 1, height >> 1), nearest texel
// below. Only two of the draw's own rules are taken over, because they
// decide pixels rather than round them: the sine and cosine are kept to 18
// fraction bits (truncated toward zero), and only pixels of the turned
// corners' bounding box (truncated toward zero, widened by 2 left and above
// and 4 right and below) are drawn.
//
// The draw steps its positions in fixed point and rounds its set-up to
// single precision; the error this leaves is bounded, and a pixel whose
// ideal position lies within that bound of a texel edge (or whose box
// membership depends on it) may take either side. For angles that are
// multiples of a right angle and scales whose reciprocal is a power of two
// the draw is exact, and so is the oracle: no pixel may take either side.
#pragma once

namespace rotate_reference {

struct Geometry {
    int width = 0, height = 0;  // of the source
    int x = 0, y = 0;           // where its centre lands
    float angle = 0, scale = 1;
    bool exact = false;  // no rounding is allowed for
    // The draw area: the draw steps its positions from its corner, so the
    // rounding it can gather grows with the part of the box inside it.
    int clipLeft = -1000000000, clipTop = -1000000000, clipRight = 1000000000, clipBottom = 1000000000;
};

// What a pixel may become: left alone (mayStay) and/or drawn from one of
// the listed texels.
struct Cover {
    bool mayStay = false;
    int count = 0;
    int col[4] = {}, row[4] = {};
    bool ambiguous = false;  // more than one outcome is allowed
};

class Oracle {
public:
    explicit Oracle(const Geometry& g);
    Cover At(int px, int py) const;

private:
    Geometry g_;
    double cos_ = 0, sin_ = 0;
    int boxLeft_[2] = {}, boxTop_[2] = {}, boxRight_[2] = {}, boxBottom_[2] = {};  // [surely, possibly]
};

}  // namespace rotate_reference
