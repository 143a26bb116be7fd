// A headless screen with test movies written beside the framework: a movie
// is loaded into a graphic, drawn at a fixed place and presented, and the
// frame it showed is read back from the drawn colour.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/graphics/draw/draw_ops_fixture.h"
#include "graphics/movie/movie.h"
#include "graphics/movie/movie_record.h"
#include "movie_writer.h"
#include "platform/kernel.h"

namespace movie_test {

// The frame of a lossy test movie whose colour lies nearest this one, or -1
// when none lies within 12 steps a channel.
inline int NearestTestFrame(std::uint32_t rgb, int frames) {
    int best = -1, bestDistance = 1 << 30;
    for (int n = 0; n < frames; ++n) {
        const FrameColour c = TestMovieFrameColour(n);
        const int dr = c.r - static_cast<int>(rgb >> 16), dg = c.g - static_cast<int>((rgb >> 8) & 0xFF),
                  db = c.b - static_cast<int>(rgb & 0xFF);
        if (dr * dr + dg * dg + db * db < bestDistance) best = n, bestDistance = dr * dr + dg * dg + db * db;
    }
    return bestDistance <= 3 * 12 * 12 ? best : -1;
}

class MovieTest : public draw_test::DrawOpsTest {
protected:
    void SetUp() override {
        DrawOpsTest::SetUp();
        // Temporary copies go where the test can count them.
        const char* saved = std::getenv("TMPDIR");
        savedTmp_ = saved != nullptr ? saved : "";
        hadTmp_ = saved != nullptr;
        std::filesystem::create_directories(dir_.path() / "tmp");
        setenv("TMPDIR", (dir_.path() / "tmp").c_str(), 1);
    }
    void TearDown() override {
        DrawOpsTest::TearDown();
        if (hadTmp_) setenv("TMPDIR", savedTmp_.c_str(), 1);
        else unsetenv("TMPDIR");
    }

    void WriteMovie(const std::string& name, const TestMovieSpec& spec = {}) {
        std::filesystem::create_directories((dir_.path() / name).parent_path());
        ASSERT_TRUE(WriteTestMovie((dir_.path() / name).string(), spec));
    }

    int TempFileCount() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / "tmp")) count += entry.is_regular_file();
        return count;
    }

    MovieRecord* MovieOf(int graph) {
        const GraphRecord* record = LookupGraph(graph);
        return record != nullptr ? LookupMovie(record->movieHandle) : nullptr;
    }

    // Draws the graphic at (100, 100) over a black screen, presents, and
    // answers which frame it shows (-1: none of the movie's colours; of a
    // lossy movie, none near).
    int Shown(int graph, int movieFrames = 64, bool lossy = false) {
        Background(0, 0, 0);
        EXPECT_EQ(ApiBlitGraph(100, 100, graph, 0), 0);
        const PlatformFrame& f = Present();
        const std::uint32_t rgb = f.Rgb(110, 110);
        const int shown =
            lossy ? NearestTestFrame(rgb, movieFrames)
                  : TestMovieFrameOf(FrameColour{static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                                                 static_cast<int>(rgb & 0xFF)},
                                     movieFrames);
        frames.clear();
        return shown;
    }

    std::string savedTmp_;
    bool hadTmp_ = false;
};

}  // namespace movie_test
