#include "dshow/quicktime_edit_cost.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "dshow/quicktime_index.h"

namespace {

std::uint32_t Read32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::uint64_t Read64(const unsigned char* bytes) { return std::uint64_t{Read32(bytes)} << 32 | Read32(bytes + 4); }

// A box's contents, or none.
struct Span {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Each box within `span`, as the demuxer reads them (a size of 0 runs to the
// end; a box that overruns its parent is cut to it).
void ForEachBox(Span span, const std::function<void(std::string_view, Span)>& visit) {
    for (std::size_t at = 0; at + 8 <= span.size;) {
        std::uint64_t size = Read32(span.data + at);
        std::size_t header = 8;
        if (size == 1) {
            if (at + 16 > span.size) return;
            size = Read64(span.data + at + 8);
            header = 16;
        } else if (size == 0) {
            size = span.size - at;
        }
        if (size < header) return;
        const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(span.size - at, size));
        visit(std::string_view(reinterpret_cast<const char*>(span.data + at + 4), 4),
              Span{span.data + at + header, end - header});
        at += end;
    }
}

Span Child(Span span, std::string_view type) {
    Span found;
    ForEachBox(span, [&](std::string_view kind, Span inside) {
        if (kind == type && found.data == nullptr) found = inside;
    });
    return found;
}

// The samples of a track timed before `time` (in its own ticks), from its
// time-to-sample runs (count, duration).
std::uint64_t SamplesBefore(Span stts, std::uint64_t time) {
    if (stts.size < 8) return 0;
    const std::uint64_t runs = std::min<std::uint64_t>(Read32(stts.data + 4), (stts.size - 8) / 8);
    std::uint64_t samples = 0, at = 0;
    for (std::uint64_t run = 0; run < runs && at < time; ++run) {
        const std::uint64_t count = Read32(stts.data + 8 + run * 8), duration = Read32(stts.data + 12 + run * 8);
        std::uint64_t end = 0;
        if (duration != 0 && (__builtin_add_overflow(at, count * duration, &end) || end >= time))
            return samples + (time - at + duration - 1) / duration;
        at = end > at ? end : at;
        samples += count;
    }
    return samples;
}

// The samples from the last key frame at or before `sample` (numbered from
// 0) to it. The demuxer walks the key frame table in step with the samples,
// so it stops at an entry out of order; a track without the table has only
// key frames.
std::uint64_t SamplesFromKeyFrame(Span stss, std::uint64_t sample) {
    if (stss.data == nullptr) return 0;
    const std::uint64_t entries = stss.size < 8 ? 0 : std::min<std::uint64_t>(Read32(stss.data + 4), (stss.size - 8) / 4);
    std::uint64_t last = 0;  // no key frame before it: the track's start
    for (std::uint64_t i = 0, previous = 0; i < entries; ++i) {
        const std::uint64_t key = Read32(stss.data + 8 + i * 4);
        if (key <= previous || key - 1 > sample) break;
        last = key - 1;
        previous = key;
    }
    return sample - last;
}

}  // namespace

QuickTimeEditCost ReadQuickTimeEditCost(const std::vector<unsigned char>& movie) {
    QuickTimeEditCost cost;
    ForEachBox(Span{movie.data(), movie.size()}, [&](std::string_view kind, Span track) {
        if (kind != "trak") return;
        const Span elst = Child(Child(track, "edts"), "elst");
        if (elst.data == nullptr) return;
        ++cost.editLists;
        const Span samples = Child(Child(Child(track, "mdia"), "minf"), "stbl");
        const Span stts = Child(samples, "stts"), stss = Child(samples, "stss");
        if (elst.size < 8) return;
        const bool wide = elst.data[0] == 1;  // 64-bit durations and times
        const std::size_t entrySize = wide ? 20 : 12;
        // A longer list is not followed at all.
        const std::uint64_t entries = std::min<std::uint64_t>(
            {Read32(elst.data + 4), (elst.size - 8) / entrySize, std::uint64_t{kMaxEditListEntries}});
        for (std::uint64_t i = 0; i < entries; ++i) {
            const unsigned char* entry = elst.data + 8 + i * entrySize;
            const std::int64_t mediaTime = wide ? static_cast<std::int64_t>(Read64(entry + 8))
                                                : static_cast<std::int32_t>(Read32(entry + 4));
            if (mediaTime < 0) continue;  // an empty edit decodes nothing
            const std::uint64_t sample = SamplesBefore(stts, static_cast<std::uint64_t>(mediaTime));
            cost.forcedSamples += SamplesFromKeyFrame(stss, sample);
        }
    });
    return cost;
}
