// What the index of a QuickTime or MP4 file holds that the demuxer must not
// be left to follow: edit lists longer than real files carry (the demuxer's
// handling of a list costs time and memory that grow with the product of
// its length and the track's samples) and media kept in other files.
#pragma once

// Real files carry one or two edits a track (a start delay, the encoder's
// priming); a list of more than this many is taken for damage.
inline constexpr unsigned kMaxEditListEntries = 16;

// An edit that starts after a track's key frame has the decoder decode and
// drop each sample from the key frame on (and the demuxer list them, at a
// cost that grows with their square): real files cut within a group of
// pictures force at most a group's length (a few hundred samples).
inline constexpr unsigned kMaxForcedSamples = 3000;

struct QuickTimeIndexFacts {
    // An edit list of more than kMaxEditListEntries edits, or an index too
    // large or too damaged to tell within a bounded read.
    bool longEditList = false;
    // Edit lists whose edits force more than kMaxForcedSamples samples, or
    // that lie elsewhere than in their tracks.
    bool editsFarFromKeyFrames = false;
    // A data reference to another file (an alias or a named location).
    bool otherFile = false;
};

// Reads the index of the QuickTime or MP4 file open at `fd` (every
// top-level box but the media data, up to a bound), from its first byte and
// without moving the descriptor's position.
QuickTimeIndexFacts ReadQuickTimeIndexFacts(int fd);
