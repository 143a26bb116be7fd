// FFmpeg's own reading of a movie file, for the movie tests to compare with:
// every picture as FFmpeg decodes and converts it, and the whole sound
// resampled as `ffmpeg -ar RATE -ac 2` resamples it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every picture of the file's video stream in presentation order, each
// converted to B, G, R, x bytes at width x height (the stream's size). Empty
// when the file has no video that decodes.
struct ReferencePictures {
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint8_t>> bgra;
};
ReferencePictures DecodeReferencePictures(const std::string& path);

// The whole sound of the file's audio stream as interleaved 16-bit stereo at
// `rate`, the resampler drained at the end. Empty when there is none.
std::vector<std::int16_t> DecodeReferenceSound(const std::string& path, int rate);

// Where the file's picture (or sound) starts, in seconds, as ffprobe gives
// it; -1 when it does not say or has no such stream.
double ReferenceStartTime(const std::string& path, bool picture);
