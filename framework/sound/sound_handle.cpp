// The sound handle table: records made, looked up and deleted.
#include "core/log.h"
#include "core/memory.h"
#include "sound/sound.h"
#include "sound/sound_data.h"
#include "sound/stream_sound.h"

SoundData* LookupSound(HandleId handle) {
    if (g_SoundSystem.directSound == nullptr) return nullptr;
    return g_SoundSystem.table.Lookup(handle);
}

HandleId AddSoundData(HandleId handle) {
    // Without sound no record is made: it could never be looked up, so
    // never deleted.
    if (g_SoundSystem.directSound == nullptr) {
        WriteLogText("サウンドシステムが初期化されていません in AddSoundData\n");
        return kNoHandle;
    }
    SoundHandleTable& table = g_SoundSystem.table;
    int slot;
    std::uint32_t checkNumber;
    if (handle == kNoHandle) {
        if (table.IsFull()) {
            WriteLogText("サウンドの数が許容量を越えました\n");
            return kNoHandle;
        }
        slot = table.ChooseSlot();
        checkNumber = table.Counter().Take();
    } else {
        // A handle given back keeps its slot and check number, if the slot is free.
        slot = HandleSlotFor(handle, kHandleTypeSound, kSoundSlotCount);
        if (slot < 0 || table.At(slot) != nullptr) return kNoHandle;
        checkNumber = HandleCheckNumber(handle);
    }
    auto* record = static_cast<SoundData*>(KV_ALLOC_ZEROED(sizeof(SoundData)));
    if (record == nullptr) {
        WriteLogText("メモリ領域の確保に失敗しました in AddSoundData");
        return kNoHandle;
    }
    return table.Insert(slot, record, checkNumber);
}

int DeleteSoundHandle(HandleId handle, int) {
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) {
        // Kept, flagged, while other sounds still play through its ring.
        if (DeleteStreamSoundParts(handle, sound) != 0) return 0;
    } else {
        StopSoundHandle(handle);
    }
    for (PcmBuffer& buffer : sound->buffers)
        if (buffer.valid) ReleasePcmBuffer(&buffer);
    KV_FREE(sound->pcm);
    KV_FREE(g_SoundSystem.table.Remove(HandleSlotFor(handle, kHandleTypeSound, kSoundSlotCount)));
    return 0;
}

int DeleteAllSounds(int logFlag) {
    if (g_SoundSystem.directSound == nullptr) return -1;
    SoundHandleTable& table = g_SoundSystem.table;
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        const HandleId handle = table.HandleAt(slot);
        if (handle != kNoHandle) DeleteSoundHandle(handle, logFlag);
    }
    return 0;
}
