// The multimedia-stream stand-in on its own: what a sample's update answers
// as the stream clock runs, pauses and seeks, and what the frames look like
// in the surface formats a movie renders into.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "framework/graphics/movie/movie_fixture.h"
#include "graphics/device/screen_device.h"
#include "platform/dsound.h"
#include "movie_boxes.h"
#include "movie_reference.h"

namespace movie_test {
namespace {

struct Stream {
    D_IGraphBuilder* graph = nullptr;
    D_IAMMultiMediaStream* stream = nullptr;
    D_IMediaControl* control = nullptr;
    D_IDirectDrawMediaStream* video = nullptr;
    D_IDirectDrawSurface7* surface = nullptr;
    D_IDirectDrawStreamSample* sample = nullptr;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    ~Stream() {
        for (D_IUnknown* object : std::initializer_list<D_IUnknown*>{sample, surface, video, control, stream, graph})
            if (object != nullptr) object->Release();
        CloseHandle(event);
    }

    // Opens `path` with its frames rendered into a surface of this format
    // (and its sound played, when asked).
    bool Open(const char* path, const D_DDPIXELFORMAT& format, bool withSound = false) {
        void* object = nullptr;
        if (FAILED(CoCreateInstance(CLSID_D_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_D_IGraphBuilder, &object)))
            return false;
        graph = static_cast<D_IGraphBuilder*>(object);
        if (FAILED(CoCreateInstance(CLSID_D_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_D_IAMMultiMediaStream,
                                    &object)))
            return false;
        stream = static_cast<D_IAMMultiMediaStream*>(object);
        if (FAILED(stream->Initialize(D_STREAMTYPE_READ, 0, graph)) ||
            FAILED(graph->QueryInterface(IID_D_IMediaControl, &object)))
            return false;
        control = static_cast<D_IMediaControl*>(object);
        if (FAILED(stream->AddMediaStream(GetDirectDrawObject(), &MSPID_D_PrimaryVideo, 0, nullptr)) ||
            (withSound && FAILED(stream->AddMediaStream(nullptr, &MSPID_D_PrimaryAudio, D_AMMSF_ADDDEFAULTRENDERER,
                                                        nullptr))) ||
            FAILED(stream->OpenFile(path, 0)))
            return false;
        D_IMediaStream* media = nullptr;
        if (FAILED(stream->GetMediaStream(MSPID_D_PrimaryVideo, &media))) return false;
        const HRESULT hr = media->QueryInterface(IID_D_IDirectDrawMediaStream, &object);
        media->Release();
        if (FAILED(hr)) return false;
        video = static_cast<D_IDirectDrawMediaStream*>(object);
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        video->GetFormat(&desc);
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat = format;
        return SUCCEEDED(GetDirectDrawObject()->CreateSurface(&desc, &surface, nullptr)) &&
               SUCCEEDED(video->CreateSample(surface, nullptr, 0, &sample));
    }

    // The pixel at (3, 2) of the surface, as raw bytes little-endian.
    DWORD Pixel() {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (FAILED(surface->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr))) return 0xFFFFFFFF;
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        DWORD value = 0;
        std::memcpy(&value, static_cast<std::uint8_t*>(desc.lpSurface) + 2 * desc.lPitch + 3 * bytes, bytes);
        surface->Unlock(nullptr);
        return value;
    }
    // The surface's rows of a 32-bit surface, each pixel B, G, R, x.
    std::vector<std::uint8_t> Picture() {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        std::vector<std::uint8_t> rows;
        if (FAILED(surface->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr))) return rows;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(desc.lpSurface) + y * desc.lPitch;
            rows.insert(rows.end(), row, row + desc.dwWidth * 4);
        }
        surface->Unlock(nullptr);
        return rows;
    }
    std::pair<int, int> Size() {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        video->GetFormat(&desc);
        return {static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight)};
    }
    bool Signalled() { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
    HRESULT Ask() { return sample->Update(D_SSUPDATE_ASYNC, event, nullptr, 0); }
};

D_DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b) {
    D_DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = D_DDPF_RGB;
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    return f;
}

// Frame n's colour in a format of these masks.
DWORD Expected(int frame, const D_DDPIXELFORMAT& f) {
    const FrameColour c = TestMovieFrameColour(frame);
    auto put = [](int value, DWORD mask) {
        const int shift = std::countr_zero(mask), bits = std::popcount(mask);
        return (static_cast<DWORD>(value) >> (8 - bits)) << shift;
    };
    return put(c.r, f.dwRBitMask) | put(c.g, f.dwGBitMask) | put(c.b, f.dwBBitMask);
}

TEST_F(MovieTest, AnUpdateCompletesWhenItsFrameIsDueAndWaitsOtherwise) {
    Start();
    WriteMovie("clip.avi");
    const D_DDPIXELFORMAT formats[] = {Rgb(16, 0xF800, 0x07E0, 0x001F), Rgb(16, 0x7C00, 0x03E0, 0x001F),
                                       Rgb(24, 0xFF0000, 0x00FF00, 0x0000FF), Rgb(32, 0xFF0000, 0x00FF00, 0x0000FF),
                                       Rgb(32, 0x0000FF, 0x00FF00, 0xFF0000)};
    for (const D_DDPIXELFORMAT& format : formats) {
        SCOPED_TRACE(::testing::Message() << format.dwRGBBitCount << " bits, red " << std::hex << format.dwRBitMask);
        Stream s;
        ASSERT_TRUE(s.Open("clip.avi", format));
        STREAM_TIME time = -1;
        D_STREAM_STATE state = D_STREAMSTATE_RUN;
        ASSERT_EQ(s.stream->GetState(&state), S_OK);
        EXPECT_EQ(state, D_STREAMSTATE_STOP);
        // Frame 0 is due at once, even with the clock stopped; frame 1 waits.
        EXPECT_EQ(s.Ask(), S_OK);
        EXPECT_EQ(s.Pixel(), Expected(0, format));
        EXPECT_EQ(s.Ask(), D_MS_S_PENDING);
        EXPECT_EQ(s.Ask(), D_MS_E_BUSY) << "one request at a time";
        EXPECT_EQ(s.sample->CompletionStatus(0, 0), D_MS_S_PENDING);
        Sleep(300);
        EXPECT_FALSE(s.Signalled()) << "the stopped clock does not move";

        ASSERT_EQ(s.stream->SetState(D_STREAMSTATE_RUN), S_OK);
        Sleep(90);
        s.stream->GetTime(&time);
        EXPECT_FALSE(s.Signalled());
        Sleep(15);
        s.stream->GetTime(&time);
        EXPECT_GE(time, 1000000);
        EXPECT_TRUE(s.Signalled()) << "frame 1 came due at 100 ms";
        EXPECT_EQ(s.Pixel(), Expected(1, format));

        // Paused, the clock and the frames stand still.
        ResetEvent(s.event);
        EXPECT_EQ(s.Ask(), D_MS_S_PENDING);
        ASSERT_EQ(s.control->Pause(), S_OK);
        s.stream->GetTime(&time);
        const STREAM_TIME paused = time;
        Sleep(500);
        s.stream->GetTime(&time);
        EXPECT_EQ(time, paused);
        EXPECT_FALSE(s.Signalled());

        // A seek answers the waiting request from the new place.
        ASSERT_EQ(s.stream->Seek(15000000), S_OK);  // 1.5 s
        s.stream->GetTime(&time);
        EXPECT_EQ(time, 15000000);
        EXPECT_TRUE(s.Signalled());
        EXPECT_EQ(s.Pixel(), Expected(15, format));
        // Synchronous updates take the rest one by one, then the end.
        for (int n = 16; n < 20; ++n) {
            EXPECT_EQ(s.sample->Update(0, nullptr, nullptr, 0), S_OK);
            EXPECT_EQ(s.Pixel(), Expected(n, format)) << "frame " << n;
        }
        EXPECT_EQ(s.sample->Update(0, nullptr, nullptr, 0), D_MS_S_ENDOFSTREAM);
        EXPECT_EQ(s.Ask(), D_MS_S_ENDOFSTREAM);
    }
}

// Only plain files open, and the file's content decides its container, not
// its name: a device or a pipe is refused at once, never read or waited on;
// a container not played here (NUT) is refused, and so is a QuickTime movie
// whose media lies in another file; a frame size far beyond what the file
// could hold is refused.
TEST_F(MovieTest, OnlyPlainFilesInThePlayedContainersOpen) {
    Start();
    WriteMovie("clip.avi");
    dir_.Write("avi.m3u8", dir_.Read("clip.avi"));
    TestMovieSpec mpeg;
    mpeg.container = "mpeg";
    mpeg.framesPerSecond = 25;
    mpeg.frames = 5;
    mpeg.soundRate = 32000;
    WriteMovie("clip.mpg", mpeg);
    // The same few kilobytes claiming frames of 4000 x 3000, of 2048 x 1536
    // (some 300-500 pixels a byte, more than any codec packs into a first
    // picture), and of a megapixel (always allowed).
    const auto withSize = [&](int width, int height) {
        std::string bytes = dir_.Read("clip.mpg");
        for (std::size_t at = bytes.find(std::string("\0\0\1\xB3", 4)); at != std::string::npos;
             at = bytes.find(std::string("\0\0\1\xB3", 4), at + 4)) {
            bytes[at + 4] = static_cast<char>(width >> 4);
            bytes[at + 5] = static_cast<char>(((width & 15) << 4) | (height >> 8));
            bytes[at + 6] = static_cast<char>(height & 0xFF);
        }
        return bytes;
    };
    ASSERT_LT(dir_.Read("clip.mpg").size(), 11000u);
    ASSERT_GT(dir_.Read("clip.mpg").size(), 3200u);
    dir_.Write("claims.mpg", withSize(4000, 3000));
    dir_.Write("claims-less.mpg", withSize(2048, 1536));
    dir_.Write("megapixel.mpg", withSize(1024, 1024));
    TestMovieSpec mp4;
    mp4.container = "mp4";
    mp4.frames = 3;
    WriteMovie("clip.mp4", mp4);
    dir_.Write("mp4.avi", dir_.Read("clip.mp4"));
    // The same movie with its picture's media said to lie in another file.
    std::string alias = dir_.Read("clip.mp4");
    ASSERT_TRUE(SetMp4AliasReference(&alias));
    dir_.Write("alias.mp4", alias);
    TestMovieSpec nut;
    nut.container = "nut";
    nut.frames = 3;
    WriteMovie("clip.nut", nut);
    const std::string fifo = (dir_.path() / "pipe.avi").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const D_DDPIXELFORMAT format = Rgb(16, 0xF800, 0x07E0, 0x001F);
    const struct {
        std::string path;
        bool opens;
    } cases[] = {{"clip.avi", true},  {"avi.m3u8", true}, {"clip.mpg", true},  {"megapixel.mpg", true},
                 {"clip.mp4", true},  {"mp4.avi", true},  {"clip.nut", false}, {"alias.mp4", false},
                 {"claims.mpg", false}, {"claims-less.mpg", false}, {"/dev/zero", false},
                 {"pipe.avi", false}, {".", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Stream s;
        EXPECT_EQ(s.Open(c.path.c_str(), format), c.opens);
    }
    EXPECT_NE(PlatformDebugOutput().find("claims frames of 4000 x 3000"), std::string::npos);
    EXPECT_NE(PlatformDebugOutput().find("claims frames of 2048 x 1536"), std::string::npos);
    EXPECT_NE(PlatformDebugOutput().find("keeps media in other files"), std::string::npos);
}

// Movies in the containers of today's files, made with FFmpeg's encoders
// (H.264 with AAC in MP4, VP8 with Vorbis in WebM, Theora with Vorbis in Ogg;
// QuickTime raw), play frame for frame as FFmpeg decodes them: every picture
// in order, each the same to the byte as FFmpeg's own decode converted by its
// scaler, then the end; a seek lands on the picture of its time. The frames
// are 40 x 30, which the codecs code in 48 x 32 blocks and cut, and shaded
// in steps, so a picture cut, shifted or taken from the wrong plane shows.
TEST_F(MovieTest, TodaysContainersPlayFrameForFrameAsFfmpegDecodesThem) {
    Start();
    const D_DDPIXELFORMAT xrgb = Rgb(32, 0xFF0000, 0x00FF00, 0x0000FF);
    for (const char* name : {"clip.mp4", "clip.webm", "clip.ogg", "clip.mov"}) {
        SCOPED_TRACE(name);
        TestMovieSpec spec;
        spec.container = TestMovieContainerFor(name);
        spec.width = 40;
        spec.height = 30;
        spec.shaded = true;
        spec.keyFrameEvery = 8;
        WriteMovie(name, spec);
        ReferencePictures reference = DecodeReferencePictures((dir_.path() / name).string());
        ASSERT_EQ(reference.bgra.size(), 20u);
        ASSERT_EQ(reference.width, 40);
        ASSERT_EQ(reference.height, 30);
        // The surface has no alpha: its fourth byte stays 0.
        for (auto& picture : reference.bgra)
            for (std::size_t i = 3; i < picture.size(); i += 4) picture[i] = 0;

        Stream s;
        ASSERT_TRUE(s.Open(name, xrgb));
        EXPECT_EQ(s.Size(), (std::pair{40, 30}));
        for (std::size_t n = 0; n < reference.bgra.size(); ++n) {
            ASSERT_EQ(s.sample->Update(0, nullptr, nullptr, 0), S_OK) << "frame " << n;
            EXPECT_TRUE(s.Picture() == reference.bgra[n]) << "frame " << n;
            EXPECT_EQ(NearestTestFrame(s.Pixel(), 20), static_cast<int>(n)) << "frame " << n << " in its place";
        }
        EXPECT_EQ(s.sample->Update(0, nullptr, nullptr, 0), D_MS_S_ENDOFSTREAM);
        ASSERT_EQ(s.stream->Seek(15000000), S_OK);
        ASSERT_EQ(s.sample->Update(0, nullptr, nullptr, 0), S_OK);
        EXPECT_TRUE(s.Picture() == reference.bgra[15]) << "the frame at 1.5 s after a seek";
    }
}

// Movies whose times jump, from frame 10 on, a million million seconds
// ahead (beyond what 64 bits of 100 ns hold): the frames before the jump
// play at their times, picture and sound, through seeks before and past
// the jump; the frames past it are dropped, with a note on the debug
// output, and the stream ends at the jump, its last frame staying.
TEST_F(MovieTest, TimesBeyondAnyRealStreamAreDroppedAndWhatPlayedStays) {
    Start();
    ASSERT_TRUE(PlatformAudioOutputOpen());
    const D_DDPIXELFORMAT xrgb = Rgb(32, 0xFF0000, 0x00FF00, 0x0000FF);
    for (const char* name : {"jump.webm", "jump.ogg"}) {
        SCOPED_TRACE(name);
        TestMovieSpec spec;
        spec.container = TestMovieContainerFor(name);
        spec.keyFrameEvery = 5;
        spec.toneFromFrame = 0;
        spec.jumpFromFrame = 10;
        spec.jumpSeconds = 1000000000000;
        WriteMovie(name, spec);
        PlatformClearDebugOutput();
        Stream s;
        ASSERT_TRUE(s.Open(name, xrgb, true));
        ASSERT_EQ(s.stream->SetState(D_STREAMSTATE_RUN), S_OK);
        // Asked for as a player asks, each frame at its time.
        std::vector<int> shown;
        HRESULT asked = s.Ask();
        for (int i = 0; i < 60 && asked != D_MS_S_ENDOFSTREAM; ++i) {
            STREAM_TIME now = 0;
            s.stream->GetTime(&now);
            if (asked == S_OK || s.Signalled()) {
                shown.push_back(NearestTestFrame(s.Pixel(), 20));
                ResetEvent(s.event);
                asked = s.Ask();
            } else {
                ASSERT_EQ(asked, D_MS_S_PENDING);
                Sleep(25);
            }
        }
        // Every frame up to the jump in order (in Ogg, frame 10 too: the
        // muxer times a packet by its decoding, a frame ahead), then the end.
        ASSERT_GE(shown.size(), 10u);
        ASSERT_LE(shown.size(), 11u);
        for (std::size_t n = 0; n < shown.size(); ++n) EXPECT_EQ(shown[n], static_cast<int>(n));
        EXPECT_EQ(asked, D_MS_S_ENDOFSTREAM);
        EXPECT_EQ(NearestTestFrame(s.Pixel(), 20), shown.back()) << "the last frame played stays";
        // Back before the jump, and to where the jumped frames would lie.
        ASSERT_EQ(s.stream->Seek(5000000), S_OK);
        ASSERT_EQ(s.sample->Update(0, nullptr, nullptr, 0), S_OK);
        EXPECT_EQ(NearestTestFrame(s.Pixel(), 20), 5);
        ASSERT_EQ(s.stream->Seek(15000000), S_OK);
        for (int i = 0; i < 20 && s.sample->Update(0, nullptr, nullptr, 0) == S_OK; ++i)
            EXPECT_LE(NearestTestFrame(s.Pixel(), 20), 10);
        STREAM_TIME time = 0;
        for (int i = 0; i < 5; ++i) s.stream->GetTime(&time), Sleep(100);
        EXPECT_NE(PlatformDebugOutput().find("frames timed beyond any real stream are dropped"), std::string::npos);
    }
}

// A movie whose frame size grows past the limits in mid-stream: an MPEG-1
// stream of 352 x 288 pixels whose later sequence headers claim 4095 x 4095,
// more pixels than its 40 KB could code (256 a byte). The pictures of that
// size are skipped with a note on the debug output, never decoded at it (the
// decoder would, at a cost of seconds and 100 MB, and the pictures would be
// shown scaled down); what was played stays, and pictures of the movie's own
// size after them play on. Played as a reader would: 8 frames, a seek back to
// the start, 8 more.
TEST_F(MovieTest, FramesGrownPastTheLimitsInMidStreamAreSkipped) {
    Start();
    TestMovieSpec spec;
    spec.container = "mpeg";
    spec.width = 352;
    spec.height = 288;
    spec.framesPerSecond = 25;
    spec.frames = 20;
    spec.keyFrameEvery = 5;
    spec.soundRate = 32000;
    WriteMovie("clip.mpg", spec);
    const std::string plain = dir_.Read("clip.mpg");
    ASSERT_LT(plain.size(), 4095u * 4095 / 256) << "4095 x 4095 is beyond what the file could code";
    const std::string sequenceHeader("\0\0\1\xB3", 4);
    std::vector<std::size_t> headers;
    for (std::size_t at = plain.find(sequenceHeader); at != std::string::npos; at = plain.find(sequenceHeader, at + 4))
        headers.push_back(at);
    ASSERT_EQ(headers.size(), 4u) << "one before each group of 5 frames";

    struct Case {
        const char* name;
        bool everyLater;          // else only the second header
        std::vector<int> first;   // the frames shown by 8 updates
        std::vector<int> afterSeek;
    };
    const Case cases[] = {
        {"the second header grown", false, {0, 1, 2, 3, 4, 10, 11, 12}, {0, 1, 2, 3, 4, 10, 11, 12}},
        {"every header after the first grown", true, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
    };
    const D_DDPIXELFORMAT xrgb = Rgb(32, 0xFF0000, 0x00FF00, 0x0000FF);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = plain;
        for (std::size_t i = 1; i < headers.size() && (i == 1 || c.everyLater); ++i) {
            bytes[headers[i] + 4] = static_cast<char>(0xFF);  // 4095 x 4095
            bytes[headers[i] + 5] = static_cast<char>(0xFF);
            bytes[headers[i] + 6] = static_cast<char>(0xFF);
        }
        dir_.Write("grown.mpg", bytes);
        PlatformClearDebugOutput();
        Stream s;
        ASSERT_TRUE(s.Open("grown.mpg", xrgb));
        EXPECT_EQ(s.Size(), (std::pair{352, 288}));
        // Each picture shown is one frame's colour all over (every 7th pixel
        // looked at): none scaled down from a picture of another size.
        const auto play = [&](std::vector<int>* shown) {
            for (int i = 0; i < 8 && s.sample->Update(0, nullptr, nullptr, 0) == S_OK; ++i) {
                const int frame = NearestTestFrame(s.Pixel(), 20);
                shown->push_back(frame);
                const std::vector<std::uint8_t> picture = s.Picture();
                ASSERT_EQ(picture.size(), 352u * 288 * 4);
                for (std::size_t p = 0; p < picture.size(); p += 7 * 4) {
                    const std::uint32_t rgb = picture[p + 2] << 16 | picture[p + 1] << 8 | picture[p];
                    ASSERT_EQ(NearestTestFrame(rgb, 20), frame) << "pixel " << p / 4 << " of frame " << frame;
                }
            }
        };
        std::vector<int> first, afterSeek;
        play(&first);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(NearestTestFrame(s.Pixel(), 20), c.first.back()) << "the last frame played stays";
        // Back to the start (a programme stream has no index: a seek to a
        // time within it lands near it, not on it).
        ASSERT_EQ(s.stream->Seek(0), S_OK);
        play(&afterSeek);
        EXPECT_EQ(afterSeek, c.afterSeek);
        EXPECT_NE(PlatformDebugOutput().find("is beyond the size limits"), std::string::npos);
    }
}

}  // namespace
}  // namespace movie_test
