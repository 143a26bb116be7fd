// The software mixer against a plain reference: every buffer format at many
// rates, positions that never drift, looping, stopping at the end, clamping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "dsound/mixer.h"

namespace {

constexpr int kDeviceRate = 44100;

// A buffer holding `frames` frames of a slow sine (left) and cosine (right).
std::shared_ptr<SampleMemory> SineMemory(int frames, int bits, int channels) {
    auto memory = std::make_shared<SampleMemory>(static_cast<std::size_t>(frames * channels * bits / 8));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double phase = 2 * M_PI * i / 37.0;
            const double v = (c == 0 ? std::sin(phase) : std::cos(phase)) * 0.8;
            if (bits == 8) {
                (*memory)[static_cast<std::size_t>(i * channels + c)] = static_cast<std::uint8_t>(128 + std::lround(v * 127));
            } else {
                const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
                std::memcpy(memory->data() + (i * channels + c) * 2, &s, 2);
            }
        }
    }
    return memory;
}

// What the mixer reads for one frame and channel, as a 16-bit value.
int SourceValue(const SampleMemory& m, int frame, int channel, int bits, int channels) {
    const int c = channels == 2 ? channel : 0;
    if (bits == 8) return (m[static_cast<std::size_t>(frame * channels + c)] - 128) * 256;
    std::int16_t s;
    std::memcpy(&s, m.data() + (frame * channels + c) * 2, 2);
    return s;
}

MixVoice MakeVoice(std::shared_ptr<SampleMemory> memory, int frames, int bits, int channels, int rate,
                   bool looping) {
    MixVoice v;
    v.memory = std::move(memory);
    v.format = {channels, bits, rate, channels * bits / 8};
    v.frames = static_cast<std::uint32_t>(frames);
    v.playing = true;
    v.looping = looping;
    return v;
}

struct MixCase {
    int bits;
    int channels;
    int rate;
};

class MixerSweep : public ::testing::TestWithParam<MixCase> {};

// Frame i of the output stands at source position i x rate / device rate
// exactly: the plain reference interpolates there in floating point.
TEST_P(MixerSweep, MatchesLinearInterpolationAtTheExactPosition) {
    const MixCase c = GetParam();
    const int frames = 1000;
    auto memory = SineMemory(frames, c.bits, c.channels);
    MixVoice voice = MakeVoice(memory, frames, c.bits, c.channels, c.rate, true);
    const int out = 3000;
    std::vector<std::int32_t> mixed(out * 2, 0);
    // In uneven pieces, as device periods come.
    for (int done = 0, piece = 1; done < out; piece = piece * 3 % 97 + 1) {
        const int n = std::min(piece, out - done);
        MixVoiceInto(voice, mixed.data() + done * 2, n, kDeviceRate);
        done += n;
    }
    for (int i = 0; i < out; ++i) {
        const std::int64_t exact = static_cast<std::int64_t>(i) * c.rate;
        const int position = static_cast<int>(exact / kDeviceRate % frames);
        const double fraction = static_cast<double>(exact % kDeviceRate) / kDeviceRate;
        for (int ch = 0; ch < 2; ++ch) {
            const int a = SourceValue(*memory, position, ch, c.bits, c.channels);
            const int b = SourceValue(*memory, (position + 1) % frames, ch, c.bits, c.channels);
            const double expected = a + (b - a) * fraction;
            ASSERT_NEAR(mixed[i * 2 + ch], expected, 1.5) << "frame " << i << " channel " << ch;
            if (exact % kDeviceRate == 0) {
                ASSERT_EQ(mixed[i * 2 + ch], a) << "frame " << i;
            }
        }
    }
    // No drift: the voice stands exactly where rate x time puts it.
    const std::int64_t total = static_cast<std::int64_t>(out) * c.rate;
    EXPECT_EQ(voice.position, static_cast<std::uint32_t>(total / kDeviceRate % frames));
    EXPECT_EQ(voice.remainder, static_cast<std::uint32_t>(total % kDeviceRate));
}

std::vector<MixCase> AllCases() {
    std::vector<MixCase> cases;
    for (int bits : {8, 16})
        for (int channels : {1, 2})
            for (int rate : {100, 8000, 11025, 22050, 32000, 44100, 48000, 100000}) cases.push_back({bits, channels, rate});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, MixerSweep, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.channels) + "ch" +
           std::to_string(info.param.rate);
});

TEST(Mixer, AVoiceThatDoesNotLoopStopsAtItsEndWithItsPositionBackAtZero) {
    auto memory = SineMemory(100, 16, 1);
    MixVoice voice = MakeVoice(memory, 100, 16, 1, 22050, false);
    std::vector<std::int32_t> mixed(2 * 300, 0);
    MixVoiceInto(voice, mixed.data(), 300, kDeviceRate);
    EXPECT_FALSE(voice.playing);
    EXPECT_EQ(voice.position, 0u);
    // 100 frames at half the device rate fill 200 device frames, then silence.
    EXPECT_NE(mixed[2 * 198], 0);
    for (int i = 200; i < 300; ++i) ASSERT_EQ(mixed[2 * i], 0) << i;
}

TEST(Mixer, SumsEveryVoiceAndClampsTheSum) {
    AudioMixer mixer(kDeviceRate);
    auto memory = std::make_shared<SampleMemory>(4 * 2);  // 4 frames, 16-bit mono
    const std::int16_t values[4] = {20000, -20000, 1000, -1000};
    std::memcpy(memory->data(), values, sizeof values);
    MixVoice voices[3];
    for (MixVoice& v : voices) {
        v = MakeVoice(memory, 4, 16, 1, kDeviceRate, true);
        mixer.AddVoice(&v);
    }
    std::int16_t out[8];
    mixer.Mix(out, 4);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[2], -32768);
    EXPECT_EQ(out[4], 3000);
    EXPECT_EQ(out[7], -3000);
    // A stopped voice is left out; a removed one too.
    voices[0].playing = false;
    mixer.RemoveVoice(&voices[1]);
    mixer.Mix(out, 4);
    EXPECT_EQ(out[0], 20000);
    EXPECT_EQ(mixer.VoiceCount(), 2u);
}

TEST(Mixer, ARenderingSourceIsAddedAtTheDeviceRate) {
    struct Constant : MixSource {
        int seenRate = 0;
        void RenderInto(std::int32_t* accumulator, int frames, int rate) override {
            seenRate = rate;
            for (int i = 0; i < frames * 2; ++i) accumulator[i] += 100;
        }
    } source;
    AudioMixer mixer(kDeviceRate);
    mixer.AddSource(&source);
    mixer.SetDeviceRate(48000);
    std::int16_t out[4];
    mixer.Mix(out, 2);
    EXPECT_EQ(source.seenRate, 48000);
    EXPECT_EQ(out[3], 100);
}

}  // namespace
