// The decode entry and the loading entries: loader order, file and memory
// sources, repack and DIB hand-over, the "_a" alpha image, and every BMP of
// the game's data set.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "image_test_support.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::uint8_t> SmallBmp(std::uint8_t value) {
    // 2 x 2, 24-bit, every byte `value`.
    return MakeBmp(2, 2, 24, 0, {}, std::vector<std::uint8_t>(16, value));
}

class ImageEntryTest : public ImageLoaderFixture {
protected:
    void TearDown() override {
        ReleaseBaseImage(&alpha_);
        ClearUserImageLoaders();
        ImageLoaderFixture::TearDown();
    }
    std::string WinPath(const std::string& relative) const {
        return PlatformWindowsPath(dir_.str()) + "\\" + relative;
    }
    TempDir dir_;
    GraphImage alpha_ = {};
};

int g_userCalls = 0;
std::int64_t g_userSawPosition = -1;

TEST_F(ImageEntryTest, RunTimeLoadersGoFirstAndEveryTryStartsAtZero) {
    g_userCalls = 0;
    // A loader that reads a little and refuses: the BMP loader still sees
    // the stream from its start.
    ASSERT_EQ(AddUserImageLoader([](StreamData* stream, GraphImage*) {
                  ++g_userCalls;
                  g_userSawPosition = stream->functions.tell(stream->dataHandle);
                  char skip[5];
                  stream->functions.read(skip, 1, 5, stream->dataHandle);
                  return -1;
              }),
              0);
    ASSERT_EQ(DecodeBytes(SmallBmp(9), &image_), 0);
    EXPECT_EQ(g_userCalls, 1);
    EXPECT_EQ(g_userSawPosition, 0);
    EXPECT_EQ(image_.pixels[0], 9);
    for (int i = 1; i < kMaxUserImageLoaders; ++i)
        EXPECT_EQ(AddUserImageLoader([](StreamData*, GraphImage*) { return -1; }), 0);
    EXPECT_EQ(AddUserImageLoader([](StreamData*, GraphImage*) { return -1; }), -1);
    EXPECT_EQ(ImageLoaderTable[0], &LoadBmpImage);
    EXPECT_EQ(ImageLoaderTable[1], &LoadJpegImage);
    EXPECT_EQ(ImageLoaderTable[2], &LoadPngImage);
    EXPECT_EQ(ImageLoaderTable[3], &LoadBgraImage);
    EXPECT_EQ(ImageLoaderTable[4], &LoadTgaImage);
    EXPECT_EQ(ImageLoaderTable[5], &LoadDdsImage);
    EXPECT_EQ(ImageLoaderTable[6], nullptr);
}

TEST_F(ImageEntryTest, UnknownBytesFailAndLeaveNothingBehind) {
    EXPECT_EQ(DecodeBytes({1, 2, 3, 4, 5, 6, 7, 8}, &image_), -1);
    EXPECT_EQ(DecodeBytes({}, &image_), -1);
    EXPECT_EQ(LoadImageToBaseImage(WinPath("missing.bmp").c_str(), nullptr, 0, 0, 0, 0, &image_, nullptr, 0), -1);
    EXPECT_EQ(LoadImageToBaseImage(nullptr, nullptr, 0, 1, 0, 0, &image_, nullptr, 0), -1);
    EXPECT_EQ(image_.pixels, nullptr);
}

TEST_F(ImageEntryTest, FileAndMemoryGiveTheSameImage) {
    const auto bytes = SmallBmp(0x42);
    dir_.Write("pic.bmp", Bytes().Append(bytes).str());
    ASSERT_EQ(LoadImageToBaseImage(WinPath("pic.bmp").c_str(), nullptr, 0, 0, 0, 0, &image_, nullptr, 0), 0);
    GraphImage fromMemory = {};
    ASSERT_EQ(DecodeBytes(bytes, &fromMemory), 0);
    EXPECT_EQ(image_.width, fromMemory.width);
    EXPECT_EQ(image_.pitch, fromMemory.pitch);
    EXPECT_EQ(std::memcmp(image_.pixels, fromMemory.pixels, image_.pitch * image_.height), 0);
    ReleaseBaseImage(&fromMemory);
}

TEST_F(ImageEntryTest, RepackCopiesIntoAFreshBufferWithTheSamePixels) {
    const auto bytes = MakeBmp(3, 2, 24, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0});
    GraphImage plain = {};
    ASSERT_EQ(DecodeBytes(bytes, &plain), 0);
    ASSERT_EQ(LoadImageToBaseImage(nullptr, bytes.data(), bytes.size(), 1, 0, 1, &image_, nullptr, 0), 0);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(PixelAt(image_, 0, y), PixelAt(plain, 0, y), 9), 0) << y;
    ReleaseBaseImage(&plain);
}

TEST_F(ImageEntryTest, DibFlagHandsOverATwentyFourBitDib) {
    std::vector<std::uint32_t> palette = {0x00000000, 0x00102030};
    const auto bytes = MakeBmp(2, 1, 8, 0, palette, {1, 0, 0, 0});
    BITMAPINFO* info = nullptr;
    ASSERT_EQ(LoadImageToBaseImage(nullptr, bytes.data(), bytes.size(), 1, 1, 0, &image_, &info, 1), 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->bmiHeader.biBitCount, 24);
    EXPECT_EQ(info->bmiHeader.biWidth, 2);
    EXPECT_EQ(image_.colorFormat.depth, 24);
    EXPECT_EQ(image_.pitch, 8u);
    EXPECT_EQ(ReadBaseImagePixel(&image_, 0, 0) & 0xFFFFFF, 0x102030u);
    KV_FREE(info);
}

TEST_F(ImageEntryTest, AlphaFileNameIsDerivedFromTheFileNameOnly) {
    char out[64];
    ASSERT_TRUE(MakeAlphaFileName("bmp\\boss.bmp", out, sizeof out));
    EXPECT_STREQ(out, "bmp\\boss_a.bmp");
    ASSERT_TRUE(MakeAlphaFileName("boss", out, sizeof out));
    EXPECT_STREQ(out, "boss_a");
    ASSERT_TRUE(MakeAlphaFileName("a.b.png", out, sizeof out));
    EXPECT_STREQ(out, "a.b_a.png");
    // A dot in a folder name is not the extension's.
    ASSERT_TRUE(MakeAlphaFileName("v1.2\\boss", out, sizeof out));
    EXPECT_STREQ(out, "v1.2\\boss_a");
    EXPECT_FALSE(MakeAlphaFileName("boss.bmp", out, 10));
    EXPECT_TRUE(MakeAlphaFileName("boss.bmp", out, 11));
}

TEST_F(ImageEntryTest, AlphaImageIsLoadedWhenPresentAndOptionalOtherwise) {
    dir_.Write("bmp/boss.bmp", Bytes().Append(SmallBmp(1)).str());
    const std::string name = WinPath("bmp\\boss.bmp");
    EXPECT_EQ(LoadImageWithAlphaFile(name.c_str(), nullptr, 0, 0, nullptr, 0, kAlphaSourceFile, &image_, &alpha_, 0),
              1);
    EXPECT_EQ(alpha_.pixels, nullptr);
    ReleaseBaseImage(&image_);

    dir_.Write("bmp/boss_a.bmp", Bytes().Append(SmallBmp(200)).str());
    ASSERT_EQ(LoadImageWithAlphaFile(name.c_str(), nullptr, 0, 0, nullptr, 0, kAlphaSourceFile, &image_, &alpha_, 0),
              0);
    EXPECT_EQ(image_.pixels[0], 1);
    EXPECT_EQ(alpha_.pixels[0], 200);
    ReleaseBaseImage(&image_);
    ReleaseBaseImage(&alpha_);

    const auto picture = SmallBmp(3), mask = SmallBmp(4);
    ASSERT_EQ(LoadImageWithAlphaFile(nullptr, picture.data(), picture.size(), 1, mask.data(), mask.size(),
                                     kAlphaSourceMemory, &image_, &alpha_, 0),
              0);
    EXPECT_EQ(alpha_.pixels[0], 4);
    ReleaseBaseImage(&image_);
    ReleaseBaseImage(&alpha_);
    EXPECT_EQ(LoadImageWithAlphaFile(nullptr, picture.data(), picture.size(), 1, nullptr, 0, kAlphaSourceMemory,
                                     &image_, &alpha_, 0),
              1);
    ReleaseBaseImage(&image_);
    EXPECT_EQ(LoadImageWithAlphaFile(name.c_str(), nullptr, 0, 0, nullptr, 0, 2, &image_, &alpha_, 0), 1);
    ReleaseBaseImage(&image_);
    EXPECT_EQ(LoadImageWithAlphaFile(WinPath("none.bmp").c_str(), nullptr, 0, 0, nullptr, 0, kAlphaSourceFile,
                                     &image_, &alpha_, 0),
              -1);
}

// The data set the build writes beside the game: every picture must load
// with the size its header gives.
TEST_F(ImageEntryTest, EveryBmpOfTheDataSetLoads) {
    namespace fs = std::filesystem;
    int loaded = 0;
    for (const char* folder : {"bmp", "rukbmp"}) {
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() != ".bmp") continue;
            const std::string path = fs::absolute(entry.path()).string();
            SCOPED_TRACE(path);
            std::string header(26, '\0');
            std::ifstream(path, std::ios::binary).read(header.data(), 26);
            const auto* h = reinterpret_cast<const std::uint8_t*>(header.data());
            const std::int32_t width = static_cast<std::int32_t>(h[18] | h[19] << 8 | h[20] << 16 | h[21] << 24);
            const std::int32_t height = static_cast<std::int32_t>(h[22] | h[23] << 8 | h[24] << 16 | h[25] << 24);
            ASSERT_EQ(LoadImageToBaseImage(PlatformWindowsPath(path).c_str(), nullptr, 0, 0, 0, 0, &image_, nullptr, 0),
                      0);
            EXPECT_EQ(static_cast<std::int32_t>(image_.width), width);
            EXPECT_EQ(static_cast<std::int32_t>(image_.height), height < 0 ? -height : height);
            ReleaseBaseImage(&image_);
            ++loaded;
        }
    }
    if (loaded == 0) GTEST_SKIP() << "the data set is not in the working folder";
    EXPECT_GT(loaded, 40);
}

}  // namespace
