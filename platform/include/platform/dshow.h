// The multimedia-streaming stand-in: a filter graph with its media control,
// seeking and audio interfaces, and a multimedia stream whose primary video
// stream renders frames into a DirectDraw surface through a stream sample.
// Files are decoded with FFmpeg's libraries; the sound goes into the
// DirectSound stand-in's mixer, the one audio output of the process.
//
// Differences from the interfaces it stands for: file names are the
// framework's own (Shift-JIS) paths, translated like every other path, not
// wide-character ones; the stream takes the DirectDraw 7 object and hands out
// DirectDraw 7 surfaces, since the DirectDraw stand-in offers no older ones.
#pragma once

#include <cstdint>

#include "platform/com.h"
#include "platform/ddraw.h"
#include "platform/types.h"

// Stream time in units of 100 ns.
using STREAM_TIME = LONGLONG;

enum D_STREAM_STATE : DWORD { D_STREAMSTATE_STOP = 0, D_STREAMSTATE_RUN = 1 };
enum D_STREAM_TYPE : DWORD { D_STREAMTYPE_READ = 0, D_STREAMTYPE_WRITE = 1 };

// ---- result codes ----------------------------------------------------------------
constexpr HRESULT D_MS_S_PENDING = 0x00040001;
constexpr HRESULT D_MS_S_NOUPDATE = 0x00040002;
constexpr HRESULT D_MS_S_ENDOFSTREAM = 0x00040003;
constexpr HRESULT D_MS_E_NOSTREAM = static_cast<HRESULT>(0x80040403u);
constexpr HRESULT D_MS_E_BUSY = static_cast<HRESULT>(0x80040406u);
constexpr HRESULT D_VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT D_VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);

// ---- flags -------------------------------------------------------------------------
constexpr DWORD D_AMMSF_NOGRAPHTHREAD = 0x1;   // Initialize
constexpr DWORD D_AMMSF_ADDDEFAULTRENDERER = 0x1;  // AddMediaStream
constexpr DWORD D_AMMSF_RUN = 0x4;            // OpenFile: run the stream once open
constexpr DWORD D_SSUPDATE_ASYNC = 0x1;        // Update: signal the event when done

// ---- ids ---------------------------------------------------------------------------
extern const CLSID CLSID_D_FilterGraph;
extern const CLSID CLSID_D_AMMultiMediaStream;
extern const IID IID_D_IGraphBuilder;
extern const IID IID_D_IAMMultiMediaStream;
extern const IID IID_D_IMediaControl;
extern const IID IID_D_IMediaSeeking;
extern const IID IID_D_IBasicAudio;
extern const IID IID_D_IMediaStream;
extern const IID IID_D_IAMMediaStream;
extern const IID IID_D_IDirectDrawMediaStream;
extern const IID IID_D_IDirectDrawStreamSample;
// Purpose ids of the two primary streams.
extern const GUID MSPID_D_PrimaryVideo;
extern const GUID MSPID_D_PrimaryAudio;

// ---- interfaces ----------------------------------------------------------------------
struct D_IGraphBuilder : D_IUnknown {};

struct D_IMediaControl : D_IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
};

struct D_IMediaSeeking : D_IUnknown {
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
};

struct D_IBasicAudio : D_IUnknown {
    // Hundredths of a decibel, -10000 (silent) to 0 (full).
    virtual HRESULT put_Volume(LONG volume) = 0;
    virtual HRESULT get_Volume(LONG* volume) = 0;
};

struct D_IMultiMediaStream;
struct D_IDirectDrawStreamSample;

struct D_IMediaStream : D_IUnknown {
    virtual HRESULT GetMultiMediaStream(D_IMultiMediaStream** stream) = 0;
};
struct D_IAMMediaStream : D_IMediaStream {};

struct D_IDirectDrawMediaStream : D_IMediaStream {
    // The frame size and, when the stream has one, its surface format.
    virtual HRESULT GetFormat(D_DDSURFACEDESC2* current) = 0;
    // A sample that renders into `surface` (its whole area when rect is null).
    virtual HRESULT CreateSample(D_IDirectDrawSurface7* surface, const RECT* rect, DWORD flags,
                                 D_IDirectDrawStreamSample** sample) = 0;
};

struct D_IStreamSample : D_IUnknown {
    // Asks for the next frame. S_OK: rendered now; D_MS_S_PENDING: the event
    // is set when it is; D_MS_S_ENDOFSTREAM: no frame is left; D_MS_E_BUSY:
    // an earlier request is still pending.
    virtual HRESULT Update(DWORD flags, HANDLE event, void* apc, std::uintptr_t context) = 0;
    // S_OK when no request is pending, else D_MS_S_PENDING.
    virtual HRESULT CompletionStatus(DWORD flags, DWORD milliseconds) = 0;
};

struct D_IDirectDrawStreamSample : D_IStreamSample {
    virtual HRESULT GetSurface(D_IDirectDrawSurface7** surface, RECT* clip) = 0;
};

struct D_IMultiMediaStream : D_IUnknown {
    virtual HRESULT GetMediaStream(const GUID& purposeId, D_IMediaStream** stream) = 0;
    virtual HRESULT GetState(D_STREAM_STATE* state) = 0;
    virtual HRESULT SetState(D_STREAM_STATE state) = 0;
    virtual HRESULT GetTime(STREAM_TIME* time) = 0;
    virtual HRESULT GetDuration(STREAM_TIME* duration) = 0;
    virtual HRESULT Seek(STREAM_TIME time) = 0;
};

struct D_IAMMultiMediaStream : D_IMultiMediaStream {
    virtual HRESULT Initialize(D_STREAM_TYPE type, DWORD flags, D_IGraphBuilder* graph) = 0;
    virtual HRESULT GetFilterGraph(D_IGraphBuilder** graph) = 0;
    // Adds the primary video stream on a DirectDraw object, or with
    // D_AMMSF_ADDDEFAULTRENDERER the primary audio stream played by itself.
    virtual HRESULT AddMediaStream(D_IUnknown* streamObject, const GUID* purposeId, DWORD flags,
                                   D_IMediaStream** stream) = 0;
    virtual HRESULT OpenFile(LPCSTR fileName, DWORD flags) = 0;
};

// Registers the two classes for CoCreateInstance.
void RegisterDirectShowStandIn();
