// The capture file of the mixed sound: when one is open, shutting sound down
// writes its WAV header and closes it. Nothing in the framework opens one.
#pragma once

#include <cstdint>

#include "platform/kernel.h"

struct SoundCapture {
    HANDLE file;                 // null: none open
    std::uint32_t sampleCount;   // stereo 16-bit samples written behind the header
};

extern SoundCapture g_SoundCapture;

constexpr std::uint32_t kSoundCaptureHeaderBytes = 46;

// Writes the 46-byte header at offset 0 and closes the file; -1 when none
// is open.
int FinishSoundCapture();
