// Field-by-field encoding of the archive format, its search names and its key.
#include "files/archive_format.h"

#include <cstring>

#include "core/utility.h"

namespace {

// The constants the two built-in keys are made from. They are never used as
// they stand: BuildArchiveKey's transform turns them into the keys at run
// time, so the key bytes appear nowhere in the program image.
constexpr unsigned char kFirstKeySeed[kArchiveKeySize] = {0x3A, 0xE1, 0x77, 0x0C, 0x95, 0x5B,
                                                          0xD2, 0x18, 0xA6, 0x4F, 0xC9, 0x63};
constexpr unsigned char kSecondKeySeed[kArchiveKeySize] = {0x81, 0x2E, 0xF4, 0x59, 0x0B, 0xB7,
                                                           0x6D, 0xE8, 0x35, 0x9A, 0x12, 0xCF};

unsigned char RotateLeft(unsigned char value, int bits) {
    return static_cast<unsigned char>((value << bits) | (value >> (8 - bits)));
}

void TransformKey(const unsigned char seed[kArchiveKeySize], unsigned char key[kArchiveKeySize]) {
    for (std::size_t i = 0; i < kArchiveKeySize; ++i) {
        auto mixed = static_cast<unsigned char>(seed[i] ^ (0x5A + 0x1F * i));
        key[i] = static_cast<unsigned char>(RotateLeft(mixed, static_cast<int>(i % 7) + 1) ^ 0xC3);
    }
}

}  // namespace

std::size_t ArchiveFileEntrySize(std::uint16_t version) { return version < kArchivePackedVersion ? 40 : 44; }

void DecodeArchiveHeader(const unsigned char* b, ArchiveHeader* h) {
    h->magic[0] = b[0];
    h->magic[1] = b[1];
    h->version = LoadU16(b + 2);
    h->directorySize = LoadU32(b + 4);
    h->dataOffset = LoadU32(b + 8);
    h->directoryOffset = LoadU32(b + 12);
    h->fileTableOffset = LoadU32(b + 16);
    h->dirTableOffset = LoadU32(b + 20);
}

void EncodeArchiveHeader(const ArchiveHeader& h, unsigned char* b) {
    b[0] = h.magic[0];
    b[1] = h.magic[1];
    StoreU16(b + 2, h.version);
    StoreU32(b + 4, h.directorySize);
    StoreU32(b + 8, h.dataOffset);
    StoreU32(b + 12, h.directoryOffset);
    StoreU32(b + 16, h.fileTableOffset);
    StoreU32(b + 20, h.dirTableOffset);
}

void DecodeArchiveFileEntry(const unsigned char* b, std::uint16_t version, ArchiveFileEntry* e) {
    e->nameOffset = LoadU32(b);
    e->attributes = LoadU32(b + 4);
    e->creationTime = LoadU64(b + 8);
    e->lastAccessTime = LoadU64(b + 16);
    e->lastWriteTime = LoadU64(b + 24);
    e->dataOffset = LoadU32(b + 32);
    e->size = LoadU32(b + 36);
    e->packedSize = version < kArchivePackedVersion ? kArchiveNotPacked : LoadU32(b + 40);
}

void EncodeArchiveFileEntry(const ArchiveFileEntry& e, std::uint16_t version, unsigned char* b) {
    StoreU32(b, e.nameOffset);
    StoreU32(b + 4, e.attributes);
    StoreU64(b + 8, e.creationTime);
    StoreU64(b + 16, e.lastAccessTime);
    StoreU64(b + 24, e.lastWriteTime);
    StoreU32(b + 32, e.dataOffset);
    StoreU32(b + 36, e.size);
    if (version >= kArchivePackedVersion) StoreU32(b + 40, e.packedSize);
}

void DecodeArchiveDirRecord(const unsigned char* b, ArchiveDirRecord* r) {
    r->fileEntryOffset = LoadU32(b);
    r->parentOffset = LoadU32(b + 4);
    r->entryCount = LoadU32(b + 8);
    r->firstEntryOffset = LoadU32(b + 12);
}

void EncodeArchiveDirRecord(const ArchiveDirRecord& r, unsigned char* b) {
    StoreU32(b, r.fileEntryOffset);
    StoreU32(b + 4, r.parentOffset);
    StoreU32(b + 8, r.entryCount);
    StoreU32(b + 12, r.firstEntryOffset);
}

int MakeArchiveSearchName(const char* name, std::size_t length, ArchiveSearchName* out) {
    if (name == nullptr || length == 0 || length > kArchiveMaxNameLength) return -1;
    std::memset(out->form, 0, sizeof out->form);
    std::uint16_t check = 0;
    for (std::size_t i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (IsShiftJisLeadByte(c) && i + 1 < length) {
            // A pair is copied as it stands, trail byte included.
            out->form[i] = c;
            out->form[i + 1] = static_cast<unsigned char>(name[i + 1]);
            check = static_cast<std::uint16_t>(check + c + out->form[i + 1]);
            ++i;
            continue;
        }
        if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
        out->form[i] = c;
        check = static_cast<std::uint16_t>(check + c);
    }
    out->units = static_cast<std::uint16_t>((length + 4) / 4);
    out->check = check;
    return 0;
}

void BuildArchiveKey(const char* keyString, unsigned char key[kArchiveKeySize]) {
    unsigned char seed[kArchiveKeySize];
    std::size_t length = keyString != nullptr ? std::strlen(keyString) : 0;
    if (length == 0) {
        std::memcpy(seed, kFirstKeySeed, kArchiveKeySize);
    } else {
        for (std::size_t i = 0; i < kArchiveKeySize; ++i) seed[i] = static_cast<unsigned char>(keyString[i % length]);
    }
    TransformKey(seed, key);
}

void BuildSecondArchiveKey(unsigned char key[kArchiveKeySize]) { TransformKey(kSecondKeySeed, key); }

void DescrambleArchiveBytes(std::size_t size, std::uint64_t filePosition, unsigned char* buffer,
                            const unsigned char key[kArchiveKeySize]) {
    std::size_t k = static_cast<std::size_t>(filePosition % kArchiveKeySize);
    for (std::size_t i = 0; i < size; ++i) {
        buffer[i] ^= key[k];
        if (++k == kArchiveKeySize) k = 0;
    }
}

int UnpackArchiveData(const unsigned char* packed, std::size_t packedSize, unsigned char* out,
                      std::size_t unpackedSize) {
    if (packed == nullptr || packedSize < kArchivePackedHeaderSize) return -1;
    if (LoadU32(packed) != unpackedSize) return -1;
    std::uint32_t declared = LoadU32(packed + 4);
    if (declared < kArchivePackedHeaderSize || declared > packedSize) return -1;
    const unsigned char escape = packed[8];
    const unsigned char* in = packed + kArchivePackedHeaderSize;
    const unsigned char* end = packed + declared;
    std::size_t produced = 0;
    std::size_t lastDistance = 0;
    while (in < end && produced < unpackedSize) {
        unsigned char byte = *in++;
        if (byte != escape) {
            out[produced++] = byte;
            continue;
        }
        if (in == end) return -1;
        unsigned char code = *in++;
        if (code == escape) {
            out[produced++] = escape;
            continue;
        }
        if (code > escape) --code;
        std::size_t length = code >> 3;
        if ((code & 4) != 0) {
            if (in == end) return -1;
            length |= static_cast<std::size_t>(*in++) << 5;
        }
        length += 4;
        std::size_t distance;
        switch (code & 3) {
            case 0:
                if (end - in < 1) return -1;
                distance = static_cast<std::size_t>(in[0]) + 1;
                in += 1;
                break;
            case 1:
                if (end - in < 2) return -1;
                distance = static_cast<std::size_t>(LoadU16(in)) + 1;
                in += 2;
                break;
            case 2:
                if (end - in < 3) return -1;
                distance = (static_cast<std::size_t>(LoadU16(in)) | (static_cast<std::size_t>(in[2]) << 16)) + 1;
                in += 3;
                break;
            default:
                // No distance field: one more than the previous back-reference's.
                distance = lastDistance + 1;
                break;
        }
        lastDistance = distance;
        // A damaged stream may point before the start or run past the end.
        if (distance > produced || length > unpackedSize - produced) return -1;
        // Forward, byte by byte: a distance below the length repeats the
        // latest bytes.
        unsigned char* to = out + produced;
        const unsigned char* from = to - distance;
        for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
        produced += length;
    }
    return produced == unpackedSize ? 0 : -1;
}
