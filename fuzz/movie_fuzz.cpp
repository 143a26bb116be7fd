// libFuzzer target: any bytes as a movie file, opened by the multimedia-stream
// stand-in. An input whose first byte is odd is instead a list of byte edits
// (offset, value) to a small movie written with the movie maker, so damaged
// movies reach the decoders too. A file that is no movie is refused; one that
// opens is run: its
// frames rendered into a 16-bit surface one by one, asynchronously and
// synchronously, with a seek between. Nothing may read or write out of
// bounds, hang or leak.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/ddraw.h"
#include "platform/dshow.h"
#include "platform/kernel.h"
#include "movie_writer.h"

namespace {

template <class T>
void Drop(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

D_IDirectDraw7* DirectDraw() {
    static D_IDirectDraw7* directDraw = [] {
        PlatformSelectBackend(PlatformBackend::Headless);
        CoInitialize(nullptr);
        void* object = nullptr;
        if (FAILED(CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object))) return (D_IDirectDraw7*)nullptr;
        auto* made = static_cast<D_IDirectDraw7*>(object);
        made->Initialize(nullptr);
        return made;
    }();
    return directDraw;
}

void Run(const char* path) {
    void* object = nullptr;
    D_IAMMultiMediaStream* stream = nullptr;
    D_IMediaStream* media = nullptr;
    D_IDirectDrawMediaStream* video = nullptr;
    D_IDirectDrawSurface7* surface = nullptr;
    D_IDirectDrawStreamSample* sample = nullptr;
    if (DirectDraw() == nullptr) return;
    if (FAILED(CoCreateInstance(CLSID_D_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_D_IAMMultiMediaStream,
                                &object)))
        return;
    stream = static_cast<D_IAMMultiMediaStream*>(object);
    stream->Initialize(D_STREAMTYPE_READ, 0, nullptr);
    stream->AddMediaStream(DirectDraw(), &MSPID_D_PrimaryVideo, 0, nullptr);
    stream->AddMediaStream(nullptr, &MSPID_D_PrimaryAudio, D_AMMSF_ADDDEFAULTRENDERER, nullptr);
    if (SUCCEEDED(stream->OpenFile(path, D_AMMSF_RUN)) && SUCCEEDED(stream->GetMediaStream(MSPID_D_PrimaryVideo, &media)) &&
        SUCCEEDED(media->QueryInterface(IID_D_IDirectDrawMediaStream, &object))) {
        video = static_cast<D_IDirectDrawMediaStream*>(object);
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        video->GetFormat(&desc);
        if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > 4096 || desc.dwHeight > 4096) std::abort();
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat = D_DDPIXELFORMAT{sizeof(D_DDPIXELFORMAT), D_DDPF_RGB, 0, {16}, {0xF800}, {0x07E0}, 0x001F, {0}};
        if (SUCCEEDED(DirectDraw()->CreateSurface(&desc, &surface, nullptr)) &&
            SUCCEEDED(video->CreateSample(surface, nullptr, 0, &sample))) {
            HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            STREAM_TIME time = 0;
            for (int i = 0; i < 8; ++i) {
                sample->Update(D_SSUPDATE_ASYNC, event, nullptr, 0);
                Sleep(40);
                stream->GetTime(&time);
            }
            stream->Seek(time / 2);
            for (int i = 0; i < 8 && sample->Update(0, nullptr, nullptr, 0) == S_OK; ++i) {
            }
            Drop(sample);
            CloseHandle(event);
        }
    }
    Drop(surface);
    Drop(video);
    Drop(media);
    Drop(stream);
}

}  // namespace

// The bytes of a small movie with sound, written once.
const std::vector<std::uint8_t>& BaseMovie(const std::string& path) {
    static const std::vector<std::uint8_t> bytes = [&] {
        TestMovieSpec spec;
        spec.width = 8;
        spec.height = 6;
        spec.frames = 4;
        spec.soundRate = 8000;
        spec.toneFromFrame = 1;
        std::vector<std::uint8_t> out;
        if (!WriteTestMovie(path, spec)) return out;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) return out;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) out.push_back(static_cast<std::uint8_t>(c));
        std::fclose(file);
        return out;
    }();
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("kelvo-movie-fuzz-" + std::to_string(std::random_device{}()) + ".avi"))
            .string();
    std::vector<std::uint8_t> bytes(data, data + size);
    if (size > 0 && (data[0] & 1) != 0) {
        bytes = BaseMovie(path);
        for (std::size_t i = 1; i + 2 < size && !bytes.empty(); i += 3)
            bytes[(data[i] | (data[i + 1] << 8)) % bytes.size()] = data[i + 2];
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    Run(path.c_str());
    std::remove(path.c_str());
    return 0;
}
