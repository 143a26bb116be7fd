#include "dshow/movie_sound.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include "platform/kernel.h"

namespace {

// What a movie's sound may be; a frame claiming more channels, a rate
// outside these or more samples is taken for damage (resampled from a rate
// of a few hertz, one frame would fill gigabytes).
constexpr int kMaxChannels = 8;
constexpr int kMinRate = 4000;
constexpr int kMaxRate = 384000;
constexpr int kMaxFrameSamples = 1 << 18;

// A decoded frame of a sound that can be played, with all its planes there
// for its own shape.
bool FrameComplete(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (frame->nb_samples <= 0 || frame->nb_samples > kMaxFrameSamples || channels < 1 || channels > kMaxChannels ||
        frame->sample_rate < kMinRate || frame->sample_rate > kMaxRate || frame->extended_data == nullptr)
        return false;
    const int planes = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format)) ? channels : 1;
    for (int i = 0; i < planes; ++i)
        if (frame->extended_data[i] == nullptr) return false;
    return av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format)) > 0;
}

}  // namespace

std::unique_ptr<MovieSound> MovieSound::Open(const std::string& nativePath, std::shared_ptr<MovieBudget> budget) {
    std::unique_ptr<MovieSound> sound(new MovieSound);
    if (!sound->reader_.Open(nativePath, MediaKind::Audio, std::move(budget))) return nullptr;
    sound->output_ = AcquireAudioOutput();
    if (!sound->output_) return nullptr;
    {
        std::lock_guard lock(sound->output_->Mixer().Mutex());
        sound->rate_ = sound->output_->Mixer().DeviceRate();
        // A sound that starts after the picture starts after silence.
        sound->queueStart_ = sound->FramesIn(sound->reader_.StartTime());
    }
    sound->Fill();
    std::lock_guard lock(sound->output_->Mixer().Mutex());
    sound->output_->Mixer().AddSource(sound.get());
    return sound;
}

MovieSound::~MovieSound() {
    if (output_) {
        std::lock_guard lock(output_->Mixer().Mutex());
        output_->Mixer().RemoveSource(this);
    }
    swr_free(&resampler_);
}

void MovieSound::SetRunning(bool running) {
    AudioOutputLock lock(*output_);
    running_ = running;
}

void MovieSound::SetVolume(LONG volume) {
    const double decibels = std::clamp(volume, -10000, 0) / 100.0;
    AudioOutputLock lock(*output_);
    gain_ = volume <= -10000 ? 0 : static_cast<std::int32_t>(std::lround(32768.0 * std::pow(10.0, decibels / 20.0)));
}

void MovieSound::Seek(STREAM_TIME time) {
    {
        AudioOutputLock lock(*output_);
        queue_.clear();
        queueStart_ = played_ = 0;
    }
    reader_.Seek(time);
    if (resampler_ != nullptr) swr_init(resampler_);  // forgets what it still held
    seekTarget_ = time;
    trimming_ = true;
    ended_ = false;
    Fill();
}

bool MovieSound::ResamplerFits(const AVFrame* frame) {
    if (!FrameComplete(frame)) {
        if (!droppedDamage_) OutputDebugStringA("movie sound: damaged frames are dropped\n");
        droppedDamage_ = true;
        return false;
    }
    const AVChannelLayout& layout = frame->ch_layout;
    const std::uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
    if (resampler_ != nullptr && layout.nb_channels == inChannels_ && layout.order == inOrder_ && mask == inMask_ &&
        frame->format == inFormat_ && frame->sample_rate == inRate_)
        return true;
    // A first frame, or one of another shape than the last: the resampler is
    // set up for it, once what the old one still held is played.
    if (resampler_ != nullptr) {
        Drain();
        const std::string note = "movie sound: the decoder changed to " + std::to_string(layout.nb_channels) +
                                 " channels at " + std::to_string(frame->sample_rate) + " Hz; resampling anew\n";
        OutputDebugStringA(note.c_str());
    }
    inChannels_ = 0;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    // The library takes the input layout by a non-const pointer but only reads it.
    if (swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_S16, rate_, const_cast<AVChannelLayout*>(&layout),
                            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler_) < 0) {
        swr_free(&resampler_);
        OutputDebugStringA("movie sound: a frame that cannot be resampled is dropped\n");
        return false;
    }
    inChannels_ = layout.nb_channels;
    inOrder_ = layout.order;
    inMask_ = mask;
    inFormat_ = frame->format;
    inRate_ = frame->sample_rate;
    return true;
}

void MovieSound::Fill() {
    std::int64_t wanted = 0, have = 0;
    {
        // The output is brought up to the clock first, so what it has
        // played is known.
        AudioOutputLock lock(*output_);
        wanted = played_ + rate_;
        have = queueStart_ + static_cast<std::int64_t>(queue_.size() / 2);
    }
    std::vector<std::int16_t> samples;
    while (!ended_ && have < wanted) {
        AVFrame* frame = reader_.Next();
        if (frame == nullptr) {
            Drain();
            ended_ = true;
            break;
        }
        // Every frame is checked against what the resampler takes: a frame
        // with fewer planes would be read through a null plane.
        if (!ResamplerFits(frame)) continue;
        const int room = swr_get_out_samples(resampler_, frame->nb_samples);
        if (room <= 0) continue;
        samples.resize(static_cast<std::size_t>(room) * 2);
        std::uint8_t* out = reinterpret_cast<std::uint8_t*>(samples.data());
        int made = swr_convert(resampler_, &out, room, const_cast<const std::uint8_t**>(frame->extended_data),
                               frame->nb_samples);
        if (made <= 0) continue;
        std::size_t skip = 0;
        if (trimming_) {
            // After a seek the decoder starts at a key frame before the
            // target, whose sound before the target is cut; a sound that
            // starts after the target starts after silence.
            const std::int64_t early = FramesIn(seekTarget_ - reader_.FrameTime());
            if (early >= made) continue;
            trimming_ = false;
            if (early > 0) {
                skip = static_cast<std::size_t>(early);
            } else {
                std::lock_guard lock(output_->Mixer().Mutex());
                if (queue_.empty()) queueStart_ = -early;
            }
        }
        Queue(samples, skip, static_cast<std::size_t>(made));
        std::lock_guard lock(output_->Mixer().Mutex());
        have = queueStart_ + static_cast<std::int64_t>(queue_.size() / 2);
        wanted = played_ + rate_;
    }
}

std::int64_t MovieSound::FramesIn(STREAM_TIME time) const {
    // Both lie within a few years of 100 ns at a few hundred kilohertz: the
    // product could pass 64 bits, the library's rescaling does not.
    return av_rescale_rnd(time, rate_, 10000000, AV_ROUND_ZERO);
}

void MovieSound::Queue(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t end) {
    std::lock_guard lock(output_->Mixer().Mutex());
    queue_.insert(queue_.end(), samples.begin() + static_cast<std::ptrdiff_t>(from * 2),
                  samples.begin() + static_cast<std::ptrdiff_t>(end * 2));
}

void MovieSound::Drain() {
    // Every sound was dropped: no resampler was ever set up.
    if (resampler_ == nullptr) return;
    std::vector<std::int16_t> samples;
    for (;;) {
        const int room = swr_get_out_samples(resampler_, 0);
        if (room <= 0) return;
        samples.resize(static_cast<std::size_t>(room) * 2);
        std::uint8_t* out = reinterpret_cast<std::uint8_t*>(samples.data());
        const int made = swr_convert(resampler_, &out, room, nullptr, 0);
        if (made <= 0) return;
        Queue(samples, 0, static_cast<std::size_t>(made));
    }
}

void MovieSound::RenderInto(std::int32_t* accumulator, int frames, int) {
    if (!running_) return;
    // Frames decoded too late for their time are dropped, so the sound keeps
    // to the clock.
    if (played_ > queueStart_) {
        const std::int64_t behind = std::min<std::int64_t>(played_ - queueStart_, queue_.size() / 2);
        queue_.erase(queue_.begin(), queue_.begin() + behind * 2);
        queueStart_ += behind;
    }
    const std::int64_t gap = std::clamp<std::int64_t>(queueStart_ - played_, 0, frames);
    const int take = static_cast<int>(std::min<std::int64_t>(frames - gap, queue_.size() / 2));
    std::int32_t* out = accumulator + gap * 2;
    for (int i = 0; i < take * 2; ++i) out[i] += (queue_[static_cast<std::size_t>(i)] * gain_) >> 15;
    queue_.erase(queue_.begin(), queue_.begin() + take * 2);
    queueStart_ += take;
    played_ += frames;
}
