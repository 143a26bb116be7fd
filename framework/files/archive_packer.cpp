// The archive writer and the member packer.
#include "files/archive_packer.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "core/utility.h"

// ---- packing ---------------------------------------------------------------------

namespace {

constexpr std::size_t kMinMatch = 4;
constexpr std::size_t kMaxMatch = 4 + 8191;   // 5 bits in the code, 8 in the length byte
constexpr std::size_t kWindow = 1u << 20;     // distances up to 24 bits are allowed; this is plenty
constexpr int kHashBits = 15;
constexpr int kChainDepth = 48;

std::uint32_t Hash4(const unsigned char* p) {
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return (v * 2654435761u) >> (32 - kHashBits);
}

// Bytes a back-reference takes: escape, code, the optional length byte and
// the distance field.
std::size_t ReferenceCost(std::size_t length, std::size_t distance) {
    std::size_t field = distance - 1;
    return 2 + (length - 4 > 31 ? 1 : 0) + (field < 0x100 ? 1 : field < 0x10000 ? 2 : 3);
}

void EmitReference(std::vector<unsigned char>& out, unsigned char escape, std::size_t length, std::size_t distance) {
    std::size_t extra = length - 4;
    std::size_t field = distance - 1;
    unsigned kind = field < 0x100 ? 0 : field < 0x10000 ? 1 : 2;
    unsigned code = (static_cast<unsigned>(extra & 31) << 3) | kind;
    if (extra > 31) code |= 4;
    // The code never reaches 255 (kind 3 is not written), so code + 1 fits.
    out.push_back(escape);
    out.push_back(static_cast<unsigned char>(code >= escape ? code + 1 : code));
    if (extra > 31) out.push_back(static_cast<unsigned char>(extra >> 5));
    out.push_back(static_cast<unsigned char>(field));
    if (kind >= 1) out.push_back(static_cast<unsigned char>(field >> 8));
    if (kind == 2) out.push_back(static_cast<unsigned char>(field >> 16));
}

}  // namespace

std::vector<unsigned char> PackArchiveData(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > 0xFFFFFFF0u) return {};
    // The escape code is the rarest byte, so few literals need doubling.
    std::size_t frequency[256] = {};
    for (std::size_t i = 0; i < size; ++i) ++frequency[data[i]];
    unsigned char escape = 0;
    for (int b = 1; b < 256; ++b)
        if (frequency[b] < frequency[escape]) escape = static_cast<unsigned char>(b);

    std::vector<unsigned char> out(kArchivePackedHeaderSize);
    out.reserve(size / 2 + 64);
    std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
    std::vector<std::int64_t> previous(size, -1);
    auto insert = [&](std::size_t at) {
        if (at + kMinMatch > size) return;
        std::uint32_t h = Hash4(data + at);
        previous[at] = head[h];
        head[h] = static_cast<std::int64_t>(at);
    };

    std::size_t position = 0;
    while (position < size) {
        std::size_t bestLength = 0;
        std::size_t bestDistance = 0;
        if (position + kMinMatch <= size) {
            std::size_t limit = std::min(kMaxMatch, size - position);
            std::int64_t candidate = head[Hash4(data + position)];
            for (int depth = 0; candidate >= 0 && depth < kChainDepth; ++depth) {
                std::size_t distance = position - static_cast<std::size_t>(candidate);
                if (distance > kWindow) break;
                const unsigned char* a = data + candidate;
                const unsigned char* b = data + position;
                if (bestLength < limit && a[bestLength] == b[bestLength]) {
                    std::size_t length = 0;
                    while (length < limit && a[length] == b[length]) ++length;
                    if (length > bestLength) {
                        bestLength = length;
                        bestDistance = distance;
                        if (length == limit) break;
                    }
                }
                candidate = previous[static_cast<std::size_t>(candidate)];
            }
        }
        if (bestLength >= kMinMatch && ReferenceCost(bestLength, bestDistance) < bestLength) {
            EmitReference(out, escape, bestLength, bestDistance);
            for (std::size_t i = 0; i < bestLength; ++i) insert(position + i);
            position += bestLength;
        } else {
            out.push_back(data[position]);
            if (data[position] == escape) out.push_back(escape);
            insert(position);
            ++position;
        }
        if (out.size() >= size) return {};
    }
    StoreU32(out.data(), static_cast<std::uint32_t>(size));
    StoreU32(out.data() + 4, static_cast<std::uint32_t>(out.size()));
    out[8] = escape;
    return out;
}

// ---- the tree --------------------------------------------------------------------

struct ArchiveBuilder::Node {
    std::string name;
    bool directory = true;
    std::uint64_t writeTime = 0;
    std::vector<unsigned char> bytes;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

// The key two names clash on: their search forms.
std::string SearchKey(const std::string& name) {
    ArchiveSearchName search;
    if (MakeArchiveSearchName(name.data(), name.size(), &search) != 0) return {};
    return std::string(reinterpret_cast<const char*>(search.form), static_cast<std::size_t>(search.units) * 4);
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (IsShiftJisLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
            part += c;
            part += path[++i];
        } else if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

}  // namespace

ArchiveBuilder::ArchiveBuilder() : root_(std::make_unique<Node>()) {}
ArchiveBuilder::~ArchiveBuilder() = default;

ArchiveBuilder::Node* ArchiveBuilder::Walk(const std::string& path, bool makeLast, bool lastIsDirectory,
                                           std::uint64_t writeTime) {
    std::vector<std::string> parts = SplitPath(path);
    Node* node = root_.get();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string key = SearchKey(part);
        if (key.empty()) return nullptr;
        bool last = i + 1 == parts.size();
        bool wantDirectory = !last || lastIsDirectory;
        Node* found = nullptr;
        for (auto& child : node->children)
            if (SearchKey(child->name) == key) found = child.get();
        if (found != nullptr) {
            if (last && makeLast && !lastIsDirectory) return nullptr;  // a second file of that name
            if (found->directory != wantDirectory) return nullptr;
            node = found;
            continue;
        }
        auto child = std::make_unique<Node>();
        child->name = part;
        child->directory = wantDirectory;
        child->writeTime = writeTime;
        node->children.push_back(std::move(child));
        node = node->children.back().get();
    }
    return node;
}

bool ArchiveBuilder::AddFile(const std::string& path, std::vector<unsigned char> bytes, std::uint64_t writeTime) {
    if (bytes.size() > 0xFFFFFFFFu) return false;
    Node* node = Walk(path, true, false, writeTime);
    if (node == nullptr) return false;
    node->bytes = std::move(bytes);
    return true;
}

bool ArchiveBuilder::AddDirectory(const std::string& path, std::uint64_t writeTime) {
    return Walk(path, true, true, writeTime) != nullptr;
}

bool ArchiveBuilder::Build(const ArchivePackOptions& options, std::vector<unsigned char>* out) const {
    const std::uint16_t version = options.version;
    if (version == 0 || version >= kArchiveVersionLimit || out == nullptr) return false;
    const std::size_t entrySize = ArchiveFileEntrySize(version);
    const bool mayPack = options.compress && version >= kArchivePackedVersion;

    // Directories in breadth-first order: each one's entries are one run of
    // the file table, and its record's place follows from its index.
    std::vector<const Node*> directories = {root_.get()};
    for (std::size_t i = 0; i < directories.size(); ++i)
        for (const auto& child : directories[i]->children)
            if (child->directory) directories.push_back(child.get());
    std::map<const Node*, std::uint32_t> recordOffset, entryOffset, nameOffset;
    for (std::size_t i = 0; i < directories.size(); ++i)
        recordOffset[directories[i]] = static_cast<std::uint32_t>(i * kArchiveDirRecordSize);

    std::vector<const Node*> entries = {root_.get()};
    std::map<const Node*, std::uint32_t> firstEntry;
    for (const Node* dir : directories) {
        firstEntry[dir] = static_cast<std::uint32_t>(entries.size() * entrySize);
        for (const auto& child : dir->children) entries.push_back(child.get());
    }
    for (std::size_t i = 0; i < entries.size(); ++i) entryOffset[entries[i]] = static_cast<std::uint32_t>(i * entrySize);

    // Name table: length in 4-byte units, check, search form, name as written.
    std::vector<unsigned char> names;
    for (const Node* node : entries) {
        nameOffset[node] = static_cast<std::uint32_t>(names.size());
        std::size_t units = (node->name.size() + 4) / 4;
        ArchiveSearchName search{};
        search.units = static_cast<std::uint16_t>(units);
        if (!node->name.empty() && MakeArchiveSearchName(node->name.data(), node->name.size(), &search) != 0)
            return false;
        std::size_t at = names.size();
        names.resize(at + 4 + units * 8, 0);
        StoreU16(names.data() + at, static_cast<std::uint16_t>(units));
        StoreU16(names.data() + at + 2, search.check);
        std::memcpy(names.data() + at + 4, search.form, units * 4);
        std::memcpy(names.data() + at + 4 + units * 4, node->name.data(), node->name.size());
    }

    // Data area, members in file-table order.
    std::vector<unsigned char> file(kArchiveHeaderSize);
    std::vector<unsigned char> table(entries.size() * entrySize);
    for (const Node* node : entries) {
        ArchiveFileEntry entry{};
        entry.nameOffset = nameOffset[node];
        entry.creationTime = entry.lastAccessTime = entry.lastWriteTime = node->writeTime;
        entry.packedSize = kArchiveNotPacked;
        if (node->directory) {
            entry.attributes = kArchiveDirectoryAttribute;
            entry.dataOffset = recordOffset[node];
        } else {
            entry.attributes = kArchiveFileAttribute;
            entry.size = static_cast<std::uint32_t>(node->bytes.size());
            std::uint64_t offset = file.size() - kArchiveHeaderSize;
            if (offset > 0xFFFFFFFFu) return false;
            entry.dataOffset = static_cast<std::uint32_t>(offset);
            std::vector<unsigned char> packed;
            if (mayPack) packed = PackArchiveData(node->bytes.data(), node->bytes.size());
            if (!packed.empty()) {
                entry.packedSize = static_cast<std::uint32_t>(packed.size());
                file.insert(file.end(), packed.begin(), packed.end());
            } else {
                file.insert(file.end(), node->bytes.begin(), node->bytes.end());
            }
        }
        EncodeArchiveFileEntry(entry, version, table.data() + entryOffset[node]);
    }

    std::vector<unsigned char> records(directories.size() * kArchiveDirRecordSize);
    for (const Node* dir : directories) {
        ArchiveDirRecord record{};
        record.fileEntryOffset = entryOffset[dir];
        record.parentOffset = kArchiveNoParent;
        for (const Node* parent : directories)
            for (const auto& child : parent->children)
                if (child.get() == dir) record.parentOffset = recordOffset[parent];
        record.entryCount = static_cast<std::uint32_t>(dir->children.size());
        record.firstEntryOffset = firstEntry[dir];
        EncodeArchiveDirRecord(record, records.data() + recordOffset[dir]);
    }

    ArchiveHeader header{};
    header.magic[0] = 'K';
    header.magic[1] = 'V';
    header.version = version;
    header.dataOffset = static_cast<std::uint32_t>(kArchiveHeaderSize);
    std::uint64_t directoryOffset = file.size();
    std::uint64_t directorySize = names.size() + table.size() + records.size();
    if (directoryOffset + directorySize > 0xFFFFFFFFu) return false;
    header.directoryOffset = static_cast<std::uint32_t>(directoryOffset);
    header.directorySize = static_cast<std::uint32_t>(directorySize);
    header.fileTableOffset = static_cast<std::uint32_t>(names.size());
    header.dirTableOffset = static_cast<std::uint32_t>(names.size() + table.size());
    file.insert(file.end(), names.begin(), names.end());
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), records.begin(), records.end());
    EncodeArchiveHeader(header, file.data());

    unsigned char key[kArchiveKeySize];
    if (options.secondKey)
        BuildSecondArchiveKey(key);
    else
        BuildArchiveKey(options.keyString, key);
    DescrambleArchiveBytes(file.size(), 0, file.data(), key);
    *out = std::move(file);
    return true;
}
