// Writing archives: a directory tree in memory becomes the bytes of one
// archive file. The packer tool and the tests build archives with this, so
// they are written by the same format code the framework reads them with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/archive_format.h"

struct ArchivePackOptions {
    std::uint16_t version = kArchivePackedVersion;  // 1 writes 40-byte entries and never packs
    bool compress = true;         // pack members that get smaller
    const char* keyString = nullptr;
    bool secondKey = false;       // scramble with the second built-in key
};

class ArchiveBuilder {
public:
    ArchiveBuilder();
    ~ArchiveBuilder();
    ArchiveBuilder(const ArchiveBuilder&) = delete;
    ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

    // `path` is relative to the archive's directory, with '\\' or '/'
    // between components; missing directories are made on the way. False
    // for an empty or over-long component, or a name that clashes with
    // another entry of its directory once letter case is ignored.
    bool AddFile(const std::string& path, std::vector<unsigned char> bytes, std::uint64_t writeTime = 0);
    bool AddDirectory(const std::string& path, std::uint64_t writeTime = 0);

    // The archive's bytes; false when it would not fit the format's 32-bit
    // offsets or the version is not one the framework reads.
    bool Build(const ArchivePackOptions& options, std::vector<unsigned char>* out) const;

private:
    struct Node;
    Node* Walk(const std::string& path, bool makeLast, bool lastIsDirectory, std::uint64_t writeTime);
    std::unique_ptr<Node> root_;
};

// `data` in the packed member format (its 9-byte header included), or empty
// when packing would not make it smaller.
std::vector<unsigned char> PackArchiveData(const unsigned char* data, std::size_t size);
