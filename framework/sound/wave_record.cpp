#include "sound/wave_record.h"

#include "core/little_endian.h"

void DecodeWaveFormat(const unsigned char* b, std::uint32_t size, WAVEFORMATEX* f) {
    f->wFormatTag = LoadU16(b);
    f->nChannels = LoadU16(b + 2);
    f->nSamplesPerSec = LoadU32(b + 4);
    f->nAvgBytesPerSec = LoadU32(b + 8);
    f->nBlockAlign = LoadU16(b + 12);
    f->wBitsPerSample = LoadU16(b + 14);
    f->cbSize = size >= 18 ? LoadU16(b + 16) : 0;
}

void EncodeWaveFormat(const WAVEFORMATEX& f, unsigned char b[18]) {
    StoreU16(b, f.wFormatTag);
    StoreU16(b + 2, f.nChannels);
    StoreU32(b + 4, f.nSamplesPerSec);
    StoreU32(b + 8, f.nAvgBytesPerSec);
    StoreU16(b + 12, f.nBlockAlign);
    StoreU16(b + 14, f.wBitsPerSample);
    StoreU16(b + 16, f.cbSize);
}
