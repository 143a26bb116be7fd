// Standard MIDI files built byte by byte for the tests: notes on channel 0
// at 120 beats a minute, 480 ticks a beat (960 ticks a second).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/wave_bytes.h"

struct MidiNote {
    double start;   // seconds
    int key;
    double length;  // seconds
};

inline void PutVarLength(Bytes& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

inline void PutBe(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A whole file: header and one track of `track` (without its chunk header).
inline Bytes MidiFileOf(const Bytes& track, std::uint16_t division = 480, std::uint16_t format = 0) {
    Bytes out = {'M', 'T', 'h', 'd'};
    PutBe(out, 6, 4);
    PutBe(out, format, 2);
    PutBe(out, 1, 2);
    PutBe(out, division, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBe(out, static_cast<std::uint32_t>(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

inline Bytes MakeMidiFile(const std::vector<MidiNote>& notes, double endSeconds) {
    struct Event {
        std::uint32_t tick;
        std::uint8_t status, key, velocity;
    };
    std::vector<Event> events;
    auto tick = [](double seconds) { return static_cast<std::uint32_t>(seconds * 960 + 0.5); };
    for (const MidiNote& n : notes) {
        events.push_back({tick(n.start), 0x90, static_cast<std::uint8_t>(n.key), 100});
        events.push_back({tick(n.start + n.length), 0x80, static_cast<std::uint8_t>(n.key), 0});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
    Bytes track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000 us a beat
                   0x00, 0xC0, 0x00};                         // piano
    std::uint32_t now = 0;
    for (const Event& e : events) {
        PutVarLength(track, e.tick - now);
        now = e.tick;
        track.insert(track.end(), {e.status, e.key, e.velocity});
    }
    PutVarLength(track, std::max(tick(endSeconds), now) - now);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    return MidiFileOf(track);
}

// A RIFF "RMID" file (.rmi) around a standard MIDI file, with an INFO list
// before its "data" chunk as such files often have.
inline Bytes RmidFileOf(const Bytes& midi) {
    Bytes body = {'R', 'M', 'I', 'D'};
    const Bytes info = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0};
    const Bytes list = Chunk("LIST", info);
    body.insert(body.end(), list.begin(), list.end());
    const Bytes data = Chunk("data", midi);
    body.insert(body.end(), data.begin(), data.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
