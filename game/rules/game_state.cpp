// The game's shared globals, with their values at program start.
#include "engine/frame_input.h"
#include "engine/handles.h"
#include "rules/derived_stats.h"
#include "rules/gallery_flags.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"

// Before any game starts the record points at stage 1; a new game or a loaded
// save replaces every field.
PlayerRecord g_PlayerRecord = {
    .money = 0,
    .hp = 0,
    .maxHp = 0,
    .sp = 0,
    .maxSp = 0,
    .agi = 0,
    .str = 0,
    .intel = 0,
    .dex = 0,
    .vit = 0,
    .luk = 0,
    .level = 0,
    .exp = 0,
    .statPoints = 0,
    .weaponRow = 0,
    .armourRow = 0,
    .shieldRow = 0,
    .accessoryRow = 0,
    .stage = 1,
    .arrivalCameraX = 1680,
    .arrivalPlayerY = 192,
    .arrivalScreenX = 320,
    .difficulty = 0,
    .saveSlot = 0,
};

DerivedStats g_DerivedStats = {};
FrameInputState g_FrameInputState = {};
std::uint8_t g_SubScreenMode = kSubScreenNone;
std::int32_t g_FieldFrameCounter = 0;

// The player starts in the air; the first collision move lands it.
PlayerMotion g_PlayerMotion = [] {
    PlayerMotion motion{};
    motion.airborne = 1;
    return motion;
}();
PlayerActionState g_PlayerActionState = {};

std::uint8_t g_GalleryFlags[kGalleryPictureCount] = {};
std::int32_t g_DefeatPictureIndex = 0;

// Handle 0 is no valid handle: drawing or playing one that never loaded fails
// quietly.
int g_PlayerSheet[144] = {};
int g_ShopDoorImages[3] = {};
int g_ShopCaptionImages[3] = {};
int g_FireEffectFrames[8] = {};
int g_GasEffectFrames[8] = {};
int g_MonsterSheets[kMonsterSheetKinds][kMonsterSheetFrames] = {};
int g_CrossEffectSheet[24] = {};
int g_BallEffectSheet[32] = {};
int g_WaterOverlay[1] = {};
int g_GalleryPictureTable[kGalleryPictureCount] = {};
int g_GalleryThumbnails[kGalleryPictureCount + 1] = {};
int g_GlyphLetters[kGlyphLetterCount] = {};
int g_GlyphDigits[kGlyphDigitCount] = {};
int g_HealCaption[2] = {};
int g_BlessCaption[2] = {};
int g_GuroCaption[2] = {};
int g_HolyCaption[2] = {};
int g_WarpDoorFrames[6] = {};
int g_CursorFrames[30] = {};
int g_SmallCursorFrames[30] = {};
int g_TitleLogo[1] = {};
int g_TitlePortrait[1] = {};
int g_LoadingPicture = 0;

int g_SoundEffectHandles[kSoundEffectCount] = {};
int g_MusicTable[kMusicTableSize] = {};
