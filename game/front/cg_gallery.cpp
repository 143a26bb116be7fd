#include "front/cg_gallery.h"

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/handles.h"
#include "engine/menu_cursor.h"
#include "front/title_menu.h"
#include "kelvo/api.h"
#include "rules/gallery_flags.h"
#include "rules/key_config.h"

namespace {

constexpr int kOpaqueFrame = 255;  // the view draws the picture unblended from here

int CurrentPicture(const TitleMenu& menu) { return GalleryIndex(menu.galleryColumn, menu.galleryRow); }

void DrawGrid(const TitleMenu& menu) {
    DimScreen();
    ApiSetDefaultFontSize(24);
    ApiDrawTextFormatted(290, 7, ApiMakeColorCode(255, 255, 255), "CG MODE");
    for (int column = 0; column < kGalleryColumns; ++column) {
        for (int row = 0; row < kGalleryRows; ++row) {
            int index = GalleryIndex(column, row);
            int thumbnail = g_GalleryFlags[index] == 1 ? index : kLockedThumbnail;
            ApiBlitGraph(80 + 140 * column, 50 + 53 * row, g_GalleryThumbnails[thumbnail], 0);
        }
    }
    ApiBlitGraph(30 + 140 * menu.galleryColumn, 61 + 53 * menu.galleryRow, CursorFrame(menu.frame), 1);
}

}  // namespace

void RunGalleryGridBlock(TitleMenu& menu) {
    CancelTo(menu, kTitleMainMenu);
    // The rest runs in the frame that left the grid too, so that frame still
    // shows it.
    MoveMenuCursor(menu.galleryRow, kGalleryRows, kPadDown, kPadUp);
    MoveMenuCursor(menu.galleryColumn, kGalleryColumns, kPadRight, kPadLeft);
    DrawGrid(menu);
    if (g_FrameInputState.newlyPressed & g_KeyMasks[kKeyDecideJump]) {
        if (g_GalleryFlags[CurrentPicture(menu)] == 1) {
            PlayMenuSound(kSoundConfirm);
            menu.state = kTitleGalleryView;
            menu.galleryFadeCounter = 0;
        } else {
            PlayMenuSound(kSoundCancel);
        }
        ClearPressed();
    }
}

void RunGalleryViewBlock(TitleMenu& menu) {
    ++menu.galleryFadeCounter;
    const std::uint32_t closeKeys =
        g_KeyMasks[kKeyCancelAttack] | g_KeyMasks[kKeyDecideJump] | g_KeyMasks[kKeySkill];
    if (g_FrameInputState.newlyPressed & closeKeys) {
        PlayMenuSound(kSoundCancel);
        menu.state = kTitleGalleryGrid;
        ClearPressed();
    }
    // The frame that closes the view still shows the picture.
    DimScreen();
    const int picture = g_GalleryPictureTable[CurrentPicture(menu)];
    if (menu.galleryFadeCounter < kOpaqueFrame) {
        ApiSetBlendModeParam(kBlendAlpha, menu.galleryFadeCounter);
        ApiBlitGraph(0, 0, picture, 0);
        ApiSetBlendModeParam(kBlendNone, 0);
    } else {
        ApiBlitGraph(0, 0, picture, 0);
    }
}
