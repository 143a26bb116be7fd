#include "game/support/game_frame.h"

#include <cstring>

#include "engine/frame_input.h"
#include "engine/handles.h"
#include "field/skill_overlays.h"
#include "rules/gallery_flags.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "world/monsters/damage_numbers.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_event_state.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_state.h"
#include "world/stages/warp_door.h"

namespace {

template <std::size_t N>
void Number(int (&handles)[N], int base) {
    for (std::size_t i = 0; i < N; ++i) handles[i] = base + static_cast<int>(i);
}

bool In(std::int64_t handle, int first, int count) { return handle >= first && handle < first + count; }

}  // namespace

void GameFrameTest::ResetGameFrame() {
    ResetField();
    Floor(0, kCollisionColumns - 1, 12);
    g_StageState.farLayerDivisor = 7;
    g_StageState.middleLayerDivisor = kLayerNotDrawn;
    g_StageState.panelDivisor = 1;
    g_StageState.fadeCounter = 0;
    Number(g_StageState.farLayerImages, kFarBase);
    Number(g_StageState.panelImages, kPanelBase);
    g_StageState.middleLayerImage = -1;
    Number(g_ShopDoorImages, kShopDoorBase);
    Number(g_ShopCaptionImages, kShopCaptionBase);
    Number(g_WarpDoorFrames, kWarpBase);
    g_WaterOverlay[0] = kWaterHandle;
    Number(g_GlyphLetters, kLetterBase);
    Number(g_GlyphDigits, kDigitBase);
    Number(g_CursorFrames, kCursorBase);
    Number(g_SmallCursorFrames, kCursorBase);
    for (int kind = 0; kind < kMonsterKindCount; ++kind)
        for (int f = 0; f < kMonsterSheetFrames; ++f) g_MonsterSheets[kind][f] = kMonsterSheetBase + 17 * kind + f;
    Number(g_GalleryPictureTable, kGalleryBase);
    Number(g_HealCaption, kCaptionBase);
    Number(g_BlessCaption, kCaptionBase + 2);
    Number(g_GuroCaption, kCaptionBase + 4);
    Number(g_HolyCaption, kCaptionBase + 6);
    Number(g_MusicTable, kMusicBase);

    std::memset(g_WarpDoors, 0, sizeof g_WarpDoors);
    std::memset(g_ShopDoors, 0, sizeof g_ShopDoors);
    g_LeftEdgeExit = StageExit{};
    g_RightEdgeExit = StageExit{};
    g_PlayerPopupRing = PlayerPopupRing{};
    g_FourthSkill = FourthSkillState{};
    ResetStageEvents();
    std::memset(g_GalleryFlags, 0, sizeof g_GalleryFlags);
    g_PlayerRecord.level = 1;
    g_PlayerRecord.exp = 0;
    g_PlayerRecord.money = 10;
    g_PlayerRecord.difficulty = kDifficultyNormal;
    g_PlayerRecord.saveSlot = 0;
    g_PlayerRecord.weaponRow = g_PlayerRecord.armourRow = g_PlayerRecord.shieldRow = g_PlayerRecord.accessoryRow = 0;
    g_PlayerRecord.agi = g_PlayerRecord.str = g_PlayerRecord.intel = 1;
    g_PlayerRecord.dex = g_PlayerRecord.vit = g_PlayerRecord.luk = 1;
    g_PlayerRecord.arrivalCameraX = 0;
    g_PlayerRecord.arrivalPlayerY = static_cast<std::int32_t>(kStandingY);
    g_PlayerRecord.arrivalScreenX = 320;
    PlacePlayer(320.0f, kStandingY, false);
    Recorder().ClearCalls();
}

FrameResult GameFrameTest::Frame(std::uint32_t held) {
    Recorder().ClearCalls();
    Recorder().QueuePadStates({held});
    return RunGameFrame();
}

void GameFrameTest::PlaceLiveMonster(int kind, int slot, float x, float y) {
    MonsterRecord& m = g_MonsterPools[kind][slot];
    m = MonsterRecord{};
    m.alive = kMonsterAlive;
    m.hp = kMonsterKindParams[kind].hp;
    m.x = x;
    m.y = y;
}

std::string FrameStep(const ApiCall& call) {
    const std::string& n = call.name;
    if (n == "ApiProcessMessage") return "messages";
    if (n == "ApiGetMilliseconds") return "pacing";
    if (n == "ApiGetPadState") return "input";
    if (n == "ApiClearScreenLog") return "move";
    if (n == "ApiPresentScreen") return "present";
    if (n == "ApiPaintBox" || n == "ApiDrawTextFormatted") return "hud";
    if (n == "ApiPlaySoundHandle" && call.Int(0) == 900 + kSoundCancel) return "menu key";
    if (n != "ApiBlitGraph" && n != "ApiMirrorBlitGraph" && n != "ApiStretchBlitGraph") return "";
    const std::int64_t h = n == "ApiStretchBlitGraph" ? call.Int(4) : call.Int(2);
    if (In(h, kFarBase, 2) || In(h, kPanelBase, kStagePanelCount)) return "layers";
    if (In(h, kShopDoorBase, 20)) return "shops";
    if (In(h, kWarpBase, 6)) return "doors";
    if (h == kWaterHandle) return "water";
    if (In(h, kMonsterSheetBase, 17 * kMonsterKindCount)) return "monsters";
    if (In(h, kTestSheetBase, 144)) return "player";
    if (In(h, kLetterBase, kGlyphLetterCount) || In(h, kDigitBase, kGlyphDigitCount)) return "hud";
    if (In(h, kCursorBase, 30)) return "sub-screen";
    return "";
}

std::vector<std::string> FrameSteps() {
    std::vector<std::string> steps;
    bool subScreen = false;
    for (const ApiCall& call : Recorder().Calls()) {
        std::string step = FrameStep(call);
        if (subScreen && step != "present") continue;
        if (step == "sub-screen") subScreen = true;
        if (!step.empty() && (steps.empty() || steps.back() != step)) steps.push_back(step);
    }
    return steps;
}

std::vector<Blit> BlitsOf(int first, int count) {
    std::vector<Blit> found;
    for (const ApiCall& call : Recorder().Calls())
        if ((call.name == "ApiBlitGraph" || call.name == "ApiMirrorBlitGraph") && In(call.Int(2), first, count))
            found.push_back({static_cast<int>(call.Int(2)), static_cast<int>(call.Int(0)), static_cast<int>(call.Int(1))});
    return found;
}
