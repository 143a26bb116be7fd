// The Audio Compression Manager stand-in: conversion streams from compressed
// wave formats to 16-bit PCM, decoded by libavcodec. Supported source tags:
// Microsoft ADPCM, IMA ADPCM, A-law, mu-law, GSM 6.10 and MPEG audio
// (layers I to III, under either MPEG tag).
//
// A stream keeps its decoder state from one conversion to the next. Block
// formats are consumed in whole blocks only; MPEG data is taken whole and
// every frame it completes is decoded in the same call. Output that does not
// fit the destination waits in the stream for the next call.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "platform/wave_format.h"

struct HACMDRIVER__;
using HACMDRIVER = HACMDRIVER__*;
struct HACMSTREAM__;
using HACMSTREAM = HACMSTREAM__*;
using DWORD_PTR = std::uintptr_t;

constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_BUSY = 513;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr DWORD ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr DWORD ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;

constexpr DWORD ACM_STREAMOPENF_QUERY = 0x1;
constexpr DWORD ACM_STREAMOPENF_ASYNC = 0x2;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x4;

constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x0;
constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x1;

constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x4;
constexpr DWORD ACM_STREAMCONVERTF_START = 0x10;
constexpr DWORD ACM_STREAMCONVERTF_END = 0x20;

constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    BYTE* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    BYTE* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD dwReservedDriver[10];
};

// With ACM_FORMATSUGGESTF_WFORMATTAG and a PCM tag asked for: 16-bit PCM of
// the source's channels and rate. ACMERR_NOTPOSSIBLE for a source no
// decoder here takes. `source` is followed by its cbSize extra bytes.
MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* source, WAVEFORMATEX* destination,
                          DWORD destinationSize, DWORD flags);
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* destination, void* filter, DWORD_PTR callback, DWORD_PTR instance,
                       DWORD flags);
// The most bytes `input` bytes can become (ACM_STREAMSIZEF_SOURCE).
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
