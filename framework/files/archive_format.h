// The archive file format: one directory tree packed into one file, its
// directory scrambled and its members optionally compressed. Shared by the
// framework's reader and the packer, so both agree on every byte.
//
// All fields are little-endian and every byte of the file, the header
// included, is XORed with a 12-byte key by its file position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/little_endian.h"

constexpr std::size_t kArchiveHeaderSize = 24;
constexpr std::size_t kArchiveKeySize = 12;
constexpr std::uint16_t kArchiveVersionLimit = 4;   // versions below are read
constexpr std::uint16_t kArchivePackedVersion = 2;  // from here on members may be packed
constexpr std::uint32_t kArchiveDirectoryAttribute = 0x10;
constexpr std::uint32_t kArchiveFileAttribute = 0x20;
constexpr std::uint32_t kArchiveNotPacked = 0xFFFFFFFFu;
constexpr std::uint32_t kArchiveNoParent = 0xFFFFFFFFu;
constexpr std::size_t kArchiveDirRecordSize = 16;
constexpr std::size_t kArchivePackedHeaderSize = 9;
// The longest name a search form is made of (a path component).
constexpr std::size_t kArchiveMaxNameLength = 255;

struct ArchiveHeader {
    unsigned char magic[2];           // "KV"
    std::uint16_t version;
    std::uint32_t directorySize;      // bytes of the directory block
    std::uint32_t dataOffset;         // file offset of the data area
    std::uint32_t directoryOffset;    // file offset of the directory block
    std::uint32_t fileTableOffset;    // inside the directory block
    std::uint32_t dirTableOffset;     // inside the directory block
};

// One entry of the file table (40 bytes before version 2, 44 from it on).
struct ArchiveFileEntry {
    std::uint32_t nameOffset;         // in the name table (the block's start)
    std::uint32_t attributes;         // kArchiveDirectoryAttribute for a directory
    std::uint64_t creationTime;
    std::uint64_t lastAccessTime;
    std::uint64_t lastWriteTime;
    std::uint32_t dataOffset;         // a file's offset in the data area; a directory's record offset
    std::uint32_t size;               // unpacked size
    std::uint32_t packedSize;         // kArchiveNotPacked when stored as it is
};

// One record of the directory table.
struct ArchiveDirRecord {
    std::uint32_t fileEntryOffset;    // its own entry in the file table
    std::uint32_t parentOffset;       // kArchiveNoParent at the root
    std::uint32_t entryCount;
    std::uint32_t firstEntryOffset;   // in the file table
};

// A name as the directory compares it: ASCII letters upper-cased, Shift-JIS
// pairs unchanged, zero-padded to `units` x 4 bytes (at least one zero).
struct ArchiveSearchName {
    std::uint16_t units;
    std::uint16_t check;  // 16-bit sum of the form's bytes
    unsigned char form[kArchiveMaxNameLength + 4];
};

std::size_t ArchiveFileEntrySize(std::uint16_t version);

void DecodeArchiveHeader(const unsigned char* bytes, ArchiveHeader* header);
void EncodeArchiveHeader(const ArchiveHeader& header, unsigned char* bytes);
void DecodeArchiveFileEntry(const unsigned char* bytes, std::uint16_t version, ArchiveFileEntry* entry);
void EncodeArchiveFileEntry(const ArchiveFileEntry& entry, std::uint16_t version, unsigned char* bytes);
void DecodeArchiveDirRecord(const unsigned char* bytes, ArchiveDirRecord* record);
void EncodeArchiveDirRecord(const ArchiveDirRecord& record, unsigned char* bytes);

// The search form of the first `length` bytes of `name`; -1 when the name is
// empty or longer than kArchiveMaxNameLength.
int MakeArchiveSearchName(const char* name, std::size_t length, ArchiveSearchName* out);

// The key of an archive: from `keyString` when one is given (its first 12
// bytes, repeated when shorter), else from the first built-in constant.
void BuildArchiveKey(const char* keyString, unsigned char key[kArchiveKeySize]);
// The second built-in key, tried when the first does not show the magic.
void BuildSecondArchiveKey(unsigned char key[kArchiveKeySize]);
// XORs `size` bytes read at `filePosition`; the same step scrambles.
void DescrambleArchiveBytes(std::size_t size, std::uint64_t filePosition, unsigned char* buffer,
                            const unsigned char key[kArchiveKeySize]);

// Unpacks a packed member (its 9-byte header included) into exactly
// `unpackedSize` bytes. -1 when the data is damaged: a header that disagrees,
// an item cut short, a back-reference before the start or past the end, or
// fewer bytes than promised. Nothing is written outside `out`.
int UnpackArchiveData(const unsigned char* packed, std::size_t packedSize, unsigned char* out,
                      std::size_t unpackedSize);
