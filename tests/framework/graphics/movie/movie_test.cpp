// Movies in graphics on the headless screen: frames read back from the drawn
// colours at their times, the sound in the audio capture, hold and play,
// the end of the stream, re-opening after a lost device, movies inside
// archives, part graphics sharing a movie, and files that are no movie.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "core/memory.h"
#include "files/archive_packer.h"
#include "framework/graphics/movie/movie_fixture.h"
#include "graphics/draw/graph_load.h"
#include "movie_reference.h"
#include "platform/dsound.h"
#include "support/hang_watch.h"
#include "support/pipe_watch.h"

namespace movie_test {
namespace {

constexpr int kFrameMs = 100;  // the test movies run at 10 frames a second

// The frame due at `ms` after the start of a 20-frame movie.
int DueAt(DWORD ms) { return std::min<int>(19, static_cast<int>(ms / kFrameMs)); }

// Root mean square of the left channel between two times of a capture.
double Loudness(const std::vector<std::int16_t>& capture, int rate, int fromMs, int toMs) {
    const std::size_t first = static_cast<std::size_t>(fromMs) * rate / 1000, end = static_cast<std::size_t>(toMs) * rate / 1000;
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = first; i < end && i * 2 < capture.size(); ++i, ++count) sum += double(capture[i * 2]) * capture[i * 2];
    return count > 0 ? std::sqrt(sum / count) : 0;
}

// Sign changes of the left channel per second between two times.
double Crossings(const std::vector<std::int16_t>& capture, int rate, int fromMs, int toMs) {
    const std::size_t first = static_cast<std::size_t>(fromMs) * rate / 1000, end = static_cast<std::size_t>(toMs) * rate / 1000;
    int changes = 0;
    for (std::size_t i = first + 1; i < end && i * 2 < capture.size(); ++i)
        changes += (capture[i * 2] >= 0) != (capture[i * 2 - 2] >= 0);
    return changes * 1000.0 / (toMs - fromMs);
}

TEST_F(MovieTest, ShowsItsFramesInOrderAtTheirTimesWithItsSound) {
    Start();
    WriteMovie("clip.avi");
    const int graph = ApiLoadImageToGraph("clip.avi", 0);
    ASSERT_GT(graph, 0);
    EXPECT_EQ(Shown(graph), -1) << "a movie not yet played shows nothing";
    ASSERT_TRUE(PlatformAudioOutputOpen());
    PlatformStartAudioCapture();
    const DWORD start = timeGetTime();
    ASSERT_EQ(PlayGraphMovie(graph), 0);

    std::vector<int> seen(20, 0);
    int previous = 0;
    for (DWORD now = 0; now < 2400; now = timeGetTime() - start) {
        const int shown = Shown(graph);
        const DWORD after = timeGetTime() - start;
        SCOPED_TRACE(::testing::Message() << "at " << now << " ms");
        ASSERT_GE(shown, 0);
        // The newest frame due when the draw began, or one that came due
        // while it ran; never one ahead of its time, never one going back.
        EXPECT_GE(shown, DueAt(now) - 1);
        EXPECT_LE(shown, DueAt(after));
        EXPECT_GE(shown, previous);
        previous = shown;
        ++seen[static_cast<std::size_t>(shown)];
        Sleep(20);
    }
    for (int n = 0; n < 20; ++n) EXPECT_GT(seen[static_cast<std::size_t>(n)], 0) << "frame " << n << " never shown";
    // The stream has ended; the last frame stays.
    EXPECT_EQ(MovieOf(graph)->sampleRunning, 0);
    EXPECT_EQ(Shown(graph), 19);

    const std::vector<std::int16_t> capture = PlatformAudioCapture();
    const int rate = PlatformAudioOutputRate();
    EXPECT_LT(Loudness(capture, rate, 50, 950), 30) << "silence before the tone";
    EXPECT_GT(Loudness(capture, rate, 1050, 1950), 3000) << "the tone from frame 10";
    EXPECT_NEAR(Crossings(capture, rate, 1100, 1900), 2000, 60) << "a 1000 Hz tone";
    EXPECT_LT(Loudness(capture, rate, 2100, 2350), 30) << "silence after the end";
    EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
    EXPECT_EQ(CountOpenMovies(), 0);
}

// Picture and sound keep to the movie's one clock, which starts with the
// earlier of the two: a sound that starts later than the picture is heard
// after silence, a picture that starts later than the sound is shown at its
// time (the graphic keeps what it had, black, until then), each within
// 30 ms of where FFmpeg's start times put it; streams that start together
// start together.
TEST_F(MovieTest, PictureAndSoundKeepToOneClockWhenTheyStartApart) {
    Start();
    ASSERT_TRUE(PlatformAudioOutputOpen());
    const int rate = PlatformAudioOutputRate();
    struct Case {
        const char* name;
        int videoStartMs, soundStartMs;
    };
    const Case cases[] = {{"late-sound.mp4", 0, 1000}, {"late-picture.mp4", 520, 0}, {"together.mp4", 0, 0},
                          {"late-sound.webm", 0, 1000}, {"late-picture.webm", 520, 0}, {"together.webm", 0, 0},
                          {"late-sound.ogg", 0, 1000}, {"late-picture.ogg", 520, 0}, {"late-sound.mov", 0, 700}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestMovieSpec spec;
        spec.container = TestMovieContainerFor(c.name);
        spec.videoStartMs = c.videoStartMs;
        spec.soundStartMs = c.soundStartMs;
        spec.toneFromFrame = 0;
        WriteMovie(c.name, spec);
        const std::string path = (dir_.path() / c.name).string();
        const double video = ReferenceStartTime(path, true), sound = ReferenceStartTime(path, false);
        ASSERT_GE(video, 0);
        ASSERT_GE(sound, 0);
        const double origin = std::min(video, sound);
        // The tone begins as far into the decoded sound as the encoder's
        // priming: FFmpeg's own decode says how far.
        const std::vector<std::int16_t> reference = DecodeReferenceSound(path, rate);
        std::size_t lead = 0;
        while (lead * 2 < reference.size() && std::abs(reference[lead * 2]) < 2000) ++lead;
        const bool lossy = std::string(spec.container) != "mov";

        const int graph = ApiLoadImageToGraph(c.name, 0);
        ASSERT_GT(graph, 0);
        PlatformStartAudioCapture();
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        const DWORD start = timeGetTime();
        int firstPicture = -1;
        for (DWORD now = 0; now < 1600; now = timeGetTime() - start) {
            const int shown = Shown(graph, 20, lossy);
            if (shown >= 0 && firstPicture < 0) {
                firstPicture = static_cast<int>(now);
                EXPECT_EQ(shown, 0) << "the first picture first";
            }
            if (firstPicture < 0) {
                EXPECT_EQ(shown, -1) << "black before the first picture, at " << now << " ms";
            }
            Sleep(5);
        }
        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        PlatformStopAudioCapture();
        EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
        std::size_t heard = 0;
        while (heard * 2 < capture.size() && std::abs(capture[heard * 2]) < 2000) ++heard;
        ASSERT_LT(heard * 2, capture.size()) << "the sound is heard";
        EXPECT_NEAR((heard - lead) * 1000.0 / rate, (sound - origin) * 1000, 30) << "the sound's start";
        EXPECT_NEAR(firstPicture, (video - origin) * 1000, 30) << "the first picture's time";
    }
}

// A movie's sound plays to its last sample, each the same as FFmpeg's own
// decode resampled to the output's rate in stereo (`ffmpeg -ar 44100 -ac 2`
// of the file): the samples the resampler still holds when the stream ends
// (its filter's delay: 32 frames of a 22,050 Hz sound, 88 of an 8 kHz one)
// come out too, then silence. Raw sound in AVI at several rates and the
// lossy sound of the newer containers.
TEST_F(MovieTest, TheSoundPlaysToItsLastSampleAsFfmpegResamplesIt) {
    struct Case {
        const char* name;
        int rate;
        int channels;
    };
    const Case cases[] = {{"clip.avi", 8000, 1},   {"clip.avi", 22050, 1}, {"clip.avi", 22050, 2},
                          {"clip.avi", 44100, 1},  {"clip.mp4", 22050, 1}, {"clip.ogg", 22050, 2}};
    Start();
    ASSERT_TRUE(PlatformAudioOutputOpen());
    const int rate = PlatformAudioOutputRate();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " at " << c.rate << " Hz, " << c.channels << " channels");
        TestMovieSpec spec;
        spec.container = TestMovieContainerFor(c.name);
        spec.frames = 10;
        spec.soundRate = c.rate;
        spec.soundChannels = c.channels;
        spec.toneFromFrame = 0;
        WriteMovie(c.name, spec);
        const std::vector<std::int16_t> reference = DecodeReferenceSound((dir_.path() / c.name).string(), rate);
        ASSERT_GT(reference.size(), static_cast<std::size_t>(rate));

        const int graph = ApiLoadImageToGraph(c.name, 0);
        ASSERT_GT(graph, 0);
        PlatformStartAudioCapture();
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 1600) Shown(graph, 10), Sleep(20);
        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        PlatformStopAudioCapture();
        EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);

        // The sound starts where the capture first leaves silence, as the
        // reference does.
        const auto firstSound = [](const std::vector<std::int16_t>& samples) {
            std::size_t i = 0;
            while (i < samples.size() && samples[i] == 0) ++i;
            return i & ~std::size_t{1};
        };
        const std::size_t from = firstSound(reference);
        const std::size_t at = firstSound(capture);
        ASSERT_LT(at, capture.size());
        ASSERT_GE(capture.size() - at, reference.size() - from + static_cast<std::size_t>(rate) / 10)
            << "captured past the end";
        std::size_t differ = 0, lastDiffer = 0;
        for (std::size_t i = from; i < reference.size(); ++i)
            if (capture[at - from + i] != reference[i]) ++differ, lastDiffer = i;
        EXPECT_EQ(differ, 0u) << "the last differing sample is " << (reference.size() - lastDiffer) / 2
                              << " frames before the end";
        // The last 2 ms to the sample, then silence.
        const std::size_t tail = static_cast<std::size_t>(rate) / 500 * 2;
        EXPECT_TRUE(std::equal(reference.end() - tail, reference.end(), capture.begin() + (at - from + reference.size() - tail)));
        for (std::size_t i = at - from + reference.size(); i < at - from + reference.size() + rate / 20; ++i)
            ASSERT_EQ(capture[i], 0) << "silence after the end, sample " << i;
    }
}

// An MPEG-1 movie with MP2 sound whose frame headers were damaged so that
// every other one claims a single channel: the sound's resampler is set up
// again for each change, and picture and sound play to the end.
TEST_F(MovieTest, AnMpegMovieWhoseSoundChangesItsChannelsPlaysOn) {
    Start();
    TestMovieSpec spec;
    spec.container = "mpeg";
    spec.framesPerSecond = 25;
    spec.frames = 50;
    spec.soundRate = 32000;
    spec.soundChannels = 2;
    spec.toneFromFrame = 0;
    WriteMovie("clip.mpg", spec);
    std::string bytes = dir_.Read("clip.mpg");
    int damaged = 0, headers = 0;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
        // An MPEG-1 layer II header at 32 kHz.
        if (b(0) != 0xFF || (b(1) & 0xFE) != 0xFC || ((b(2) >> 2) & 3) != 2 || (b(2) >> 4) == 15) continue;
        if (headers++ % 2 == 1) bytes[i + 3] = static_cast<char>(b(3) | 0xC0), ++damaged;
    }
    ASSERT_GT(damaged, 10);
    dir_.Write("clip.mpg", bytes);

    const int graph = ApiLoadImageToGraph("clip.mpg", 0);
    ASSERT_GT(graph, 0);
    ASSERT_TRUE(PlatformAudioOutputOpen());
    PlatformStartAudioCapture();
    const DWORD start = timeGetTime();
    ASSERT_EQ(PlayGraphMovie(graph), 0);
    // The picture is lossy here: each drawn colour is matched to the frame
    // of the nearest colour.
    auto nearest = [](std::uint32_t rgb) { return NearestTestFrame(rgb, 50); };
    std::set<int> seen;
    // The pictures start 15 ms after the sound (the programme stream says
    // so): nothing is shown before.
    int previous = -1;
    while (timeGetTime() - start < 2300) {
        Background(0, 0, 0);
        ASSERT_EQ(ApiBlitGraph(100, 100, graph, 0), 0);
        const int shown = nearest(Present().Rgb(110, 110));
        frames.clear();
        if (shown < 0) {
            ASSERT_LT(timeGetTime() - start, 40u) << "a picture from its time on";
        }
        ASSERT_GE(shown, previous) << "frames in order";
        previous = shown;
        seen.insert(shown);
        Sleep(20);
    }
    EXPECT_GE(seen.size(), 40u) << "nearly every frame shown";
    EXPECT_EQ(previous, 49) << "the last frame stays";
    EXPECT_EQ(MovieOf(graph)->sampleRunning, 0) << "played to its end";
    const std::vector<std::int16_t> capture = PlatformAudioCapture();
    const int rate = PlatformAudioOutputRate();
    for (int from = 100; from < 1900; from += 300)
        EXPECT_GT(Loudness(capture, rate, from, from + 200), 1000) << "sound at " << from << " ms";
    EXPECT_NE(PlatformDebugOutput().find("movie sound: the decoder changed to 1 channels"), std::string::npos);
    EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
    EXPECT_EQ(CountOpenMovies(), 0);
}

// A sound whose header claims 2 samples a second (each frame would be
// resampled into minutes of sound): its frames are dropped, and the picture
// plays on in silence, through a seek and to its end.
TEST_F(MovieTest, ASoundAtAnImpossibleRateIsDroppedAndThePicturePlays) {
    Start();
    TestMovieSpec spec;
    spec.soundRate = 8000;
    spec.toneFromFrame = 0;
    WriteMovie("clip.avi", spec);
    std::string bytes = dir_.Read("clip.avi");
    const std::size_t format = bytes.find("auds");
    ASSERT_NE(format, std::string::npos);
    const std::size_t strf = bytes.find("strf", format);
    ASSERT_NE(strf, std::string::npos);
    bytes.replace(strf + 12, 4, std::string("\x02\0\0\0", 4));  // nSamplesPerSec
    dir_.Write("clip.avi", bytes);
    const int graph = ApiLoadImageToGraph("clip.avi", 0);
    ASSERT_GT(graph, 0);
    ASSERT_TRUE(PlatformAudioOutputOpen());
    PlatformStartAudioCapture();
    const DWORD start = timeGetTime();
    ASSERT_EQ(PlayGraphMovie(graph), 0);
    while (timeGetTime() - start < 1000) Shown(graph), Sleep(20);
    EXPECT_EQ(Shown(graph), 10);
    // No frame of the sound was ever resampled, so the sound has no
    // resampler: a seek and the end of the stream go on without one.
    ASSERT_EQ(MovieOf(graph)->stream->Seek(5000000), S_OK);
    EXPECT_EQ(Shown(graph), 5);
    const DWORD seeked = timeGetTime();
    while (timeGetTime() - seeked < 1600) Shown(graph), Sleep(20);
    EXPECT_EQ(Shown(graph), 19);
    EXPECT_EQ(MovieOf(graph)->sampleRunning, 0);
    EXPECT_LT(Loudness(PlatformAudioCapture(), PlatformAudioOutputRate(), 0, 2550), 30);
    EXPECT_NE(PlatformDebugOutput().find("movie sound: damaged frames are dropped"), std::string::npos);
    EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
}

// A movie graphic drawn before its first frame is black, whatever the
// memory it was given held before (here: graphics of its size in white,
// released just before).
TEST_F(MovieTest, ANewMovieGraphicStartsBlack) {
    Start();
    WriteMovie("clip.avi");
    for (int round = 0; round < 3; ++round) {
        std::vector<HandleId> white;
        for (int i = 0; i < 4; ++i) white.push_back(MakeGraph(32, 24, 1, [](int, int) { return 0xFFFF; }));
        for (HandleId g : white) ASSERT_EQ(ApiReleaseGraph(g, 0), 0);
        const int graph = ApiLoadImageToGraph("clip.avi", 0);
        ASSERT_GT(graph, 0);
        Background(0x40, 0x90, 0xC0);
        ASSERT_EQ(ApiBlitGraph(100, 100, graph, 0), 0);
        const PlatformFrame& f = Present();
        int black = 0;
        for (int y = 100; y < 124; ++y)
            for (int x = 100; x < 132; ++x) black += f.Raw(x, y) == 0;
        EXPECT_EQ(black, 32 * 24) << "round " << round;
        frames.clear();
        EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
    }
}

// A seek moves picture and sound together: the tone (from 1 s on) starts
// as far after the seek as the target lies before 1 s, or at once.
TEST_F(MovieTest, PictureAndSoundFollowASeek) {
    Start();
    WriteMovie("clip.avi");
    ASSERT_TRUE(PlatformAudioOutputOpen());
    const int rate = PlatformAudioOutputRate();
    for (const STREAM_TIME target : {STREAM_TIME{4000000}, STREAM_TIME{13000000}}) {
        SCOPED_TRACE(target);
        const int graph = ApiLoadImageToGraph("clip.avi", 0);
        ASSERT_GT(graph, 0);
        PlatformStartAudioCapture();
        const std::uint64_t captureStart = PlatformAudioFramesRendered();
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 300) Shown(graph), Sleep(20);
        const int seekMs = static_cast<int>((PlatformAudioFramesRendered() - captureStart) * 1000 / rate);
        ASSERT_EQ(MovieOf(graph)->stream->Seek(target), S_OK);
        EXPECT_EQ(Shown(graph), static_cast<int>(target / 1000000));
        const DWORD seeked = timeGetTime();
        while (timeGetTime() - seeked < 1000) Shown(graph), Sleep(20);
        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        const int onset = static_cast<int>(std::max<STREAM_TIME>(0, 10000000 - target) / 10000);
        EXPECT_LT(Loudness(capture, rate, 50, 280), 30) << "silence before the seek";
        if (onset > 40) {
            EXPECT_LT(Loudness(capture, rate, seekMs + 10, seekMs + onset - 30), 30) << "silence up to 1 s of the movie";
        }
        EXPECT_GT(Loudness(capture, rate, seekMs + onset + 30, seekMs + onset + 300), 3000) << "the tone from 1 s on";
        EXPECT_NEAR(Crossings(capture, rate, seekMs + onset + 30, seekMs + onset + 300), 2000, 80);
        PlatformStopAudioCapture();
        EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
    }
}

// Holding freezes the picture and the sound; playing goes on from there.
TEST_F(MovieTest, HoldFreezesPictureAndSoundAndPlayGoesOnFromThere) {
    struct Way {
        const char* name;
        int (*hold)(int graph);
        int (*play)(int graph);
    };
    const Way ways[] = {
        {"one graphic", [](int g) { return HoldGraphMovie(g); }, [](int g) { return PlayGraphMovie(g); }},
        {"the application switched away and back", [](int) { return HoldAllGraphMovies(); },
         [](int) { return PlayAllGraphMovies(); }},
    };
    Start();
    WriteMovie("clip.avi");
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const int graph = ApiLoadImageToGraph("clip.avi", 0);
        ASSERT_GT(graph, 0);
        PlatformStartAudioCapture();
        const DWORD start = timeGetTime();
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        while (timeGetTime() - start < 1300) Shown(graph), Sleep(20);
        const int held = Shown(graph);
        EXPECT_EQ(held, 13);
        ASSERT_EQ(way.hold(graph), 0);
        const DWORD holdStart = timeGetTime() - start;
        for (int i = 0; i < 10; ++i, Sleep(100)) EXPECT_EQ(Shown(graph), held);
        const DWORD holdEnd = timeGetTime() - start;
        ASSERT_EQ(way.play(graph), 0);
        Sleep(150);
        const int resumed = Shown(graph);
        EXPECT_GE(resumed, held);
        EXPECT_LE(resumed, held + 2);

        const std::vector<std::int16_t> capture = PlatformAudioCapture();
        const int rate = PlatformAudioOutputRate();
        EXPECT_GT(Loudness(capture, rate, 1100, 1250), 3000);
        EXPECT_LT(Loudness(capture, rate, static_cast<int>(holdStart) + 30, static_cast<int>(holdEnd) - 10), 30)
            << "silent while held";
        EXPECT_GT(Loudness(capture, rate, static_cast<int>(holdEnd) + 30, static_cast<int>(holdEnd) + 140), 3000)
            << "the tone again";
        PlatformStopAudioCapture();
        EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
    }
}

// After the display device is lost and rebuilt, a movie opens again at the
// time where it stood and goes on; one from an archive opens again from its
// temporary copy, which is deleted when the movie is closed.
TEST_F(MovieTest, OpensAgainWhereItStoodAfterTheDeviceIsLost) {
    struct Case {
        const char* name;
        bool archived;
        bool releasedFirst;  // as the window does on a display change
    };
    const Case cases[] = {{"plain, device lost", false, false},
                          {"plain, display changed", false, true},
                          {"archived, device lost", true, false},
                          {"archived, display changed", true, true}};
    Start();
    WriteMovie("clip.avi");
    {
        ArchiveBuilder builder;
        ASSERT_TRUE(builder.AddFile("clip.avi", [&] {
            const std::string bytes = dir_.Read("clip.avi");
            return std::vector<unsigned char>(bytes.begin(), bytes.end());
        }()));
        std::vector<unsigned char> archive;
        ASSERT_TRUE(builder.Build(ArchivePackOptions{}, &archive));
        dir_.Write("mv.KVA", std::string(archive.begin(), archive.end()));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int graph = ApiLoadImageToGraph(c.archived ? "mv\\clip.avi" : "clip.avi", 0);
        ASSERT_GT(graph, 0);
        EXPECT_EQ(MovieOf(graph)->tempFileMade, c.archived ? 1 : 0);
        EXPECT_EQ(TempFileCount(), c.archived ? 1 : 0);
        const DWORD start = timeGetTime();
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        while (timeGetTime() - start < 700) Shown(graph), Sleep(20);
        const int before = Shown(graph);
        EXPECT_EQ(before, 7);

        if (c.releasedFirst) {
            ASSERT_EQ(ReleaseAllMovieObjects(), 0);
        }
        PlatformDisplayLoseExclusive();
        PlatformDisplayRegainExclusive();
        ASSERT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);
        ASSERT_NE(MovieOf(graph), nullptr);
        ASSERT_NE(MovieOf(graph)->stream, nullptr) << "opened again";
        const int after = Shown(graph);
        EXPECT_GE(after, before);
        EXPECT_LE(after, before + 1);
        const DWORD resumed = timeGetTime();
        while (timeGetTime() - resumed < 1500) Shown(graph), Sleep(20);
        EXPECT_EQ(Shown(graph), 19) << "played on to the end";
        EXPECT_EQ(TempFileCount(), c.archived ? 1 : 0);
        EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
        EXPECT_EQ(TempFileCount(), 0) << "the temporary copy goes with the movie";
    }
}

// A part graphic shows its parent's movie; releasing either leaves the movie
// to the other.
TEST_F(MovieTest, PartGraphicsShareTheMovieUntilTheLastIsReleased) {
    Start();
    WriteMovie("clip.avi");
    for (const bool partFirst : {false, true}) {
        SCOPED_TRACE(partFirst ? "part released first" : "parent released first");
        const int graph = ApiLoadImageToGraph("clip.avi", 0);
        ASSERT_GT(graph, 0);
        const int part = MakePartGraph(0, 0, 16, 12, graph);
        ASSERT_GT(part, 0);
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        EXPECT_EQ(ApiReleaseGraph(partFirst ? part : graph, 0), 0);
        const int kept = partFirst ? graph : part;
        EXPECT_EQ(CountOpenMovies(), 1);
        const int early = Shown(kept);
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 500) Shown(kept), Sleep(20);
        EXPECT_GT(Shown(kept), early) << "the movie still plays in the one left";
        EXPECT_EQ(ApiReleaseGraph(kept, 0), 0);
        EXPECT_EQ(CountOpenMovies(), 0);
    }
}

// Files that are no movie, playlists and movies in containers not played
// here fail the load with its log lines, leaving no movie open and no
// temporary copy behind, whether plain or inside an archive.
TEST_F(MovieTest, FilesThatAreNoMovieFailCleanly) {
    std::mt19937 random(7);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    Start();
    // A real movie in a container that is not played here.
    TestMovieSpec spec;
    spec.container = "nut";
    spec.frames = 2;
    WriteMovie("clip.nut", spec);
    WriteMovie("clip.avi");
    const std::pair<const char*, std::string> files[] = {
        {"notes.txt", "no picture in here"},
        {"noise.avi", noise},
        {"empty.avi", ""},
        {"riff.avi", std::string("RIFF\x10\0\0\0AVI LIST\x04\0\0\0hdrl", 24)},
        // Playlists: one naming itself (which would be opened for ever),
        // one naming a movie beside it.
        {"loop.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nloop.m3u8\n"},
        {"loop.ffconcat", "ffconcat version 1.0\nfile loop.ffconcat\n"},
        {"list.m3u8", "#EXTM3U\n#EXTINF:2,\nclip.avi\n#EXT-X-ENDLIST\n"},
        {"clip.nut", dir_.Read("clip.nut")},
    };
    ArchiveBuilder builder;
    for (const auto& [name, bytes] : files) {
        dir_.Write(name, bytes);
        ASSERT_TRUE(builder.AddFile(name, std::vector<unsigned char>(bytes.begin(), bytes.end())));
    }
    std::vector<unsigned char> archive;
    ASSERT_TRUE(builder.Build(ArchivePackOptions{}, &archive));
    dir_.Write("bad.KVA", std::string(archive.begin(), archive.end()));
    // The archive, once opened by a load through it, stays open; past that
    // a failed load leaves no tracked block behind (no movie record).
    EXPECT_EQ(ApiLoadImageToGraph("bad\\notes.txt", 0), -1);
    const int blocks = g_MemoryTracker.count;
    for (const auto& [name, bytes] : files) {
        for (const std::string& path : {std::string(name), std::string("bad\\") + name}) {
            SCOPED_TRACE(path);
            EXPECT_EQ(ApiLoadImageToGraph(path.c_str(), 0), -1);
            EXPECT_GE(FindLine("右記のグラフィックファイルのロードに失敗しました：" + path), 0);
            EXPECT_EQ(CountOpenMovies(), 0);
            EXPECT_EQ(TempFileCount(), 0);
            EXPECT_EQ(g_MemoryTracker.count, blocks) << "the movie's record is freed";
        }
    }
    EXPECT_GE(FindLine("ムービーファイルオープン処理時にエラーが発生しました"), 0);
    EXPECT_NE(PlatformDebugOutput().find("movie: "), std::string::npos);
}

// A named pipe (or a link to one), a folder and a kernel file that stat
// calls plain but whose reads may wait (/proc/kmsg waits for the next kernel
// message), under a movie's or an image's name, handed to the loaders are
// refused at their open as a missing file is, at once: the graphic load
// (its image loaders, then the movie) and the sound load fail without
// reading a byte, nothing waits, and a movie beside them still loads.
TEST_F(MovieTest, PipesFoldersAndKernelFilesAreRefusedByEveryLoaderAtOnce) {
    Start();
    WriteMovie("clip.avi");
    PipeWatch watch({(dir_.path() / "pipe.avi").string(), (dir_.path() / "pipe.wav").string()});
    ASSERT_TRUE(watch.Made());
    std::filesystem::create_symlink(dir_.path() / "pipe.avi", dir_.path() / "link.avi");
    std::filesystem::create_directories(dir_.path() / "folder.avi");
    std::filesystem::create_symlink("/proc/kmsg", dir_.path() / "x.mp4");
    std::filesystem::create_symlink("/proc/version", dir_.path() / "x.png");
    {
        HangWatch hang(60, "a loader waited on a pipe or a kernel file");
        for (const std::string name : {"pipe.avi", "pipe.wav", "link.avi", "folder.avi", "missing.avi", "x.mp4", "x.png"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ApiLoadImageToGraph(name.c_str(), 0), -1);
            EXPECT_GE(FindLine("グラフィックファイル " + name + " がありません"), 0) << "refused at its open";
            EXPECT_EQ(ApiLoadSoundFile(name.c_str(), 1, -1), -1);
            EXPECT_GE(FindLine("右記のファイルのオープンに失敗しました：" + name), 0) << "refused at its open";
            EXPECT_EQ(CountOpenMovies(), 0);
            EXPECT_EQ(TempFileCount(), 0);
        }
    }
    EXPECT_FALSE(watch.Waited()) << "a loader waited on the pipe";
    const int graph = ApiLoadImageToGraph("clip.avi", 0);
    EXPECT_NE(graph, -1);
    EXPECT_EQ(ApiReleaseGraph(graph, 0), 0);
}

// Handles of the movie table: type 0x18000000, the check number from the
// table's counter, the lowest free slot, and at most 100 open.
TEST_F(MovieTest, TheMovieTableHandsOutHundredHandles) {
    Start();
    TestMovieSpec spec;
    spec.frames = 2;
    spec.soundRate = 0;
    WriteMovie("tiny.avi", spec);
    std::vector<HandleId> handles;
    const unsigned firstCheck = g_MovieTable.Counter().Peek();
    // Each open movie holds one tracked block, its record; closing frees it.
    const int blocks = g_MemoryTracker.count;
    const std::int64_t bytes = g_MemoryTracker.totalSize;
    for (int i = 0; i < 100; ++i) {
        int w = 0, h = 0;
        const HandleId handle = OpenMovieToGraph("tiny.avi", &w, &h, 0);
        const unsigned check = (firstCheck + static_cast<unsigned>(i)) % 2048;
        ASSERT_EQ(handle, static_cast<HandleId>(0x18000000u | (check << 16) | static_cast<unsigned>(i)));
        ASSERT_EQ(w, 32);
        ASSERT_EQ(h, 24);
        handles.push_back(handle);
    }
    EXPECT_EQ(g_MemoryTracker.count, blocks + 100);
    EXPECT_EQ(g_MemoryTracker.totalSize, bytes + 100 * static_cast<std::int64_t>(sizeof(MovieRecord)));
    EXPECT_EQ(OpenMovieToGraph("tiny.avi", nullptr, nullptr, 0), -1) << "the table is full";
    EXPECT_EQ(g_MemoryTracker.count, blocks + 100);
    EXPECT_EQ(CloseMovie(handles[40]), 0);
    EXPECT_EQ(g_MemoryTracker.count, blocks + 99) << "the closed movie's record is freed";
    EXPECT_EQ(CloseMovie(handles[40]), -1) << "a closed handle is refused";
    EXPECT_EQ(LookupMovie(handles[40]), nullptr);
    const HandleId reused = OpenMovieToGraph("tiny.avi", nullptr, nullptr, 0);
    EXPECT_EQ(reused, static_cast<HandleId>(0x18000000u | (((firstCheck + 100) % 2048) << 16) | 40u))
        << "the lowest free slot, a new check";
    handles[40] = reused;
    for (HandleId handle : handles) EXPECT_EQ(CloseMovie(handle), 0);
    EXPECT_EQ(CountOpenMovies(), 0);
    EXPECT_EQ(g_MemoryTracker.count, blocks);
    EXPECT_EQ(g_MemoryTracker.totalSize, bytes);
}

}  // namespace
}  // namespace movie_test
