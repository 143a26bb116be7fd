// Edits of the MP4 files the movie maker writes (their index, the "moov"
// box, lies after the media data, so it can be rewritten without moving a
// byte of the media): the tracks' edit lists, the picture's H.264 sequence
// parameter set, the data references. For making damaged and unusual
// movies for the tests and the fuzzer's seeds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One edit: `duration` in the movie's time scale, from `mediaTime` in the
// track's own (-1: an empty edit, a stretch of nothing).
struct Mp4Edit {
    std::uint32_t duration = 0;
    std::int32_t mediaTime = 0;
};

// What a track's edit list is made from.
struct Mp4Track {
    bool picture = false;          // else sound
    std::uint32_t movieScale = 0;  // ticks a second of the movie's clock
    std::uint32_t mediaScale = 0;  // ticks a second of the track's
    std::uint32_t duration = 0;    // the track's length in the movie's ticks
    std::vector<Mp4Edit> original; // the edit list the muxer wrote
};

// Gives every track the edit list `edits` returns for it (an empty one:
// none), in a list of version 0 (32-bit entries) or 1 (64-bit). False when
// the file is not such an MP4 file.
bool SetMp4EditLists(std::string* file, const std::function<std::vector<Mp4Edit>(const Mp4Track&)>& edits,
                     int version = 0);

// Replaces the picture's sequence parameter set (in its decoder
// configuration) by `sps`, a NAL unit without a start code. False when the
// file has no H.264 picture.
bool SetMp4H264Sps(std::string* file, const std::string& sps);

// A sequence parameter set of a picture of this many pixels, this chroma
// format (1 4:2:0, 2 4:2:2, 3 4:4:4) and bit depth, referring to up to this
// many frames; width and height are rounded up to whole macroblocks.
std::string H264SequenceParameterSet(int width, int height, int chromaFormat, int bitDepth, int referenceFrames = 1);

// Replaces each sequence parameter set in an H.264 stream kept after start
// codes (in an MPEG programme stream or an AVI file) by `sps` followed by
// zero bytes up to the next start code, so nothing around it moves. False
// when there is none, or one too short to hold `sps`.
bool SetInBandH264Sps(std::string* file, const std::string& sps);

// Makes the picture's media data lie in another file (an alias data
// reference, as QuickTime writes for a reference movie). False when the
// file has no picture track.
bool SetMp4AliasReference(std::string* file);
