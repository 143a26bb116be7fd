// Standard MIDI files into timed events: tempo changes, running status,
// time-code division, skipped chunks and events, and refusals of every
// length that runs past what the file holds.
#include <gtest/gtest.h>

#include <cstring>

#include "mci/midi_file.h"
#include "support/midi_bytes.h"

namespace {

std::optional<MidiSequence> Parse(const Bytes& file) { return ParseMidiFile(file.data(), file.size()); }

TEST(MidiFile, EventsGetTheirTimesThroughTheTempoChanges) {
    const Bytes track = {
        0x00, 0x90, 60, 100,                    // note on at 0
        0x83, 0x60, 0x80, 60, 0,                // 480 ticks (0.5 s at 120 bpm): off
        0x83, 0x60, 64, 100,                    // running status: note off 64 at 1 s
        0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // tempo 1 000 000 us a beat
        0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7,     // a system exclusive, passed over
        0x00, 0xFF, 0x01, 0x02, 'h', 'i',       // a text event, passed over
        0x81, 0x70, 0xE0, 0x00, 0x40,           // 240 ticks (0.5 s): pitch bend to the middle
        0x00, 0xC1, 5,                          // a one-byte message
        0x00, 0xFF, 0x2F, 0x00,                 // end of track at 1.5 s
        0x00, 0x90, 1, 1,                       // after the end: ignored
    };
    auto seq = Parse(MidiFileOf(track));
    ASSERT_TRUE(seq.has_value());
    ASSERT_EQ(seq->events.size(), 5u);
    const struct {
        double seconds;
        int status, d1, d2;
    } expected[] = {{0, 0x90, 60, 100}, {0.5, 0x80, 60, 0}, {1.0, 0x80, 64, 100}, {1.5, 0xE0, 0, 0x40}, {1.5, 0xC1, 5, 0}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(seq->events[i].seconds, expected[i].seconds) << i;
        EXPECT_EQ(seq->events[i].status, expected[i].status) << i;
        EXPECT_EQ(seq->events[i].data1, expected[i].d1) << i;
        EXPECT_EQ(seq->events[i].data2, expected[i].d2) << i;
    }
    EXPECT_DOUBLE_EQ(seq->length, 1.5);
}

TEST(MidiFile, TimeCodeDivisionAndSeveralTracksMerged) {
    // 25 frames a second of 40 ticks: a tick is a millisecond.
    Bytes file = MidiFileOf({0x87, 0x68, 0x90, 60, 1, 0x00, 0xFF, 0x2F, 0x00}, 0xE728, 1);  // 1000 ticks
    file[11] = 3;  // three tracks: a chunk of another kind is passed over between them
    file.insert(file.end(), {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 9, 9});
    for (std::uint8_t delay : {0x10, 0x01}) {
        const Bytes t = {delay, 0x91, 62, 1};
        file.insert(file.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 4});
        file.insert(file.end(), t.begin(), t.end());
    }
    auto seq = Parse(file);
    ASSERT_TRUE(seq.has_value());
    ASSERT_EQ(seq->events.size(), 3u);
    EXPECT_DOUBLE_EQ(seq->events[0].seconds, 0.001);
    EXPECT_DOUBLE_EQ(seq->events[1].seconds, 0.016);
    EXPECT_DOUBLE_EQ(seq->events[2].seconds, 1.0);
    EXPECT_DOUBLE_EQ(seq->length, 1.0);
}

TEST(MidiFile, ARiffWrapperAndBytesAfterTheLastTrack) {
    const Bytes plain = MakeMidiFile({{0, 60, 0.5}, {0.5, 62, 0.25}}, 1.0);
    const auto reference = Parse(plain);
    ASSERT_TRUE(reference.has_value());
    Bytes trailing = plain;
    trailing.push_back(0x42);
    for (const Bytes& file : {trailing, RmidFileOf(plain), RmidFileOf(trailing)}) {
        SCOPED_TRACE(file.size());
        const auto seq = Parse(file);
        ASSERT_TRUE(seq.has_value());
        ASSERT_EQ(seq->events.size(), reference->events.size());
        for (std::size_t i = 0; i < seq->events.size(); ++i) {
            EXPECT_DOUBLE_EQ(seq->events[i].seconds, reference->events[i].seconds);
            EXPECT_EQ(seq->events[i].data1, reference->events[i].data1);
        }
        EXPECT_DOUBLE_EQ(seq->length, 1.0);
    }
    Bytes noData = RmidFileOf(plain);
    std::memcpy(noData.data() + 36, "junk", 4);
    Bytes dataPastEnd = RmidFileOf(plain);
    dataPastEnd[43] = 0x7F;
    const Bytes cut = RmidFileOf(Bytes(plain.begin(), plain.end() - 1));
    for (const Bytes& file : {noData, dataPastEnd, cut}) EXPECT_FALSE(Parse(file).has_value()) << file.size();
}

TEST(MidiFile, RefusesWhatDoesNotHoldTogether) {
    const Bytes good = MakeMidiFile({{0, 60, 0.5}}, 1.0);
    ASSERT_TRUE(Parse(good).has_value());
    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(Parse(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))).has_value()) << cut;
    struct Case {
        const char* why;
        Bytes track;
    };
    const Case cases[] = {
        {"a data byte with no status", {0x00, 60, 100}},
        {"a data byte of 128", {0x00, 0x90, 0x80, 100}},
        {"a number of five bytes", {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1}},
        {"a meta event longer than the track", {0x00, 0xFF, 0x01, 0x40, 'x'}},
        {"an exclusive longer than the track", {0x00, 0xF0, 0x7F, 1, 2}},
        {"a message cut short", {0x00, 0x90, 60}},
        {"a system message", {0x00, 0xF2, 1, 2}},
        {"running status lost after a meta event", {0x00, 0x90, 60, 1, 0x00, 0xFF, 0x01, 0x00, 0x00, 61, 1}},
    };
    for (const Case& c : cases) EXPECT_FALSE(Parse(MidiFileOf(c.track)).has_value()) << c.why;
    Bytes badFormat = good;
    badFormat[9] = 3;
    EXPECT_FALSE(Parse(badFormat).has_value()) << "format 3";
    Bytes noDivision = good;
    noDivision[12] = noDivision[13] = 0;
    EXPECT_FALSE(Parse(noDivision).has_value()) << "division 0";
    Bytes moreTracks = good;
    moreTracks[11] = 2;
    EXPECT_FALSE(Parse(moreTracks).has_value()) << "fewer tracks than the header says";
    EXPECT_FALSE(ParseMidiFile(nullptr, 0).has_value());
}

}  // namespace
