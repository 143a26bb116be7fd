// Whole files and streams read into tracked memory, and RIFF/WAVE images
// built in memory.
#pragma once

#include <cstdint>

#include "files/stream_functions.h"
#include "platform/wave_format.h"

// The whole file through the file-function table. 0 or -1 (logged).
int LoadFileToMemory(const char* fileName, void** block, std::int64_t* size);
// The rest of a stream into a new block. 0 or -1 (logged).
int ReadStreamToMemory(const StreamData* stream, void** block, std::int64_t* size);
// A new block holding a RIFF/WAVE file of the format (`formatSize` bytes of
// it) and the data; its size is 28 + formatSize + dataSize. Null on failure.
void* BuildWaveImage(const WAVEFORMATEX* format, std::uint32_t formatSize, const void* data,
                     std::uint32_t dataSize, std::int64_t* imageSize);
