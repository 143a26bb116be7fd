// Standard MIDI files read into one list of timed events: every track's
// channel messages merged in time order, with the tempo changes applied, so
// a sequencer only has to play them out at their sample times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct MidiEvent {
    double seconds;        // from the start
    std::uint8_t status;   // a channel message: 0x80 to 0xEF
    std::uint8_t data1;
    std::uint8_t data2;
};

struct MidiSequence {
    std::vector<MidiEvent> events;  // in time order; ties keep file order
    double length;                  // seconds to the last end of track
};

// Null for anything that is not a whole, well-formed standard MIDI file
// (format 0, 1 or 2), bare or wrapped in a RIFF "RMID" file: every length is
// checked against what the file holds. Bytes after the last track counted
// are passed over.
std::optional<MidiSequence> ParseMidiFile(const std::uint8_t* data, std::size_t size);
