// The movie reader on files made to cost what no movie should: parameter
// sets claiming frames of 64 megapixels in a file of kilobytes, edit lists of
// thousands of edits. Each is read in a child process of its own, whose
// memory is measured and which is stopped if it runs on; the ordinary edit
// lists of real files keep their timing.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "dshow/h264_parameters.h"
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

// The picture of `path` opened and its first frame decoded: 1 when both
// came, 0 when the file was refused, -1 when no frame came.
int OpenAndTakeAFrame(const std::string& path) {
    MediaReader reader;
    if (!reader.Open(path, MediaKind::Video)) return 0;
    return reader.Next() != nullptr ? 1 : -1;
}

// The decoder configuration of an MP4 file's picture, as the demuxer gives it.
std::string DecoderConfiguration(const std::string& path) {
    AVFormatContext* format = nullptr;
    std::string out;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* stream = format->streams[i]->codecpar;
        if (stream->codec_type == AVMEDIA_TYPE_VIDEO && stream->extradata != nullptr)
            out.assign(reinterpret_cast<const char*>(stream->extradata), static_cast<std::size_t>(stream->extradata_size));
    }
    avformat_close_input(&format);
    return out;
}

// The size an H.264 stream claims, read from its parameter sets as the
// encoder wrote them (sizes that are no whole number of blocks are coded
// larger and cut), as a decoder configuration record and after start codes;
// a parameter set cut short claims nothing.
TEST(MovieReader, TheClaimedSizeIsReadFromTheParameterSets) {
    TempDir dir;
    const std::string path = dir.str() + "/clip.mp4";
    for (const auto& [width, height] : {std::pair{40, 30}, std::pair{352, 288}, std::pair{18, 10}, std::pair{1000, 2}}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        TestMovieSpec spec;
        spec.container = "mp4";
        spec.frames = 2;
        spec.width = width;
        spec.height = height;
        ASSERT_TRUE(WriteTestMovie(path, spec));
        const std::string record = DecoderConfiguration(path);
        int w = 0, h = 0;
        ASSERT_TRUE(H264ClaimedSize(reinterpret_cast<const std::uint8_t*>(record.data()), record.size(), &w, &h));
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
    for (const auto& [width, height] : {std::pair{8192, 8192}, std::pair{4096, 2304}, std::pair{16, 16}}) {
        const std::string sps = H264SequenceParameterSet(width, height, 3, 10);
        const std::string annexB = std::string("\0\0\0\1\x68\xEE", 6) + std::string("\0\0\1", 3) + sps;
        int w = 0, h = 0;
        ASSERT_TRUE(H264ClaimedSize(reinterpret_cast<const std::uint8_t*>(annexB.data()), annexB.size(), &w, &h));
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        for (std::size_t cut = 0; cut + 1 < sps.size(); ++cut) {
            const std::string shorter = std::string("\0\0\1", 3) + sps.substr(0, cut);
            EXPECT_FALSE(H264ClaimedSize(reinterpret_cast<const std::uint8_t*>(shorter.data()), shorter.size(), &w, &h))
                << "cut to " << cut;
        }
    }
}

// Each file is read within the time a movie takes to open (here: far
// within a guard of 20 seconds of processor time, where the demuxer
// following them took minutes) and 80 MB of memory over the reader's own,
// where following them took hundreds of megabytes. Parameter sets claiming more than the limits
// are refused; long edit lists are not followed, and the movie plays.
TEST(MovieReader, HostileIndexesAreReadWithBoundedWork) {
    TempDir dir;
    const std::string plain = SmallMp4(dir);
    ASSERT_FALSE(plain.empty());
    struct Case {
        const char* name;
        std::function<bool(std::string*)> edit;
        int expected;
    };
    const Case cases[] = {
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
    };
    // The reader's own cost, on the file as it was written.
    const std::string path = dir.str() + "/movie.mp4";
    dir.Write("movie.mp4", plain);
    const ChildRun ordinary = RunInChild(20, [&] { return OpenAndTakeAFrame(path); });
    ASSERT_TRUE(ordinary.finished);
    ASSERT_EQ(ordinary.result, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = plain;
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
    for (const int edits : {2, 16, 17}) {
        SCOPED_TRACE(::testing::Message() << edits << " edits");
        std::string bytes = plain;
        // Empty edits of 0.1 s before the picture's own list (its start
        // past the encoder's reordering delay); the sound keeps its own.
        ASSERT_TRUE(SetMp4EditLists(&bytes, [&](const Mp4Track& track) {
            std::vector<Mp4Edit> list = track.original;
            if (!track.picture) return list;
            while (list.size() < static_cast<std::size_t>(edits)) list.insert(list.begin(), {track.movieScale / 10, -1});
            return list;
        }));
        dir.Write("movie.mp4", bytes);
        const bool followed = edits <= static_cast<int>(kMaxEditListEntries);
        EXPECT_EQ(ReadQuickTimeIndexFacts(path).longEditList, !followed);
        MediaReader reader;
        ASSERT_TRUE(reader.Open(path, MediaKind::Video));
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
    // An "elst" of 4,096 entries inside the media data, and one in the
    // index with more entries than its box holds: neither is an edit list.
    std::string bytes = plain;
    const std::string media("\0\0\xC0\x10" "elst\0\0\0\0\0\0\x10\0", 16);
    bytes.replace(bytes.find("mdat") + 100, media.size(), media);
    const std::string index("\0\0\0\x20" "elst\0\0\0\0\0\0\x10\0", 16);
    bytes.replace(bytes.find("udta") + 8, index.size(), index);
    dir.Write("movie.mp4", bytes);
    EXPECT_FALSE(ReadQuickTimeIndexFacts(path).longEditList);
}

}  // namespace
