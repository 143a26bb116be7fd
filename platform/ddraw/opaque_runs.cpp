#include "ddraw/opaque_runs.h"

#include <algorithm>
#include <cstring>

#include "ddraw/pixel_access.h"

OpaqueRuns::OpaqueRuns(const std::uint8_t* pixels, std::size_t pitch, int width, int height, int bytes, DWORD mask,
                       DWORD key)
    : bytes_(bytes), mask_(mask), key_(key & mask) {
    firstRun_.reserve(static_cast<std::size_t>(height) + 1);
    for (int y = 0; y < height; ++y) {
        firstRun_.push_back(static_cast<std::uint32_t>(runs_.size() / 2));
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * pitch;
        int x = 0;
        while (x < width) {
            while (x < width && (ReadPixel(row + static_cast<std::size_t>(x) * bytes, bytes) & mask) == key_) ++x;
            const int start = x;
            while (x < width && (ReadPixel(row + static_cast<std::size_t>(x) * bytes, bytes) & mask) != key_) ++x;
            if (x > start) {
                runs_.push_back(static_cast<std::uint16_t>(start));
                runs_.push_back(static_cast<std::uint16_t>(x));
            }
        }
    }
    firstRun_.push_back(static_cast<std::uint32_t>(runs_.size() / 2));
}

void OpaqueRuns::Copy(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* pixels, std::size_t pitch, int left,
                      int top, int width, int rows) const {
    const int right = left + width;
    for (int j = 0; j < rows; ++j, out += outPitch) {
        const std::size_t row = static_cast<std::size_t>(top + j);
        const std::uint8_t* in = pixels + row * pitch;
        for (std::uint32_t r = firstRun_[row]; r < firstRun_[row + 1]; ++r) {
            const int start = std::max<int>(runs_[2 * r], left), end = std::min<int>(runs_[2 * r + 1], right);
            if (start < end)
                std::memcpy(out + static_cast<std::size_t>(start - left) * bytes_,
                            in + static_cast<std::size_t>(start) * bytes_, static_cast<std::size_t>(end - start) * bytes_);
        }
    }
}
