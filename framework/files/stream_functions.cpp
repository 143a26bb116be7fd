// The two stream tables: files through the installed file-function table,
// memory images through the memory stream.
#include "files/stream_functions.h"

#include "files/file_functions.h"
#include "files/stream_memory.h"

namespace {

MemoryStream* Memory(StreamHandle data) { return reinterpret_cast<MemoryStream*>(data); }

constexpr StreamFunctions kFileStreams = {
    FileTell, FileSeek, FileRead, FileEof, FileIdleCheck, FileClose,
};

constexpr StreamFunctions kMemoryStreams = {
    [](StreamHandle data) { return MemStreamTell(Memory(data)); },
    [](StreamHandle data, std::int64_t offset, int origin) { return MemStreamSeek(Memory(data), offset, origin); },
    [](void* buffer, std::size_t size, std::size_t count, StreamHandle data) {
        return MemStreamRead(buffer, size, count, Memory(data));
    },
    [](StreamHandle data) { return MemStreamEof(Memory(data)); },
    [](StreamHandle) { return 1; },
    [](StreamHandle data) { return CloseMemoryStream(Memory(data)); },
};

// Filled from the start as well, so decoders work in tests that never start
// the whole framework.
StreamFunctions g_fileStreams = kFileStreams;
StreamFunctions g_memoryStreams = kMemoryStreams;

}  // namespace

int FillStreamFunctionTables() {
    g_fileStreams = kFileStreams;
    g_memoryStreams = kMemoryStreams;
    return 0;
}

const StreamFunctions* GetFileStreamFunctions() { return &g_fileStreams; }
const StreamFunctions* GetMemoryStreamFunctions() { return &g_memoryStreams; }
