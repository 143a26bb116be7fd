// Streams for decoders: image loaders and sound converters read through a
// StreamData and never know whether it stands for an open file or for an
// image in memory.
#pragma once

#include <cstddef>
#include <cstdint>

// The stream's data word: a FileHandle or a MemoryStream's address.
using StreamHandle = std::intptr_t;

// Six operations, each taking the data word last; results as in the
// file-function table (the memory stream's end-of-file reads 1, not -1).
struct StreamFunctions {
    std::int64_t (*tell)(StreamHandle data);
    int (*seek)(StreamHandle data, std::int64_t offset, int origin);
    std::int64_t (*read)(void* buffer, std::size_t size, std::size_t count, StreamHandle data);
    int (*eof)(StreamHandle data);
    int (*idleCheck)(StreamHandle data);
    int (*close)(StreamHandle data);
};

struct StreamData {
    StreamFunctions functions;
    StreamHandle dataHandle;
};

// Fills both tables: files (through the installed file-function table, so a
// file stream follows whatever set is in use) and memory images.
int FillStreamFunctionTables();  // 0
const StreamFunctions* GetFileStreamFunctions();
const StreamFunctions* GetMemoryStreamFunctions();
