// One conversion stream's decoder: libavcodec fed packet by packet, its
// output turned into interleaved 16-bit PCM of the stream's channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "acm/acm_format.h"

struct AVCodecContext;
struct AVCodecParserContext;
struct AVPacket;
struct AVFrame;

class AcmDecoder {
public:
    // Null when libavcodec cannot open a decoder for the format.
    static std::unique_ptr<AcmDecoder> Open(const AcmSourceKind& kind, const std::uint8_t* extra,
                                            std::size_t extraSize);
    ~AcmDecoder();
    AcmDecoder(const AcmDecoder&) = delete;
    AcmDecoder& operator=(const AcmDecoder&) = delete;

    // Takes what it can of `source` and writes at most `capacity` bytes.
    // Output waiting from an earlier call comes first; new input is taken
    // only while its output still fits, so nothing waits behind the last
    // call that has room. `end` also flushes a frame the parser holds.
    void Convert(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* destination,
                 std::size_t capacity, std::size_t* sourceUsed, std::size_t* destinationUsed, bool end);

private:
    explicit AcmDecoder(const AcmSourceKind& kind) : kind_(kind) {}
    void Decode(const std::uint8_t* data, std::size_t size);
    void AppendFrame(const AVFrame* frame);
    std::size_t Waiting() const { return pending_.size() - pendingRead_; }
    void Emit(std::uint8_t* destination, std::size_t capacity, std::size_t* written);

    AcmSourceKind kind_;
    AVCodecContext* context_ = nullptr;
    AVCodecParserContext* parser_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    // Copies with the padding libavcodec may read past the end.
    std::vector<std::uint8_t> padded_;       // a packet
    std::vector<std::uint8_t> parserInput_;  // bytes for the parser
    std::vector<std::uint8_t> pending_;  // decoded PCM not yet handed out
    std::size_t pendingRead_ = 0;
};
