#include "movie_reference.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

// A file's best stream of one kind with its decoder open.
struct Decoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int stream = -1;
    bool draining = false;

    Decoding(const std::string& path, AVMediaType type) {
        const AVCodec* codec = nullptr;
        if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return;
        if (avformat_find_stream_info(format, nullptr) < 0) return;
        stream = av_find_best_stream(format, type, -1, -1, &codec, 0);
        if (stream < 0 || codec == nullptr) return;
        decoder = avcodec_alloc_context3(codec);
        if (decoder == nullptr || avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar) < 0 ||
            avcodec_open2(decoder, codec, nullptr) < 0)
            avcodec_free_context(&decoder);
    }
    ~Decoding() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }

    // The next decoded frame, or null at the end.
    AVFrame* Next() {
        if (decoder == nullptr) return nullptr;
        for (;;) {
            const int received = avcodec_receive_frame(decoder, frame);
            if (received == 0) return frame;
            if (received != AVERROR(EAGAIN)) return nullptr;
            if (av_read_frame(format, packet) < 0) {
                if (draining) return nullptr;
                draining = true;
                avcodec_send_packet(decoder, nullptr);
                continue;
            }
            if (packet->stream_index == stream) avcodec_send_packet(decoder, packet);
            av_packet_unref(packet);
        }
    }
};

}  // namespace

ReferencePictures DecodeReferencePictures(const std::string& path) {
    ReferencePictures out;
    Decoding video(path, AVMEDIA_TYPE_VIDEO);
    if (video.decoder == nullptr) return out;
    out.width = video.decoder->width;
    out.height = video.decoder->height;
    SwsContext* scaler = nullptr;
    for (AVFrame* frame = video.Next(); frame != nullptr; frame = video.Next()) {
        scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                      out.width, out.height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (scaler == nullptr) break;
        // Room past the end for the scaler's vector loops.
        std::vector<std::uint8_t> picture(static_cast<std::size_t>(out.width) * out.height * 4 + 256);
        std::uint8_t* planes[4] = {picture.data(), nullptr, nullptr, nullptr};
        const int pitches[4] = {out.width * 4, 0, 0, 0};
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
        picture.resize(static_cast<std::size_t>(out.width) * out.height * 4);
        out.bgra.push_back(std::move(picture));
    }
    sws_freeContext(scaler);
    return out;
}

std::vector<std::int16_t> DecodeReferenceSound(const std::string& path, int rate) {
    std::vector<std::int16_t> out;
    Decoding sound(path, AVMEDIA_TYPE_AUDIO);
    SwrContext* resampler = nullptr;
    const auto convert = [&](const std::uint8_t** in, int count) {
        const int room = swr_get_out_samples(resampler, count);
        if (room <= 0) return 0;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(room) * 2);
        std::uint8_t* to = reinterpret_cast<std::uint8_t*>(out.data() + at);
        const int made = swr_convert(resampler, &to, room, in, count);
        out.resize(at + static_cast<std::size_t>(std::max(made, 0)) * 2);
        return made;
    };
    for (AVFrame* frame = sound.Next(); frame != nullptr; frame = sound.Next()) {
        if (resampler == nullptr) {
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            if (swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, rate, &frame->ch_layout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
                swr_init(resampler) < 0)
                break;
        }
        convert(const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    }
    while (resampler != nullptr && convert(nullptr, 0) > 0) {
    }
    swr_free(&resampler);
    return out;
}

double ReferenceStartTime(const std::string& path, bool picture) {
    Decoding decoding(path, picture ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO);
    if (decoding.stream < 0) return -1;
    const AVStream* stream = decoding.format->streams[decoding.stream];
    return stream->start_time == AV_NOPTS_VALUE ? -1 : static_cast<double>(stream->start_time) * av_q2d(stream->time_base);
}
