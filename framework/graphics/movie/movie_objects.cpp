// Building and releasing a movie's stream objects: the filter graph, the
// multimedia stream with its primary video and audio streams, and the
// sample that renders frames into an off-screen surface of the movie's size.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "files/file_functions.h"
#include "files/plain_file.h"
#include "graphics/device/screen_device.h"
#include "graphics/movie/movie_record.h"
#include "platform/kernel.h"

namespace {

constexpr std::size_t kCopyPiece = 0x100000;

template <class Interface>
void ReleaseInterface(Interface*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

template <class Interface>
bool Query(D_IUnknown* from, REFIID riid, Interface** out) {
    *out = nullptr;
    void* object = nullptr;
    if (from == nullptr || FAILED(from->QueryInterface(riid, &object))) return false;
    *out = static_cast<Interface*>(object);
    return true;
}

// Copies a file the stream cannot open by itself (one inside an archive, say)
// through the file functions into a new temporary file. 0, or -1 with
// nothing left behind.
int CopyToTempFile(const char* fileName, char* tempPath) {
    const FileHandle source = FileOpen(fileName, 0, 0);
    if (source == 0) return -1;
    FileSeek(source, 0, SEEK_END);
    std::int64_t left = FileTell(source);
    FileSeek(source, 0, SEEK_SET);
    HANDLE temp = CreateTempFile(tempPath);
    void* piece = temp != nullptr ? KV_ALLOC(kCopyPiece) : nullptr;
    bool ok = temp != nullptr && piece != nullptr && left >= 0;
    while (ok && left > 0) {
        const std::size_t size = left < static_cast<std::int64_t>(kCopyPiece) ? static_cast<std::size_t>(left) : kCopyPiece;
        DWORD written = 0;
        ok = FileRead(piece, size, 1, source) == 1 &&
             WriteFile(temp, piece, static_cast<DWORD>(size), &written, nullptr) && written == size;
        left -= static_cast<std::int64_t>(size);
    }
    KV_FREE(piece);
    FileClose(source);
    if (temp != nullptr) CloseHandle(temp);
    if (!ok && temp != nullptr) DeleteFileA(tempPath);
    return ok ? 0 : -1;
}

// The surface format of the frames: the screen's own, or 24-bit RGB when
// the screen's format holds no RGB pixels (a paletted screen).
D_DDPIXELFORMAT FramePixelFormat() {
    const auto* screen = static_cast<const D_DDPIXELFORMAT*>(GetScreenPixelFormatBlock());
    if (screen != nullptr && (screen->dwFlags & D_DDPF_RGB) && screen->dwRGBBitCount >= 16) return *screen;
    D_DDPIXELFORMAT rgb24{};
    rgb24.dwSize = sizeof rgb24;
    rgb24.dwFlags = D_DDPF_RGB;
    rgb24.dwRGBBitCount = 24;
    rgb24.dwRBitMask = 0xFF0000;
    rgb24.dwGBitMask = 0x00FF00;
    rgb24.dwBBitMask = 0x0000FF;
    return rgb24;
}

int Fail(MovieRecord* movie, const char* text) {
    ReleaseMovieObjects(movie);
    return WriteLogText(text);
}

// Opens the file, or the temporary copy made of it before.
int OpenMovieFile(MovieRecord* movie) {
    if (movie->tempFileMade) return SUCCEEDED(movie->stream->OpenFile(movie->tempPath, 0)) ? 0 : -1;
    if (SUCCEEDED(movie->stream->OpenFile(movie->fileName, 0))) return 0;
    if (CopyToTempFile(movie->fileName, movie->tempPath) < 0) return -1;
    movie->tempFileMade = 1;
    if (SUCCEEDED(movie->stream->OpenFile(movie->tempPath, 0))) return 0;
    DeleteFileA(movie->tempPath);
    movie->tempFileMade = 0;
    movie->tempPath[0] = '\0';
    return -1;
}

}  // namespace

void ReleaseMovieObjects(MovieRecord* movie) {
    ReleaseInterface(movie->sampleSurface);
    ReleaseInterface(movie->sample);
    ReleaseInterface(movie->surface);
    ReleaseInterface(movie->drawVideoStream);
    ReleaseInterface(movie->amVideoStream);
    ReleaseInterface(movie->videoStream);
    ReleaseInterface(movie->basicAudio);
    ReleaseInterface(movie->mediaSeeking);
    ReleaseInterface(movie->mediaControl);
    ReleaseInterface(movie->stream);
    ReleaseInterface(movie->graph);
    if (movie->updateEvent != nullptr) CloseHandle(movie->updateEvent);
    movie->updateEvent = nullptr;
    movie->updatePending = 0;
}

int OpenMovieObjects(MovieRecord* movie) {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_D_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_D_IGraphBuilder, &object)))
        return Fail(movie, "CLSID_FilterGraph の作成に失敗しました");
    movie->graph = static_cast<D_IGraphBuilder*>(object);
    if (FAILED(CoCreateInstance(CLSID_D_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_D_IAMMultiMediaStream,
                                &object)))
        return Fail(movie, "IAMMultiMediaインターフェイスを取得できませんでした！");
    movie->stream = static_cast<D_IAMMultiMediaStream*>(object);
    if (FAILED(movie->stream->Initialize(D_STREAMTYPE_READ, 0, movie->graph)))
        return Fail(movie, "ストリームを読み取り用にセットアップできませんでした！");
    if (!Query(movie->graph, IID_D_IMediaControl, &movie->mediaControl))
        return Fail(movie, "IID_IMediaControlインターフェイスの取得に失敗しました");

    // The stream renders on the screen's DirectDraw object.
    D_IDirectDraw7* directDraw = nullptr;
    if (!Query(GetDirectDrawObject(), IID_D_IDirectDraw7, &directDraw))
        return Fail(movie, "DirectDraw4オブジェクトを取得できませんでした");
    const HRESULT added = movie->stream->AddMediaStream(directDraw, &MSPID_D_PrimaryVideo, 0, nullptr);
    directDraw->Release();
    if (FAILED(added)) return Fail(movie, "プライマリビデオストリームを追加できませんでした！");
    if (FAILED(movie->stream->AddMediaStream(nullptr, &MSPID_D_PrimaryAudio, D_AMMSF_ADDDEFAULTRENDERER, nullptr)))
        return Fail(movie, "デフォルトサウンドレンダラを追加できませんでした！\n");

    if (OpenMovieFile(movie) < 0) {
        ReleaseMovieObjects(movie);
        return -1;
    }

    if (!Query(movie->graph, IID_D_IMediaSeeking, &movie->mediaSeeking))
        return Fail(movie, "メディアシーキングインターフェースの取得に失敗しました");
    movie->mediaSeeking->GetStopPosition(&movie->stopPosition);
    if (!Query(movie->graph, IID_D_IBasicAudio, &movie->basicAudio))
        return Fail(movie, "BasicAudio インターフェースの取得に失敗しました");

    if (FAILED(movie->stream->GetMediaStream(MSPID_D_PrimaryVideo, &movie->videoStream)))
        return Fail(movie, "プライマリビデオストリームインターフェイスを取得できませんでした！");
    if (!Query(movie->videoStream, IID_D_IAMMediaStream, &movie->amVideoStream))
        return Fail(movie, "AMMediaStreamインターフェイスの取得に失敗しました");
    if (!Query(movie->videoStream, IID_D_IDirectDrawMediaStream, &movie->drawVideoStream))
        return Fail(movie, "DirectDrawメディアストリームインターフェイスを取得できませんでした！");

    D_DDSURFACEDESC2 format{};
    format.dwSize = sizeof format;
    if (FAILED(movie->drawVideoStream->GetFormat(&format)) || format.dwWidth == 0 || format.dwHeight == 0)
        return Fail(movie, "動画ファイルではない可能性があります！");
    movie->width = static_cast<int>(format.dwWidth);
    movie->height = static_cast<int>(format.dwHeight);

    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = format.dwWidth;
    desc.dwHeight = format.dwHeight;
    desc.ddpfPixelFormat = FramePixelFormat();
    D_IDirectDraw7* screenDraw = GetDirectDrawObject();
    if (screenDraw == nullptr || FAILED(screenDraw->CreateSurface(&desc, &movie->surface, nullptr)))
        return Fail(movie, "DirectDrawSurface オブジェクトの作成に失敗しました");
    if (FAILED(movie->drawVideoStream->CreateSample(movie->surface, nullptr, 0, &movie->sample)))
        return Fail(movie, "ストリームサンプルを作成できませんでした！");
    D_IDirectDrawSurface7* sampleSurface = nullptr;
    if (FAILED(movie->sample->GetSurface(&sampleSurface, nullptr)) || sampleSurface == nullptr)
        return Fail(movie, "ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！");
    const bool seven = Query(sampleSurface, IID_D_IDirectDrawSurface7, &movie->sampleSurface);
    sampleSurface->Release();
    if (!seven) return Fail(movie, "IDirectDrawSurface7インターフェイスを取得できませんでした！");

    movie->updateEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    movie->updatePending = 0;
    movie->sampleRunning = 1;
    movie->playing = 0;
    if (movie->openFlag == 1) {
        movie->stream->SetState(D_STREAMSTATE_RUN);
        // Running from the start, it is paused on deactivation like one played.
        movie->playing = 1;
    }
    return 0;
}
