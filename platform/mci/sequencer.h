// The MIDI sequencer behind the MCI stand-in: a parsed MIDI file played out
// through a FluidSynth synthesiser, rendered by the audio output's mixer at
// its own rate, so MIDI is heard in the window and captured headless.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dsound/mixer.h"
#include "mci/midi_file.h"

struct _fluid_synth_t;
struct _fluid_hashtable_t;

class MidiSequencer final : public MixSource {
public:
    // Null when no General MIDI SoundFont can be loaded.
    static std::unique_ptr<MidiSequencer> Create(MidiSequence sequence, int rate);
    ~MidiSequencer() override;

    // Called with the mixer's mutex held, like RenderInto.
    void Start(bool fromTop);
    void Pause();
    bool Playing() const { return playing_; }
    // Called once, from the rendering thread, when the data has been played out.
    void SetOnEnd(std::function<void()> onEnd) { onEnd_ = std::move(onEnd); }

    void RenderInto(std::int32_t* accumulator, int frames, int rate) override;

private:
    MidiSequencer() = default;
    void Dispatch(const MidiEvent& e);
    void Silence();

    MidiSequence sequence_;
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    int rate_ = 0;
    bool playing_ = false;
    std::size_t next_ = 0;      // the next event to send
    std::uint64_t frame_ = 0;   // frames played from the start
    std::function<void()> onEnd_;
    std::vector<std::int16_t> scratch_;
};

// The SoundFont the sequencer loads: KELVO_SOUNDFONT, else Debian's General
// MIDI fonts. Empty when none is there.
std::string FindGeneralMidiSoundFont();
