// mciSendCommandA for the sequencer device: open a MIDI file, play (from the
// top or on), stop, close; the end of a play with notification is posted to
// its callback window.
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dsound/audio_output.h"
#include "mci/sequencer.h"
#include "platform/kernel.h"
#include "platform/mci.h"
#include "platform/window.h"

namespace {

struct Device {
    std::shared_ptr<AudioOutput> output;
    std::unique_ptr<MidiSequencer> sequencer;
};

std::mutex g_devicesMutex;
std::map<MCIDEVICEID, std::shared_ptr<Device>> g_devices;
MCIDEVICEID g_nextDevice = 1;

std::shared_ptr<Device> Find(MCIDEVICEID id) {
    std::lock_guard lock(g_devicesMutex);
    auto found = g_devices.find(id);
    return found == g_devices.end() ? nullptr : found->second;
}

bool SameText(LPCSTR a, const char* b) {
    if (a == nullptr) return false;
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != *b) return false;
    return *a == '\0' && *b == '\0';
}

bool ReadWholeFile(LPCSTR name, std::vector<std::uint8_t>* out) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool ok = size != INVALID_FILE_SIZE;
    if (ok) {
        out->resize(size);
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, out->data(), size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return ok;
}

MCIERROR Open(DWORD_PTR flags, MCI_OPEN_PARMSA* p) {
    if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_OPEN_TYPE) != 0 && !SameText(p->lpstrDeviceType, "sequencer")) return MCIERR_INVALID_DEVICE_NAME;
    if ((flags & MCI_OPEN_ELEMENT) == 0 || p->lpstrElementName == nullptr) return MCIERR_INVALID_DEVICE_NAME;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(p->lpstrElementName, &bytes)) return MCIERR_FILE_NOT_FOUND;
    auto sequence = ParseMidiFile(bytes.data(), bytes.size());
    if (!sequence) return MCIERR_INVALID_FILE;
    auto device = std::make_shared<Device>();
    device->output = AcquireAudioOutput();
    if (!device->output) return MCIERR_HARDWARE;
    int rate;
    {
        std::lock_guard lock(device->output->Mixer().Mutex());
        rate = device->output->Mixer().DeviceRate();
    }
    device->sequencer = MidiSequencer::Create(std::move(*sequence), rate);
    if (!device->sequencer) return MCIERR_CANNOT_LOAD_DRIVER;
    {
        AudioOutputLock lock(*device->output);
        device->output->Mixer().AddSource(device->sequencer.get());
    }
    std::lock_guard lock(g_devicesMutex);
    p->wDeviceID = g_nextDevice++;
    if (g_nextDevice == MCI_ALL_DEVICE_ID) g_nextDevice = 1;
    g_devices[p->wDeviceID] = device;
    return 0;
}

MCIERROR Play(MCIDEVICEID id, DWORD_PTR flags, MCI_PLAY_PARMS* p) {
    auto device = Find(id);
    if (!device) return MCIERR_INVALID_DEVICE_ID;
    if ((flags & (MCI_NOTIFY | MCI_FROM)) != 0 && p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_FROM) != 0 && p->dwFrom != 0) return MCIERR_OUTOFRANGE;
    AudioOutputLock lock(*device->output);
    if ((flags & MCI_NOTIFY) != 0) {
        HWND window = reinterpret_cast<HWND>(p->dwCallback);
        device->sequencer->SetOnEnd([window, id] { PostMessageA(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, id); });
    } else {
        device->sequencer->SetOnEnd(nullptr);
    }
    device->sequencer->Start((flags & MCI_FROM) != 0);
    return 0;
}

MCIERROR Stop(MCIDEVICEID id) {
    auto device = Find(id);
    if (!device) return MCIERR_INVALID_DEVICE_ID;
    AudioOutputLock lock(*device->output);
    device->sequencer->Pause();
    return 0;
}

MCIERROR Close(MCIDEVICEID id) {
    std::vector<std::shared_ptr<Device>> closing;
    {
        std::lock_guard lock(g_devicesMutex);
        for (auto it = g_devices.begin(); it != g_devices.end();) {
            if (id == MCI_ALL_DEVICE_ID || it->first == id) {
                closing.push_back(it->second);
                it = g_devices.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (closing.empty()) return MCIERR_INVALID_DEVICE_ID;
    for (auto& device : closing) {
        AudioOutputLock lock(*device->output);
        device->output->Mixer().RemoveSource(device->sequencer.get());
    }
    return 0;
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
    switch (message) {
        case MCI_OPEN: return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(parameters));
        case MCI_PLAY: return Play(device, flags, reinterpret_cast<MCI_PLAY_PARMS*>(parameters));
        case MCI_STOP: return Stop(device);
        case MCI_CLOSE: return Close(device);
        default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

int PlatformMciDeviceCount() {
    std::lock_guard lock(g_devicesMutex);
    return static_cast<int>(g_devices.size());
}
