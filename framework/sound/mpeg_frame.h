// MPEG audio frame headers: the standard's bit-rate and sample-rate tables
// and the four-byte header decoded into a frame's size and sample count.
#pragma once

#include <cstdint>

// Bit rates in kbit/s by [version][layer][index]; version 0 = MPEG-1,
// 1 = MPEG-2; layer 0 = I, 1 = II, 2 = III; index 0 (free format) and 15
// (forbidden) are 0.
inline constexpr int kMpegBitRates[2][3][16] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
};

// Sample rates by [version][index]; index 3 is reserved.
inline constexpr int kMpegSampleRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

struct MpegFrameHeader {
    int mpeg1;          // 1 for MPEG-1, 0 for MPEG-2
    int layer;          // 0 = layer I, 1 = II, 2 = III
    int bitRate;        // kbit/s
    int sampleRate;
    int padding;        // 0 or 1
    int channels;       // 1 for single channel, else 2
    int frameBytes;     // the whole frame, header included
    int samples;        // per channel
};

// 0, -1 for a header whose fields are reserved or free format, -2 without
// the frame sync.
int ParseMpegFrameHeader(const unsigned char header[4], MpegFrameHeader* out);
