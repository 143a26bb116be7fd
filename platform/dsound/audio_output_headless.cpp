// The headless output: no device. The mixer renders as far as the virtual
// clock has gone each time a caller looks at or changes the sound, so what a
// run hears depends only on its script. Rendered frames can be kept in memory
// (tests) and written to the WAV file named by KELVO_AUDIO_CAPTURE.
#include <cstdio>
#include <cstdlib>

#include "dsound/audio_output.h"
#include "platform/backend.h"
#include "platform/window.h"

namespace {

constexpr int kChunkFrames = 1024;
// A jump of the virtual clock longer than this is not mixed whole: like a
// device that fell behind, the output drops the older part.
constexpr std::uint64_t kMaxCatchUpSeconds = 60;

void CatchUpCurrentOutput() {
    if (auto output = CurrentAudioOutput()) AudioOutputLock lock(*output);
}

void PutU16(std::FILE* file, unsigned value) {
    std::fputc(static_cast<int>(value & 0xFF), file);
    std::fputc(static_cast<int>((value >> 8) & 0xFF), file);
}

void PutU32(std::FILE* file, std::uint32_t value) {
    PutU16(file, value & 0xFFFF);
    PutU16(file, value >> 16);
}

// A 16-bit stereo WAV file whose sizes are written when it is closed.
class CaptureFile {
public:
    CaptureFile(const char* path, int rate) : file_(std::fopen(path, "wb")), rate_(rate) {
        if (file_ != nullptr) WriteHeader();
    }
    ~CaptureFile() {
        if (file_ == nullptr) return;
        std::fflush(file_);
        std::fseek(file_, 0, SEEK_SET);
        WriteHeader();
        std::fclose(file_);
    }
    void Append(const std::int16_t* samples, int frames) {
        if (file_ == nullptr) return;
        for (int i = 0; i < frames * 2; ++i) PutU16(file_, static_cast<std::uint16_t>(samples[i]));
        frames_ += static_cast<std::uint64_t>(frames);
    }

private:
    void WriteHeader() {
        // Sizes past 4 GB cannot be told; they are capped.
        std::uint64_t data = frames_ * 4;
        if (data > 0xFFFFFFFFu - 36) data = 0xFFFFFFFFu - 36;
        std::fwrite("RIFF", 1, 4, file_);
        PutU32(file_, static_cast<std::uint32_t>(36 + data));
        std::fwrite("WAVEfmt ", 1, 8, file_);
        PutU32(file_, 16);
        PutU16(file_, 1);
        PutU16(file_, 2);
        PutU32(file_, static_cast<std::uint32_t>(rate_));
        PutU32(file_, static_cast<std::uint32_t>(rate_ * 4));
        PutU16(file_, 4);
        PutU16(file_, 16);
        std::fwrite("data", 1, 4, file_);
        PutU32(file_, static_cast<std::uint32_t>(data));
    }

    std::FILE* file_;
    int rate_;
    std::uint64_t frames_ = 0;
};

class HeadlessAudioOutput final : public AudioOutput {
public:
    explicit HeadlessAudioOutput(int rate) : AudioOutput(rate) {
        originMicros_ = PlatformPeekVirtualMicros();
        const char* path = std::getenv("KELVO_AUDIO_CAPTURE");
        if (path != nullptr && *path != '\0') file_ = std::make_unique<CaptureFile>(path, rate);
        // Sources that render on their own (the MIDI sequencer) are heard
        // as the program pumps its messages, even when no buffer is touched.
        PlatformSetMessagePumpHook(&CatchUpCurrentOutput);
    }
    ~HeadlessAudioOutput() override {
        PlatformSetMessagePumpHook(nullptr);
        // The capture file holds everything up to the close.
        std::lock_guard lock(mixer_.Mutex());
        CatchUp();
    }

    void ChangeRate(int rate) override {
        AudioOutputLock lock(*this);
        if (rate <= 0 || rate == mixer_.DeviceRate()) return;
        // The frames so far stay; time from now on counts at the new rate.
        Rebase(PlatformPeekVirtualMicros());
        mixer_.SetDeviceRate(rate);
    }

    void CatchUp() override {
        const std::uint64_t now = PlatformPeekVirtualMicros();
        if (now < originMicros_) {
            // The clock was set back (a test starting afresh): count from here.
            Rebase(now);
            return;
        }
        const std::uint64_t target =
            originFrames_ + (now - originMicros_) * static_cast<std::uint64_t>(mixer_.DeviceRate()) / 1'000'000;
        const std::uint64_t limit = kMaxCatchUpSeconds * static_cast<std::uint64_t>(mixer_.DeviceRate());
        if (target > rendered_ + limit) rendered_ = target - limit;
        while (rendered_ < target) {
            const int frames = static_cast<int>(std::min<std::uint64_t>(kChunkFrames, target - rendered_));
            mixer_.Mix(chunk_, frames);
            if (capturing_) capture_.insert(capture_.end(), chunk_, chunk_ + frames * 2);
            if (file_) file_->Append(chunk_, frames);
            rendered_ += static_cast<std::uint64_t>(frames);
        }
    }

    std::uint64_t FramesRendered() const override { return rendered_; }
    void SetCapturing(bool on) override {
        capturing_ = on;
        if (on) capture_.clear();
    }
    std::vector<std::int16_t> Capture() const override { return capture_; }

private:
    void Rebase(std::uint64_t now) {
        originMicros_ = now;
        originFrames_ = rendered_;
    }

    std::uint64_t originMicros_ = 0;
    std::uint64_t originFrames_ = 0;
    std::uint64_t rendered_ = 0;
    bool capturing_ = false;
    std::vector<std::int16_t> capture_;
    std::unique_ptr<CaptureFile> file_;
    std::int16_t chunk_[kChunkFrames * 2];
};

}  // namespace

std::shared_ptr<AudioOutput> OpenHeadlessAudioOutput(int rate) { return std::make_shared<HeadlessAudioOutput>(rate); }
