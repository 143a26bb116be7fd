// libFuzzer target: any bytes as a movie file, opened by the multimedia-stream
// stand-in. An input that begins with the byte 0xED (which begins no movie
// of a container played here) is instead a list of byte edits to one of a
// set of small movies written with the movie maker: its second byte picks
// the movie (AVI, MP4, WebM, Ogg, MPEG, QuickTime; MP4 with edit lists long
// and ordinary, streams that start apart, WebM and Ogg whose times jump past
// any real stream's), then come (offset low, offset high, value) triples.
// So each container is fuzzed both as whole files (the seeds, made by the
// same movie maker) and as damaged versions of a movie of its own (an Ogg
// movie's page checksums made right again after the edits). A file
// that is no movie is refused; one that opens is run: its frames rendered
// into a 16-bit surface one by one, asynchronously and synchronously, with a
// seek between, its sound played. Nothing may read or write out of bounds,
// overflow, hang or leak.
#include <array>
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
#include "movie_boxes.h"
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

namespace {

constexpr std::uint8_t kEditMarker = 0xED;

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

std::string ReadAll(const std::string& path) {
    std::string out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return out;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) out.push_back(static_cast<char>(c));
    std::fclose(file);
    return out;
}

// A small movie with sound of a container, as written by the movie maker.
std::string SmallMovie(const std::string& path, const char* container, void (*adjust)(TestMovieSpec*) = nullptr) {
    TestMovieSpec spec;
    spec.container = container;
    spec.width = 8;
    spec.height = 6;
    spec.frames = 4;
    spec.soundRate = 8000;
    spec.toneFromFrame = 1;
    if (std::string(container) == "mpeg") spec.framesPerSecond = 25, spec.soundRate = 32000;
    if (adjust != nullptr) adjust(&spec);
    return WriteTestMovie(path, spec) ? ReadAll(path) : std::string();
}

std::string WithEdits(std::string movie, int count, bool wholeTrack) {
    const bool edited = SetMp4EditLists(&movie, [&](const Mp4Track& track) {
        std::vector<Mp4Edit> edits = track.original;
        for (int i = 0; i < count; ++i)
            edits.insert(edits.begin(), wholeTrack ? Mp4Edit{track.duration, 0} : Mp4Edit{track.movieScale / 10, -1});
        return edits;
    });
    return edited ? movie : std::string();
}

// The movies edits are made to, written once.
const std::vector<std::vector<std::uint8_t>>& BaseMovies(const std::string& path) {
    static const std::vector<std::vector<std::uint8_t>> movies = [&] {
        const std::string mp4 = SmallMovie(path, "mp4");
        const std::vector<std::string> made = {
            SmallMovie(path, "avi"),
            mp4,
            SmallMovie(path, "webm"),
            SmallMovie(path, "ogg"),
            SmallMovie(path, "mpeg"),
            SmallMovie(path, "mov"),
            WithEdits(mp4, 40, false),
            WithEdits(mp4, 1, false),
            WithEdits(mp4, 20, true),
            SmallMovie(path, "mp4", [](TestMovieSpec* spec) { spec->soundStartMs = 300; }),
            SmallMovie(path, "webm", [](TestMovieSpec* spec) { spec->videoStartMs = 200; }),
            SmallMovie(path, "webm", [](TestMovieSpec* spec) { spec->jumpFromFrame = 2, spec->jumpSeconds = 1000000000000; }),
            SmallMovie(path, "ogg", [](TestMovieSpec* spec) { spec->jumpFromFrame = 2, spec->jumpSeconds = 1000000000000; }),
        };
        std::vector<std::vector<std::uint8_t>> out;
        for (const std::string& movie : made)
            if (!movie.empty()) out.push_back(Bytes(movie));
        return out;
    }();
    return movies;
}

// Ogg pages carry a checksum, which the demuxer checks: after edits, each
// page is given its right one again, so that the edits reach what the page
// holds rather than only the check.
void RestoreOggChecksums(std::vector<std::uint8_t>* bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> made{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            made[i] = r;
        }
        return made;
    }();
    std::vector<std::uint8_t>& b = *bytes;
    for (std::size_t at = 0; at + 27 <= b.size();) {
        if (b[at] != 'O' || b[at + 1] != 'g' || b[at + 2] != 'g' || b[at + 3] != 'S') {
            ++at;
            continue;
        }
        const std::size_t segments = b[at + 26];
        if (at + 27 + segments > b.size()) return;
        std::size_t length = 27 + segments;
        for (std::size_t i = 0; i < segments; ++i) length += b[at + 27 + i];
        if (at + length > b.size()) return;
        for (int i = 22; i < 26; ++i) b[at + i] = 0;
        std::uint32_t crc = 0;
        for (std::size_t i = 0; i < length; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ b[at + i]) & 0xFF];
        for (int i = 0; i < 4; ++i) b[at + 22 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        at += length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("kelvo-movie-fuzz-" + std::to_string(std::random_device{}()) + ".avi"))
            .string();
    std::vector<std::uint8_t> bytes(data, data + size);
    if (size >= 2 && data[0] == kEditMarker) {
        const auto& bases = BaseMovies(path);
        if (bases.empty()) return 0;
        bytes = bases[data[1] % bases.size()];
        for (std::size_t i = 2; i + 2 < size; i += 3)
            bytes[(data[i] | (data[i + 1] << 8)) % bytes.size()] = data[i + 2];
        RestoreOggChecksums(&bytes);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    Run(path.c_str());
    std::remove(path.c_str());
    return 0;
}
