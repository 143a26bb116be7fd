// The one audio output that every DirectSound object, the MIDI sequencer and
// movie sound share: a mixer and the backend that consumes it. It opens with
// its first user and closes when the last lets go.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "dsound/mixer.h"

constexpr int kAudioOutputRate = 44100;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    AudioMixer& Mixer() { return mixer_; }
    // A new device rate (the primary buffer's format). Called without the
    // mixer's mutex held.
    virtual void ChangeRate(int rate) = 0;

    // Headless: renders up to the virtual clock, with the mixer's mutex held.
    // The sdl backend renders on its own thread and does nothing here.
    virtual void CatchUp() {}

    // Headless statistics and capture; no-ops on the sdl backend.
    virtual std::uint64_t FramesRendered() const { return 0; }
    virtual void SetCapturing(bool) {}
    virtual std::vector<std::int16_t> Capture() const { return {}; }

protected:
    explicit AudioOutput(int rate) : mixer_(rate) {}
    AudioMixer mixer_;
};

// Holds the mixer's mutex with the output brought up to the clock, so a
// change made under it takes effect at this moment of the output.
class AudioOutputLock {
public:
    explicit AudioOutputLock(AudioOutput& output) : lock_(output.Mixer().Mutex()) { output.CatchUp(); }

private:
    std::unique_lock<std::mutex> lock_;
};

// The open output, or a new one; null when no device can be opened.
std::shared_ptr<AudioOutput> AcquireAudioOutput();
// The open output, if any, without opening one.
std::shared_ptr<AudioOutput> CurrentAudioOutput();

// The backends.
std::shared_ptr<AudioOutput> OpenSdlAudioOutput(int rate);
std::shared_ptr<AudioOutput> OpenHeadlessAudioOutput(int rate);
