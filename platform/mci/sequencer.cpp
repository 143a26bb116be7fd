#include "mci/sequencer.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace {

constexpr int kChunkFrames = 512;

void QuietSynthesiser() {
    static std::once_flag once;
    // The synthesiser's messages would only clutter standard error.
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

// One synthesiser with its SoundFont loaded is kept when a sequencer goes,
// for the next one at the same rate: loading the font is the slow part.
class SpareSynthesiser {
public:
    ~SpareSynthesiser() { Drop(); }
    bool Take(int rate, fluid_settings_t** settings, fluid_synth_t** synth) {
        std::lock_guard lock(mutex_);
        if (synth_ == nullptr || rate_ != rate) return false;
        *settings = settings_;
        *synth = synth_;
        settings_ = nullptr;
        synth_ = nullptr;
        return true;
    }
    void Give(int rate, fluid_settings_t* settings, fluid_synth_t* synth) {
        std::lock_guard lock(mutex_);
        Drop();
        fluid_synth_system_reset(synth);
        settings_ = settings;
        synth_ = synth;
        rate_ = rate;
    }

private:
    void Drop() {
        if (synth_ != nullptr) delete_fluid_synth(synth_);
        if (settings_ != nullptr) delete_fluid_settings(settings_);
        synth_ = nullptr;
        settings_ = nullptr;
    }
    std::mutex mutex_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    int rate_ = 0;
};

SpareSynthesiser g_spare;

}  // namespace

std::string FindGeneralMidiSoundFont() {
    std::vector<std::string> candidates;
    if (const char* chosen = std::getenv("KELVO_SOUNDFONT"); chosen != nullptr && *chosen != '\0')
        candidates.emplace_back(chosen);
    candidates.insert(candidates.end(), {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                         "/usr/share/sounds/sf2/default-GM.sf2"});
    for (const std::string& path : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return {};
}

std::unique_ptr<MidiSequencer> MidiSequencer::Create(MidiSequence sequence, int rate) {
    QuietSynthesiser();
    const std::string font = FindGeneralMidiSoundFont();
    if (font.empty() || rate <= 0) return nullptr;
    std::unique_ptr<MidiSequencer> s(new MidiSequencer());
    s->sequence_ = std::move(sequence);
    s->rate_ = rate;
    s->scratch_.resize(kChunkFrames * 2);
    if (g_spare.Take(rate, &s->settings_, &s->synth_)) return s;
    s->settings_ = new_fluid_settings();
    if (s->settings_ == nullptr) return nullptr;
    fluid_settings_setnum(s->settings_, "synth.sample-rate", rate);
    // No reverb or chorus: a note is silent once it has been released.
    fluid_settings_setint(s->settings_, "synth.reverb.active", 0);
    fluid_settings_setint(s->settings_, "synth.chorus.active", 0);
    fluid_settings_setnum(s->settings_, "synth.gain", 0.5);
    fluid_settings_setint(s->settings_, "synth.cpu-cores", 1);
    s->synth_ = new_fluid_synth(s->settings_);
    if (s->synth_ == nullptr || fluid_synth_sfload(s->synth_, font.c_str(), 1) == FLUID_FAILED) return nullptr;
    return s;
}

MidiSequencer::~MidiSequencer() {
    if (synth_ != nullptr && fluid_synth_sfcount(synth_) > 0) {
        g_spare.Give(rate_, settings_, synth_);
        return;
    }
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    if (settings_ != nullptr) delete_fluid_settings(settings_);
}

void MidiSequencer::Start(bool fromTop) {
    if (fromTop) {
        fluid_synth_system_reset(synth_);
        next_ = 0;
        frame_ = 0;
    }
    playing_ = true;
}

void MidiSequencer::Pause() {
    playing_ = false;
    fluid_synth_all_notes_off(synth_, -1);
}

void MidiSequencer::Dispatch(const MidiEvent& e) {
    const int channel = e.status & 0x0F;
    switch (e.status & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth_, channel, e.data1); break;
        case 0x90:
            if (e.data2 == 0)
                fluid_synth_noteoff(synth_, channel, e.data1);
            else
                fluid_synth_noteon(synth_, channel, e.data1, e.data2);
            break;
        case 0xA0: fluid_synth_key_pressure(synth_, channel, e.data1, e.data2); break;
        case 0xB0: fluid_synth_cc(synth_, channel, e.data1, e.data2); break;
        case 0xC0: fluid_synth_program_change(synth_, channel, e.data1); break;
        case 0xD0: fluid_synth_channel_pressure(synth_, channel, e.data1); break;
        case 0xE0: fluid_synth_pitch_bend(synth_, channel, e.data1 | (e.data2 << 7)); break;
        default: break;
    }
}

void MidiSequencer::RenderInto(std::int32_t* accumulator, int frames, int) {
    if (!playing_ && fluid_synth_get_active_voice_count(synth_) == 0) return;
    auto frameOf = [this](double seconds) { return static_cast<std::uint64_t>(std::floor(seconds * rate_)); };
    const std::uint64_t endFrame = frameOf(sequence_.length);
    int done = 0;
    while (done < frames) {
        int chunk = std::min(frames - done, kChunkFrames);
        if (playing_) {
            while (next_ < sequence_.events.size() && frameOf(sequence_.events[next_].seconds) <= frame_)
                Dispatch(sequence_.events[next_++]);
            if (next_ >= sequence_.events.size() && frame_ >= endFrame) {
                playing_ = false;
                if (onEnd_) onEnd_();
            } else {
                const std::uint64_t until =
                    next_ < sequence_.events.size() ? frameOf(sequence_.events[next_].seconds) : endFrame;
                chunk = static_cast<int>(std::min<std::uint64_t>(chunk, std::max<std::uint64_t>(1, until - frame_)));
            }
        }
        fluid_synth_write_s16(synth_, chunk, scratch_.data(), 0, 2, scratch_.data(), 1, 2);
        for (int i = 0; i < chunk * 2; ++i) accumulator[done * 2 + i] += scratch_[i];
        done += chunk;
        if (playing_) frame_ += static_cast<std::uint64_t>(chunk);
    }
}
