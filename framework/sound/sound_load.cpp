// Whole sounds: a file or a file image converted to PCM and copied into the
// sound's buffers.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "files/stream_functions.h"
#include "files/stream_memory.h"
#include "sound/sound.h"
#include "sound/sound_converter.h"
#include "sound/sound_data.h"
#include "sound/sound_memory.h"
#include "sound/stream_sound.h"

namespace {

// The buffer flags of a whole sound, and the fallback without global focus
// and frequency control.
constexpr DWORD kSoundBufferFlags = D_DSBCAPS_GLOBALFOCUS | D_DSBCAPS_CTRLVOLUME | D_DSBCAPS_CTRLPAN |
                                    D_DSBCAPS_CTRLFREQUENCY | D_DSBCAPS_STATIC;
constexpr DWORD kSoundBufferFallbackFlags = D_DSBCAPS_CTRLVOLUME | D_DSBCAPS_CTRLPAN | D_DSBCAPS_STATIC;

// Buffer 1 and its duplicates. A buffer that cannot be made fails this sound
// only: the caller gets -1 and everything else plays on.
int MakeSoundPcmBuffers(const WAVEFORMATEX& format, std::int64_t size, int count, SoundData* sound) {
    if (size <= 0 || size > D_DSBSIZE_MAX) {
        WriteLogText("DirectSoundBuffer の作成に失敗しました");
        return -1;
    }
    WAVEFORMATEX bufferFormat = format;
    D_DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kSoundBufferFlags;
    desc.dwBufferBytes = static_cast<DWORD>(size);
    desc.lpwfxFormat = &bufferFormat;
    if (CreatePcmBuffer(&sound->buffers[0], &desc) != 0) {
        desc.dwFlags = kSoundBufferFallbackFlags;
        if (CreatePcmBuffer(&sound->buffers[0], &desc) != 0) {
            WriteLogText("DirectSoundBuffer の作成に失敗しました");
            return -1;
        }
    }
    int made = 1;
    while (made < count && DuplicatePcmBuffer(&sound->buffers[made], &sound->buffers[0]) == 0) ++made;
    sound->bufferCount = made;
    return 0;
}

// Copies the PCM into one buffer through a lock of its whole size.
int FillBuffer(PcmBuffer* buffer, const unsigned char* pcm, std::uint32_t size) {
    void* part1 = nullptr;
    void* part2 = nullptr;
    std::uint32_t bytes1 = 0;
    std::uint32_t bytes2 = 0;
    if (LockPcmBuffer(buffer, 0, size, &part1, &bytes1, &part2, &bytes2) != 0) {
        WriteLogText("サウンドデータの転送に失敗しました_1");
        return -1;
    }
    std::memcpy(part1, pcm, bytes1);
    if (part2 != nullptr) std::memcpy(part2, pcm + bytes1, bytes2);
    if (UnlockPcmBuffer(buffer, part1, bytes1, part2, bytes2) != 0) {
        WriteLogText("サウンドデータの転送に失敗しました_2");
        return -1;
    }
    return 0;
}

}  // namespace

int MakeStreamSoundBuffer(const WAVEFORMATEX& format, HandleId handle, SoundData* sound) {
    const std::uint64_t size = 6ull * format.nAvgBytesPerSec;
    WAVEFORMATEX bufferFormat = format;
    D_DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kSoundBufferFlags | D_DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = static_cast<DWORD>(size);
    desc.lpwfxFormat = &bufferFormat;
    // As with a whole sound, a ring that cannot be made fails this sound only.
    if (size == 0 || size > D_DSBSIZE_MAX || CreatePcmBuffer(&sound->buffers[0], &desc) != 0) {
        WriteLogText("ストリーム風サウンドバッファの作成に失敗しました");
        return -1;
    }
    sound->bufferCount = 1;
    sound->stream.ringSize = static_cast<std::uint32_t>(size);
    LinkNodeAfter(g_SoundSystem.streamTail.previous, &sound->stream.node, handle,
                  reinterpret_cast<std::intptr_t>(sound));
    return 0;
}

HandleId LoadSoundImage(const void* image, std::int64_t size, int bufferCount, int) {
    if (g_SoundSystem.directSound == nullptr || bufferCount > kMaxSoundBuffers || image == nullptr || size < 0)
        return kNoHandle;
    if (bufferCount < 1) bufferCount = 1;
    const HandleId handle = AddSoundData(kNoHandle);
    if (handle == kNoHandle) return kNoHandle;
    SoundData* sound = g_SoundSystem.table.Lookup(handle);

    // Whatever fails from here deletes the half-made sound with everything
    // it opened.
    MemoryStream* memory = OpenMemoryStream(image, static_cast<std::size_t>(size));
    StreamData stream{*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    SoundConverter converter;
    if (memory == nullptr || OpenSoundConverter(&converter, &stream) != 0) {
        WriteLogText("音声ファイルのＰＣＭへの変換に失敗しました");
        if (memory != nullptr) CloseMemoryStream(memory);
        DeleteSoundHandle(handle, 0);
        return kNoHandle;
    }
    WAVEFORMATEX format{};
    void* pcm = nullptr;
    std::int64_t pcmSize = 0;
    const int converted = ConvertWholeSound(&converter, &format, &pcm, &pcmSize);
    CloseSoundConverter(&converter);
    CloseMemoryStream(memory);
    if (converted != 0) {
        WriteLogText("音声ファイルを格納するメモリ領域の確保に失敗しました");
        DeleteSoundHandle(handle, 0);
        return kNoHandle;
    }
    sound->format = format;
    sound->pcm = pcm;
    sound->pcmSize = pcmSize;
    if (MakeSoundPcmBuffers(format, pcmSize, bufferCount, sound) != 0) {
        DeleteSoundHandle(handle, 0);
        return kNoHandle;
    }
    for (int i = 0; i < sound->bufferCount; ++i) {
        if (FillBuffer(&sound->buffers[i], static_cast<const unsigned char*>(pcm),
                       static_cast<std::uint32_t>(pcmSize)) != 0) {
            DeleteSoundHandle(handle, 0);
            return kNoHandle;
        }
    }
    return handle;
}

HandleId LoadSoundFile(const char* fileName, int bufferCount, int streamValue) {
    if (g_SoundSystem.directSound == nullptr || fileName == nullptr) return kNoHandle;
    if (g_SoundSystem.createAsStream) {
        // Streamed from the open file, played once a start; the stream value
        // names a sound whose ring it may share.
        const HandleId handle = AddSoundData(kNoHandle);
        if (handle == kNoHandle) return kNoHandle;
        if (LoadStreamSoundFile(fileName, 0, handle, kStreamDataDirect, streamValue) != 0) {
            DeleteSoundHandle(handle, 0);
            return kNoHandle;
        }
        PrimeStreamSound(handle);
        return handle;
    }
    if (bufferCount > kMaxSoundBuffers) bufferCount = kMaxSoundBuffers;
    void* image = nullptr;
    std::int64_t size = 0;
    if (LoadFileToMemory(fileName, &image, &size) != 0) {
        WriteLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", fileName);
        return kNoHandle;
    }
    const HandleId handle = LoadSoundImage(image, size, bufferCount, -1);
    KV_FREE(image);
    if (handle == kNoHandle) WriteLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", fileName);
    return handle;
}

HandleId LoadSoundFileJump(const char* fileName, int bufferCount, int streamValue) {
    return LoadSoundFile(fileName, bufferCount, streamValue);
}
