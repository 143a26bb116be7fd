// The sdl output: one SDL2 audio device, 16-bit stereo, whose callback mixes
// straight from the buffers. The callback takes only the mixer's mutex, so a
// caller holding the framework lock through a long load never stalls it, and
// the mixer reads no further ahead of the play cursors than one period.
#include <SDL.h>

#include "dsound/audio_output.h"
#include "kernel/video_thread.h"

namespace {

constexpr int kPeriodFrames = 1024;

class SdlAudioOutput final : public AudioOutput {
public:
    explicit SdlAudioOutput(int rate) : AudioOutput(rate) {}
    ~SdlAudioOutput() override { Close(); }

    bool Open(int rate) {
        if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
            if (!VideoThreadStartSubsystem(SDL_INIT_AUDIO)) return false;
            startedSubsystem_ = true;
        }
        if (OpenDevice(rate)) return true;
        Close();
        return false;
    }

    void ChangeRate(int rate) override {
        int current;
        {
            std::lock_guard lock(mixer_.Mutex());
            current = mixer_.DeviceRate();
        }
        if (rate <= 0 || rate == current || device_ == 0) return;
        // Reopened at the new rate. A device that will not reopen leaves the
        // output silent; the buffers keep their state.
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        OpenDevice(rate);
    }

private:
    static void Callback(void* userdata, Uint8* stream, int length) {
        auto* self = static_cast<SdlAudioOutput*>(userdata);
        std::lock_guard lock(self->mixer_.Mutex());
        self->mixer_.Mix(reinterpret_cast<std::int16_t*>(stream), length / 4);
    }

    bool OpenDevice(int rate) {
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kPeriodFrames;
        want.callback = &SdlAudioOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device_ == 0) return false;
        {
            std::lock_guard lock(mixer_.Mutex());
            mixer_.SetDeviceRate(have.freq);
        }
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    // The device closes without the mixer's mutex held: closing waits for
    // a callback in progress, which needs it.
    void Close() {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        device_ = 0;
        if (startedSubsystem_) VideoThreadEndSubsystem(SDL_INIT_AUDIO);
        startedSubsystem_ = false;
    }

    SDL_AudioDeviceID device_ = 0;
    bool startedSubsystem_ = false;
};

}  // namespace

std::shared_ptr<AudioOutput> OpenSdlAudioOutput(int rate) {
    auto output = std::make_shared<SdlAudioOutput>(rate);
    if (!output->Open(rate)) return nullptr;
    return output;
}
