// Every image the game keeps for its whole run, in the order start-up loads
// them, with the grid each sheet is cut into and the handle array it fills.
// A sheet is cut row by row, left to right; only its first `pieces` cells are
// taken.
#pragma once

#include "engine/handles.h"

struct StartupImageLoad {
    const char* file;
    int pieces;  // 0: the file is loaded whole as one graphic
    int columns;
    int rows;
    int pieceWidth;
    int pieceHeight;
    int* handles;  // the array the pieces go into, or the one handle variable
};

namespace startup_images_detail {

constexpr StartupImageLoad MonsterSheet(const char* file, int kind) {
    return {file, kMonsterSheetFrames, 6, 3, 128, 128, g_MonsterSheets[kind]};
}

constexpr StartupImageLoad DefeatPicture(const char* file, int index) {
    return {file, 1, 1, 1, 640, 480, &g_GalleryPictureTable[index]};
}

}  // namespace startup_images_detail

inline constexpr StartupImageLoad kStartupImageLoads[] = {
    {"rukbmp\\rukall.bmp", 144, 12, 12, 128, 128, g_PlayerSheet},
    {"rukbmp\\suball.bmp", 3, 2, 2, 128, 128, g_ShopDoorImages},
    {"rukbmp\\serifu.bmp", 3, 1, 4, 256, 64, g_ShopCaptionImages},
    {"rukbmp\\fire.bmp", 8, 1, 8, 32, 16, g_FireEffectFrames},
    {"rukbmp\\gass.bmp", 8, 4, 2, 32, 32, g_GasEffectFrames},
    // Monster sheets, first group. A file named twice is loaded twice, once
    // for each kind that draws from it.
    startup_images_detail::MonsterSheet("rukbmp\\algall.bmp", 0),
    startup_images_detail::MonsterSheet("rukbmp\\encall.bmp", 1),
    startup_images_detail::MonsterSheet("rukbmp\\fablall.bmp", 12),
    startup_images_detail::MonsterSheet("rukbmp\\flogall.bmp", 13),
    startup_images_detail::MonsterSheet("rukbmp\\gokiall.bmp", 19),
    startup_images_detail::MonsterSheet("rukbmp\\gokibigall.bmp", 25),
    startup_images_detail::MonsterSheet("rukbmp\\hidoraall.bmp", 6),
    startup_images_detail::MonsterSheet("rukbmp\\mandoraall.bmp", 8),
    startup_images_detail::MonsterSheet("rukbmp\\marlinall.bmp", 21),
    startup_images_detail::MonsterSheet("rukbmp\\penomenaall.bmp", 7),
    startup_images_detail::MonsterSheet("rukbmp\\polinall.bmp", 11),
    startup_images_detail::MonsterSheet("rukbmp\\popolinall.bmp", 17),
    startup_images_detail::MonsterSheet("rukbmp\\taraflogall.bmp", 22),
    startup_images_detail::MonsterSheet("rukbmp\\tyonnall.bmp", 28),
    startup_images_detail::MonsterSheet("rukbmp\\tyonn2all.bmp", 29),
    startup_images_detail::MonsterSheet("rukbmp\\tyonn3all.bmp", 30),
    startup_images_detail::MonsterSheet("rukbmp\\tyonn3all.bmp", 31),
    startup_images_detail::MonsterSheet("rukbmp\\wilall.bmp", 18),
    startup_images_detail::MonsterSheet("rukbmp\\lunaall.bmp", 14),
    startup_images_detail::MonsterSheet("rukbmp\\eldwilall.bmp", 27),
    startup_images_detail::MonsterSheet("rukbmp\\lunadall.bmp", 24),
    startup_images_detail::MonsterSheet("rukbmp\\lunabigall.bmp", 5),
    {"rukbmp\\juujiall.bmp", 24, 6, 4, 64, 64, g_CrossEffectSheet},
    {"rukbmp\\ball.bmp", 32, 8, 4, 64, 64, g_BallEffectSheet},
    // Monster sheets, second group.
    startup_images_detail::MonsterSheet("rukbmp\\doroall.bmp", 10),
    startup_images_detail::MonsterSheet("rukbmp\\sporeall.bmp", 16),
    startup_images_detail::MonsterSheet("rukbmp\\spore2all.bmp", 23),
    startup_images_detail::MonsterSheet("rukbmp\\hebiall.bmp", 15),
    startup_images_detail::MonsterSheet("rukbmp\\hebi2all.bmp", 20),
    startup_images_detail::MonsterSheet("rukbmp\\hebi3all.bmp", 26),
    startup_images_detail::MonsterSheet("rukbmp\\mandora2all.bmp", 9),
    startup_images_detail::MonsterSheet("rukbmp\\ougonall.bmp", 2),
    startup_images_detail::MonsterSheet("rukbmp\\polinall.bmp", 3),
    startup_images_detail::MonsterSheet("rukbmp\\flogall.bmp", 4),
    {"bmp\\water.bmp", 1, 1, 1, 640, 480, g_WaterOverlay},
    // The defeat pictures, each a one-piece division, in gallery order
    // (index = CG column * 8 + CG row).
    startup_images_detail::DefeatPicture("rukbmp\\algruk.bmp", 0),
    startup_images_detail::DefeatPicture("rukbmp\\encruk.bmp", 1),
    startup_images_detail::DefeatPicture("rukbmp\\fablruk.bmp", 2),
    startup_images_detail::DefeatPicture("rukbmp\\flogruk.bmp", 3),
    startup_images_detail::DefeatPicture("rukbmp\\gokiruk.bmp", 4),
    startup_images_detail::DefeatPicture("rukbmp\\gokibigruk.bmp", 5),
    startup_images_detail::DefeatPicture("rukbmp\\hidoraruk.bmp", 6),
    startup_images_detail::DefeatPicture("rukbmp\\mandoraruk.bmp", 7),
    startup_images_detail::DefeatPicture("rukbmp\\marlinruk.bmp", 8),
    startup_images_detail::DefeatPicture("rukbmp\\penomenaruk.bmp", 9),
    startup_images_detail::DefeatPicture("rukbmp\\polinruk.bmp", 10),
    startup_images_detail::DefeatPicture("rukbmp\\popolinruk.bmp", 11),
    startup_images_detail::DefeatPicture("rukbmp\\taraflogruk.bmp", 12),
    startup_images_detail::DefeatPicture("rukbmp\\sporeruk.bmp", 13),
    startup_images_detail::DefeatPicture("rukbmp\\spore2ruk.bmp", 14),
    startup_images_detail::DefeatPicture("rukbmp\\hebiruk.bmp", 15),
    startup_images_detail::DefeatPicture("rukbmp\\hebi2ruk.bmp", 16),
    startup_images_detail::DefeatPicture("rukbmp\\hebi3ruk.bmp", 17),
    startup_images_detail::DefeatPicture("rukbmp\\mandora2ruk.bmp", 18),
    startup_images_detail::DefeatPicture("rukbmp\\ougonruk.bmp", 19),
    startup_images_detail::DefeatPicture("rukbmp\\bigpolinruk.bmp", 20),
    startup_images_detail::DefeatPicture("rukbmp\\bigflogruk.bmp", 21),
    startup_images_detail::DefeatPicture("rukbmp\\dororuk.bmp", 22),
    startup_images_detail::DefeatPicture("rukbmp\\wilruk.bmp", 23),
    startup_images_detail::DefeatPicture("rukbmp\\lunaruk.bmp", 24),
    startup_images_detail::DefeatPicture("rukbmp\\eldwilruk.bmp", 25),
    startup_images_detail::DefeatPicture("rukbmp\\lunadruk.bmp", 26),
    startup_images_detail::DefeatPicture("rukbmp\\lunabigruk.bmp", 27),
    startup_images_detail::DefeatPicture("rukbmp\\tyonnruk.bmp", 28),
    startup_images_detail::DefeatPicture("rukbmp\\tyonn2ruk.bmp", 29),
    startup_images_detail::DefeatPicture("rukbmp\\tyonn3ruk.bmp", 30),
    startup_images_detail::DefeatPicture("rukbmp\\tyonnbruk.bmp", 31),
    // Thumbnail i belongs to defeat picture i; piece 32 is the locked one.
    {"rukbmp\\rukmon.bmp", 33, 4, 9, 70, 53, g_GalleryThumbnails},
    {"rukbmp\\alffonts.bmp", kGlyphLetterCount, 13, 9, 32, 32, g_GlyphLetters},
    {"rukbmp\\numfonts.bmp", kGlyphDigitCount, 10, 4, 32, 32, g_GlyphDigits},
    {"rukbmp\\hiru.bmp", 2, 1, 2, 128, 32, g_HealCaption},
    {"rukbmp\\bless.bmp", 2, 1, 2, 128, 32, g_BlessCaption},
    {"rukbmp\\guro.bmp", 2, 1, 2, 128, 32, g_GuroCaption},
    {"rukbmp\\holy.bmp", 2, 1, 2, 128, 32, g_HolyCaption},
    {"rukbmp\\warp.bmp", 6, 3, 2, 128, 128, g_WarpDoorFrames},
    {"rukbmp\\yajirusi.bmp", 30, 10, 3, 48, 48, g_CursorFrames},
    {"rukbmp\\yajirusimini.bmp", 30, 10, 3, 16, 16, g_SmallCursorFrames},
    {"rukbmp\\ruktitle.bmp", 1, 1, 1, 470, 320, g_TitleLogo},
    {"rukbmp\\tatiruk.bmp", 1, 1, 1, 129, 320, g_TitlePortrait},
    {"rukbmp\\vact.bmp", 0, 0, 0, 0, 0, &g_LoadingPicture},
};

inline constexpr int kStartupImageLoadCount = sizeof kStartupImageLoads / sizeof kStartupImageLoads[0];
