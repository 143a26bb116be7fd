#include "movie_writer.h"

#include <cmath>
#include <numbers>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
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

    AVCodecContext* AddStream(AVCodecID id, AVStream** stream) {
        const AVCodec* codec = avcodec_find_encoder(id);
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

    // Sends a frame (null: the end) and writes every packet that comes out.
    bool Encode(AVCodecContext* context, AVStream* stream, AVFrame* input) {
        if (avcodec_send_frame(context, input) < 0) return false;
        for (;;) {
            const int result = avcodec_receive_packet(context, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return false;
            av_packet_rescale_ts(packet, context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
    }

    bool VideoFrame(const TestMovieSpec& spec, int n) {
        av_frame_unref(frame);
        frame->format = AV_PIX_FMT_BGR24;
        frame->width = spec.width;
        frame->height = spec.height;
        if (av_frame_get_buffer(frame, 0) < 0) return false;
        const FrameColour c = TestMovieFrameColour(n);
        for (int y = 0; y < spec.height; ++y) {
            std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < spec.width; ++x) {
                row[x * 3] = static_cast<std::uint8_t>(c.b);
                row[x * 3 + 1] = static_cast<std::uint8_t>(c.g);
                row[x * 3 + 2] = static_cast<std::uint8_t>(c.r);
            }
        }
        frame->pts = n;
        return Encode(video, videoStream, frame);
    }

    // The sound of frame n's time: silence, or the tone once it has begun.
    bool SoundFrame(const TestMovieSpec& spec, int n) {
        const std::int64_t first = static_cast<std::int64_t>(n) * spec.soundRate / spec.framesPerSecond;
        const std::int64_t end = static_cast<std::int64_t>(n + 1) * spec.soundRate / spec.framesPerSecond;
        av_frame_unref(frame);
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = spec.soundRate;
        frame->nb_samples = static_cast<int>(end - first);
        av_channel_layout_default(&frame->ch_layout, 1);
        if (av_frame_get_buffer(frame, 0) < 0) return false;
        auto* samples = reinterpret_cast<std::int16_t*>(frame->data[0]);
        for (std::int64_t i = first; i < end; ++i) {
            const double t = static_cast<double>(i) / spec.soundRate;
            const bool on = n >= spec.toneFromFrame;
            samples[i - first] = on ? static_cast<std::int16_t>(spec.toneLevel * std::sin(2 * std::numbers::pi * spec.toneHz * t)) : 0;
        }
        frame->pts = first;
        return Encode(sound, soundStream, frame);
    }
};

}  // namespace

bool WriteTestMovie(const std::string& path, const TestMovieSpec& spec) {
    if (spec.width <= 0 || spec.height <= 0 || spec.frames <= 0 || spec.framesPerSecond <= 0) return false;
    Output out;
    if (out.packet == nullptr || out.frame == nullptr ||
        avformat_alloc_output_context2(&out.format, nullptr, "avi", path.c_str()) < 0)
        return false;
    out.video = out.AddStream(AV_CODEC_ID_RAWVIDEO, &out.videoStream);
    if (out.video == nullptr) return false;
    out.video->width = spec.width;
    out.video->height = spec.height;
    out.video->pix_fmt = AV_PIX_FMT_BGR24;
    out.video->time_base = AVRational{1, spec.framesPerSecond};
    out.videoStream->avg_frame_rate = AVRational{spec.framesPerSecond, 1};
    if (!out.Open(out.video, out.videoStream)) return false;
    if (spec.soundRate > 0) {
        out.sound = out.AddStream(AV_CODEC_ID_PCM_S16LE, &out.soundStream);
        if (out.sound == nullptr) return false;
        out.sound->sample_fmt = AV_SAMPLE_FMT_S16;
        out.sound->sample_rate = spec.soundRate;
        av_channel_layout_default(&out.sound->ch_layout, 1);
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
    if (out.sound != nullptr && !out.Encode(out.sound, out.soundStream, nullptr)) return false;
    return av_write_trailer(out.format) >= 0;
}
