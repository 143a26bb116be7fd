// What following a QuickTime or MP4 file's edit lists costs the demuxer: an
// edit that starts after a track's key frame makes it list, and the decoder
// decode and drop, every sample from that key frame to the edit's start.
#pragma once

#include <cstdint>
#include <vector>

struct QuickTimeEditCost {
    std::uint64_t forcedSamples = 0;  // decoded only to be dropped, all edits of all tracks
    int editLists = 0;                // found in their place, a track's "edts"
};

// Reads the edit lists, sample times and key frames of each track of a
// "moov" box's contents.
QuickTimeEditCost ReadQuickTimeEditCost(const std::vector<unsigned char>& movie);
