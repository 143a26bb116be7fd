#include "dshow/edit_lists.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// More metadata than this (every top-level box but the media data) is not
// read: a real file's index is a few megabytes even for hours of film.
constexpr std::uint64_t kMaxMetadataBytes = std::uint64_t{32} << 20;
constexpr int kMaxTopLevelBoxes = 100000;

std::uint32_t BigEndian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Looks through metadata as it is read, in pieces, for an edit list of more
// entries than allowed. The demuxer reads an edit list wherever its box
// lies, inside any box it descends into (sample descriptions among them),
// so every "elst" whose entry count its box could hold counts, not only
// those at their usual place; a chance match elsewhere in the metadata only
// stops edit lists from being followed.
class EditListScan {
public:
    void Feed(const unsigned char* bytes, std::size_t count) {
        window_.insert(window_.end(), bytes, bytes + count);
        // size, "elst", version and flags, entry count: 16 bytes from the
        // box's start; entries take 12 bytes at least.
        std::size_t at = 0;
        for (; at + 16 <= window_.size(); ++at) {
            if (std::memcmp(&window_[at + 4], "elst", 4) != 0) continue;
            const std::uint64_t size = BigEndian32(&window_[at]), entries = BigEndian32(&window_[at + 12]);
            if (entries > kMaxEditListEntries && (size == 1 || entries * 12 + 16 <= size)) found_ = true;
        }
        window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    bool Found() const { return found_; }

private:
    std::vector<unsigned char> window_;  // the last bytes, not yet looked at whole
    bool found_ = false;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool HasLongEditList(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return true;
    EditListScan scan;
    std::uint64_t metadata = 0;
    std::vector<unsigned char> piece(1 << 16);
    for (int box = 0;; ++box) {
        if (box == kMaxTopLevelBoxes || scan.Found()) return true;
        unsigned char header[16];
        if (std::fread(header, 1, 8, file.get()) < 8) break;
        std::uint64_t size = BigEndian32(header);
        std::size_t headerSize = 8;
        if (size == 1) {
            if (std::fread(header + 8, 1, 8, file.get()) < 8) break;
            size = std::uint64_t{BigEndian32(header + 8)} << 32 | BigEndian32(header + 12);
            headerSize = 16;
        }
        // A box of size 0 runs to the end of the file, and so does one too
        // small for its own header (damage, read as it lies).
        const bool toEnd = size < headerSize;
        std::uint64_t payload = toEnd ? UINT64_MAX : size - headerSize;
        if (std::memcmp(header + 4, "mdat", 4) == 0) {
            if (toEnd || payload > static_cast<std::uint64_t>(INT64_MAX) ||
                ::fseeko(file.get(), static_cast<off_t>(payload), SEEK_CUR) != 0)
                break;
            continue;
        }
        scan.Feed(header, headerSize);
        while (payload > 0) {
            if (metadata >= kMaxMetadataBytes) return true;  // more metadata than is read
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(payload, piece.size()));
            const std::size_t read = std::fread(piece.data(), 1, want, file.get());
            scan.Feed(piece.data(), read);
            metadata += read;
            payload -= read;
            if (read < want) return scan.Found();  // the end of the file
        }
    }
    return scan.Found();
}
