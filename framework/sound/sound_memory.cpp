#include "sound/sound_memory.h"

#include <cstring>

#include "core/little_endian.h"
#include "core/log.h"
#include "core/memory.h"
#include "files/file_functions.h"
#include "sound/wave_record.h"

int LoadFileToMemory(const char* fileName, void** block, std::int64_t* size) {
    FileHandle file = FileOpen(fileName, 0, 0);
    if (file == 0) {
        WriteLogFormat("右記のファイルのオープンに失敗しました：%s", fileName);
        return -1;
    }
    FileSeek(file, 0, kSeekOriginEnd);
    const std::int64_t length = FileTell(file);
    FileSeek(file, 0, kSeekOriginStart);
    void* memory = length >= 0 && static_cast<std::uint64_t>(length) <= kTrackedAllocMaxSize
                       ? KV_ALLOC(static_cast<std::size_t>(length))
                       : nullptr;
    if (memory == nullptr) {
        WriteLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", fileName);
        FileClose(file);
        return -1;
    }
    const std::int64_t got = FileRead(memory, 1, static_cast<std::size_t>(length), file);
    FileClose(file);
    *block = memory;
    // A file that shrank while being read gives what it still held.
    *size = got < 0 ? 0 : got;
    return 0;
}

int ReadStreamToMemory(const StreamData* stream, void** block, std::int64_t* size) {
    const StreamFunctions& f = stream->functions;
    const std::int64_t here = f.tell(stream->dataHandle);
    f.seek(stream->dataHandle, 0, kSeekOriginEnd);
    const std::int64_t end = f.tell(stream->dataHandle);
    f.seek(stream->dataHandle, here, kSeekOriginStart);
    const std::int64_t length = here >= 0 && end > here ? end - here : 0;
    void* memory = static_cast<std::uint64_t>(length) <= kTrackedAllocMaxSize
                       ? KV_ALLOC(static_cast<std::size_t>(length))
                       : nullptr;
    if (memory == nullptr) {
        WriteLogText("ストリームの読み込みに必要なメモリの確保に失敗しました\n");
        return -1;
    }
    const std::int64_t got = f.read(memory, 1, static_cast<std::size_t>(length), stream->dataHandle);
    *block = memory;
    *size = got < 0 ? 0 : got;
    return 0;
}

void* BuildWaveImage(const WAVEFORMATEX* format, std::uint32_t formatSize, const void* data,
                     std::uint32_t dataSize, std::int64_t* imageSize) {
    const std::uint64_t total = 28ull + formatSize + dataSize;
    if (total > 0xFFFFFFFFull || total > kTrackedAllocMaxSize) return nullptr;
    auto* image = static_cast<unsigned char*>(KV_ALLOC(static_cast<std::size_t>(total)));
    if (image == nullptr) return nullptr;
    unsigned char record[18];
    EncodeWaveFormat(*format, record);
    unsigned char* p = image;
    std::memcpy(p, "RIFF", 4);
    StoreU32(p + 4, static_cast<std::uint32_t>(total - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    StoreU32(p + 16, formatSize);
    p += 20;
    // Bytes past the record's 18 come from behind it in memory (the extra
    // bytes of a format block).
    const std::uint32_t head = formatSize < 18 ? formatSize : 18;
    std::memcpy(p, record, head);
    if (formatSize > 18) std::memcpy(p + 18, reinterpret_cast<const unsigned char*>(format) + 18, formatSize - 18);
    p += formatSize;
    std::memcpy(p, "data", 4);
    StoreU32(p + 4, dataSize);
    if (dataSize > 0) std::memcpy(p + 8, data, dataSize);
    *imageSize = static_cast<std::int64_t>(total);
    return image;
}
