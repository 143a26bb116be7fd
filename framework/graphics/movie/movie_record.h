// The record behind a movie handle and the table of them.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "platform/dshow.h"
#include "platform/types.h"

struct MovieRecord {
    std::uint32_t checkNumber;

    // The stream objects; all null while released.
    D_IAMMultiMediaStream* stream;
    D_IMediaStream* videoStream;
    D_IAMMediaStream* amVideoStream;
    D_IDirectDrawMediaStream* drawVideoStream;
    D_IDirectDrawStreamSample* sample;
    D_IDirectDrawSurface7* sampleSurface;
    D_IDirectDrawSurface7* surface;       // the off-screen surface the sample renders into
    D_IGraphBuilder* graph;
    D_IMediaControl* mediaControl;
    D_IMediaSeeking* mediaSeeking;
    D_IBasicAudio* basicAudio;

    LONGLONG stopPosition;
    STREAM_TIME lastUpdateTime;   // the stream time of the last frame taken
    DWORD lastUpdateClock;        // the millisecond clock then

    std::uint8_t sampleRunning;   // 1 until the stream ends
    std::uint8_t playing;         // 1 after a play
    std::uint8_t updatePending;
    std::uint8_t textureGraph;
    std::uint8_t tempFileMade;

    STREAM_TIME storedTime;       // where it stood when its objects were released
    std::uint8_t storedPlaying;

    char fileName[MAX_PATH];
    int openFlag;
    char tempPath[MAX_PATH];
    HANDLE updateEvent;

    int width, height;
    int graphCount;               // graphics showing the movie
};

using MovieHandleTable = HandleTable<MovieRecord, kHandleTypeMovie, kMovieSlotCount>;
extern MovieHandleTable g_MovieTable;

MovieRecord* LookupMovie(HandleId handle);

// Builds the stream objects from the record's file name (or its temporary
// copy) and open flag. 0, or -1 with the failure logged and nothing kept.
int OpenMovieObjects(MovieRecord* movie);
// Releases every stream object; the record stays.
void ReleaseMovieObjects(MovieRecord* movie);
