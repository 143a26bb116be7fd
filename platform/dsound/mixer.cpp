#include "dsound/mixer.h"

#include <algorithm>
#include <cstring>

namespace {

template <int Bits, int Channels>
inline void ReadFrame(const std::uint8_t* p, std::int32_t& left, std::int32_t& right) {
    if constexpr (Bits == 8) {
        left = (static_cast<std::int32_t>(p[0]) - 128) * 256;
        right = Channels == 2 ? (static_cast<std::int32_t>(p[1]) - 128) * 256 : left;
    } else {
        std::int16_t l;
        std::memcpy(&l, p, 2);
        left = l;
        if constexpr (Channels == 2) {
            std::int16_t r;
            std::memcpy(&r, p + 2, 2);
            right = r;
        } else {
            right = left;
        }
    }
}

template <int Bits, int Channels>
void MixVoiceOf(MixVoice& voice, std::int32_t* accumulator, int frames, int deviceRate) {
    constexpr std::uint32_t kBlock = Bits / 8 * Channels;
    const std::uint8_t* data = voice.memory->data();
    const std::uint32_t total = voice.frames;
    const auto rate = static_cast<std::uint32_t>(voice.format.rate);
    const auto device = static_cast<std::uint32_t>(deviceRate);
    const std::uint32_t stepWhole = rate / device;
    const std::uint32_t stepPart = rate % device;
    // remainder x reciprocal >> 32 is remainder / device in 15 bits.
    const std::uint64_t reciprocal = (std::uint64_t{1} << 47) / device;
    std::uint32_t position = voice.position;
    std::uint32_t remainder = voice.remainder;

    for (int i = 0; i < frames; ++i) {
        std::int32_t left, right;
        ReadFrame<Bits, Channels>(data + static_cast<std::size_t>(position) * kBlock, left, right);
        if (remainder != 0) {
            std::uint32_t next = position + 1;
            if (next >= total) next = voice.looping ? 0 : position;
            std::int32_t nextLeft, nextRight;
            ReadFrame<Bits, Channels>(data + static_cast<std::size_t>(next) * kBlock, nextLeft, nextRight);
            const auto weight = static_cast<std::int32_t>((remainder * reciprocal) >> 32);
            left += ((nextLeft - left) * weight) >> 15;
            right += ((nextRight - right) * weight) >> 15;
        }
        accumulator[2 * i] += left;
        accumulator[2 * i + 1] += right;

        position += stepWhole;
        remainder += stepPart;
        if (remainder >= device) {
            remainder -= device;
            ++position;
        }
        if (position >= total) {
            if (!voice.looping) {
                voice.playing = false;
                position = 0;
                remainder = 0;
                break;
            }
            position %= total;
        }
    }
    voice.position = position;
    voice.remainder = remainder;
}

}  // namespace

void MixVoiceInto(MixVoice& voice, std::int32_t* accumulator, int frames, int deviceRate) {
    if (!voice.playing || voice.frames == 0 || !voice.memory || deviceRate <= 0) return;
    if (voice.position >= voice.frames) voice.position %= voice.frames;
    const bool stereo = voice.format.channels == 2;
    if (voice.format.bits == 8) {
        if (stereo)
            MixVoiceOf<8, 2>(voice, accumulator, frames, deviceRate);
        else
            MixVoiceOf<8, 1>(voice, accumulator, frames, deviceRate);
    } else {
        if (stereo)
            MixVoiceOf<16, 2>(voice, accumulator, frames, deviceRate);
        else
            MixVoiceOf<16, 1>(voice, accumulator, frames, deviceRate);
    }
}

void AudioMixer::AddVoice(MixVoice* voice) {
    if (std::find(voices_.begin(), voices_.end(), voice) == voices_.end()) voices_.push_back(voice);
}

void AudioMixer::RemoveVoice(MixVoice* voice) { std::erase(voices_, voice); }

void AudioMixer::AddSource(MixSource* source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void AudioMixer::RemoveSource(MixSource* source) { std::erase(sources_, source); }

void AudioMixer::SetDeviceRate(int rate) {
    if (rate <= 0 || rate == deviceRate_) return;
    deviceRate_ = rate;
    for (MixVoice* voice : voices_) voice->remainder = 0;
}

void AudioMixer::Mix(std::int16_t* out, int frames) {
    accumulator_.assign(static_cast<std::size_t>(frames) * 2, 0);
    for (MixVoice* voice : voices_) MixVoiceInto(*voice, accumulator_.data(), frames, deviceRate_);
    for (MixSource* source : sources_) source->RenderInto(accumulator_.data(), frames, deviceRate_);
    for (std::size_t i = 0; i < accumulator_.size(); ++i) out[i] = ClampSample(accumulator_[i]);
}
