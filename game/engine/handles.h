// The handles of every image and sound the game keeps for its whole run,
// loaded at start-up. The game holds only handle values; the framework owns
// what stands behind them.
#pragma once

constexpr int kMonsterSheetKinds = 32;
constexpr int kMonsterSheetFrames = 17;
constexpr int kGlyphLetterCount = 108;   // four colour sets of A-Z, then four signs
constexpr int kGlyphDigitCount = 40;     // four colour sets of 0-9
constexpr int kGalleryPictureCount = 32;
constexpr int kSoundEffectCount = 9;
constexpr int kMusicTableSize = 8;       // entries 1 to 6 hold music; 0 and 7 are never loaded

// Letter k (A = 0) of colour set c is GlyphLetters[26c + k]; the signs follow.
constexpr int kGlyphSeparator = 104;  // the "/" between HP and max HP
constexpr int kGlyphBuffSign = 106;
constexpr int kGlyphPlusSign = 107;

// Entries of g_SoundEffectHandles, in load order.
enum SoundEffect {
    kSoundDie = 0,       // the player is hurt
    kSoundItem = 1,      // level-up
    kSoundConfirm = 2,   // "se\senntaku.wav"
    kSoundSelect = 3,    // cursor move
    kSoundSwing = 4,     // "se\th.wav"
    kSoundSwing2 = 5,    // "se\th2.wav"
    kSoundBomb = 6,      // a hit on a monster
    kSoundCancel = 7,    // cancel or refusal; the menu key
    kSoundTakara = 8,    // a skill starts
};

extern int g_PlayerSheet[144];
extern int g_ShopDoorImages[3];
extern int g_ShopCaptionImages[3];
extern int g_FireEffectFrames[8];
extern int g_GasEffectFrames[8];
extern int g_MonsterSheets[kMonsterSheetKinds][kMonsterSheetFrames];
extern int g_CrossEffectSheet[24];
extern int g_BallEffectSheet[32];
extern int g_WaterOverlay[1];
extern int g_GalleryPictureTable[kGalleryPictureCount];
extern int g_GalleryThumbnails[kGalleryPictureCount + 1];  // the last is the locked thumbnail
extern int g_GlyphLetters[kGlyphLetterCount];
extern int g_GlyphDigits[kGlyphDigitCount];
// Skill captions: two pieces each.
extern int g_HealCaption[2];
extern int g_BlessCaption[2];
extern int g_GuroCaption[2];
extern int g_HolyCaption[2];
extern int g_WarpDoorFrames[6];
extern int g_CursorFrames[30];
extern int g_SmallCursorFrames[30];
extern int g_TitleLogo[1];
extern int g_TitlePortrait[1];
extern int g_LoadingPicture;

extern int g_SoundEffectHandles[kSoundEffectCount];
extern int g_MusicTable[kMusicTableSize];
