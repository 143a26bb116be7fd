#include "ddraw/opaque_runs.h"

#include <algorithm>

#include "ddraw/pixel_access.h"
#include "ddraw/short_copy.h"

OpaqueRuns::OpaqueRuns(const std::uint8_t* pixels, std::size_t pitch, int width, int height, int bytes, DWORD mask,
                       DWORD key)
    : bytes_(bytes), mask_(mask), key_(key & mask) {
    firstRun_.reserve(static_cast<std::size_t>(height) + 1);
    for (int y = 0; y < height; ++y) {
        firstRun_.push_back(static_cast<std::uint32_t>(runs_.size()));
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * pitch;
        int x = 0;
        while (x < width) {
            while (x < width && (ReadPixel(row + static_cast<std::size_t>(x) * bytes, bytes) & mask) == key_) ++x;
            const int start = x;
            while (x < width && (ReadPixel(row + static_cast<std::size_t>(x) * bytes, bytes) & mask) != key_) ++x;
            if (x > start) runs_.push_back(Run{static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(x)});
        }
    }
    firstRun_.push_back(static_cast<std::uint32_t>(runs_.size()));
}

void OpaqueRuns::Copy(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* pixels, std::size_t pitch, int left,
                      int top, int width, int rows) const {
    const int right = left + width;
    const std::size_t bytes = static_cast<std::size_t>(bytes_);
    const std::uint32_t* first = firstRun_.data() + top;
    const Run* runs = runs_.data();
    const std::uint8_t* in = pixels + static_cast<std::size_t>(top) * pitch;
    for (int j = 0; j < rows; ++j, out += outPitch, in += pitch) {
        const Run* run = runs + first[j];
        const Run* end = runs + first[j + 1];
        // A sheet of many pictures has many runs on a row: those left of
        // the rectangle are passed over by halves.
        if (end - run > 8) run = std::partition_point(run, end, [left](const Run& r) { return r.end <= left; });
        for (; run != end && run->start < right; ++run) {
            const int from = std::max<int>(run->start, left), to = std::min<int>(run->end, right);
            if (from < to)
                CopyShortRun(out + static_cast<std::size_t>(from - left) * bytes, in + static_cast<std::size_t>(from) * bytes,
                             static_cast<std::size_t>(to - from) * bytes);
        }
    }
}
