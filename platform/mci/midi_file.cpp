#include "mci/midi_file.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kMaxEvents = 4'000'000;
constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds per quarter note

std::uint32_t Be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct TickEvent {
    std::uint64_t tick;
    MidiEvent event;
};

struct TempoChange {
    std::uint64_t tick;
    std::uint32_t microsPerQuarter;
};

class TrackReader {
public:
    TrackReader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    // A variable-length number of at most four bytes.
    bool Number(std::uint32_t* out) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (p_ >= end_) return false;
            const std::uint8_t b = *p_++;
            value = (value << 7) | (b & 0x7F);
            if ((b & 0x80) == 0) {
                *out = value;
                return true;
            }
        }
        return false;
    }
    bool Byte(std::uint8_t* out) {
        if (p_ >= end_) return false;
        *out = *p_++;
        return true;
    }
    bool Skip(std::uint32_t n, const std::uint8_t** start = nullptr) {
        if (n > static_cast<std::size_t>(end_ - p_)) return false;
        if (start != nullptr) *start = p_;
        p_ += n;
        return true;
    }
    bool AtEnd() const { return p_ >= end_; }
    std::uint8_t Peek() const { return *p_; }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

bool ReadTrack(const std::uint8_t* data, std::size_t size, std::vector<TickEvent>* events,
               std::vector<TempoChange>* tempos, std::uint64_t* endTick) {
    TrackReader r(data, size);
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    while (!r.AtEnd()) {
        std::uint32_t delta;
        if (!r.Number(&delta)) return false;
        tick += delta;
        std::uint8_t status;
        if (r.AtEnd()) return false;
        if (r.Peek() & 0x80) {
            r.Byte(&status);
        } else {
            if (running == 0) return false;  // a data byte with no status before it
            status = running;
        }
        if (status == 0xFF) {
            std::uint8_t type;
            std::uint32_t length;
            const std::uint8_t* body;
            if (!r.Byte(&type) || !r.Number(&length) || !r.Skip(length, &body)) return false;
            running = 0;
            if (type == 0x51 && length == 3)
                tempos->push_back({tick, (static_cast<std::uint32_t>(body[0]) << 16) | (body[1] << 8) | body[2]});
            if (type == 0x2F) break;  // end of track; anything after it is ignored
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length;
            if (!r.Number(&length) || !r.Skip(length)) return false;
            running = 0;
            continue;
        }
        if (status >= 0xF0) return false;  // no other system message belongs in a file
        running = status;
        const int count = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        std::uint8_t d[2] = {0, 0};
        for (int i = 0; i < count; ++i)
            if (!r.Byte(&d[i]) || d[i] > 0x7F) return false;
        if (events->size() >= kMaxEvents) return false;
        events->push_back({tick, {0.0, status, d[0], d[1]}});
    }
    *endTick = std::max(*endTick, tick);
    return true;
}

// The "data" chunk of a RIFF "RMID" file, which wraps a standard MIDI
// file; null when it has none that lies inside the file.
const std::uint8_t* RmidData(const std::uint8_t* data, std::size_t size, std::size_t* length) {
    const std::size_t end = std::min<std::size_t>(size, 8 + static_cast<std::size_t>(Le32(data + 4)));
    for (std::size_t position = 12; end >= position + 8;) {
        const std::size_t chunk = Le32(data + position + 4);
        if (chunk > end - position - 8) return nullptr;
        if (std::memcmp(data + position, "data", 4) == 0) {
            *length = chunk;
            return data + position + 8;
        }
        position += 8 + chunk + (chunk & 1);
    }
    return nullptr;
}

}  // namespace

std::optional<MidiSequence> ParseMidiFile(const std::uint8_t* data, std::size_t size) {
    if (data != nullptr && size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "RMID", 4) == 0) {
        std::size_t length = 0;
        const std::uint8_t* inner = RmidData(data, size, &length);
        return inner != nullptr ? ParseMidiFile(inner, length) : std::nullopt;
    }
    if (data == nullptr || size < 14 || std::memcmp(data, "MThd", 4) != 0) return std::nullopt;
    const std::uint32_t headerLength = Be32(data + 4);
    if (headerLength < 6 || headerLength > size - 8) return std::nullopt;
    const std::uint16_t format = Be16(data + 8);
    const std::uint16_t trackCount = Be16(data + 10);
    const std::uint16_t division = Be16(data + 12);
    if (format > 2 || trackCount == 0 || division == 0) return std::nullopt;

    double secondsPerTickFixed = 0;  // time-code division: a fixed tick length
    if (division & 0x8000) {
        const int framesPerSecond = -static_cast<std::int8_t>(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        if (framesPerSecond <= 0 || ticksPerFrame == 0) return std::nullopt;
        secondsPerTickFixed = 1.0 / (framesPerSecond * ticksPerFrame);
    }

    std::vector<TickEvent> events;
    std::vector<TempoChange> tempos;
    std::uint64_t endTick = 0;
    std::size_t position = 8 + headerLength;
    int found = 0;
    while (found < trackCount && size - position >= 8) {
        const std::uint32_t length = Be32(data + position + 4);
        if (length > size - position - 8) return std::nullopt;
        if (std::memcmp(data + position, "MTrk", 4) == 0) {
            if (!ReadTrack(data + position + 8, length, &events, &tempos, &endTick)) return std::nullopt;
            ++found;
        }
        position += 8 + static_cast<std::size_t>(length);
    }
    if (found < trackCount) return std::nullopt;

    // Ticks to seconds through the tempo changes, all tracks together.
    std::stable_sort(events.begin(), events.end(), [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });
    std::stable_sort(tempos.begin(), tempos.end(), [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    std::size_t nextTempo = 0;
    std::uint64_t segmentTick = 0;
    double segmentSeconds = 0;
    double secondsPerTick = secondsPerTickFixed > 0 ? secondsPerTickFixed : kDefaultTempo / 1e6 / division;
    auto secondsAt = [&](std::uint64_t tick) {
        while (secondsPerTickFixed == 0 && nextTempo < tempos.size() && tempos[nextTempo].tick <= tick) {
            segmentSeconds += static_cast<double>(tempos[nextTempo].tick - segmentTick) * secondsPerTick;
            segmentTick = tempos[nextTempo].tick;
            secondsPerTick = tempos[nextTempo].microsPerQuarter / 1e6 / division;
            ++nextTempo;
        }
        return segmentSeconds + static_cast<double>(tick - segmentTick) * secondsPerTick;
    };
    MidiSequence sequence;
    sequence.events.reserve(events.size());
    for (TickEvent& e : events) {
        e.event.seconds = secondsAt(e.tick);
        sequence.events.push_back(e.event);
    }
    sequence.length = secondsAt(endTick);
    return sequence;
}
