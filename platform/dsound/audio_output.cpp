#include "dsound/audio_output.h"

#include <atomic>

#include "platform/backend.h"
#include "platform/dsound.h"

namespace {

std::mutex g_outputMutex;
std::weak_ptr<AudioOutput> g_output;
std::atomic<bool> g_deviceAvailable{true};

}  // namespace

std::shared_ptr<AudioOutput> AcquireAudioOutput() {
    std::lock_guard lock(g_outputMutex);
    if (auto open = g_output.lock()) return open;
    if (!g_deviceAvailable) return nullptr;
    std::shared_ptr<AudioOutput> output =
        PlatformIsHeadless() ? OpenHeadlessAudioOutput(kAudioOutputRate) : OpenSdlAudioOutput(kAudioOutputRate);
    g_output = output;
    return output;
}

std::shared_ptr<AudioOutput> CurrentAudioOutput() {
    std::lock_guard lock(g_outputMutex);
    return g_output.lock();
}

void PlatformSetAudioDeviceAvailable(bool available) { g_deviceAvailable = available; }

bool PlatformAudioOutputOpen() { return CurrentAudioOutput() != nullptr; }

int PlatformAudioOutputRate() {
    auto output = CurrentAudioOutput();
    if (!output) return 0;
    std::lock_guard lock(output->Mixer().Mutex());
    return output->Mixer().DeviceRate();
}

std::uint64_t PlatformAudioFramesRendered() {
    auto output = CurrentAudioOutput();
    if (!output) return 0;
    AudioOutputLock lock(*output);
    return output->FramesRendered();
}

void PlatformStartAudioCapture() {
    auto output = CurrentAudioOutput();
    if (!output) return;
    AudioOutputLock lock(*output);
    output->SetCapturing(true);
}

void PlatformStopAudioCapture() {
    auto output = CurrentAudioOutput();
    if (!output) return;
    AudioOutputLock lock(*output);
    output->SetCapturing(false);
}

std::vector<std::int16_t> PlatformAudioCapture() {
    auto output = CurrentAudioOutput();
    if (!output) return {};
    AudioOutputLock lock(*output);
    return output->Capture();
}
