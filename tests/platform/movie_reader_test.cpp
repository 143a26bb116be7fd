// The movie reader on files made to cost what no movie should: parameter
// sets claiming frames of 64 megapixels in a file of kilobytes, in the
// decoder configuration or in the stream itself, pictures whose references
// could not fit, edit lists of thousands of edits or of edits that each
// force a long decode. Each is read in a child process of its own, whose
// memory is measured and which is stopped if it runs on; the ordinary edit
// lists of real files keep their timing.
#include <fcntl.h>
#include <time.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "dshow/media_reader.h"
#include "dshow/quicktime_index.h"
#include "movie_boxes.h"
#include "movie_writer.h"
#include "support/child_run.h"
#include "support/temp_dir.h"

namespace {

// A 2-second MP4 movie (H.264 and AAC) at 25 frames a second.
std::string SmallMp4(const TempDir& dir) {
    TestMovieSpec spec;
    spec.container = "mp4";
    spec.frames = 50;
    spec.framesPerSecond = 25;
    return WriteTestMovie(dir.str() + "/plain.mp4", spec) ? dir.Read("plain.mp4") : std::string();
}

using EditsOf = std::function<std::vector<Mp4Edit>(const Mp4Track&)>;

EditsOf Repeated(int count, const std::function<Mp4Edit(const Mp4Track&, int)>& edit) {
    return [=](const Mp4Track& track) {
        std::vector<Mp4Edit> edits;
        for (int i = 0; i < count; ++i) edits.push_back(edit(track, i));
        return edits;
    };
}

QuickTimeIndexFacts IndexFacts(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const QuickTimeIndexFacts facts = ReadQuickTimeIndexFacts(fd);
    ::close(fd);
    return facts;
}

// The picture of `path` opened and its first frame decoded: 1 when both
// came, 0 when the file was refused, -1 when no frame came.
int OpenAndTakeAFrame(const std::string& path) {
    const auto budget = std::make_shared<MovieBudget>(path);
    const MovieBudget::Step step(*budget, MovieBudget::StepKind::Open);
    MediaReader reader;
    if (!reader.Open(path, MediaKind::Video, budget)) return 0;
    return reader.Next() != nullptr ? 1 : -1;
}

// The same picture (H.264 with its parameter sets in the stream) in an MPEG
// programme stream, whose demuxer finds its streams only as it reads, or in
// an AVI file.
std::string InBandH264(const TempDir& dir, const char* container) {
    TestMovieSpec spec;
    spec.container = container;
    spec.videoEncoder = "libx264";
    spec.framesPerSecond = 25;
    spec.frames = 10;
    spec.soundRate = 0;
    const std::string name = std::string("in-band.") + (std::string(container) == "mpeg" ? "mpg" : container);
    return WriteTestMovie(dir.str() + "/" + name, spec) ? dir.Read(name) : std::string();
}

// Each file is read within the time a movie takes to open (here: far
// within a guard of 20 seconds of processor time, where the demuxer
// following them took minutes) and 80 MB of memory over the reader's own,
// where following them took hundreds of megabytes. Parameter sets claiming
// more than the limits, wherever they lie, and pictures whose references
// could not fit in the bytes a movie's pictures may take are refused before
// a picture of them is made; long edit lists are not followed (of either
// version), and the movie plays.
TEST(MovieReader, HostileFilesAreReadWithBoundedWorkAndMemory) {
    TempDir dir;
    const std::string plain = SmallMp4(dir);
    ASSERT_FALSE(plain.empty());
    const std::string programme = InBandH264(dir, "mpeg"), avi = InBandH264(dir, "avi");
    ASSERT_FALSE(programme.empty());
    ASSERT_FALSE(avi.empty());
    struct Case {
        const char* name;
        std::function<bool(std::string*)> edit;
        int expected;
        const std::string* base = nullptr;  // the MP4 movie when null
    };
    const std::string claim = H264SequenceParameterSet(8192, 8192, 3, 10);
    const Case cases[] = {
        {"an MPEG programme stream whose parameter sets claim 8192 x 8192",
         [&](std::string* file) { return SetInBandH264Sps(file, claim); }, 0, &programme},
        {"an AVI file whose parameter sets claim 8192 x 8192",
         [&](std::string* file) { return SetInBandH264Sps(file, claim); }, 0, &avi},
        {"claims 4096 x 4096 4:4:4 10-bit with 16 references in 64 KB",
         [](std::string* file) {
             // Padded so that the size is not beyond what the file could code.
             const bool set = SetMp4H264Sps(file, H264SequenceParameterSet(4096, 4096, 3, 10, 16));
             file->append(std::string("\0\1\0\0free", 8) + std::string(65536 - 8, '\0'));
             return set;
         },
         0},
        {"claims 8192 x 8192 4:4:4 10-bit",
         [](std::string* file) { return SetMp4H264Sps(file, H264SequenceParameterSet(8192, 8192, 3, 10)); }, 0},
        {"claims 15360 x 15360 4:4:4 10-bit",
         [](std::string* file) { return SetMp4H264Sps(file, H264SequenceParameterSet(15360, 15360, 3, 10)); }, 0},
        {"10,000 one-tick edits",
         [](std::string* file) {
             return SetMp4EditLists(file, Repeated(10000, [](const Mp4Track&, int i) {
                                        return Mp4Edit{1, i % 1000};
                                    }));
         },
         1},
        {"50,000 edits of the whole track",
         [](std::string* file) {
             return SetMp4EditLists(file, Repeated(50000, [](const Mp4Track& track, int) {
                                        return Mp4Edit{track.duration, 0};
                                    }));
         },
         1},
        {"50,000 edits of the whole track in lists of 64-bit entries",
         [](std::string* file) {
             return SetMp4EditLists(
                 file, Repeated(50000, [](const Mp4Track& track, int) { return Mp4Edit{track.duration, 0}; }), 1);
         },
         1},
    };
    // The reader's own cost, on the file as it was written.
    const std::string path = dir.str() + "/movie.mp4";
    dir.Write("movie.mp4", plain);
    const ChildRun ordinary = RunInChild(20, [&] { return OpenAndTakeAFrame(path); });
    ASSERT_TRUE(ordinary.finished);
    ASSERT_EQ(ordinary.result, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = c.base != nullptr ? *c.base : plain;
        ASSERT_TRUE(c.edit(&bytes));
        dir.Write("movie.mp4", bytes);
        const ChildRun run = RunInChild(20, [&] { return OpenAndTakeAFrame(path); });
        ASSERT_TRUE(run.finished) << "still reading after 20 s of processor time";
        EXPECT_EQ(run.result, c.expected);
        EXPECT_LT(run.growthKb, ordinary.growthKb + 80 * 1024);
    }
}

// The edit lists of real files are followed to the tick: an empty edit
// before the picture delays it, as far as the list says, however many
// empty edits make up the delay up to the most a list may have. A list of
// one edit more is not followed at all: the picture starts with the movie.
// The file's index tells which (and a chance "elst" in other data with an
// entry count its box could not hold counts for nothing).
TEST(MovieReader, OrdinaryEditListsAreFollowedAndLongOnesAreNot) {
    TempDir dir;
    const std::string plain = SmallMp4(dir);
    ASSERT_FALSE(plain.empty());
    const std::string path = dir.str() + "/movie.mp4";
    for (const auto& [edits, version] : {std::pair{2, 0}, std::pair{16, 0}, std::pair{17, 0}, std::pair{16, 1}, std::pair{17, 1}}) {
        SCOPED_TRACE(::testing::Message() << edits << " edits in a list of version " << version);
        std::string bytes = plain;
        // Empty edits of 0.1 s before the picture's own list (its start
        // past the encoder's reordering delay); the sound keeps its own.
        ASSERT_TRUE(SetMp4EditLists(&bytes, [&](const Mp4Track& track) {
            std::vector<Mp4Edit> list = track.original;
            if (!track.picture) return list;
            while (list.size() < static_cast<std::size_t>(edits)) list.insert(list.begin(), {track.movieScale / 10, -1});
            return list;
        }, version));
        dir.Write("movie.mp4", bytes);
        const bool followed = edits <= static_cast<int>(kMaxEditListEntries);
        EXPECT_EQ(IndexFacts(path).longEditList, !followed);
        const auto budget = std::make_shared<MovieBudget>(path);
        const MovieBudget::Step step(*budget, MovieBudget::StepKind::Open);
        MediaReader reader;
        ASSERT_TRUE(reader.Open(path, MediaKind::Video, budget));
        ASSERT_NE(reader.Next(), nullptr);
        const LONGLONG first = reader.FrameTime();
        if (followed) {
            EXPECT_EQ(first, (edits - 1) * LONGLONG{1000000});
        } else {
            EXPECT_LT(first, 2000000) << "no delay";
        }
        for (int n = 1; n < 50; ++n) {
            ASSERT_NE(reader.Next(), nullptr) << "frame " << n;
            EXPECT_EQ(reader.FrameTime(), first + n * 400000) << "frame " << n;
        }
        EXPECT_EQ(reader.Next(), nullptr);
    }
    // An edit that starts far from the key frame before it forces every
    // sample between through the decoder: one that starts 3,001 samples
    // after it is not followed, one that starts 100 after it is.
    {
        TestMovieSpec spec;
        spec.container = "mp4";
        spec.width = 16;
        spec.height = 16;
        spec.frames = 3100;
        spec.framesPerSecond = 25;
        spec.keyFrameEvery = 3100;
        spec.soundRate = 0;
        const std::string longGroup = dir.str() + "/group.mp4";
        ASSERT_TRUE(WriteTestMovie(longGroup, spec));
        const std::string group = dir.Read("group.mp4");
        for (const auto& [start, version] : {std::pair{100, 0}, std::pair{3001, 0}, std::pair{100, 1}, std::pair{3001, 1}}) {
            SCOPED_TRACE(::testing::Message() << "an edit from sample " << start << " in a list of version " << version);
            std::string bytes = group;
            ASSERT_TRUE(SetMp4EditLists(&bytes, [&](const Mp4Track& track) {
                const std::int32_t frame = static_cast<std::int32_t>(track.mediaScale / 25);
                return std::vector<Mp4Edit>{{track.movieScale, start * frame}};
            }, version));
            dir.Write("group.mp4", bytes);
            const QuickTimeIndexFacts facts = IndexFacts(longGroup);
            EXPECT_FALSE(facts.longEditList);
            EXPECT_EQ(facts.editsFarFromKeyFrames, start > static_cast<int>(kMaxForcedSamples));
        }
    }
    // An "elst" of 4,096 entries inside the media data, and one in the
    // index with more entries than its box holds: neither is an edit list.
    std::string bytes = plain;
    const std::string media("\0\0\xC0\x10" "elst\0\0\0\0\0\0\x10\0", 16);
    bytes.replace(bytes.find("mdat") + 100, media.size(), media);
    const std::string index("\0\0\0\x20" "elst\0\0\0\0\0\0\x10\0", 16);
    bytes.replace(bytes.find("udta") + 8, index.size(), index);
    dir.Write("movie.mp4", bytes);
    EXPECT_FALSE(IndexFacts(path).longEditList);
}

// Work that hands out no picture: a movie of 2,000 frames whose times jump
// beyond any real stream's from its third frame (the reader decodes each and
// drops it). Each step has a budget of processor time (here 30 ms), and the
// whole movie the open's and 1 ms for each picture it made: the movie ends
// where it stands when it runs out, however long its steps may be, at a
// cost not far past its budget, and what it played stays played.
TEST(MovieReader, EveryStepEndsWithinItsProcessorTime) {
    TempDir dir;
    const std::string path = dir.str() + "/movie.webm";
    {
        TestMovieSpec spec;
        spec.container = "webm";
        spec.width = 160;
        spec.height = 120;
        spec.frames = 2000;
        spec.framesPerSecond = 25;
        spec.soundRate = 0;
        spec.jumpFromFrame = 2;
        spec.jumpSeconds = 1000000000000;
        ASSERT_TRUE(WriteTestMovie(path, spec));
    }
    const auto threadSeconds = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
    };
    MovieBudget::Limits limits;
    limits.openNanoseconds = limits.stepNanoseconds = 30'000'000;
    limits.nanosecondsPerPicture = 1'000'000;
    limits.nanosecondsPerPixel = 0;

    // Played in 16 steps, whose own time is short, then long: the whole
    // movie's time runs out either way.
    for (const std::int64_t stepNanoseconds : {std::int64_t{30'000'000}, std::int64_t{10'000'000'000}}) {
        SCOPED_TRACE(::testing::Message() << "steps of " << stepNanoseconds / 1000000 << " ms");
        limits.stepNanoseconds = stepNanoseconds;
        const auto budget = std::make_shared<MovieBudget>(path, limits);
        MediaReader reader;
        {
            const MovieBudget::Step step(*budget, MovieBudget::StepKind::Open);
            ASSERT_TRUE(reader.Open(path, MediaKind::Video, budget));
        }
        int frames = 0;
        const double start = threadSeconds();
        for (int update = 0; update < 16; ++update) {
            const MovieBudget::Step step(*budget, MovieBudget::StepKind::Later);
            if (reader.Next() != nullptr) ++frames;
        }
        EXPECT_EQ(frames, 2) << "the frames before the jump play";
        EXPECT_TRUE(budget->Spent());
        EXPECT_LT(threadSeconds() - start, 0.2);
    }
}

}  // namespace
