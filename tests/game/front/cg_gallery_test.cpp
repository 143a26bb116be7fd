// CG MODE: the thumbnail grid and the picture view, driven through the title
// menu on the recording stand-in.
#include <gtest/gtest.h>

#include "front/cg_gallery.h"
#include "game/support/menu_driver.h"
#include "rules/gallery_flags.h"

namespace {

constexpr std::uint32_t D = kDecideKey, C = kCancelKey, DN = kDownKey, UP = kUpKey;

void EnterGrid(MenuDriver& driver) {
    driver.Frames({D, 0, DN, 0, D, 0});
    ASSERT_EQ(driver.menu().state, kTitleGalleryGrid);
}

}  // namespace

TEST(CgGallery, GridDrawsOpenAndLockedThumbnails) {
    MenuDriver driver;
    g_GalleryFlags[0] = 1;
    g_GalleryFlags[9] = 1;   // column 1, row 1
    g_GalleryFlags[31] = 1;  // column 3, row 7
    g_GalleryFlags[5] = 2;   // only 1 opens a picture
    EnterGrid(driver);
    std::vector<ApiCall> frame = driver.Frame(0);
    int opaque = 0;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 8; ++row) {
            int index = column * 8 + row;
            bool open = index == 0 || index == 9 || index == 31;
            int handle = kThumbnailBase + (open ? index : kLockedThumbnail);
            EXPECT_TRUE(Blits(frame, handle, 80 + 140 * column, 50 + 53 * row)) << index;
        }
    for (const ApiCall& call : Only(frame, "ApiBlitGraph"))
        if (call.Int(2) >= kThumbnailBase && call.Int(2) < kPictureBase) {
            EXPECT_EQ(call.Int(3), 0);
            ++opaque;
        }
    EXPECT_EQ(opaque, 32);
    const int n = driver.menu().frame;
    EXPECT_TRUE(Blits(frame, kCursorBase + (n / 5) % 30, 30, 61));
    ASSERT_EQ(Only(frame, "ApiDrawTextFormatted").size(), 1u);
    EXPECT_EQ(Only(frame, "ApiDrawTextFormatted")[0].ToString(), "ApiDrawTextFormatted(290, 7, 16777215, \"CG MODE\")");
    EXPECT_EQ(Only(frame, "ApiSetDefaultFontSize")[0].Int(0), 24);
}

TEST(CgGallery, CursorWrapsInBothDirections) {
    MenuDriver driver;
    EnterGrid(driver);
    driver.Frames({UP, 0});
    EXPECT_EQ(driver.menu().galleryRow, 7);
    driver.Frames({DN, 0});
    EXPECT_EQ(driver.menu().galleryRow, 0);
    driver.Frames({kLeftKey, 0});
    EXPECT_EQ(driver.menu().galleryColumn, 3);
    driver.Frames({kRightKey, 0});
    EXPECT_EQ(driver.menu().galleryColumn, 0);
    // All four at once: each acts, each with the cursor sound.
    std::vector<ApiCall> frame = driver.Frame(DN | UP | kLeftKey | kRightKey);
    EXPECT_EQ(driver.menu().galleryRow, 0);
    EXPECT_EQ(driver.menu().galleryColumn, 0);
    EXPECT_EQ(SoundsPlayed(frame), std::vector<int>(4, kSoundSelect));
    // Moving down from row 7 stays in the column.
    driver.Frames({0, kRightKey, 0, UP, 0, DN, 0});
    EXPECT_EQ(driver.menu().galleryColumn, 1);
    EXPECT_EQ(driver.menu().galleryRow, 0);
}

TEST(CgGallery, LockedPictureIsRefused) {
    MenuDriver driver;
    EnterGrid(driver);
    driver.Frames({DN, 0});
    std::vector<ApiCall> frame = driver.Frame(D);
    EXPECT_EQ(driver.menu().state, kTitleGalleryGrid);
    EXPECT_EQ(SoundsPlayed(frame), std::vector<int>{kSoundCancel});
}

TEST(CgGallery, PictureFadesInThenShowsOpaqueAndClosesBackToItsCell) {
    MenuDriver driver;
    g_GalleryFlags[GalleryIndex(2, 3)] = 1;
    EnterGrid(driver);
    driver.Frames({kRightKey, 0, kRightKey, 0, DN, 0, DN, 0, DN, 0});
    std::vector<ApiCall> frame = driver.Frame(D);
    ASSERT_EQ(driver.menu().state, kTitleGalleryView);
    EXPECT_EQ(SoundsPlayed(frame), std::vector<int>{kSoundConfirm});
    // The view's block follows the grid's: the first frame already shows the
    // picture, at alpha 1.
    const int picture = kPictureBase + 19;
    EXPECT_TRUE(Blits(frame, picture, 0, 0));
    std::vector<ApiCall> blends = Only(frame, "ApiSetBlendModeParam");
    ASSERT_GE(blends.size(), 2u);
    EXPECT_EQ(blends[blends.size() - 2].ToString(), "ApiSetBlendModeParam(1, 1)");

    for (int counter = 2; counter <= 256; ++counter) {
        frame = driver.Frame(0);
        bool blended = false;
        for (const ApiCall& call : Only(frame, "ApiSetBlendModeParam"))
            blended |= call.Int(0) == 1 && call.Int(1) == counter;
        EXPECT_EQ(blended, counter < 255) << counter;
        EXPECT_TRUE(Blits(frame, picture, 0, 0));
    }
    // Closing still draws the picture in that frame; the grid comes back on
    // the same cell.
    frame = driver.Frame(C);
    EXPECT_EQ(driver.menu().state, kTitleGalleryGrid);
    EXPECT_TRUE(Blits(frame, picture, 0, 0));
    EXPECT_EQ(SoundsPlayed(frame), std::vector<int>{kSoundCancel});
    frame = driver.Frame(0);
    EXPECT_FALSE(Blits(frame, picture, 0, 0));
    EXPECT_EQ(driver.menu().galleryColumn, 2);
    EXPECT_EQ(driver.menu().galleryRow, 3);
    // Opening it again starts the fade afresh.
    driver.Frame(D);
    EXPECT_EQ(driver.menu().galleryFadeCounter, 1);
}

TEST(CgGallery, CancelLeavesTheGridButThatFrameStillShowsIt) {
    MenuDriver driver;
    EnterGrid(driver);
    std::vector<ApiCall> frame = driver.Frame(C);
    EXPECT_EQ(driver.menu().state, kTitleMainMenu);
    EXPECT_TRUE(Blits(frame, kThumbnailBase + kLockedThumbnail, 80, 50));
    // The main menu's captions are drawn over it in the same frame, and the
    // font size stays 24 for the screens after.
    EXPECT_TRUE(Blits(frame, kCursorBase + (driver.menu().frame / 5) % 30, 80, 324));
    std::vector<ApiCall> sizes = Only(Recorder().Calls(), "ApiSetDefaultFontSize");
    EXPECT_EQ(sizes.back().Int(0), 24);
    driver.Frames({0, DN, 0, D, 0});
    EXPECT_EQ(driver.menu().state, kTitleKeyConfig);
    EXPECT_EQ(Only(Recorder().Calls(), "ApiSetDefaultFontSize").back().Int(0), 24);
}
