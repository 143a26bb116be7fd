// Little-endian fields and whole-file reads and writes for the save folder.
// Every save file is a raw run of fields with no header; they are put into and
// taken out of a fixed byte buffer one field at a time, never by copying a
// structure, and written to a temporary name that is then renamed over the old
// file, so an interrupted write never leaves a half-written save behind.
#pragma once

#include <cstddef>
#include <cstdint>

struct FieldBuffer {
    std::uint8_t* bytes;
    std::size_t size;
    std::size_t position;
    bool overrun;  // set when a field did not fit; later fields are skipped
};

constexpr FieldBuffer MakeFieldBuffer(std::uint8_t* bytes, std::size_t size) {
    return FieldBuffer{bytes, size, 0, false};
}

void PutU8(FieldBuffer& buffer, std::uint8_t value);
void PutI32(FieldBuffer& buffer, std::int32_t value);
// 0 when the buffer is exhausted (and `overrun` set).
std::uint8_t GetU8(FieldBuffer& buffer);
std::int32_t GetI32(FieldBuffer& buffer);

enum class FileReadResult {
    kOk,       // `size` bytes were read
    kMissing,  // the file could not be opened
    kShort,    // the file ended before `size` bytes
};

// Reads the first `size` bytes of a file (a Windows-style path under the
// start folder). On kShort, `*bytesRead` says how many arrived.
FileReadResult ReadFileBytes(const char* path, std::uint8_t* buffer, std::size_t size,
                             std::size_t* bytesRead = nullptr);

// Writes `size` bytes to `path` through a temporary file, put on the disk and
// then renamed over it, creating the file's folder when it is missing. On any
// failure the old file is left as it was, the temporary file is removed, the
// log says why, and the result is false.
bool WriteFileAtomically(const char* path, const std::uint8_t* bytes, std::size_t size);

// Removes the temporary file a write of `path` leaves behind when the program
// ends before its rename (the file itself is then still the old one, whole).
void RemoveStaleTemporaryFile(const char* path);

// For tests: called after the temporary file is complete and before it is
// renamed. When it returns true the write stops there, as if the program had
// died at that moment. Null (the default) lets every write finish.
using BeforeRenameHook = bool (*)(const char* temporaryPath);
void SetBeforeRenameHook(BeforeRenameHook hook);
