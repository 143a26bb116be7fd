// The sound converter: one sound file, read through a StreamData, turned into
// PCM. Four kinds of source are tried in a fixed order: PCM WAV, compressed
// WAV through ACM, Ogg Vorbis and MPEG audio through ACM. A converter is read
// in pieces, seeked to a sample, or converted whole into one PCM block.
#pragma once

#include <cstdint>

#include "files/stream_functions.h"
#include "platform/acm.h"
#include "platform/wave_format.h"

constexpr int kConverterTypePcm = 0;
constexpr int kConverterTypeAcm = 1;
constexpr int kConverterTypeOgg = 2;

// Source bytes one ACM conversion step takes at most.
constexpr std::uint32_t kAcmStepSourceBytes = 2048;
// The output buffer of an Ogg Vorbis converter.
constexpr std::uint32_t kOggBufferBytes = 4096;

struct OggVorbisState;  // vorbisfile's state, kept out of this header

struct SoundConverter {
    int open;  // 1 while open
    int end;   // 1 once the source has run out
    int type;  // kConverterType*
    StreamData stream;

    // Where the "fmt " and "data" chunks lie in the source (WAV), or the
    // first frame and the audio's length (MPEG).
    std::int64_t formatOffset;
    std::int64_t formatSize;
    std::int64_t dataOffset;
    std::int64_t dataSize;

    WAVEFORMATEX format;  // the PCM that comes out

    // ACM: the source format with its extra bytes, the two conversion
    // streams (the spare is opened at set-up and used for a restart from the
    // top), the whole source data and the position in it, and the total
    // number of samples when the frames told it (-1 otherwise).
    WAVEFORMATEX* sourceFormat;
    std::uint32_t sourceFormatSize;
    HACMSTREAM acmStream;
    HACMSTREAM acmSpare;
    unsigned char* sourceData;
    std::uint32_t sourceDataSize;
    std::uint32_t sourcePosition;
    std::int64_t totalSamples;

    // The output buffer: one second of PCM (4096 bytes for Ogg Vorbis), the
    // bytes valid in it, the read position in it, and the read position in
    // bytes of the whole sound.
    unsigned char* buffer;
    std::uint32_t bufferSize;
    std::uint32_t bufferValid;
    std::uint32_t bufferRead;
    std::int64_t outputPosition;

    // Ogg Vorbis.
    OggVorbisState* ogg;
    int oggOpen;
    int bytesPerSample;
    int bitsPerSample;
    std::int64_t oggTotalSize;
};

// 0 or -1. The converter is cleared first; on failure nothing stays open.
int OpenSoundConverter(SoundConverter* converter, const StreamData* stream);
// The same with only the given openers, tried in order (OpenSoundConverter
// tries all four); for tests that reach each opener whatever the data.
using SoundSourceOpener = int (*)(SoundConverter* converter);
int OpenSoundConverterWith(SoundConverter* converter, const StreamData* stream, const SoundSourceOpener* openers,
                           int count);
int CloseSoundConverter(SoundConverter* converter);
// Bytes copied; -1 when the converter is not open, 0 once the source has
// run out.
std::int64_t ReadConvertedPcm(SoundConverter* converter, void* destination, std::int64_t bytes);
int SeekSoundConverter(SoundConverter* converter, std::int64_t sample);
// Bytes the whole sound needs at most.
std::int64_t EstimateConvertedSize(SoundConverter* converter);
// The whole sound into a new tracked block, never past its estimate; the
// size is the bytes obtained. 0 or -1.
int ConvertWholeSound(SoundConverter* converter, WAVEFORMATEX* format, void** block, std::int64_t* size);
int GetConverterFormat(const SoundConverter* converter, WAVEFORMATEX* format);

// ---- the openers and their refills (one file per kind of source) ------------
int OpenWavePcmSource(SoundConverter* converter);
int ReadPcmSourceBlock(SoundConverter* converter);
int SeekPcmSource(SoundConverter* converter, std::int64_t sample);

int OpenWaveAcmSource(SoundConverter* converter);
// The common tail of both ACM openers: the PCM format ACM suggests, the data
// chunk read whole, the main and the spare stream. Takes the source format
// block (tracked memory) in every case; on failure everything is freed.
int StartAcmConversion(SoundConverter* converter, WAVEFORMATEX* sourceFormat, std::uint32_t sourceFormatSize);
int OpenMpegAcmSource(SoundConverter* converter);
int ConvertAcmBlock(SoundConverter* converter);
int SeekAcmSource(SoundConverter* converter, std::int64_t sample);
void CloseAcmSource(SoundConverter* converter);

int OggOpen(SoundConverter* converter);
int OggDecode(SoundConverter* converter);
int OggSeek(SoundConverter* converter, std::int64_t sample);
std::int64_t OggBufferBound(const SoundConverter* converter);
void OggClose(SoundConverter* converter);

// ---- the RIFF/WAVE walk both WAV openers share --------------------------------
// Reads the header up to the "data" chunk: the chunk offsets and sizes go into
// the converter, the format record into `format` (at most its 18 bytes; a
// 16-byte chunk gets its bits per sample from the block align). With
// `wholeFormat`, the whole format chunk is also returned in a new tracked
// block of at least 18 bytes whose extra size is bounded by it. 0 or -1.
int ReadWaveHeader(SoundConverter* converter, WAVEFORMATEX* format, WAVEFORMATEX** wholeFormat,
                   std::uint32_t* wholeFormatSize);

// Reads through the converter's stream: bytes read, never more than asked.
std::int64_t ReadSource(SoundConverter* converter, void* buffer, std::int64_t bytes);
// The stream's size (the position is kept), or -1.
std::int64_t SourceSize(SoundConverter* converter);
