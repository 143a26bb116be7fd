#include "dshow/quicktime_index.h"

#include "dshow/quicktime_edit_cost.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// More index than this is not read: a real file's index is a few megabytes
// even for hours of film.
constexpr std::uint64_t kMaxIndexBytes = std::uint64_t{32} << 20;
constexpr int kMaxTopLevelBoxes = 100000;
// Data references are a few dozen bytes, aliases a few hundred: a box is
// looked at once this much of it (or all there is) has been read.
constexpr std::size_t kLookAhead = 4096;

std::uint32_t BigEndian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Looks through the index as it is read, in pieces. The demuxer reads an
// edit list or a data reference wherever its box lies, inside any box it
// descends into (sample descriptions among them), so every box of those
// kinds whose contents its size could hold counts, not only those at their
// usual place; a chance match elsewhere in the index only stops edit lists
// from being followed, or the file from being played.
class IndexScan {
public:
    void Feed(const unsigned char* bytes, std::size_t count) {
        window_.insert(window_.end(), bytes, bytes + count);
        Look(window_.size() > kLookAhead ? window_.size() - kLookAhead : 0);
    }
    void Finish() { Look(window_.size()); }
    const QuickTimeIndexFacts& Facts() const { return facts_; }
    // The edit lists seen wherever they lie.
    int EditLists() const { return editLists_; }

private:
    // Looks at every box that starts before `end`.
    void Look(std::size_t end) {
        std::size_t at = 0;
        for (; at < end && at + 16 <= window_.size(); ++at) {
            const unsigned char* box = &window_[at];
            const std::uint64_t size = BigEndian32(box);
            if (std::memcmp(box + 4, "elst", 4) == 0) {
                // size, "elst", version and flags, entry count; entries of
                // 12 bytes at least.
                const std::uint64_t entries = BigEndian32(box + 12);
                const bool holds = size == 1 || entries * 12 + 16 <= size;
                if (entries > kMaxEditListEntries && holds) facts_.longEditList = true;
                editLists_ += holds;
            } else if (std::memcmp(box + 4, "dref", 4) == 0) {
                LookAtReferences(at, size);
            }
        }
        window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(at));
    }

    // size, "dref", version and flags, entry count, then the entries, each a
    // box of its own: size, kind, version and flags (1: the media is in
    // this file), then where it is.
    void LookAtReferences(std::size_t at, std::uint64_t size) {
        const std::size_t end = at + static_cast<std::size_t>(std::min<std::uint64_t>(size, window_.size() - at));
        for (std::size_t entry = at + 16; entry + 12 <= end;) {
            const unsigned char* box = &window_[entry];
            const std::uint32_t entrySize = BigEndian32(box);
            const bool here = (box[11] & 1) != 0;
            const bool alias = std::memcmp(box + 4, "alis", 4) == 0;
            const bool named = std::memcmp(box + 4, "url ", 4) == 0 || std::memcmp(box + 4, "urn ", 4) == 0;
            // The demuxer follows an alias record's path whatever its flags
            // say; a location elsewhere is a reference too.
            if ((alias && entrySize > 150) || (!here && (alias || named) && entrySize > 12 && entry + 12 < end && box[12] != 0))
                facts_.otherFile = true;
            if (entrySize < 12) break;
            entry += entrySize;
        }
    }

    std::vector<unsigned char> window_;  // the bytes not yet looked at
    QuickTimeIndexFacts facts_;
    int editLists_ = 0;
};

// Reads a descriptor from a place of its own, leaving the descriptor's own
// position where it was.
class PlaceReader {
public:
    explicit PlaceReader(int fd) : fd_(fd) {}
    std::size_t Read(unsigned char* bytes, std::size_t count) {
        std::size_t got = 0;
        while (got < count) {
            const ssize_t read = ::pread(fd_, bytes + got, count - got, static_cast<off_t>(at_));
            if (read <= 0) break;
            got += static_cast<std::size_t>(read);
            at_ += static_cast<std::uint64_t>(read);
        }
        return got;
    }
    bool Skip(std::uint64_t count) {
        if (count > static_cast<std::uint64_t>(INT64_MAX) - at_) return false;
        at_ += count;
        return true;
    }

private:
    int fd_;
    std::uint64_t at_ = 0;
};

}  // namespace

namespace {

// The facts of a whole index: edit lists are followed only where each lies
// in its track, and the samples their edits force the decoder through from
// the key frames before them are few.
QuickTimeIndexFacts Judged(const IndexScan& scan, const std::vector<unsigned char>& movie) {
    QuickTimeIndexFacts facts = scan.Facts();
    const QuickTimeEditCost cost = ReadQuickTimeEditCost(movie);
    facts.editsFarFromKeyFrames = cost.forcedSamples > kMaxForcedSamples || scan.EditLists() > cost.editLists;
    return facts;
}

}  // namespace

QuickTimeIndexFacts ReadQuickTimeIndexFacts(int fd) {
    QuickTimeIndexFacts unreadable;
    unreadable.longEditList = true;
    PlaceReader file(fd);
    IndexScan scan;
    std::uint64_t index = 0;
    std::vector<unsigned char> piece(1 << 16);
    std::vector<unsigned char> movie;  // the "moov" box's contents
    for (int box = 0;; ++box) {
        if (box == kMaxTopLevelBoxes) return unreadable;
        unsigned char header[16];
        if (file.Read(header, 8) < 8) break;
        std::uint64_t size = BigEndian32(header);
        std::size_t headerSize = 8;
        if (size == 1) {
            if (file.Read(header + 8, 8) < 8) break;
            size = std::uint64_t{BigEndian32(header + 8)} << 32 | BigEndian32(header + 12);
            headerSize = 16;
        }
        // A box of size 0 runs to the end of the file, and so does one too
        // small for its own header (damage, read as it lies).
        const bool toEnd = size < headerSize;
        std::uint64_t payload = toEnd ? UINT64_MAX : size - headerSize;
        if (std::memcmp(header + 4, "mdat", 4) == 0) {
            if (toEnd || !file.Skip(payload)) break;
            continue;
        }
        scan.Feed(header, headerSize);
        const bool isMovie = std::memcmp(header + 4, "moov", 4) == 0;
        while (payload > 0) {
            if (index >= kMaxIndexBytes) return unreadable;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(payload, piece.size()));
            const std::size_t read = file.Read(piece.data(), want);
            scan.Feed(piece.data(), read);
            if (isMovie) movie.insert(movie.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(read));
            index += read;
            payload -= read;
            if (read < want) {  // the end of the file
                scan.Finish();
                return Judged(scan, movie);
            }
        }
    }
    scan.Finish();
    return Judged(scan, movie);
}
