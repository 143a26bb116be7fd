// Mounting an archive: the header under either built-in key, then the
// directory block, each checked against the archive's size.
#include <cstring>

#include "core/memory.h"
#include "files/archive_state.h"

namespace {

// The bytes of the archive at `position`, descrambled; the count really read.
std::size_t ReadRaw(ArchiveState* state, std::uint64_t position, unsigned char* buffer, std::size_t count) {
    if (state->memoryHeld != 0) {
        if (position >= state->archiveSize) return 0;
        std::uint64_t available = state->archiveSize - position;
        if (count > available) count = static_cast<std::size_t>(available);
        std::memcpy(buffer, state->image + position, count);
        if (state->descrambledInPlace == 0) DescrambleArchiveBytes(count, position, buffer, state->key);
        return count;
    }
    if (position > 0xFFFFFFFFu) return 0;
    // Members of one archive share its file: seek only when it is elsewhere.
    if (PlainFileTell(state->file) != static_cast<std::int64_t>(position) &&
        PlainFileSeek(state->file, static_cast<std::int64_t>(position), 0) != 0)
        return 0;
    std::int64_t got = PlainFileRead(buffer, 1, count, state->file);
    if (got <= 0) return 0;
    DescrambleArchiveBytes(static_cast<std::size_t>(got), position, buffer, state->key);
    return static_cast<std::size_t>(got);
}

bool ReadHeader(ArchiveState* state) {
    unsigned char bytes[kArchiveHeaderSize];
    if (ReadRaw(state, 0, bytes, sizeof bytes) != sizeof bytes) return false;
    DecodeArchiveHeader(bytes, &state->header);
    return state->header.magic[0] == 'K' && state->header.magic[1] == 'V';
}

// The header under the archive's key, else under the second built-in key
// (which then serves the whole archive).
bool FindHeader(ArchiveState* state, const char* keyString) {
    BuildArchiveKey(keyString, state->key);
    if (ReadHeader(state)) return true;
    BuildSecondArchiveKey(state->key);
    return ReadHeader(state);
}

// Loads the directory block once the header is read; false when the header
// is not one of ours or points outside the archive.
bool LoadDirectory(ArchiveState* state) {
    const ArchiveHeader& h = state->header;
    if (h.magic[0] != 'K' || h.magic[1] != 'V' || h.version >= kArchiveVersionLimit) return false;
    const std::uint64_t size = state->archiveSize;
    if (h.directorySize == 0 || static_cast<std::uint64_t>(h.directoryOffset) + h.directorySize > size) return false;
    if (h.dataOffset > size) return false;
    // At least the root's record must lie inside the block.
    if (static_cast<std::uint64_t>(h.dirTableOffset) + kArchiveDirRecordSize > h.directorySize) return false;
    if (h.fileTableOffset >= h.directorySize) return false;
    state->directory = static_cast<unsigned char*>(TrackedAlloc(h.directorySize, __FILE__, __LINE__));
    if (state->directory == nullptr) return false;
    if (ReadRaw(state, h.directoryOffset, state->directory, h.directorySize) != h.directorySize) return false;
    state->nameTable = 0;
    state->fileTable = h.fileTableOffset;
    state->dirTable = h.dirTableOffset;
    state->currentDir = 0;
    state->entrySize = ArchiveFileEntrySize(h.version);
    return true;
}

}  // namespace

std::size_t ReadArchiveBytes(ArchiveState* state, std::uint64_t position, unsigned char* buffer, std::size_t count) {
    return ReadRaw(state, position, buffer, count);
}

int MountArchiveFile(ArchiveState* state, const char* path, const char* keyString) {
    std::memset(state, 0, sizeof *state);
    state->file = OpenPlainFile(path, 0, 0);
    if (state->file == nullptr) return -1;
    state->archiveSize = state->file->size;
    if (FindHeader(state, keyString) && LoadDirectory(state)) return 0;
    ReleaseArchiveState(state);
    return -1;
}

int MountArchiveImage(ArchiveState* state, unsigned char* image, std::size_t size, int inPlace,
                      const char* keyString) {
    std::memset(state, 0, sizeof *state);
    if (image == nullptr) return -1;
    state->memoryHeld = 1;
    state->image = image;
    state->archiveSize = size;
    if (!FindHeader(state, keyString)) {
        ReleaseArchiveState(state);
        return -1;
    }
    if (inPlace != 0) {
        DescrambleArchiveBytes(size, 0, image, state->key);
        state->descrambledInPlace = 1;
    }
    if (LoadDirectory(state)) return 0;
    ReleaseArchiveState(state);
    return -1;
}

void ReleaseArchiveState(ArchiveState* state) {
    if (state->memoryHeld != 0) {
        if (state->descrambledInPlace != 0)
            DescrambleArchiveBytes(static_cast<std::size_t>(state->archiveSize), 0, state->image, state->key);
        else if (state->ownsImage != 0)
            TrackedFree(state->image);
    } else if (state->file != nullptr) {
        ClosePlainFile(state->file);
    }
    TrackedFree(state->directory);
    std::memset(state, 0, sizeof *state);
}
