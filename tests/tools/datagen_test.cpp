// The stand-in data set: every file the game reads exists with the format,
// size and piece grid the game cuts it into.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "art.h"
#include "sound.h"
#include "support/temp_dir.h"

namespace {

struct BmpInfo {
    bool ok = false;
    int width = 0, height = 0, bits = 0, compression = -1;
    std::uint32_t fileSize = 0, dataOffset = 0;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

BmpInfo ParseBmp(const std::vector<std::uint8_t>& b) {
    BmpInfo info;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return info;
    info.fileSize = Le32(b, 2);
    info.dataOffset = Le32(b, 10);
    info.width = static_cast<int>(Le32(b, 18));
    info.height = static_cast<int>(Le32(b, 22));
    info.bits = b[28] | (b[29] << 8);
    info.compression = static_cast<int>(Le32(b, 30));
    info.ok = info.fileSize == b.size();
    return info;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Expected {
    const char* file;
    int width, height;
};

// Full grid sizes: columns x piece width by rows x piece height.
constexpr Expected kStartupImages[] = {
    {"rukbmp/rukall.bmp", 12 * 128, 12 * 128},   {"rukbmp/suball.bmp", 256, 256},
    {"rukbmp/serifu.bmp", 256, 256},             {"rukbmp/fire.bmp", 32, 128},
    {"rukbmp/gass.bmp", 128, 64},                {"rukbmp/algall.bmp", 768, 384},
    {"rukbmp/tyonn3all.bmp", 768, 384},          {"rukbmp/juujiall.bmp", 384, 256},
    {"rukbmp/ball.bmp", 512, 256},               {"bmp/water.bmp", 640, 480},
    {"rukbmp/algruk.bmp", 640, 480},             {"rukbmp/tyonnbruk.bmp", 640, 480},
    {"rukbmp/rukmon.bmp", 4 * 70, 9 * 53},       {"rukbmp/alffonts.bmp", 13 * 32, 9 * 32},
    {"rukbmp/numfonts.bmp", 320, 128},           {"rukbmp/hiru.bmp", 128, 64},
    {"rukbmp/bless.bmp", 128, 64},               {"rukbmp/guro.bmp", 128, 64},
    {"rukbmp/holy.bmp", 128, 64},                {"rukbmp/warp.bmp", 384, 256},
    {"rukbmp/yajirusi.bmp", 480, 144},           {"rukbmp/yajirusimini.bmp", 160, 48},
    {"rukbmp/ruktitle.bmp", 470, 320},           {"rukbmp/tatiruk.bmp", 129, 320},
    {"bmp/thaik1.bmp", 640, 480},                {"bmp/thaik2.bmp", 640, 480},
    {"bmp/black.bmp", 640, 480},                 {"bmp/sora.bmp", 640, 480},
    {"bmp/heigenn031.bmp", 640, 480},            {"bmp/hs018.bmp", 640, 480},
};

class GeneratedSet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::string tool = std::string(KELVO_DATAGEN_PATH) + " " + dir_->str();
        ASSERT_EQ(std::system(tool.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static TempDir* dir_;
};
TempDir* GeneratedSet::dir_ = nullptr;

TEST_F(GeneratedSet, ImagesAreUncompressedBmpsAtTheirFullGridSize) {
    for (const auto& e : kStartupImages) {
        SCOPED_TRACE(e.file);
        BmpInfo info = ParseBmp(ReadFile(dir_->str() + "/" + e.file));
        ASSERT_TRUE(info.ok);
        EXPECT_EQ(info.width, e.width);
        EXPECT_EQ(info.height, e.height);
        EXPECT_EQ(info.bits, 24);
        EXPECT_EQ(info.compression, 0);
        EXPECT_EQ(info.dataOffset, 54u);
    }
    // The loading picture is whole; it must fit above the text at y 400.
    BmpInfo loading = ParseBmp(ReadFile(dir_->str() + "/rukbmp/vact.bmp"));
    ASSERT_TRUE(loading.ok);
    EXPECT_LE(loading.width, 512);
    EXPECT_LE(90 + loading.height, 400);
}

TEST_F(GeneratedSet, SoundsArePcmWaves) {
    for (const char* name : {"die", "item", "senntaku", "select", "th", "th2", "bomb", "cancel", "takara", "t1", "t6"}) {
        SCOPED_TRACE(name);
        auto b = ReadFile(dir_->str() + "/se/" + name + ".wav");
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(b, 4) + 8, b.size());
        EXPECT_EQ(b[20] | (b[21] << 8), 1);  // PCM
        EXPECT_EQ(b[34] | (b[35] << 8), 16);
        EXPECT_EQ(Le32(b, 40) + 44, b.size());
    }
}

TEST_F(GeneratedSet, SaveFolderShipsDefaultsAndNeverOverwritesSaves) {
    auto config = ReadFile(dir_->str() + "/savedata/config.dat");
    EXPECT_EQ(config, (std::vector<std::uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(ReadFile(dir_->str() + "/savedata/sys.dat"), std::vector<std::uint8_t>(32, 0));
    for (int s = 1; s <= 4; ++s)
        EXPECT_EQ(ReadFile(dir_->str() + "/savedata/start" + std::to_string(s) + ".dat"),
                  (std::vector<std::uint8_t>{'n', 0, 0, 0, 0}));
    // A player's progress survives a rebuild.
    dir_->Write("savedata/start2.dat", std::string("\x05\x07\x00\x00\x00", 5));
    std::string tool = std::string(KELVO_DATAGEN_PATH) + " " + dir_->str();
    ASSERT_EQ(std::system(tool.c_str()), 0);
    EXPECT_EQ(dir_->Read("savedata/start2.dat"), std::string("\x05\x07\x00\x00\x00", 5));
}

TEST(Art, NoVisiblePixelTurnsBlackOnA565Screen) {
    for (const Image& img : {MakeHeroSheet(), MakeMonsterSheet(7), MakeGlyphLetters(), MakePanel("hd013")}) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                Rgb c = img.At(x, y);
                bool black = c.r == 0 && c.g == 0 && c.b == 0;
                bool collapses = (c.r >> 3) == 0 && (c.g >> 2) == 0 && (c.b >> 3) == 0;
                ASSERT_TRUE(black || !collapses) << x << "," << y;
            }
    }
}

TEST(Art, MonsterKindsLookDifferent) {
    // Frame 0 of every kind differs from every other kind's.
    std::vector<std::vector<std::uint8_t>> frames;
    for (int kind = 0; kind < 32; ++kind) {
        Image sheet = MakeMonsterSheet(kind);
        std::vector<std::uint8_t> cell;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                Rgb c = sheet.At(x, y);
                cell.insert(cell.end(), {c.r, c.g, c.b});
            }
        for (const auto& other : frames) EXPECT_NE(cell, other) << "kind " << kind;
        frames.push_back(std::move(cell));
    }
}

TEST(Sound, MusicStartsAndEndsAtRestSoItLoopsCleanly) {
    for (int t = 1; t <= 6; ++t) {
        auto samples = MakeMusic(t);
        ASSERT_GT(samples.size(), static_cast<std::size_t>(kSampleRate));
        EXPECT_LE(std::abs(samples.front()), 64);
        EXPECT_LE(std::abs(samples.back()), 64);
    }
    EXPECT_NE(MakeEffect("bomb"), MakeEffect("select"));
}

TEST(Determinism, TwoRunsWriteTheSameBytes) {
    TempDir a, b;
    ASSERT_EQ(std::system((std::string(KELVO_DATAGEN_PATH) + " " + a.str()).c_str()), 0);
    ASSERT_EQ(std::system((std::string(KELVO_DATAGEN_PATH) + " " + b.str()).c_str()), 0);
    for (const char* f : {"rukbmp/rukall.bmp", "bmp/hd020.bmp", "se/t3.wav", "rukbmp/alffonts.bmp", "data/4.col", "data/61.col"})
        EXPECT_EQ(a.Read(f), b.Read(f)) << f;
}

}  // namespace
