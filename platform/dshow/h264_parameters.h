// The picture size an H.264 stream's sequence parameter set claims, read
// from the stream's decoder configuration before anything is decoded: the
// decoder sets up tables for the claimed size before it looks at any limit.
#pragma once

#include <cstddef>
#include <cstdint>

// From decoder configuration bytes (an "avcC" record, or parameter sets
// after start codes), the size of the first sequence parameter set's
// picture, cropped. False when there is none that reads whole.
bool H264ClaimedSize(const std::uint8_t* configuration, std::size_t size, int* width, int* height);
