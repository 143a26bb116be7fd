#include "dshow/h264_parameters.h"

#include <algorithm>
#include <vector>

namespace {

// Reads bits most significant first; past the end every read fails.
class BitReader {
public:
    explicit BitReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool Bits(int count, std::uint32_t* value) {
        *value = 0;
        for (int i = 0; i < count; ++i) {
            if (at_ >= bytes_.size() * 8) return false;
            *value = *value << 1 | ((bytes_[at_ / 8] >> (7 - at_ % 8)) & 1);
            ++at_;
        }
        return true;
    }
    bool Flag(bool* value) {
        std::uint32_t bit = 0;
        const bool read = Bits(1, &bit);
        *value = bit != 0;
        return read;
    }
    // An exponential-Golomb code of at most 32 bits.
    bool Unsigned(std::uint32_t* value) {
        int zeros = 0;
        for (std::uint32_t bit = 0; Bits(1, &bit) && bit == 0;)
            if (++zeros > 31) return false;
        std::uint32_t rest = 0;
        if (!Bits(zeros, &rest)) return false;
        *value = static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + rest);
        return true;
    }
    bool Signed(std::int64_t* value) {
        std::uint32_t code = 0;
        if (!Unsigned(&code)) return false;
        *value = (code & 1) ? (std::int64_t{code} + 1) / 2 : -(std::int64_t{code} / 2);
        return true;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

bool SkipScalingList(BitReader& bits, int entries) {
    std::int64_t last = 8, next = 8;
    for (int j = 0; j < entries; ++j) {
        if (next != 0) {
            std::int64_t delta = 0;
            if (!bits.Signed(&delta)) return false;
            next = ((last + delta) % 256 + 256) % 256;
        }
        if (next != 0) last = next;
    }
    return true;
}

bool SpsSize(const std::uint8_t* nal, std::size_t size, int* width, int* height) {
    if (size < 4 || (nal[0] & 0x1F) != 7) return false;
    // The payload without the bytes that keep start codes out of it.
    std::vector<std::uint8_t> payload;
    int zeros = 0;
    for (std::size_t i = 1; i < size; ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        payload.push_back(nal[i]);
        zeros = nal[i] == 0 ? zeros + 1 : 0;
    }
    BitReader bits(std::move(payload));
    std::uint32_t profile = 0, skip = 0, chroma = 1, value = 0;
    bool flag = false, separatePlanes = false;
    if (!bits.Bits(8, &profile) || !bits.Bits(16, &skip) || !bits.Unsigned(&value)) return false;
    for (std::uint32_t high : {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 138u, 139u, 134u, 135u}) {
        if (profile != high) continue;
        if (!bits.Unsigned(&chroma) || chroma > 3) return false;
        if (chroma == 3 && !bits.Flag(&separatePlanes)) return false;
        if (!bits.Unsigned(&value) || !bits.Unsigned(&value) || !bits.Flag(&flag) || !bits.Flag(&flag)) return false;
        if (flag)
            for (int list = 0; list < (chroma != 3 ? 8 : 12); ++list) {
                bool present = false;
                if (!bits.Flag(&present) || (present && !SkipScalingList(bits, list < 6 ? 16 : 64))) return false;
            }
    }
    std::uint32_t orderType = 0;
    if (!bits.Unsigned(&value) || !bits.Unsigned(&orderType) || orderType > 2) return false;
    if (orderType == 0 && !bits.Unsigned(&value)) return false;
    if (orderType == 1) {
        std::int64_t offset = 0;
        std::uint32_t cycle = 0;
        if (!bits.Flag(&flag) || !bits.Signed(&offset) || !bits.Signed(&offset) || !bits.Unsigned(&cycle) || cycle > 255)
            return false;
        for (std::uint32_t i = 0; i < cycle; ++i)
            if (!bits.Signed(&offset)) return false;
    }
    std::uint32_t widthInBlocks = 0, heightInUnits = 0;
    bool framesOnly = false;
    if (!bits.Unsigned(&value) || !bits.Flag(&flag) || !bits.Unsigned(&widthInBlocks) || !bits.Unsigned(&heightInUnits) ||
        !bits.Flag(&framesOnly))
        return false;
    if (!framesOnly && !bits.Flag(&flag)) return false;  // frame and field blocks mixed
    bool cropped = false;
    if (!bits.Flag(&flag) || !bits.Flag(&cropped)) return false;
    std::uint64_t left = 0, right = 0, top = 0, bottom = 0;
    if (cropped) {
        std::uint32_t edge[4] = {};
        for (std::uint32_t& offset : edge)
            if (!bits.Unsigned(&offset)) return false;
        const std::uint64_t unitX = chroma == 0 || separatePlanes ? 1 : (chroma == 3 ? 1 : 2);
        const std::uint64_t unitY = (chroma == 0 || separatePlanes ? 1 : (chroma == 1 ? 2 : 1)) * (framesOnly ? 1 : 2);
        left = edge[0] * unitX, right = edge[1] * unitX, top = edge[2] * unitY, bottom = edge[3] * unitY;
    }
    const std::uint64_t codedWidth = (std::uint64_t{widthInBlocks} + 1) * 16;
    const std::uint64_t codedHeight = (std::uint64_t{heightInUnits} + 1) * 16 * (framesOnly ? 1 : 2);
    const std::uint64_t shownWidth = left + right < codedWidth ? codedWidth - left - right : 0;
    const std::uint64_t shownHeight = top + bottom < codedHeight ? codedHeight - top - bottom : 0;
    constexpr std::uint64_t kLargest = 1u << 30;
    *width = static_cast<int>(std::min(shownWidth, kLargest));
    *height = static_cast<int>(std::min(shownHeight, kLargest));
    return true;
}

}  // namespace

bool H264ClaimedSize(const std::uint8_t* configuration, std::size_t size, int* width, int* height) {
    if (configuration == nullptr || size < 4) return false;
    if (configuration[0] == 1) {
        if (size < 8) return false;
        // version, profile, compatibility, level, length size, then the
        // count of sequence parameter sets and each with its length.
        if ((configuration[5] & 0x1F) == 0) return false;
        const std::size_t length = static_cast<std::size_t>(configuration[6]) << 8 | configuration[7];
        return size >= 8 + length && SpsSize(configuration + 8, length, width, height);
    }
    // Parameter sets after start codes (00 00 01).
    for (std::size_t at = 0; at + 3 < size; ++at) {
        if (configuration[at] != 0 || configuration[at + 1] != 0 || configuration[at + 2] != 1) continue;
        const std::size_t start = at + 3;
        std::size_t end = start;
        while (end + 2 < size && !(configuration[end] == 0 && configuration[end + 1] == 0 &&
                                   (configuration[end + 2] == 1 || configuration[end + 2] == 0)))
            ++end;
        if (end + 2 >= size) end = size;
        if ((configuration[start] & 0x1F) == 7) return SpsSize(configuration + start, end - start, width, height);
        at = end - 1;
    }
    return false;
}
