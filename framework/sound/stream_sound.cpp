// Stream sounds: their entries, made from streams, files and memory images,
// and their deletion.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "files/file_functions.h"
#include "files/stream_memory.h"
#include "sound/sound.h"
#include "sound/sound_memory.h"
#include "sound/stream_sound.h"

namespace {

// Everything an entry holds: its converter, its copy and its streams. A
// direct entry closes the caller's stream it kept.
void ReleaseEntry(StreamSoundEntry* e) {
    if (e->converterOpen) CloseSoundConverter(&e->converter);
    if (e->memory != nullptr) CloseMemoryStream(e->memory);
    if (e->dataKind == kStreamDataDirect && e->stream.functions.close != nullptr)
        e->stream.functions.close(e->stream.dataHandle);
    KV_FREE(e->data);
    std::memset(e, 0, sizeof *e);
}

// The entry converts from its own memory stream over `data` (which it owns).
int OpenOverCopy(StreamSoundEntry* e, void* data, std::int64_t size) {
    e->data = data;
    e->dataSize = size;
    e->memory = OpenMemoryStream(data, static_cast<std::size_t>(size));
    if (e->memory == nullptr) return -1;
    e->stream = {*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(e->memory)};
    if (OpenSoundConverter(&e->converter, &e->stream) != 0) return -1;
    e->converterOpen = 1;
    return 0;
}

// Kind 0: the whole sound to PCM, wrapped as a WAV image the entry streams.
int SetUpPreconverted(StreamSoundEntry* e, const StreamData* source) {
    void* file = nullptr;
    std::int64_t fileSize = 0;
    if (ReadStreamToMemory(source, &file, &fileSize) != 0) {
        WriteLogText("音声データの読み込みに失敗しました");
        return -1;
    }
    MemoryStream* memory = OpenMemoryStream(file, static_cast<std::size_t>(fileSize));
    StreamData stream{*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    SoundConverter converter;
    WAVEFORMATEX format{};
    void* pcm = nullptr;
    std::int64_t pcmSize = 0;
    int result = -1;
    if (memory != nullptr && OpenSoundConverter(&converter, &stream) == 0) {
        result = ConvertWholeSound(&converter, &format, &pcm, &pcmSize);
        CloseSoundConverter(&converter);
    }
    if (memory != nullptr) CloseMemoryStream(memory);
    KV_FREE(file);
    if (result != 0 || pcmSize > 0xFFFFFFFFll) {
        KV_FREE(pcm);
        WriteLogText("音声データの変換に失敗しました");
        return -1;
    }
    std::int64_t imageSize = 0;
    void* image = BuildWaveImage(&format, sizeof(WAVEFORMATEX), pcm, static_cast<std::uint32_t>(pcmSize), &imageSize);
    KV_FREE(pcm);
    if (image == nullptr || OpenOverCopy(e, image, imageSize) != 0) {
        if (image != nullptr && e->data == nullptr) KV_FREE(image);
        WriteLogText("音声データの変換に失敗しました");
        return -1;
    }
    return 0;
}

}  // namespace

int AddSreamSound(const StreamData* stream, int loopCount, HandleId handle, int dataKind, int* owned,
                  HandleId shareWith) {
    if (owned != nullptr) *owned = 0;
    SoundData* sound = LookupSound(handle);
    if (sound == nullptr || stream == nullptr) return -1;
    StreamSoundState& st = sound->stream;
    // A sound that already holds data must be a stream sound: a whole
    // sound's buffers are not a ring.
    if ((st.entryCount > 0 || sound->pcm != nullptr || sound->bufferCount > 0) && !sound->isStream) {
        WriteLogText("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
        return -1;
    }
    if (st.entryCount > 0) {
        if (IsStreamRingPlaying(handle, sound)) {
            WriteLogText("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
            return -1;
        }
        if (st.entryCount >= kMaxStreamEntries) {
            WriteLogText("ストリーム風サウンドの制御データ領域がいっぱいです\n");
            return -1;
        }
    }

    StreamSoundEntry& e = st.entries[st.entryCount];
    std::memset(&e, 0, sizeof e);
    e.loopCount = static_cast<std::uint8_t>(loopCount);
    e.dataKind = dataKind;
    stream->functions.seek(stream->dataHandle, 0, kSeekOriginStart);
    int result = -1;
    switch (dataKind) {
        case kStreamDataPreconverted:
            result = SetUpPreconverted(&e, stream);
            if (owned != nullptr) *owned = 1;
            break;
        case kStreamDataCopied: {
            void* copy = nullptr;
            std::int64_t size = 0;
            if (ReadStreamToMemory(stream, &copy, &size) != 0) {
                WriteLogText("音声データの読み込みに失敗しました");
                break;
            }
            result = OpenOverCopy(&e, copy, size);
            if (result != 0) WriteLogText("音声データのオープンに失敗しました");
            if (owned != nullptr) *owned = 1;
            break;
        }
        case kStreamDataDirect:
            e.stream = *stream;
            result = OpenSoundConverter(&e.converter, &e.stream);
            if (result == 0) e.converterOpen = 1;
            else WriteLogText("音声データのオープンに失敗しました");
            break;
        default:
            break;  // no other kind sets up a source
    }
    if (result != 0) {
        if (dataKind == kStreamDataDirect) e.stream = {};  // the caller's stream stays the caller's
        ReleaseEntry(&e);
        return -1;
    }

    WAVEFORMATEX format;
    GetConverterFormat(&e.converter, &format);
    if (st.entryCount == 0) {
        sound->format = format;
        SoundData* other = LookupSound(shareWith);
        if (other != nullptr && other->isStream && other->stream.sharedBuffer == kNoHandle &&
            other->buffers[0].valid && std::memcmp(&other->format, &format, sizeof format) == 0) {
            st.sharedBuffer = shareWith;
            st.ringSize = other->stream.ringSize;
            sound->bufferCount = 1;
            LinkNodeAfter(g_SoundSystem.streamTail.previous, &st.node, handle, reinterpret_cast<std::intptr_t>(sound));
            ++other->stream.sharerCount;
        } else {
            st.sharedBuffer = kNoHandle;
            if (MakeStreamSoundBuffer(format, handle, sound) != 0) {
                if (dataKind == kStreamDataDirect) e.stream = {};
                ReleaseEntry(&e);
                return -1;
            }
        }
        sound->isStream = 1;
        st.sharerCount = 0;
        st.owner = kNoHandle;
        st.writePosition = kStreamNotFilled;
        st.windowStart = -1;
    } else if (std::memcmp(&sound->format, &format, sizeof format) != 0) {
        WriteLogText("フォーマットの違う音声データは同時に使うことは出来ません");
        if (dataKind == kStreamDataDirect) e.stream = {};
        ReleaseEntry(&e);
        return -1;
    }
    ++st.entryCount;
    st.totalSamples = 0;
    for (int i = 0; i < st.entryCount; ++i)
        st.totalSamples += EstimateConvertedSize(&st.entries[i].converter) / sound->format.nBlockAlign;
    return 0;
}

int LoadStreamSoundFile(const char* fileName, int loopCount, HandleId handle, int dataKind, HandleId shareWith) {
    FileHandle file = FileOpen(fileName, 0, 0);
    if (file == 0) {
        WriteLogFormatText("右記のＷＡＶファイルのロードに失敗しました：%s \n", fileName);
        return -1;
    }
    const StreamData stream{*GetFileStreamFunctions(), static_cast<StreamHandle>(file)};
    int owned = 0;
    if (AddSreamSound(&stream, loopCount, handle, dataKind, &owned, shareWith) != 0) {
        WriteLogFormatText("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", fileName);
        FileClose(file);
        return -1;
    }
    if (owned) FileClose(file);
    if (SoundData* sound = LookupSound(handle)) sound->stream.entryFromFile[sound->stream.entryCount - 1] = 1;
    return 0;
}

int LoadStreamSoundMemory(const void* image, std::int64_t size, int loopCount, HandleId handle, int dataKind,
                          HandleId shareWith) {
    // A memory image is always copied.
    if (dataKind == kStreamDataDirect) dataKind = kStreamDataCopied;
    MemoryStream* memory = image != nullptr && size >= 0 ? OpenMemoryStream(image, static_cast<std::size_t>(size)) : nullptr;
    if (memory == nullptr) {
        WriteLogText("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
        return -1;
    }
    const StreamData stream{*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    int owned = 0;
    const int result = AddSreamSound(&stream, loopCount, handle, dataKind, &owned, shareWith);
    CloseMemoryStream(memory);
    if (result != 0) {
        WriteLogText("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
        return -1;
    }
    if (SoundData* sound = LookupSound(handle)) sound->stream.entryFromFile[sound->stream.entryCount - 1] = 1;
    return 0;
}

int DeleteStreamSoundParts(HandleId handle, SoundData* sound) {
    StreamSoundState& st = sound->stream;
    HaltStreamSound(handle);
    // The sound whose ring this one plays through has one sharer less; one
    // that waited for its sharers goes now.
    if (st.sharedBuffer != kNoHandle) {
        if (SoundData* owner = LookupSound(st.sharedBuffer)) {
            --owner->stream.sharerCount;
            if (owner->stream.deletePending && owner->stream.sharerCount <= 0) DeleteSoundHandle(st.sharedBuffer, 0);
        }
        st.sharedBuffer = kNoHandle;
    }
    if (st.sharerCount > 0) {
        st.deletePending = 1;
        return 1;
    }
    if (st.node.next != nullptr) UnlinkNode(&st.node);
    for (int i = 0; i < st.entryCount; ++i) ReleaseEntry(&st.entries[i]);
    st.entryCount = 0;
    return 0;
}
