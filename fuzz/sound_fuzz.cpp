// libFuzzer target: any bytes as a sound file, given to each of the four
// openers of the sound converter on its own (PCM WAV, compressed WAV, Ogg
// Vorbis, MPEG audio) and to all four in order. Whatever opens is read in
// pieces, seeked and converted whole; nothing may read or write out of
// bounds, hang or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/memory.h"
#include "files/stream_functions.h"
#include "files/stream_memory.h"
#include "sound/sound_converter.h"

namespace {

// Conversions larger than this are left to the estimate alone.
constexpr std::int64_t kMaxWhole = 16 << 20;

void Exercise(SoundConverter* c, const std::uint8_t* data, std::size_t size) {
    const std::int64_t estimate = EstimateConvertedSize(c);
    std::vector<unsigned char> piece(70000);
    std::int64_t total = 0;
    for (std::size_t n = 1; total < 1 << 20; n = n * 7 % 65521 + 1) {
        const std::int64_t got = ReadConvertedPcm(c, piece.data(), static_cast<std::int64_t>(n));
        if (got < 0 || got > static_cast<std::int64_t>(n)) std::abort();
        if (got == 0) break;
        total += got;
    }
    const std::int64_t sample = size >= 4 ? static_cast<std::int64_t>(data[size - 1] | (data[size - 2] << 8)) : 7;
    SeekSoundConverter(c, sample);
    ReadConvertedPcm(c, piece.data(), 4096);
    SeekSoundConverter(c, sample / 3);
    ReadConvertedPcm(c, piece.data(), 100);
    if (estimate >= 0 && estimate <= kMaxWhole) {
        void* block = nullptr;
        std::int64_t wholeSize = 0;
        if (ConvertWholeSound(c, nullptr, &block, &wholeSize) == 0) {
            if (wholeSize < 0 || wholeSize > estimate) std::abort();
            KV_FREE(block);
        }
    }
}

void Try(const std::uint8_t* data, std::size_t size, const SoundSourceOpener* openers, int count) {
    MemoryStream* memory = OpenMemoryStream(data, size);
    if (memory == nullptr) return;
    const StreamData stream{*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    SoundConverter converter;
    if (OpenSoundConverterWith(&converter, &stream, openers, count) == 0) {
        Exercise(&converter, data, size);
        CloseSoundConverter(&converter);
    }
    CloseMemoryStream(memory);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr SoundSourceOpener kOpeners[] = {OpenWavePcmSource, OpenWaveAcmSource, OggOpen,
                                                     OpenMpegAcmSource};
    for (int i = 0; i < 4; ++i) Try(data, size, &kOpeners[i], 1);
    Try(data, size, kOpeners, 4);
    return 0;
}
