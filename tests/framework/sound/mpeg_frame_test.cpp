// MPEG audio frame headers: the standard's tables and the frame sizes and
// sample counts of every version and layer.
#include <gtest/gtest.h>

#include <numeric>

#include "sound/mpeg_frame.h"

namespace {

TEST(MpegFrame, TablesHoldTheStandardsValues) {
    // Sums of each row of bit rates, and a few sample entries.
    const int sums[2][3] = {{3360, 2152, 1808}, {1768, 1008, 1008}};
    for (int v = 0; v < 2; ++v)
        for (int l = 0; l < 3; ++l) {
            EXPECT_EQ(std::accumulate(std::begin(kMpegBitRates[v][l]), std::end(kMpegBitRates[v][l]), 0), sums[v][l])
                << v << " " << l;
            EXPECT_EQ(kMpegBitRates[v][l][0], 0);
            EXPECT_EQ(kMpegBitRates[v][l][15], 0);
        }
    EXPECT_EQ(kMpegBitRates[0][2][9], 128);
    EXPECT_EQ(kMpegBitRates[0][0][14], 448);
    EXPECT_EQ(kMpegBitRates[1][2][1], 8);
    EXPECT_EQ(kMpegSampleRates[0][1], 48000);
    EXPECT_EQ(kMpegSampleRates[1][2], 16000);
}

TEST(MpegFrame, HeadersGiveFrameSizesAndSamples) {
    struct Case {
        unsigned char header[4];
        int mpeg1, layer, bitRate, sampleRate, channels, frameBytes, samples;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0xC4}, 1, 2, 128, 44100, 1, 417, 1152},  // MPEG-1 layer III
        {{0xFF, 0xFB, 0x92, 0x04}, 1, 2, 128, 44100, 2, 418, 1152},  // with padding
        {{0xFF, 0xFA, 0xE4, 0x44}, 1, 2, 320, 48000, 2, 960, 1152},  // no CRC bit makes no difference
        {{0xFF, 0xFD, 0x94, 0x00}, 1, 1, 160, 48000, 2, 480, 1152},  // MPEG-1 layer II
        {{0xFF, 0xFF, 0x90, 0x00}, 1, 0, 288, 44100, 2, 312, 384},   // MPEG-1 layer I
        {{0xFF, 0xFF, 0x92, 0x00}, 1, 0, 288, 44100, 2, 316, 384},   // a padding slot is 4 bytes
        {{0xFF, 0xF3, 0x40, 0xC4}, 0, 2, 32, 22050, 1, 104, 576},    // MPEG-2 layer III
        {{0xFF, 0xF3, 0x18, 0xC4}, 0, 2, 8, 16000, 1, 36, 576},
        {{0xFF, 0xF5, 0x80, 0x00}, 0, 1, 64, 22050, 2, 417, 1152},   // MPEG-2 layer II
        {{0xFF, 0xF7, 0x14, 0x00}, 0, 0, 32, 24000, 2, 64, 384},     // MPEG-2 layer I
    };
    for (const Case& c : cases) {
        MpegFrameHeader h{};
        ASSERT_EQ(ParseMpegFrameHeader(c.header, &h), 0) << std::hex << int{c.header[1]} << int{c.header[2]};
        EXPECT_EQ(h.mpeg1, c.mpeg1);
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.bitRate, c.bitRate);
        EXPECT_EQ(h.sampleRate, c.sampleRate);
        EXPECT_EQ(h.channels, c.channels);
        EXPECT_EQ(h.frameBytes, c.frameBytes) << std::hex << int{c.header[1]} << " " << int{c.header[2]};
        EXPECT_EQ(h.samples, c.samples);
    }
}

TEST(MpegFrame, HeadersThatDoNotDecode) {
    const struct {
        unsigned char header[4];
        int result;
    } cases[] = {
        {{0xFE, 0xFB, 0x90, 0x00}, -2},  // no sync
        {{0xFF, 0xEB, 0x90, 0x00}, -2},  // MPEG 2.5 is outside the sync the scanner looks for
        {{0xFF, 0xF9, 0x90, 0x00}, -1},  // reserved layer
        {{0xFF, 0xFB, 0x00, 0x00}, -1},  // free format
        {{0xFF, 0xFB, 0xF0, 0x00}, -1},  // bit-rate index 15
        {{0xFF, 0xFB, 0x9C, 0x00}, -1},  // reserved sample rate
    };
    for (const auto& c : cases) {
        MpegFrameHeader h{};
        EXPECT_EQ(ParseMpegFrameHeader(c.header, &h), c.result) << std::hex << int{c.header[1]} << int{c.header[2]};
    }
}

}  // namespace
