// The wave format record as a file stores it: 16 bytes, or 18 with the size
// of the extra bytes, little-endian field by field.
#pragma once

#include <cstdint>

#include "platform/wave_format.h"

// Fields from `size` bytes of a "fmt " chunk (at least 16); cbSize only when
// the chunk holds it, else 0.
void DecodeWaveFormat(const unsigned char* bytes, std::uint32_t size, WAVEFORMATEX* format);
void EncodeWaveFormat(const WAVEFORMATEX& format, unsigned char bytes[18]);
