#include "sound/sound_capture.h"

#include <cstring>

#include "core/little_endian.h"
#include "sound/wave_record.h"

SoundCapture g_SoundCapture{};

int FinishSoundCapture() {
    SoundCapture& c = g_SoundCapture;
    if (c.file == nullptr) return -1;
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    const std::uint32_t dataBytes = 4 * c.sampleCount;
    unsigned char header[kSoundCaptureHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    StoreU32(header + 4, kSoundCaptureHeaderBytes - 8 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    StoreU32(header + 16, 18);
    EncodeWaveFormat(format, header + 20);
    std::memcpy(header + 38, "data", 4);
    StoreU32(header + 42, dataBytes);
    SetFilePointer(c.file, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(c.file, header, sizeof header, &written, nullptr);
    CloseHandle(c.file);
    c.file = nullptr;
    c.sampleCount = 0;
    return 0;
}
