// The software mixer behind the DirectSound stand-in: every playing buffer
// (a voice) and every rendering source (the MIDI synthesiser, movie sound) is
// summed into signed 16-bit stereo at the device rate.
//
// A voice's position counts whole frames of its own format plus a remainder
// in units of 1 / device rate, so a buffer at any rate advances exactly
// rate x seconds frames, without drift, and the play cursor is the frame the
// mixer reads next.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Sample memory of a buffer; duplicates share it.
using SampleMemory = std::vector<std::uint8_t>;

struct VoiceFormat {
    int channels = 0;  // 1 or 2
    int bits = 0;      // 8 (unsigned) or 16 (signed, little-endian)
    int rate = 0;      // frames per second
    int blockAlign = 0;
};

struct MixVoice {
    std::shared_ptr<SampleMemory> memory;
    VoiceFormat format;
    std::uint32_t frames = 0;  // whole frames in the memory
    bool playing = false;
    bool looping = false;
    std::uint32_t position = 0;  // next frame to read
    std::uint32_t remainder = 0; // in 1 / device rate
};

// Something that makes its own sound, rendered with the mixer's mutex held.
class MixSource {
public:
    virtual ~MixSource() = default;
    // Adds `frames` stereo frames at `rate` into `accumulator` (2 x frames).
    virtual void RenderInto(std::int32_t* accumulator, int frames, int rate) = 0;
};

class AudioMixer {
public:
    explicit AudioMixer(int deviceRate) : deviceRate_(deviceRate) {}

    // Every change to a voice and every Mix happens with this held.
    std::mutex& Mutex() { return mutex_; }

    void AddVoice(MixVoice* voice);
    void RemoveVoice(MixVoice* voice);
    void AddSource(MixSource* source);
    void RemoveSource(MixSource* source);
    std::size_t VoiceCount() const { return voices_.size(); }

    int DeviceRate() const { return deviceRate_; }
    // A new device rate; positions keep their frame, remainders restart.
    void SetDeviceRate(int rate);

    // Renders `frames` stereo frames into `out` (2 x frames samples) and
    // advances every playing voice; a voice that is not looping stops at its
    // end with its position back at 0.
    void Mix(std::int16_t* out, int frames);

private:
    std::mutex mutex_;
    int deviceRate_;
    std::vector<MixVoice*> voices_;
    std::vector<MixSource*> sources_;
    std::vector<std::int32_t> accumulator_;
};

// Adds one voice's next `frames` device frames into `accumulator` and
// advances it: linear interpolation between neighbouring frames, weight
// remainder / device rate in 15 bits. Exposed for tests and the benchmark.
void MixVoiceInto(MixVoice& voice, std::int32_t* accumulator, int frames, int deviceRate);

// Saturates a sum to the 16-bit range.
inline std::int16_t ClampSample(std::int32_t value) {
    return static_cast<std::int16_t>(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
}
