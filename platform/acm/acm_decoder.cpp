#include "acm/acm_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace {

// The parser is given at most this much at once.
constexpr std::size_t kParserChunk = 4096;

void QuietLibrary() {
    static std::once_flag once;
    // Damaged data is expected and handled here; the library's own
    // complaints would only clutter standard error.
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::int16_t FromFloat(float value) {
    const float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// Sample `index` of channel `channel` of a decoded frame, as 16 bits.
std::int16_t SampleAt(const AVFrame* frame, int index, int channel) {
    const int channels = frame->ch_layout.nb_channels;
    switch (frame->format) {
        case AV_SAMPLE_FMT_S16:
            return reinterpret_cast<const std::int16_t*>(frame->data[0])[index * channels + channel];
        case AV_SAMPLE_FMT_S16P:
            return reinterpret_cast<const std::int16_t*>(frame->data[channel])[index];
        case AV_SAMPLE_FMT_S32:
            return static_cast<std::int16_t>(
                reinterpret_cast<const std::int32_t*>(frame->data[0])[index * channels + channel] >> 16);
        case AV_SAMPLE_FMT_S32P:
            return static_cast<std::int16_t>(reinterpret_cast<const std::int32_t*>(frame->data[channel])[index] >> 16);
        case AV_SAMPLE_FMT_FLT:
            return FromFloat(reinterpret_cast<const float*>(frame->data[0])[index * channels + channel]);
        case AV_SAMPLE_FMT_FLTP:
            return FromFloat(reinterpret_cast<const float*>(frame->data[channel])[index]);
        default:
            return 0;
    }
}

}  // namespace

std::unique_ptr<AcmDecoder> AcmDecoder::Open(const AcmSourceKind& kind, const std::uint8_t* extra,
                                             std::size_t extraSize) {
    QuietLibrary();
    const AVCodec* codec = avcodec_find_decoder_by_name(kind.decoder);
    if (codec == nullptr) return nullptr;
    std::unique_ptr<AcmDecoder> decoder(new AcmDecoder(kind));
    AVCodecContext* context = avcodec_alloc_context3(codec);
    decoder->context_ = context;
    decoder->packet_ = av_packet_alloc();
    decoder->frame_ = av_frame_alloc();
    if (context == nullptr || decoder->packet_ == nullptr || decoder->frame_ == nullptr) return nullptr;
    context->sample_rate = kind.rate;
    av_channel_layout_default(&context->ch_layout, kind.channels);
    context->block_align = kind.packing == AcmPacking::Blocks ? kind.blockBytes : 0;
    context->bits_per_coded_sample = kind.codedBits;
    if (extra != nullptr && extraSize > 0 && kind.packing == AcmPacking::Blocks) {
        context->extradata = static_cast<std::uint8_t*>(av_mallocz(extraSize + AV_INPUT_BUFFER_PADDING_SIZE));
        if (context->extradata == nullptr) return nullptr;
        std::memcpy(context->extradata, extra, extraSize);
        context->extradata_size = static_cast<int>(extraSize);
    }
    if (avcodec_open2(context, codec, nullptr) < 0) return nullptr;
    if (kind.packing == AcmPacking::Frames) {
        decoder->parser_ = av_parser_init(codec->id);
        if (decoder->parser_ == nullptr) return nullptr;
    }
    return decoder;
}

AcmDecoder::~AcmDecoder() {
    if (parser_ != nullptr) av_parser_close(parser_);
    avcodec_free_context(&context_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
}

void AcmDecoder::Decode(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > static_cast<std::size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) return;
    padded_.assign(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(padded_.data(), data, size);
    packet_->data = padded_.data();
    packet_->size = static_cast<int>(size);
    // A packet the decoder refuses is passed over, as a damaged frame would be.
    if (avcodec_send_packet(context_, packet_) < 0) return;
    while (avcodec_receive_frame(context_, frame_) == 0) {
        AppendFrame(frame_);
        av_frame_unref(frame_);
    }
}

void AcmDecoder::AppendFrame(const AVFrame* frame) {
    const int in = frame->ch_layout.nb_channels;
    const int out = kind_.channels;
    if (in < 1 || frame->nb_samples <= 0) return;
    if (pendingRead_ > 0 && pendingRead_ == pending_.size()) {
        pending_.clear();
        pendingRead_ = 0;
    }
    const std::size_t start = pending_.size();
    pending_.resize(start + static_cast<std::size_t>(frame->nb_samples) * static_cast<std::size_t>(out) * 2);
    std::uint8_t* p = pending_.data() + start;
    for (int i = 0; i < frame->nb_samples; ++i) {
        for (int c = 0; c < out; ++c) {
            std::int32_t value;
            if (out == 1 && in > 1)
                value = (SampleAt(frame, i, 0) + SampleAt(frame, i, 1)) / 2;  // a stereo frame in a mono stream
            else
                value = SampleAt(frame, i, c < in ? c : in - 1);
            *p++ = static_cast<std::uint8_t>(value & 0xFF);
            *p++ = static_cast<std::uint8_t>((value >> 8) & 0xFF);
        }
    }
}

void AcmDecoder::Emit(std::uint8_t* destination, std::size_t capacity, std::size_t* written) {
    const std::size_t n = std::min(Waiting(), capacity - *written);
    if (n == 0) return;
    std::memcpy(destination + *written, pending_.data() + pendingRead_, n);
    pendingRead_ += n;
    *written += n;
    if (pendingRead_ == pending_.size()) {
        pending_.clear();
        pendingRead_ = 0;
    }
}

void AcmDecoder::Convert(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* destination,
                         std::size_t capacity, std::size_t* sourceUsed, std::size_t* destinationUsed, bool end) {
    *sourceUsed = 0;
    *destinationUsed = 0;
    Emit(destination, capacity, destinationUsed);
    const std::size_t packetOutput = AcmPacketOutputBound(kind_);
    // More input only while its output fits behind what is written; a
    // call that has written nothing yet always takes one packet.
    auto roomFor = [&](std::size_t output) {
        return Waiting() == 0 && (*destinationUsed == 0 || *destinationUsed + output <= capacity);
    };

    if (kind_.packing == AcmPacking::Blocks) {
        const auto block = static_cast<std::size_t>(kind_.blockBytes);
        const std::size_t blockOutput = static_cast<std::size_t>(kind_.samplesPerBlock) * kind_.channels * 2;
        while (sourceSize - *sourceUsed >= block && roomFor(blockOutput)) {
            std::size_t blocks = std::min<std::size_t>(kind_.blocksPerPacket, (sourceSize - *sourceUsed) / block);
            const std::size_t free = capacity - *destinationUsed;
            if (blocks * blockOutput > free) blocks = std::max<std::size_t>(1, free / blockOutput);
            Decode(source + *sourceUsed, blocks * block);
            *sourceUsed += blocks * block;
            Emit(destination, capacity, destinationUsed);
        }
    } else {
        while (*sourceUsed < sourceSize && roomFor(packetOutput)) {
            const std::size_t chunk = std::min(kParserChunk, sourceSize - *sourceUsed);
            parserInput_.assign(chunk + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            std::memcpy(parserInput_.data(), source + *sourceUsed, chunk);
            std::uint8_t* frame = nullptr;
            int frameSize = 0;
            const int used = av_parser_parse2(parser_, context_, &frame, &frameSize, parserInput_.data(),
                                              static_cast<int>(chunk), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) break;
            *sourceUsed += static_cast<std::size_t>(used);
            if (frameSize > 0) Decode(frame, static_cast<std::size_t>(frameSize));
            Emit(destination, capacity, destinationUsed);
            if (used == 0 && frameSize == 0) break;
        }
        if (end && *sourceUsed == sourceSize && Waiting() == 0) {
            std::uint8_t* frame = nullptr;
            int frameSize = 0;
            av_parser_parse2(parser_, context_, &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (frameSize > 0) Decode(frame, static_cast<std::size_t>(frameSize));
            Emit(destination, capacity, destinationUsed);
        }
    }
}
