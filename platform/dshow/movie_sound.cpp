#include "dshow/movie_sound.h"

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

std::unique_ptr<MovieSound> MovieSound::Open(const std::string& nativePath) {
    std::unique_ptr<MovieSound> sound(new MovieSound);
    if (!sound->reader_.Open(nativePath, MediaKind::Audio)) return nullptr;
    sound->output_ = AcquireAudioOutput();
    if (!sound->output_) return nullptr;
    {
        std::lock_guard lock(sound->output_->Mixer().Mutex());
        sound->rate_ = sound->output_->Mixer().DeviceRate();
    }
    AVCodecContext* decoder = const_cast<AVCodecContext*>(sound->reader_.Decoder());
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    // The library takes the input layout by a non-const pointer but only reads it.
    if (swr_alloc_set_opts2(&sound->resampler_, &stereo, AV_SAMPLE_FMT_S16, sound->rate_, &decoder->ch_layout,
                            decoder->sample_fmt, decoder->sample_rate, 0, nullptr) < 0 ||
        swr_init(sound->resampler_) < 0)
        return nullptr;
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
    swr_init(resampler_);  // forgets what it still held
    seekTarget_ = time;
    trimming_ = true;
    ended_ = false;
    Fill();
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
            ended_ = true;
            break;
        }
        const int room = swr_get_out_samples(resampler_, frame->nb_samples);
        if (room <= 0) continue;
        samples.resize(static_cast<std::size_t>(room) * 2);
        std::uint8_t* out = reinterpret_cast<std::uint8_t*>(samples.data());
        int made = swr_convert(resampler_, &out, room, const_cast<const std::uint8_t**>(frame->extended_data),
                               frame->nb_samples);
        if (made <= 0) continue;
        std::size_t skip = 0;
        if (trimming_) {
            // After a seek the decoder starts at a key frame before the target.
            const STREAM_TIME early = seekTarget_ - reader_.FrameTime(frame);
            if (early > 0) skip = static_cast<std::size_t>(std::min<std::int64_t>(early * rate_ / 10000000, made));
            trimming_ = false;
        }
        std::lock_guard lock(output_->Mixer().Mutex());
        queue_.insert(queue_.end(), samples.begin() + static_cast<std::ptrdiff_t>(skip * 2),
                      samples.begin() + static_cast<std::ptrdiff_t>(made) * 2);
        have = queueStart_ + static_cast<std::int64_t>(queue_.size() / 2);
        wanted = played_ + rate_;
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
