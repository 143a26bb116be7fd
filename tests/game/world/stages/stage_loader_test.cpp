// Loading stages against the recording stand-in of the framework: what the
// loader releases, loads, plays, clears and places, for every stage.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/game_log.h"
#include "engine/game_random.h"
#include "engine/handles.h"
#include "game/support/api_recorder.h"
#include "game/support/working_dir.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_placement.h"
#include "world/monsters/monster_record.h"
#include "world/stages/collision_grid.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_setup.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

namespace {

constexpr int kMusicHandleBase = 500;  // MusicTable entry t holds 500 + t

std::string ImagePath(const char* name) { return std::string("bmp\\") + name + ".bmp"; }

class StageLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder().Reset();
        ResetGameRand();
        ClearGameLog();
        std::memset(g_MonsterPools, 0, sizeof g_MonsterPools);
        std::memset(g_WarpDoors, 0, sizeof g_WarpDoors);
        std::memset(g_ShopDoors, 0, sizeof g_ShopDoors);
        for (int entry = 0; entry < kMusicTableSize; ++entry) g_MusicTable[entry] = 0;
        for (int track = 1; track <= 6; ++track) g_MusicTable[track] = kMusicHandleBase + track;
        ArriveAt(1952, 296, 3);
    }

    static void ArriveAt(int cameraX, int y, int screenX) {
        g_PlayerRecord.arrivalCameraX = cameraX;
        g_PlayerRecord.arrivalPlayerY = y;
        g_PlayerRecord.arrivalScreenX = screenX;
    }

    // Loads a stage with a fresh call log, handles from `firstHandle` on, and
    // the music handle `playing` (if any) reported as playing.
    static void Load(int stage, int playing = 0, int firstHandle = 1000) {
        Recorder().Reset();
        Recorder().SetNextHandle(firstHandle);
        if (playing != 0) Recorder().SetSoundPlaying(playing, true);
        LoadStage(stage);
    }

    static std::vector<std::string> LoadedFiles() {
        std::vector<std::string> files;
        for (const ApiCall& call : Recorder().Calls("ApiLoadImageToGraph")) files.push_back(call.Text(0));
        return files;
    }

    static std::vector<int> ReleasedHandles() {
        std::vector<int> handles;
        for (const ApiCall& call : Recorder().Calls("ApiReleaseGraph")) {
            EXPECT_EQ(call.Int(1), 0);
            handles.push_back(static_cast<int>(call.Int(0)));
        }
        return handles;
    }

    ScopedWorkingDir dir_;
};

// The loads a stage's set-up makes, in order: far 0, panel 0, far 1, then
// panels 2 to 19.
std::vector<std::string> ExpectedLoads(const StageDef& def) {
    std::vector<std::string> files = {ImagePath(def.farLayers[0]), ImagePath("black"), ImagePath(def.farLayers[1]),
                                      ImagePath("black")};
    for (int panel = 3; panel < kStagePanelCount; ++panel) {
        int painted = panel - kFirstPaintedPanel;
        files.push_back(ImagePath(painted < PaintedPanelCount(def) ? def.panels[painted] : "black"));
    }
    return files;
}

void ExpectExit(const StageExit& exit, const StageLink& link) {
    EXPECT_EQ(exit.destination, link.destination);
    EXPECT_EQ(exit.arrivalCameraX, link.arrivalCameraX);
    EXPECT_EQ(exit.arrivalPlayerY, link.arrivalPlayerY);
    EXPECT_EQ(exit.arrivalScreenX, link.arrivalScreenX);
    EXPECT_EQ(exit.enabled, 1);
}

TEST_F(StageLoaderTest, EveryStageGetsWhatItsRowGives) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
        SCOPED_TRACE("stage " + std::to_string(stage));
        const StageDef& def = kStageTable[stage - 1];
        Load(stage, 0, 2000);

        EXPECT_EQ(g_PlayerRecord.stage, stage);
        EXPECT_EQ(g_StageState.cameraLeftBound, 1952);
        EXPECT_EQ(g_StageState.cameraRightBound, def.rightBound);
        EXPECT_EQ(g_StageState.farLayerDivisor, def.farDivisor);
        EXPECT_EQ(g_StageState.middleLayerDivisor, def.middleDivisor);
        EXPECT_EQ(g_StageState.panelDivisor, 1);
        EXPECT_EQ(g_StageState.fadeCounter, 127);

        // 21 loads, each its own handle, stored in the slot it was made for.
        ASSERT_EQ(LoadedFiles(), ExpectedLoads(def));
        EXPECT_EQ(g_StageState.farLayerImages[0], 2000);
        EXPECT_EQ(g_StageState.panelImages[0], 2001);
        EXPECT_EQ(g_StageState.farLayerImages[1], 2002);
        EXPECT_EQ(g_StageState.panelImages[1], -1);
        for (int panel = 2; panel < kStagePanelCount; ++panel) EXPECT_EQ(g_StageState.panelImages[panel], 2001 + panel);

        ExpectExit(g_LeftEdgeExit, def.leftExit);
        ExpectExit(g_RightEdgeExit, def.rightExit);

        for (int slot = 0; slot < kShopDoorCount; ++slot) {
            EXPECT_EQ(g_ShopDoors[slot].on, def.shopDoors[slot].on ? 1 : 0) << "shop " << slot;
            if (def.shopDoors[slot].on) {
                EXPECT_EQ(g_ShopDoors[slot].x, def.shopDoors[slot].x);
                EXPECT_EQ(g_ShopDoors[slot].y, def.shopDoors[slot].y);
            }
        }

        for (int slot = 0; slot < kWarpDoorCount; ++slot) {
            bool door = def.warpDoor.present && slot == kStageWarpDoorSlot;
            EXPECT_EQ(g_WarpDoors[slot].alive, door ? 1 : 0) << "door " << slot;
        }
        if (def.warpDoor.present) {
            const WarpDoor& door = g_WarpDoors[kStageWarpDoorSlot];
            EXPECT_EQ(door.x, static_cast<float>(def.warpDoor.x));
            EXPECT_EQ(door.y, static_cast<float>(def.warpDoor.y));
            EXPECT_EQ(door.destination, def.warpDoor.to.destination);
            EXPECT_EQ(door.arrivalCameraX, def.warpDoor.to.arrivalCameraX);
            EXPECT_EQ(door.arrivalPlayerY, def.warpDoor.to.arrivalPlayerY);
            EXPECT_EQ(door.arrivalScreenX, def.warpDoor.to.arrivalScreenX);
        }

        // The monsters: the last call into each slot decides it.
        std::map<std::pair<int, int>, MonsterPlacement> last;
        for (const MonsterPlacement& p : StagePlacements(stage)) last[{p.kind, p.slot}] = p;
        int alive = 0;
        for (int kind = 0; kind < kMonsterKindCount; ++kind)
            for (int slot = 0; slot < kMonsterSlotCount; ++slot) alive += g_MonsterPools[kind][slot].alive == 1;
        EXPECT_EQ(alive, static_cast<int>(last.size()));
        for (auto [key, p] : last) {
            const MonsterRecord& m = g_MonsterPools[key.first][key.second];
            EXPECT_EQ(m.alive, kMonsterAlive);
            EXPECT_EQ(m.x, static_cast<float>(p.x));
            EXPECT_EQ(m.y, static_cast<float>(p.y));
            EXPECT_EQ(m.hp, kMonsterKindParams[key.first].hp);
        }
    }
}

TEST_F(StageLoaderTest, ArrivalWordsPlaceCameraAndPlayer) {
    ArriveAt(5072, 296, 320);
    Load(7);
    EXPECT_EQ(g_StageState.cameraX, 5072.0f);
    EXPECT_EQ(g_PlayerMotion.y, 296.0f);
    EXPECT_EQ(g_PlayerMotion.screenX, 320.0f);
}

TEST_F(StageLoaderTest, ReleasesThePreviousImagesInOrderAndOnlyOnce) {
    Recorder().SetNextHandle(3000);
    LoadStage(2);
    Load(3);
    std::vector<int> expected = {3000, 3002, -1, 3001, -1};
    for (int panel = 2; panel < kStagePanelCount; ++panel) expected.push_back(3001 + panel);
    EXPECT_EQ(ReleasedHandles(), expected);

    // The releases come after the stage number and music, before any load.
    const auto& calls = Recorder().Calls();
    std::size_t firstRelease = 0, lastRelease = 0, firstLoad = calls.size();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].name == "ApiReleaseGraph") {
            if (firstRelease == 0) firstRelease = i;
            lastRelease = i;
        }
        if (calls[i].name == "ApiLoadImageToGraph" && firstLoad == calls.size()) firstLoad = i;
    }
    EXPECT_LT(lastRelease, firstLoad);
    EXPECT_EQ(calls.front().name, "ApiSetBrightColor");

    // After a number that sets nothing up, a further load does not release
    // the same handle values again: one of them may belong to a new graphic.
    Load(0);
    Load(0);
    std::vector<int> released = ReleasedHandles();
    ASSERT_EQ(released.size(), 23u);
    for (int handle : released) EXPECT_EQ(handle, -1);
}

TEST_F(StageLoaderTest, NumberOutsideTheTableSetsNothingUp) {
    dir_.dir().Write("data/5.col", std::string(6000, '1'));
    Load(5);
    StageExit left = g_LeftEdgeExit, right = g_RightEdgeExit;
    g_MonsterPools[13][2].alive = kMonsterAlive;

    // 300 keeps its low byte, 44, as the stage number; 44's music is chosen.
    Load(300);
    EXPECT_EQ(g_PlayerRecord.stage, 44);
    EXPECT_EQ(Recorder().Count("ApiLoadImageToGraph"), 0u);
    EXPECT_EQ(Recorder().Count("ApiReleaseGraph"), 23u);
    EXPECT_EQ(Recorder().Calls("ApiPlaySoundHandle").at(0).Int(0), kMusicHandleBase + 4);
    EXPECT_EQ(g_StageState.cameraRightBound, 5728);
    EXPECT_EQ(g_StageState.cameraLeftBound, 1952);
    EXPECT_EQ(g_LeftEdgeExit.destination, left.destination);
    EXPECT_EQ(g_RightEdgeExit.destination, right.destination);
    EXPECT_EQ(g_CollisionGrid.cells[5999], 1);
    EXPECT_EQ(g_MonsterPools[13][2].alive, kMonsterFree);
    EXPECT_NE(std::strstr(GameLogText(), "300"), nullptr);

    // -254 keeps the low byte 2 but is no stage either.
    Load(-254);
    EXPECT_EQ(g_PlayerRecord.stage, 2);
    EXPECT_EQ(Recorder().Count("ApiLoadImageToGraph"), 0u);
}

TEST_F(StageLoaderTest, ResetEmptiesEverySlotAndRestoresThePlayer) {
    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& m : pool) {
            m.alive = kMonsterDying;
            m.skillHitCount = 4;
            m.popupTimer[0] = 9;
        }
    for (WarpDoor& door : g_WarpDoors) door.alive = 1;
    for (ShopDoor& door : g_ShopDoors) door.on = 1;
    PlayerActionState& action = g_PlayerActionState;
    action.attackActive = 1;
    action.comboTimer = 12.5f;
    action.bufferedStep = 1;
    action.comboStep = kComboAirAttack;
    action.stepLatch = 1;
    action.skillCActive = 1;
    action.skillCTimer = 80.0f;
    action.lungeSpeed = 3.0f;
    g_PlayerMotion.airborne = 0;
    g_PlayerMotion.verticalSpeed = 1.25f;
    g_PlayerMotion.stopRequest = 0;

    Load(0);

    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& m : pool) {
            ASSERT_EQ(m.alive, kMonsterFree);
            ASSERT_EQ(m.skillHitCount, 0);
            ASSERT_EQ(m.popupTimer[0], 9);  // the numbers float on
        }
    for (WarpDoor& door : g_WarpDoors) EXPECT_EQ(door.alive, 0);
    for (ShopDoor& door : g_ShopDoors) EXPECT_EQ(door.on, 0);
    EXPECT_EQ(action.attackActive, 0);
    EXPECT_EQ(action.comboTimer, 0.0f);
    EXPECT_EQ(action.bufferedStep, 0);
    EXPECT_EQ(action.comboStep, 0);
    EXPECT_EQ(action.stepLatch, 0);
    EXPECT_EQ(action.skillCActive, 0);
    EXPECT_EQ(action.skillCTimer, 0.0f);
    EXPECT_EQ(g_PlayerMotion.airborne, 1);
    EXPECT_EQ(g_PlayerMotion.verticalSpeed, 0.0f);
    EXPECT_EQ(g_PlayerMotion.stopRequest, 1);
    ApiCall bright = Recorder().Calls("ApiSetBrightColor").at(0);
    EXPECT_EQ(bright.ToString(), "ApiSetBrightColor(255, 255, 255)");
}

TEST_F(StageLoaderTest, MusicPlaysOnWithinATrackAndRestartsOnAChange) {
    Load(2);
    // Nothing was playing: every entry stopped, then track 2 looped from the top.
    std::vector<ApiCall> stops = Recorder().Calls("ApiStopSoundHandle");
    ASSERT_EQ(stops.size(), 8u);
    for (int entry = 0; entry < kMusicTableSize; ++entry) EXPECT_EQ(stops[entry].Int(0), g_MusicTable[entry]);
    ASSERT_EQ(Recorder().Count("ApiPlaySoundHandle"), 1u);
    EXPECT_EQ(Recorder().Calls("ApiPlaySoundHandle")[0].ToString(), "ApiPlaySoundHandle(502, 3, 1)");

    // Stages 2 and 3 share track 2: it plays on.
    Load(3, kMusicHandleBase + 2);
    EXPECT_EQ(Recorder().Count("ApiStopSoundHandle"), 0u);
    EXPECT_EQ(Recorder().Count("ApiPlaySoundHandle"), 0u);
    Load(3, kMusicHandleBase + 2);  // a reload of the same stage
    EXPECT_EQ(Recorder().Count("ApiPlaySoundHandle"), 0u);

    // 9 to 10: track 2 to 5.
    Load(9, kMusicHandleBase + 2);
    Load(10, kMusicHandleBase + 2);
    EXPECT_EQ(Recorder().Count("ApiStopSoundHandle"), 8u);
    EXPECT_EQ(Recorder().Calls("ApiPlaySoundHandle").at(0).ToString(), "ApiPlaySoundHandle(505, 3, 1)");
    EXPECT_EQ(Recorder().Calls("ApiIsSoundPlaying").at(0).Int(0), kMusicHandleBase + 5);
}

TEST(StageMusic, TrackOfEveryStageNumber) {
    for (int stage = 1; stage <= kStageCount; ++stage)
        EXPECT_EQ(StageMusicTrack(static_cast<std::int8_t>(stage)), kStageTable[stage - 1].track) << stage;
    // Numbers no stage of the table uses.
    const std::map<int, int> others = {{62, 3}, {65, 2}, {66, 3}, {71, 1}, {73, 1}, {79, 1}, {80, 5},
                                       {81, 4}, {84, 2}, {85, 5}, {89, 5}, {90, 6}, {99, 6}, {100, 4}};
    for (auto [stage, track] : others) EXPECT_EQ(StageMusicTrack(static_cast<std::int8_t>(stage)), track) << stage;
    for (int stage = -128; stage <= 127; ++stage) {
        int track = StageMusicTrack(static_cast<std::int8_t>(stage));
        EXPECT_GE(track, 1);
        EXPECT_LE(track, 6);
        if (stage <= 0 || stage > 100) {
            EXPECT_EQ(track, 1) << stage;
        }
    }
}

TEST_F(StageLoaderTest, PlacementDrawsRandomNumbersInCallOrder) {
    // Stage 47: five fixed kind-6 monsters draw nothing, then kind 25 in
    // slots 0, 10, 19, 15, 4 and kind 2 in slot 15 take the first six numbers.
    Load(47);
    const int randoms[] = {41, 18467, 6334, 26500, 19169, 15724};
    const int slots25[] = {0, 10, 19, 15, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(g_MonsterPools[25][slots25[i]].speed, PlacementSpeed(25, randoms[i])) << slots25[i];
    EXPECT_EQ(g_MonsterPools[2][15].speed, PlacementSpeed(2, randoms[5]));
    EXPECT_EQ(g_MonsterPools[2][15].speed, static_cast<float>(1.06 * 1.7));  // 15724 mod 21 = 16
    for (int slot : {0, 2, 10, 19, 15}) EXPECT_EQ(g_MonsterPools[6][slot].speed, 0.0f);
    EXPECT_EQ(GameRand(), 11478);

    // A reload places everyone anew with fresh numbers.
    Load(47);
    EXPECT_EQ(g_MonsterPools[25][0].speed, PlacementSpeed(25, 29358));
}

TEST_F(StageLoaderTest, TheSecondCallIntoASlotWins) {
    Load(19);
    EXPECT_EQ(g_MonsterPools[14][19].alive, kMonsterAlive);
    EXPECT_EQ(g_MonsterPools[14][19].x, 2880.0f);
    EXPECT_EQ(g_MonsterPools[14][19].speed, PlacementSpeed(14, 18467));
    Load(29);
    EXPECT_EQ(g_MonsterPools[29][0].x, 5440.0f);
    EXPECT_EQ(g_MonsterPools[29][0].y, 140.0f);
}

TEST_F(StageLoaderTest, FacingFollowsTheArrivalOnStagesThatSetIt) {
    const std::pair<int, int> cases[] = {{637, 1}, {3, 0}, {320, 1}, {319, 0}};
    for (auto [screenX, facing] : cases) {
        ArriveAt(2528, 296, screenX);
        g_PlayerMotion.facing = 7;
        Load(8);
        EXPECT_EQ(g_PlayerMotion.facing, facing) << screenX;
    }
    // Stage 9 does not set it.
    ArriveAt(5728, 296, 637);
    g_PlayerMotion.facing = 0;
    Load(9);
    EXPECT_EQ(g_PlayerMotion.facing, 0);
}

TEST_F(StageLoaderTest, TheFinalStageHasTheDoorToTheEnding) {
    Load(61);
    const WarpDoor& door = g_WarpDoors[kStageWarpDoorSlot];
    EXPECT_EQ(door.alive, 1);
    EXPECT_EQ(door.destination, kEndingDestination);
    EXPECT_GT(door.x, g_MonsterPools[31][14].x);  // behind the final boss
    EXPECT_EQ(g_MonsterPools[31][14].alive, kMonsterAlive);
}

TEST_F(StageLoaderTest, SetUpReadsTheStagesCollisionMap) {
    std::string map(6000, '0');
    map[11 * 400 + 70] = '1';
    dir_.dir().Write("data/1.col", map);
    Load(1);
    EXPECT_EQ(g_CollisionGrid.cells[11 * 400 + 70], 1);
    EXPECT_EQ(g_CollisionGrid.cells[11 * 400 + 71], 0);

    // Stage 2 has no map here: an empty grid, not stage 1's.
    Load(2);
    EXPECT_EQ(g_CollisionGrid.cells[11 * 400 + 70], 0);
    EXPECT_NE(std::strstr(GameLogText(), "2.col"), nullptr);
}

TEST(StageSetters, StoreTheirArguments) {
    SetLeftEdgeExit(5728, 232, 4, -1, 637);
    EXPECT_EQ(g_LeftEdgeExit.enabled, -1);  // widened with sign; never taken
    EXPECT_EQ(g_LeftEdgeExit.destination, 4);
    SetRightEdgeExit(1952, 168, 7, 1, 3);
    EXPECT_EQ(g_RightEdgeExit.arrivalPlayerY, 168);
    EXPECT_EQ(g_RightEdgeExit.arrivalScreenX, 3);

    PlaceWarpDoor(19, 100.5f, 200.0f, 1, 2, 3, 1, 4);
    EXPECT_EQ(g_WarpDoors[19].x, 100.5f);
    EXPECT_EQ(g_WarpDoors[19].arrivalScreenX, 4);
    WarpDoor before = g_WarpDoors[0];
    PlaceWarpDoor(20, 1.0f, 1.0f, 1, 1, 1, 1, 1);
    PlaceWarpDoor(-1, 1.0f, 1.0f, 1, 1, 1, 1, 1);
    EXPECT_EQ(std::memcmp(&before, &g_WarpDoors[0], sizeof before), 0);
}

}  // namespace
