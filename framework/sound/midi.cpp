// MIDI handles: the table, play through the MCI sequencer, the end of play,
// stop and release, and the current music.
#include "sound/midi.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "sound/sound.h"
#include "sound/sound_data.h"
#include "sound/sound_memory.h"
#include "window/window.h"

MidiSystem g_MidiSystem{0, 0, 0, kNoHandle, 0, nullptr, nullptr, nullptr, 0, 0, {}, {}};

namespace {

std::uint32_t Be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A standard MIDI file: every chunk up to the last of the tracks its header
// counts lies inside the data. What follows that track (a stray byte, a
// tag) is no part of the music and is passed over, as players do.
bool IsStandardMidiFile(const unsigned char* data, std::int64_t size) {
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return false;
    const std::int64_t headerLength = Be32(data + 4);
    if (headerLength < 6 || headerLength > size - 8) return false;
    const int tracks = (data[10] << 8) | data[11];
    if (tracks == 0) return false;
    int found = 0;
    for (std::int64_t position = 8 + headerLength; found < tracks && size - position >= 8;) {
        const std::int64_t length = Be32(data + position + 4);
        if (length > size - position - 8) return false;
        if (std::memcmp(data + position, "MTrk", 4) == 0) ++found;
        position += 8 + length;
    }
    return found == tracks;
}

// The standard MIDI file in `data`: the data itself, or the "data" chunk of
// a RIFF "RMID" file (.rmi), which wraps one. False when there is none.
bool FindMidiFile(const unsigned char* data, std::int64_t size, std::int64_t* offset, std::int64_t* length) {
    if (data == nullptr || size < 12) return false;
    if (std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "RMID", 4) != 0) {
        *offset = 0;
        *length = size;
        return IsStandardMidiFile(data, size);
    }
    const std::int64_t end = std::min<std::int64_t>(size, 8 + static_cast<std::int64_t>(Le32(data + 4)));
    for (std::int64_t position = 12; end - position >= 8;) {
        const std::int64_t chunk = Le32(data + position + 4);
        if (chunk > end - position - 8) return false;
        if (std::memcmp(data + position, "data", 4) == 0) {
            *offset = position + 8;
            *length = chunk;
            return IsStandardMidiFile(data + *offset, chunk);
        }
        position += 8 + chunk + (chunk & 1);
    }
    return false;
}

HWND NotifyWindow() { return g_SystemState.mainWindow; }

// Writes the handle's data where the sequencer can open it.
int WriteTemporaryMidiFile(const MidiRecord* record) {
    MidiSystem& m = g_MidiSystem;
    DeleteTemporaryMidiFile();
    char folder[MAX_PATH];
    if (GetTempPathA(MAX_PATH, folder) == 0 || GetTempFileNameA(folder, "KVM", 0, m.temporaryPath) == 0) return -1;
    HANDLE file = CreateFileA(m.temporaryPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    m.temporaryFile = 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record->data, static_cast<DWORD>(record->size), &written, nullptr);
    CloseHandle(file);
    return ok && written == record->size ? 0 : -1;
}

}  // namespace

HandleId LoadMidiImage(const void* image, std::int64_t size) {
    if (g_SoundSystem.directSound == nullptr) return kNoHandle;
    const auto* bytes = static_cast<const unsigned char*>(image);
    std::int64_t offset = 0, length = 0;
    if (!FindMidiFile(bytes, size, &offset, &length) || length > 0x7FFFFFFF) {
        WriteLogText("MIDI データではありません in LoadMidiImage\n");
        return kNoHandle;
    }
    MidiHandleTable& table = g_MidiSystem.table;
    if (table.IsFull()) return kNoHandle;
    // Only the standard MIDI file is kept: that is what the sequencer plays.
    auto* record = static_cast<MidiRecord*>(KV_ALLOC_ZEROED(sizeof(MidiRecord)));
    void* data = KV_ALLOC(static_cast<std::size_t>(length));
    if (record == nullptr || data == nullptr) {
        KV_FREE(record);
        KV_FREE(data);
        return kNoHandle;
    }
    std::memcpy(data, bytes + offset, static_cast<std::size_t>(length));
    record->data = data;
    record->size = length;
    return table.Insert(table.ChooseSlot(), record, table.Counter().Take());
}

HandleId LoadMidiFile(const char* fileName) {
    void* image = nullptr;
    std::int64_t size = 0;
    if (g_SoundSystem.directSound == nullptr || LoadFileToMemory(fileName, &image, &size) != 0) return kNoHandle;
    const HandleId handle = LoadMidiImage(image, size);
    KV_FREE(image);
    return handle;
}

int PlayMidiHandle(HandleId handle, int playType) {
    MidiSystem& m = g_MidiSystem;
    MidiRecord* record = g_SoundSystem.directSound != nullptr ? m.table.Lookup(handle) : nullptr;
    if (record == nullptr || g_SoundSystem.midiMode != kMidiModeMci) return -1;
    // One piece plays at a time.
    m.mciLoop = 0;
    OnMidiPlayEnd();
    if (WriteTemporaryMidiFile(record) != 0) {
        DeleteTemporaryMidiFile();
        return -1;
    }
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = m.temporaryPath;
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        DeleteTemporaryMidiFile();
        return -1;
    }
    m.mciDevice = open.wDeviceID;
    MCI_PLAY_PARMS play{reinterpret_cast<DWORD_PTR>(NotifyWindow()), 0, 0};
    mciSendCommandA(m.mciDevice, MCI_PLAY, MCI_FROM | MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
    m.mciLoop = playType == kPlayTypeLoop ? 1 : 0;
    m.mciPlaying = 1;
    record->playing = 1;
    m.currentMusic = handle;
    m.currentIsStream = 0;
    return 0;
}

int IsMidiHandlePlaying(HandleId handle) {
    MidiRecord* record = g_SoundSystem.directSound != nullptr ? g_MidiSystem.table.Lookup(handle) : nullptr;
    if (record == nullptr) return -1;
    return g_SoundSystem.midiMode == kMidiModeMci ? g_MidiSystem.mciPlaying : record->playing;
}

int UpdateMidiPlayState() {
    MidiSystem& m = g_MidiSystem;
    if (g_SoundSystem.midiMode != kMidiModeDirectMusic || m.performance == nullptr) return 0;
    for (int slot = 0; slot < m.table.UsedEnd(); ++slot) {
        MidiRecord* record = m.table.At(slot);
        if (record == nullptr || !record->playing || record->segment == nullptr) continue;
        const bool playing = m.performance->IsPlaying(record->segment, nullptr) == S_OK;
        if (!record->seenPlaying) {
            if (playing) record->seenPlaying = 1;
        } else {
            record->playing = playing ? 1 : 0;
        }
    }
    return 0;
}

int OnMidiPlayEnd() {
    MidiSystem& m = g_MidiSystem;
    if (m.mciLoop) {
        MCI_PLAY_PARMS play{reinterpret_cast<DWORD_PTR>(NotifyWindow()), 0, 0};
        mciSendCommandA(m.mciDevice, MCI_PLAY, MCI_FROM | MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
        m.mciPlaying = 1;
    } else if (m.mciPlaying) {
        mciSendCommandA(m.mciDevice, MCI_CLOSE, 0, 0);
        m.mciPlaying = 0;
    }
    return 0;
}

int StopMidiHandle(HandleId handle) {
    MidiSystem& m = g_MidiSystem;
    MidiRecord* record = g_SoundSystem.directSound != nullptr ? m.table.Lookup(handle) : nullptr;
    if (record == nullptr) return -1;
    m.mciLoop = 0;
    if (g_SoundSystem.midiMode == kMidiModeMci) {
        OnMidiPlayEnd();
        for (int i = 0; i < 5; ++i) ProcessMessage();
    } else if (m.performance != nullptr && record->segment != nullptr) {
        m.performance->Stop(record->segment, nullptr, 0, 0);
    }
    DeleteTemporaryMidiFile();
    record->playing = 0;
    record->seenPlaying = 0;
    return 0;
}

int ReleaseMidiHandle(HandleId handle) {
    MidiSystem& m = g_MidiSystem;
    MidiRecord* record = g_SoundSystem.directSound != nullptr ? m.table.Lookup(handle) : nullptr;
    if (record == nullptr) return -1;
    if (IsMidiHandlePlaying(handle) == 1 && (m.currentMusic == handle || record->playing)) StopMidiHandle(handle);
    if (record->segment != nullptr) {
        record->segment->Unload(nullptr);
        if (m.loader != nullptr) m.loader->ReleaseObjectByUnknown(record->segment);
        record->segment->Release();
    }
    if (record->data != nullptr) std::memset(record->data, 0, static_cast<std::size_t>(record->size));
    KV_FREE(record->data);
    KV_FREE(m.table.Remove(HandleSlotFor(handle, kHandleTypeMidi, kMidiSlotCount)));
    if (m.currentMusic == handle) m.currentMusic = kNoHandle;
    return 0;
}

int ReleaseAllMidiHandles() {
    MidiHandleTable& table = g_MidiSystem.table;
    for (int slot = 0; slot < kMidiSlotCount; ++slot) {
        const HandleId handle = table.HandleAt(slot);
        if (handle != kNoHandle) ReleaseMidiHandle(handle);
    }
    return 0;
}

int DeleteTemporaryMidiFile() {
    MidiSystem& m = g_MidiSystem;
    if (!m.temporaryFile) return 0;
    DeleteFileA(m.temporaryPath);
    m.temporaryFile = 0;
    return 0;
}

int EndCurrentMusic() {
    MidiSystem& m = g_MidiSystem;
    if (m.currentMusic == kNoHandle) return 0;
    const HandleId current = m.currentMusic;
    if (m.currentIsStream) {
        StopSoundHandle(current);
        DeleteSoundHandle(current, 0);
    } else {
        StopMidiHandle(current);
        ReleaseMidiHandle(current);
    }
    m.currentMusic = kNoHandle;
    return 0;
}
