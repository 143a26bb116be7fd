// The software mixer's cost: one second of 44.1 kHz stereo output with 16
// voices playing, mixed in device periods of 1024 frames. Each iteration is
// one second of sound, so its time (and the "cpu_per_audio_second" counter)
// over one second is the share of one core the mixing takes. Beside it, the nearest peers on the same
// work: SDL2's own mixing (summing without resampling) and libswresample
// (resampling without summing).
#include <SDL.h>
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "dsound/mixer.h"

namespace {

constexpr int kRate = 44100;
constexpr int kPeriod = 1024;
constexpr int kVoices = 16;

std::shared_ptr<SampleMemory> Tone(int frames, int channels, double hz, int rate) {
    auto memory = std::make_shared<SampleMemory>(static_cast<std::size_t>(frames * channels * 2));
    for (int i = 0; i < frames * channels; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(std::sin(i * hz * 2 * M_PI / rate) * 3000));
        std::memcpy(memory->data() + i * 2, &v, 2);
    }
    return memory;
}

// One second of output per iteration: the inverted rate is the processor
// time one second of sound costs.
void ReportShare(benchmark::State& state) {
    state.counters["cpu_per_audio_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Voices of the game's kind (22050 Hz mono, resampled) and of the device's
// (44100 Hz stereo), `resampled` of the 16 of the first kind.
void BM_Mixer16Voices(benchmark::State& state) {
    const int resampled = static_cast<int>(state.range(0));
    AudioMixer mixer(kRate);
    std::vector<MixVoice> voices(kVoices);
    for (int v = 0; v < kVoices; ++v) {
        const bool game = v < resampled;
        MixVoice& voice = voices[v];
        voice.format = game ? VoiceFormat{1, 16, 22050, 2} : VoiceFormat{2, 16, kRate, 4};
        voice.frames = game ? 22050 * 3 : kRate * 3;
        voice.memory = Tone(static_cast<int>(voice.frames), voice.format.channels, 200 + 50 * v, voice.format.rate);
        voice.playing = true;
        voice.looping = true;
        mixer.AddVoice(&voice);
    }
    std::vector<std::int16_t> out(kPeriod * 2);
    for (auto _ : state) {
        for (int done = 0; done < kRate; done += kPeriod) {
            mixer.Mix(out.data(), std::min(kPeriod, kRate - done));
            benchmark::DoNotOptimize(out.data());
        }
    }
    ReportShare(state);
}
BENCHMARK(BM_Mixer16Voices)->Arg(0)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// SDL2 sums 16 streams already at the device's rate and format.
void BM_SdlMixAudioFormat16Voices(benchmark::State& state) {
    std::vector<std::shared_ptr<SampleMemory>> sources;
    for (int v = 0; v < kVoices; ++v) sources.push_back(Tone(kRate, 2, 200 + 50 * v, kRate));
    std::vector<std::int16_t> out(kPeriod * 2);
    for (auto _ : state) {
        for (int done = 0; done < kRate; done += kPeriod) {
            const int frames = std::min(kPeriod, kRate - done);
            std::memset(out.data(), 0, out.size() * 2);
            for (const auto& source : sources)
                SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), source->data() + done * 4, AUDIO_S16SYS,
                                   static_cast<Uint32>(frames * 4), SDL_MIX_MAXVOLUME);
            benchmark::DoNotOptimize(out.data());
        }
    }
    ReportShare(state);
}
BENCHMARK(BM_SdlMixAudioFormat16Voices)->Unit(benchmark::kMillisecond);

// libswresample takes 16 streams of 22050 Hz mono to 44100 Hz stereo, one
// resampler each, without summing them.
void BM_SwresampleResample16Voices(benchmark::State& state) {
    std::vector<SwrContext*> contexts;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    for (int v = 0; v < kVoices; ++v) {
        SwrContext* swr = nullptr;
        swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, kRate, &mono, AV_SAMPLE_FMT_S16, 22050, 0, nullptr);
        // Linear interpolation, as the mixer does.
        av_opt_set_int(swr, "linear_interp", 1, 0);
        av_opt_set_int(swr, "filter_size", 1, 0);
        swr_init(swr);
        contexts.push_back(swr);
    }
    const auto source = Tone(22050, 1, 300, 22050);
    std::vector<std::int16_t> out(kPeriod * 2 + 64);
    for (auto _ : state) {
        for (int done = 0; done < kRate; done += kPeriod) {
            const int frames = std::min(kPeriod, kRate - done);
            for (SwrContext* swr : contexts) {
                const std::uint8_t* in[1] = {source->data() + (done / 2) * 2};
                std::uint8_t* o[1] = {reinterpret_cast<std::uint8_t*>(out.data())};
                swr_convert(swr, o, frames + 32, in, frames / 2);
            }
            benchmark::DoNotOptimize(out.data());
        }
    }
    for (SwrContext* swr : contexts) swr_free(&swr);
    ReportShare(state);
}
BENCHMARK(BM_SwresampleResample16Voices)->Unit(benchmark::kMillisecond);

}  // namespace
