// libFuzzer target: any bytes as a MIDI file. The framework's creator takes
// or refuses them as a handle; the sequencer device's reader turns them into
// timed events or refuses them; what it takes is played out through the
// synthesiser for a moment. Nothing may read out of bounds, hang or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mci/midi_file.h"
#include "mci/sequencer.h"
#include "platform/backend.h"
#include "platform/com.h"
#include "sound/midi.h"
#include "sound/sound.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Sound set up on the headless output, as handles need it.
    PlatformSelectBackend(PlatformBackend::Headless);
    CoInitialize(nullptr);
    InitSound();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto sequence = ParseMidiFile(data, size);
    if (sequence) {
        double last = 0;
        for (const MidiEvent& e : sequence->events) {
            if (e.seconds < last || e.status < 0x80 || e.status >= 0xF0 || e.data1 > 0x7F || e.data2 > 0x7F) std::abort();
            last = e.seconds;
        }
        // A few device periods of it through the synthesiser.
        if (auto sequencer = MidiSequencer::Create(std::move(*sequence), 8000)) {
            sequencer->Start(true);
            std::int32_t mix[2 * 256] = {};
            for (int i = 0; i < 8; ++i) sequencer->RenderInto(mix, 256, 8000);
        }
    }
    // The framework's own check of the chunks, through a handle and back.
    const HandleId handle = LoadMidiImage(data, static_cast<std::int64_t>(size));
    if (handle != -1) ReleaseMidiHandle(handle);
    return 0;
}
