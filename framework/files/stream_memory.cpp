// The memory stream: what decoders read when an image or a sound is already
// in memory.
#include "files/stream_memory.h"

#include <cstring>

#include "core/memory.h"

MemoryStream* OpenMemoryStream(const void* data, std::size_t size) {
    auto* stream = static_cast<MemoryStream*>(TrackedAlloc(sizeof(MemoryStream), "", 0));
    if (stream == nullptr) return nullptr;
    stream->data = static_cast<const unsigned char*>(data);
    stream->size = data != nullptr ? size : 0;
    stream->position = 0;
    stream->eof = 0;
    return stream;
}

int CloseMemoryStream(MemoryStream* stream) {
    TrackedFree(stream);
    return 0;
}

std::int64_t MemStreamTell(const MemoryStream* stream) {
    if (stream == nullptr) return -1;
    return static_cast<std::int64_t>(stream->position);
}

int MemStreamEof(const MemoryStream* stream) {
    if (stream == nullptr) return -1;
    return stream->eof != 0 ? 1 : 0;
}

int MemStreamSeek(MemoryStream* stream, std::int64_t offset, int origin) {
    if (stream == nullptr) return -1;
    std::size_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = stream->position; break;
        case 2: base = stream->size; break;
        default: return -1;
    }
    // Clamped on both sides without forming a sum that could wrap.
    std::size_t target;
    if (offset < 0) {
        std::uint64_t back = 0 - static_cast<std::uint64_t>(offset);
        target = back >= base ? 0 : base - static_cast<std::size_t>(back);
    } else {
        std::uint64_t ahead = static_cast<std::uint64_t>(offset);
        target = ahead >= stream->size - base ? stream->size : base + static_cast<std::size_t>(ahead);
    }
    stream->position = target;
    stream->eof = 0;
    return 0;
}

std::int64_t MemStreamRead(void* buffer, std::size_t size, std::size_t count, MemoryStream* stream) {
    if (stream == nullptr || buffer == nullptr) return 0;
    if (stream->position >= stream->size) {
        stream->position = stream->size;
        stream->eof = 1;
        return 0;
    }
    // Nothing is asked for: no item to count and no room to copy a tail into.
    if (size == 0 || count == 0) return 0;
    std::size_t remaining = stream->size - stream->position;
    // Compared by division, so no size x count product can wrap.
    std::size_t items = count <= remaining / size ? count : remaining / size;
    if (items > 0) {
        std::memcpy(buffer, stream->data + stream->position, size * items);
        stream->position += size * items;
        stream->eof = 0;
        return static_cast<std::int64_t>(items);
    }
    // Less than one item is left: the tail is handed out and counted as one.
    std::memcpy(buffer, stream->data + stream->position, remaining);
    stream->position = stream->size;
    stream->eof = 0;
    return 1;
}
