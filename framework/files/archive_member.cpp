// Reading a member of an archive: stored members straight from the archive,
// packed ones from an unpacked copy made at open.
#include <cstring>

#include "core/memory.h"
#include "files/archive_state.h"

namespace {

// A back-reference item takes at least three bytes (escape, code, length
// byte) and yields at most 8195: no honest member unpacks to more than this
// many bytes per packed byte. A larger claim is damage, refused before any
// memory is asked for it.
constexpr std::uint64_t kMaxUnpackRatio = 2732;

bool IsPacked(const ArchiveState* state, const ArchiveFileEntry& entry) {
    return state->header.version >= kArchivePackedVersion && entry.packedSize != kArchiveNotPacked;
}

std::uint64_t DataStart(const ArchiveState* state, const ArchiveFileEntry& entry) {
    return static_cast<std::uint64_t>(state->header.dataOffset) + entry.dataOffset;
}

bool Unpack(ArchiveMemberStream* stream) {
    ArchiveState* state = stream->archive;
    const ArchiveFileEntry& entry = stream->entry;
    std::uint64_t payload = entry.packedSize - kArchivePackedHeaderSize;
    if (entry.size > payload * kMaxUnpackRatio) return false;
    auto* packed = static_cast<unsigned char*>(TrackedAlloc(entry.packedSize, __FILE__, __LINE__));
    if (packed == nullptr) return false;
    bool ok = ReadArchiveBytes(state, DataStart(state, entry), packed, entry.packedSize) == entry.packedSize;
    if (ok) {
        stream->unpacked = static_cast<unsigned char*>(TrackedAlloc(entry.size > 0 ? entry.size : 1, __FILE__, __LINE__));
        ok = stream->unpacked != nullptr && UnpackArchiveData(packed, entry.packedSize, stream->unpacked, entry.size) == 0;
    }
    TrackedFree(packed);
    if (!ok) {
        TrackedFree(stream->unpacked);
        stream->unpacked = nullptr;
    }
    return ok;
}

}  // namespace

int OpenArchiveMember(ArchiveMemberStream* stream, ArchiveState* state, const char* path) {
    std::memset(stream, 0, sizeof *stream);
    std::uint32_t offset;
    if (FindArchiveEntry(path, state, &offset) != 0) return -1;
    ArchiveFileEntry entry;
    if (!GetArchiveFileEntry(state, offset, &entry)) return -1;
    // The member's bytes must lie inside the archive.
    std::uint64_t stored = IsPacked(state, entry) ? entry.packedSize : entry.size;
    if (IsPacked(state, entry) && entry.packedSize < kArchivePackedHeaderSize) return -1;
    if (DataStart(state, entry) + stored > state->archiveSize) return -1;
    stream->archive = state;
    stream->entry = entry;
    stream->eof = 0;
    stream->position = 0;
    if (IsPacked(state, entry) && !Unpack(stream)) {
        std::memset(stream, 0, sizeof *stream);
        return -1;
    }
    return 0;
}

void CloseArchiveMember(ArchiveMemberStream* stream) {
    TrackedFree(stream->unpacked);
    std::memset(stream, 0, sizeof *stream);
}

std::size_t ReadArchiveMember(ArchiveMemberStream* stream, void* buffer, std::size_t bytes) {
    if (stream->archive == nullptr || stream->eof != 0) return 0;
    if (stream->position >= stream->entry.size) {
        stream->eof = 1;
        return 0;
    }
    std::size_t left = stream->entry.size - stream->position;
    std::size_t count = bytes < left ? bytes : left;
    std::size_t got;
    if (stream->unpacked != nullptr) {
        if (count > 0) std::memcpy(buffer, stream->unpacked + stream->position, count);
        got = count;
    } else {
        got = ReadArchiveBytes(stream->archive, DataStart(stream->archive, stream->entry) + stream->position,
                               static_cast<unsigned char*>(buffer), count);
    }
    stream->position += static_cast<std::uint32_t>(got);
    stream->eof = 0;
    return got;
}

int SeekArchiveMember(ArchiveMemberStream* stream, std::int64_t offset, int origin) {
    if (stream->archive == nullptr) return -1;
    const std::int64_t size = stream->entry.size;
    std::int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = stream->position; break;
        case 2: base = size; break;
        default: return -1;
    }
    // Clamped to the member without forming a sum that could wrap.
    std::int64_t target;
    if (offset < 0)
        target = offset < -base ? 0 : base + offset;
    else
        target = offset > size - base ? size : base + offset;
    stream->position = static_cast<std::uint32_t>(target);
    stream->eof = 0;
    return 0;
}
