// Which compressed formats the ACM stand-in decodes, and how they are cut
// into packets for the decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/wave_format.h"

enum class AcmPacking {
    Blocks,  // whole blocks of nBlockAlign bytes
    Frames,  // MPEG frames found by a parser in the byte stream
};

struct AcmSourceKind {
    const char* decoder;       // libavcodec's decoder name
    AcmPacking packing;
    int channels;
    int rate;
    int codedBits;             // bits per coded sample (4 for ADPCM)
    int blockBytes;            // Blocks: bytes of one block, the least consumed
    int samplesPerBlock;       // Blocks: the most frames one block gives
    int blocksPerPacket;       // Blocks: how many go to the decoder at once
    int maxSamplesPerByte;     // Frames: the most frames one source byte gives
};

// Null when the format (with its `extraSize` extra bytes) is none the
// stand-in decodes or its numbers do not hold together.
std::optional<AcmSourceKind> DescribeAcmSource(const WAVEFORMATEX& format, const std::uint8_t* extra,
                                               std::size_t extraSize);

// The most 16-bit PCM bytes `input` source bytes can give.
std::uint64_t AcmOutputBound(const AcmSourceKind& kind, std::uint64_t input);

// The most PCM bytes one packet can give (frames: the largest MPEG frame).
std::size_t AcmPacketOutputBound(const AcmSourceKind& kind);
