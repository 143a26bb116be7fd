// The opaque runs of every row of a picture under a colour key: a keyed copy
// from them reads and writes only the pixels it draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"

class OpaqueRuns {
public:
    // The runs of pixels whose value, masked by `mask`, differs from `key`
    // (masked the same way).
    OpaqueRuns(const std::uint8_t* pixels, std::size_t pitch, int width, int height, int bytes, DWORD mask, DWORD key);

    bool MadeFor(DWORD mask, DWORD key) const { return mask == mask_ && (key & mask) == key_; }
    // How many runs rows `top` to `top + rows - 1` have between them.
    std::size_t RunsOnRows(int top, int rows) const { return firstRun_[top + rows] - firstRun_[top]; }

    // Copies the opaque pixels of the rectangle from `left`, `top` (width x
    // rows) of the picture at `pixels`, to `out`. The rectangle lies inside
    // the picture; `out` does not overlap it.
    void Copy(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* pixels, std::size_t pitch, int left, int top,
              int width, int rows) const;

private:
    struct Run {
        std::uint16_t start, end;  // end: past the last pixel
    };
    int bytes_;
    DWORD mask_, key_;
    std::vector<std::uint32_t> firstRun_;  // per row, its first run; one more for the end
    std::vector<Run> runs_;                // left to right on each row
};
