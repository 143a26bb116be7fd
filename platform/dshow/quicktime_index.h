// What the index of a QuickTime or MP4 file holds that the demuxer must not
// be left to follow: edit lists longer than real files carry (the demuxer's
// handling of a list costs time and memory that grow with the product of
// its length and the track's samples) and media kept in other files.
#pragma once

// Real files carry one or two edits a track (a start delay, the encoder's
// priming); a list of more than this many is taken for damage.
inline constexpr unsigned kMaxEditListEntries = 16;

struct QuickTimeIndexFacts {
    // An edit list of more than kMaxEditListEntries edits, or an index too
    // large or too damaged to tell within a bounded read.
    bool longEditList = false;
    // A data reference to another file (an alias or a named location).
    bool otherFile = false;
};

// Reads the index of the QuickTime or MP4 file open at `fd` (every
// top-level box but the media data, up to a bound), from its first byte and
// without moving the descriptor's position.
QuickTimeIndexFacts ReadQuickTimeIndexFacts(int fd);
