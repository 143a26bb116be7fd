#include "movie_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

FrameColour TestMovieFrameColour(int frame) {
    // Steps of 8 (red, blue) and 4 (green) keep the colours exact in 5:6:5.
    return FrameColour{((frame * 5 + 3) % 32) * 8, ((frame * 11 + 40) % 64) * 4, ((frame * 3 + 30) % 32) * 8};
}

int TestMovieFrameOf(FrameColour colour, int frames) {
    for (int n = 0; n < frames; ++n) {
        const FrameColour c = TestMovieFrameColour(n);
        if ((c.r >> 3) == (colour.r >> 3) && (c.g >> 2) == (colour.g >> 2) && (c.b >> 3) == (colour.b >> 3)) return n;
    }
    return -1;
}

namespace {

// The encoders of each container, by name, and the formats they take.
struct Codecs {
    const char* container;
    const char* video;
    AVPixelFormat pixels;
    const char* sound;
    AVSampleFormat samples;
};

constexpr Codecs kCodecs[] = {
    {"avi", "rawvideo", AV_PIX_FMT_BGR24, "pcm_s16le", AV_SAMPLE_FMT_S16},
    {"mov", "rawvideo", AV_PIX_FMT_BGR24, "pcm_s16le", AV_SAMPLE_FMT_S16},
    {"nut", "rawvideo", AV_PIX_FMT_BGR24, "pcm_s16le", AV_SAMPLE_FMT_S16},
    {"mpeg", "mpeg1video", AV_PIX_FMT_YUV420P, "mp2", AV_SAMPLE_FMT_S16},
    {"mp4", "libx264", AV_PIX_FMT_YUV420P, "aac", AV_SAMPLE_FMT_FLTP},
    {"webm", "libvpx", AV_PIX_FMT_YUV420P, "libvorbis", AV_SAMPLE_FMT_FLTP},
    {"ogg", "libtheora", AV_PIX_FMT_YUV420P, "libvorbis", AV_SAMPLE_FMT_FLTP},
};

const Codecs* CodecsOf(const char* container) {
    for (const Codecs& codecs : kCodecs)
        if (std::strcmp(codecs.container, container) == 0) return &codecs;
    return nullptr;
}

// A step of shading at (x, y): 0 to 24 in steps of 8, changing every 4 pixels.
int Shade(const TestMovieSpec& spec, int x, int y) { return spec.shaded ? ((x / 4 + y / 4) % 4) * 8 : 0; }

std::uint8_t Clamp(int value, int low, int high) { return static_cast<std::uint8_t>(std::clamp(value, low, high)); }

struct Output {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* sound = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* soundStream = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();

    ~Output() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&sound);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    AVCodecContext* AddStream(const char* name, AVStream** stream) {
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        if (codec == nullptr) return nullptr;
        *stream = avformat_new_stream(format, codec);
        return *stream != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    }

    bool Open(AVCodecContext* context, AVStream* stream) {
        if (format->oformat->flags & AVFMT_GLOBALHEADER) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(context, context->codec, nullptr) < 0) return false;
        stream->time_base = context->time_base;
        return avcodec_parameters_from_context(stream->codecpar, context) >= 0;
    }

    // How much later than the encoder's own times a packet is written, in
    // the encoder's time base: the stream's start, and the jump from the
    // frame the packet is decoded in on (its decoding time, so that the
    // packets stay in order and none is shown before it is decoded).
    std::int64_t Shift(const AVCodecContext* context, const AVPacket* coded) const {
        const bool picture = context == video;
        const std::int64_t at = coded->dts != AV_NOPTS_VALUE ? coded->dts : coded->pts;
        const std::int64_t frameNumber = picture ? at : at * spec->framesPerSecond / spec->soundRate;
        std::int64_t shift = av_rescale_q(picture ? spec->videoStartMs : spec->soundStartMs, AVRational{1, 1000},
                                          context->time_base);
        if (spec->jumpFromFrame >= 0 && frameNumber >= spec->jumpFromFrame)
            shift += av_rescale_q(spec->jumpSeconds, AVRational{1, 1}, context->time_base);
        return shift;
    }

    // Sends a frame (null: the end) and writes every packet that comes out.
    bool Encode(AVCodecContext* context, AVStream* stream, AVFrame* input) {
        if (avcodec_send_frame(context, input) < 0) return false;
        for (;;) {
            const int result = avcodec_receive_packet(context, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return false;
            const std::int64_t shift = Shift(context, packet);
            if (packet->pts != AV_NOPTS_VALUE) packet->pts += shift;
            if (packet->dts != AV_NOPTS_VALUE) packet->dts += shift;
            av_packet_rescale_ts(packet, context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
    }

    bool VideoFrame(const TestMovieSpec& spec, int n) {
        av_frame_unref(frame);
        frame->format = video->pix_fmt;
        frame->width = spec.width;
        frame->height = spec.height;
        if (av_frame_get_buffer(frame, 0) < 0) return false;
        const FrameColour c = TestMovieFrameColour(n);
        if (video->pix_fmt == AV_PIX_FMT_YUV420P) {
            // BT.601 studio range, as the MPEG decoders read it back.
            const int y = (66 * c.r + 129 * c.g + 25 * c.b + 128) / 256 + 16;
            const int u = (-38 * c.r - 74 * c.g + 112 * c.b + 128) / 256 + 128;
            const int v = (112 * c.r - 94 * c.g - 18 * c.b + 128) / 256 + 128;
            for (int row = 0; row < spec.height; ++row)
                for (int x = 0; x < spec.width; ++x)
                    frame->data[0][row * frame->linesize[0] + x] = Clamp(y + Shade(spec, x, row), 16, 235);
            for (int row = 0; row < (spec.height + 1) / 2; ++row) {
                std::memset(frame->data[1] + row * frame->linesize[1], u, static_cast<std::size_t>(spec.width + 1) / 2);
                std::memset(frame->data[2] + row * frame->linesize[2], v, static_cast<std::size_t>(spec.width + 1) / 2);
            }
        } else {
            for (int y = 0; y < spec.height; ++y) {
                std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
                for (int x = 0; x < spec.width; ++x) {
                    const int shade = Shade(spec, x, y);
                    row[x * 3] = Clamp(c.b + shade, 0, 255);
                    row[x * 3 + 1] = Clamp(c.g + shade, 0, 255);
                    row[x * 3 + 2] = Clamp(c.r + shade, 0, 255);
                }
            }
        }
        frame->pts = n;
        return Encode(video, videoStream, frame);
    }

    // The sound of frame n's time (silence, or the tone once it has begun)
    // joins what waits to be encoded; the encoder takes it in frames of
    // its own size when it has one.
    bool SoundFrame(const TestMovieSpec& spec, int n) {
        const std::int64_t first = static_cast<std::int64_t>(n) * spec.soundRate / spec.framesPerSecond;
        const std::int64_t end = static_cast<std::int64_t>(n + 1) * spec.soundRate / spec.framesPerSecond;
        for (std::int64_t i = first; i < end; ++i) {
            const double t = static_cast<double>(i) / spec.soundRate;
            const bool on = n >= spec.toneFromFrame;
            const auto value = on ? static_cast<std::int16_t>(spec.toneLevel * std::sin(2 * std::numbers::pi * spec.toneHz * t)) : 0;
            for (int channel = 0; channel < spec.soundChannels; ++channel) waiting.push_back(value);
        }
        const int fixed = (sound->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ? 0 : sound->frame_size;
        const std::size_t step = fixed > 0 ? static_cast<std::size_t>(fixed) : waiting.size() / spec.soundChannels;
        while (step > 0 && waiting.size() / spec.soundChannels >= step)
            if (!SendSound(spec, step)) return false;
        return true;
    }

    // The rest, padded with silence to a whole encoder frame.
    bool FlushSound(const TestMovieSpec& spec) {
        if (waiting.empty()) return true;
        const int fixed = (sound->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ? 0 : sound->frame_size;
        const std::size_t have = waiting.size() / spec.soundChannels;
        const std::size_t step = fixed > 0 ? static_cast<std::size_t>(fixed) : have;
        waiting.resize(step * spec.soundChannels, 0);
        return SendSound(spec, step);
    }

    bool SendSound(const TestMovieSpec& spec, std::size_t count) {
        av_frame_unref(frame);
        frame->format = sound->sample_fmt;
        frame->sample_rate = spec.soundRate;
        frame->nb_samples = static_cast<int>(count);
        av_channel_layout_default(&frame->ch_layout, spec.soundChannels);
        if (av_frame_get_buffer(frame, 0) < 0) return false;
        if (sound->sample_fmt == AV_SAMPLE_FMT_FLTP) {
            for (int channel = 0; channel < spec.soundChannels; ++channel) {
                auto* plane = reinterpret_cast<float*>(frame->extended_data[channel]);
                for (std::size_t i = 0; i < count; ++i)
                    plane[i] = waiting[i * spec.soundChannels + channel] / 32768.0f;
            }
        } else {
            std::memcpy(frame->data[0], waiting.data(), count * spec.soundChannels * sizeof(std::int16_t));
        }
        waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(count * spec.soundChannels));
        frame->pts = soundWritten;
        soundWritten += static_cast<std::int64_t>(count);
        return Encode(sound, soundStream, frame);
    }

    std::vector<std::int16_t> waiting;  // interleaved samples not yet encoded
    const TestMovieSpec* spec = nullptr;
    std::int64_t soundWritten = 0;
};

}  // namespace

bool WriteTestMovie(const std::string& path, const TestMovieSpec& spec) {
    if (spec.width <= 0 || spec.height <= 0 || spec.frames <= 0 || spec.framesPerSecond <= 0 ||
        spec.soundChannels < 1 || spec.soundChannels > 2 || spec.container == nullptr)
        return false;
    const Codecs* codecs = CodecsOf(spec.container);
    if (codecs == nullptr) return false;
    const char* videoEncoder = spec.videoEncoder != nullptr ? spec.videoEncoder : codecs->video;
    const bool lossy = codecs->pixels == AV_PIX_FMT_YUV420P || spec.videoEncoder != nullptr;
    // The muxers' advice (buffer sizes for disc formats) is of no use here.
    if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
    Output out;
    out.spec = &spec;
    if (out.packet == nullptr || out.frame == nullptr ||
        avformat_alloc_output_context2(&out.format, nullptr, spec.container, path.c_str()) < 0)
        return false;
    out.video = out.AddStream(videoEncoder, &out.videoStream);
    if (out.video == nullptr) return false;
    out.video->width = spec.width;
    out.video->height = spec.height;
    out.video->pix_fmt = lossy ? AV_PIX_FMT_YUV420P : codecs->pixels;
    out.video->time_base = AVRational{1, spec.framesPerSecond};
    out.videoStream->avg_frame_rate = AVRational{spec.framesPerSecond, 1};
    if (lossy) {
        out.video->bit_rate = 200000;
        out.video->gop_size = spec.keyFrameEvery > 0 ? spec.keyFrameEvery : spec.framesPerSecond;
        // Every frame has a colour of its own, which an encoder looking for
        // scene changes would start a group with; asked for groups of a
        // length, it keeps to them.
        if (spec.keyFrameEvery > 0) av_opt_set_int(out.video, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
    }
    if (!out.Open(out.video, out.videoStream)) return false;
    if (spec.soundRate > 0) {
        out.sound = out.AddStream(codecs->sound, &out.soundStream);
        if (out.sound == nullptr) return false;
        out.sound->sample_fmt = codecs->samples;
        out.sound->sample_rate = spec.soundRate;
        if (lossy) out.sound->bit_rate = 64000 * spec.soundChannels;
        // Vorbis is asked for a quality, not a rate it may not offer at this
        // sample rate.
        if (std::strcmp(codecs->sound, "libvorbis") == 0) {
            out.sound->flags |= AV_CODEC_FLAG_QSCALE;
            out.sound->global_quality = 3 * FF_QP2LAMBDA;
        }
        av_channel_layout_default(&out.sound->ch_layout, spec.soundChannels);
        out.sound->time_base = AVRational{1, spec.soundRate};
        if (!out.Open(out.sound, out.soundStream)) return false;
    }
    if (avio_open(&out.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(out.format, nullptr) < 0) return false;
    for (int n = 0; n < spec.frames; ++n) {
        if (!out.VideoFrame(spec, n)) return false;
        if (out.sound != nullptr && !out.SoundFrame(spec, n)) return false;
    }
    if (!out.Encode(out.video, out.videoStream, nullptr)) return false;
    if (out.sound != nullptr && (!out.FlushSound(spec) || !out.Encode(out.sound, out.soundStream, nullptr))) return false;
    return av_write_trailer(out.format) >= 0;
}

const char* TestMovieContainerFor(const std::string& path) {
    static const std::pair<const char*, const char*> byExtension[] = {
        {".avi", "avi"}, {".mov", "mov"}, {".nut", "nut"}, {".mpg", "mpeg"},
        {".mp4", "mp4"}, {".webm", "webm"}, {".ogg", "ogg"}, {".ogv", "ogg"}};
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return nullptr;
    const std::string extension = path.substr(dot);
    for (const auto& [ending, container] : byExtension)
        if (extension == ending) return container;
    return nullptr;
}
