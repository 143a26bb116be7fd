// The game played headless through the real framework on the generated data
// set, from the title on: NEW GAME, stage 1 walked to its exit, a warp door,
// a pit, a defeat with GAME OVER, EXIT from the system menu, then a save
// placed on stage 61 beside the door to the ending, the ending, and that
// game continued. The save files are read back field by field. Also the
// pacing on the virtual clock, across its wrap past 2^32 ms.
//
// Run with KELVO_RUN_CAPTURE=<folder> to keep a named frame of each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "field/game_loop.h"
#include "front/startup.h"
#include "front/title_menu.h"
#include "integration/support/generated_game_folder.h"
#include "kelvo/api.h"
#include "platform/dinput.h"
#include "platform/display.h"
#include "rules/gallery_flags.h"
#include "rules/key_config.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/save_data.h"
#include "rules/sub_screen.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"
#include "world/stages/collision_map.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

namespace {

namespace fs = std::filesystem;
using Keys = std::vector<const char*>;

// The save file's fields at their offsets, read on their own, not through
// the game's reader.
struct SaveFields {
    std::vector<unsigned char> bytes;
    int I32(int offset) const {
        return static_cast<int>(bytes.at(offset) | bytes.at(offset + 1) << 8 | bytes.at(offset + 2) << 16 |
                                static_cast<unsigned>(bytes.at(offset + 3)) << 24);
    }
    int stage() const { return static_cast<signed char>(bytes.at(0)); }
    int hp() const { return I32(1); }
    int maxHp() const { return I32(5); }
    int sp() const { return I32(9); }
    int maxSp() const { return I32(13); }
    int level() const { return I32(41); }
    int exp() const { return I32(45); }
    int arrivalCameraX() const { return I32(53); }
    int arrivalPlayerY() const { return I32(57); }
    int arrivalScreenX() const { return I32(61); }
    int money() const { return I32(65); }
    int difficulty() const { return bytes.at(85); }
    int slot() const { return bytes.at(86); }
};

std::vector<unsigned char> Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void PutI32(std::vector<unsigned char>& bytes, int offset, int value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(static_cast<unsigned>(value) >> (8 * i));
}

class FieldPlayRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* dir = std::getenv("KELVO_RUN_CAPTURE")) captureDir_ = dir;
        PlatformInputReset();
        ASSERT_NO_FATAL_FAILURE(game_.Start());
        PlatformSetFrameSink([this](const PlatformFrame& frame) {
            last_ = frame;
            ++presents_;
            if (onPresent_) onPresent_(frame);
        });
        // What WinMain does before its loading screen, and the gallery flags.
        LoadKeyConfig();
        ApplyKeyConfig();
        LoadStartupImages();
        ApiSelectDrawTarget(kDrawTargetBack);
        LoadGalleryFlags();
    }
    void TearDown() override {
        PlatformSetFrameSink(nullptr);
        PlatformSetInputScript({});
        ApiReleaseAllGraphs(0);
        game_.End();
    }

    static PlatformInputFrame Input(const Keys& keys) {
        PlatformInputFrame frame;
        for (const char* key : keys) frame.keys.push_back(PlatformInputKeyCode(key));
        return frame;
    }
    // The keys held in the next frame; a frame with a loop of its own (GAME
    // OVER, the ending) sees `later` from its own first present on.
    static void Hold(const Keys& keys, std::vector<PlatformInputFrame> later = {}) {
        later.insert(later.begin(), Input(keys));
        PlatformSetInputScript(std::move(later));
    }

    bool TitleFrame(const Keys& keys = {}) {
        Hold(keys);
        return RunTitleMenuFrame(menu_);
    }
    // Title frames: each key pressed for one frame and released in the next.
    // False once the menu has handed over.
    bool Title(const std::vector<Keys>& presses) {
        for (const Keys& keys : presses) {
            if (!TitleFrame(keys)) return false;
            if (!TitleFrame()) return false;
        }
        return true;
    }
    FrameResult Play(const Keys& keys = {}) {
        Hold(keys);
        return RunGameFrame();
    }
    // Frames with nothing held until the player stands.
    void Land() {
        for (int n = 0; n < 400 && !(g_PlayerMotion.airborne == 0 && n > 2); ++n) ASSERT_NE(Play(), FrameResult::kQuitToTitle);
        ASSERT_EQ(g_PlayerMotion.airborne, 0);
    }

    void Capture(const std::string& name) const { Capture(last_, name); }
    void Capture(const PlatformFrame& frame, const std::string& name) const {
        if (!captureDir_.empty()) PlatformWritePng(frame, captureDir_ + "/" + name + ".png");
    }
    // Keeps the n-th frame presented from now on under `name`.
    void CaptureNth(std::uint64_t n, const std::string& name) {
        const std::uint64_t at = presents_ + n;
        onPresent_ = [this, at, name](const PlatformFrame& frame) {
            if (presents_ == at) Capture(frame, name);
        };
    }

    // Puts the player on `stage` as a stage load from an exit would.
    static void Arrive(int stage, int cameraX, int playerY, int screenX) {
        g_PlayerRecord.arrivalCameraX = cameraX;
        g_PlayerRecord.arrivalPlayerY = playerY;
        g_PlayerRecord.arrivalScreenX = screenX;
        LoadStage(stage);
    }

    SaveFields Save(int slot) const { return {Slurp(game_.data().path() / "savedata" / ("file" + std::to_string(slot) + ".dat"))}; }
    std::vector<unsigned char> File(const char* name) const { return Slurp(game_.data().path() / "savedata" / name); }

    GeneratedGameFolder game_;
    std::string captureDir_;
    PlatformFrame last_;
    std::uint64_t presents_ = 0;
    std::function<void(const PlatformFrame&)> onPresent_;
    TitleMenu menu_{};
};

// A pit of the stage's map at least two columns wide within the camera's
// reach: the world x of its middle, or -1.
int FindPit(int stage) {
    CollisionGrid grid{};
    const std::string path = "data\\" + std::to_string(stage) + ".col";
    if (ReadCollisionMapFile(path.c_str(), grid) < 0) return -1;
    auto open = [&](int column) {
        for (int row = 0; row < kCollisionRows; ++row)
            if (grid.cells[row * kCollisionColumns + column] != kCellEmpty) return false;
        return true;
    };
    const int first = (kCameraLeftBound + 320) / kCollisionCellSize;
    const int last = (kStageTable[stage - 1].rightBound + 320) / kCollisionCellSize;
    for (int c = first; c < last; ++c)
        if (open(c) && open(c + 1)) return (c + 1) * kCollisionCellSize;
    return -1;
}

TEST_F(FieldPlayRun, FromTheTitleThroughEveryWayOutOfAStageToTheEnding) {
    // ---- the title: NEW GAME on FILE1, NORMAL, QUEST START ----
    BeginTitleMenu(menu_);
    for (int n = 0; n < 30; ++n) ASSERT_TRUE(TitleFrame());
    Capture("01-title");
    ASSERT_TRUE(Title({{"X"}, {"X"}, {"X"}}));
    Capture("02-difficulty");
    CaptureNth(200, "03-quest-start");
    const std::uint64_t before = presents_;
    ASSERT_FALSE(TitleFrame({"X"}));
    EXPECT_EQ(presents_ - before, 380u);
    ASSERT_EQ(g_GameStartFlag, 1);
    ASSERT_EQ(g_LoadedGameFlag, 0);
    EXPECT_EQ(g_PlayerRecord.saveSlot, 0);
    EXPECT_EQ(g_PlayerRecord.difficulty, kDifficultyNormal);

    // ---- stage 1: right, jumping whenever a wall stops the player ----
    StartGame();
    ASSERT_EQ(g_PlayerRecord.stage, 1);
    bool jump = false;
    float lastX = -1.0f;
    int frames = 0;
    for (; frames < 3000 && g_PlayerRecord.stage == 1; ++frames) {
        if (frames == 300) Capture("04-stage1-walking");
        const float x = g_StageState.cameraX + g_PlayerMotion.screenX;
        jump = !jump && g_PlayerMotion.airborne == 0 && x <= lastX;
        lastX = x;
        if (g_PlayerMotion.screenX > 600.0f) Capture("05-stage1-exit");
        const FrameResult result = Play(jump ? Keys{"RIGHT", "X"} : Keys{"RIGHT"});
        ASSERT_NE(result, FrameResult::kQuitToTitle);
        if (g_PlayerRecord.stage != 1) {
            EXPECT_EQ(result, FrameResult::kNextFrame);
        }
    }
    ASSERT_EQ(g_PlayerRecord.stage, 2) << "after " << frames << " frames";
    EXPECT_EQ(g_PlayerRecord.arrivalCameraX, 1952);
    EXPECT_EQ(g_PlayerRecord.arrivalPlayerY, 296);
    EXPECT_EQ(g_PlayerRecord.arrivalScreenX, 3);
    for (int n = 0; n < 130; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    Capture("06-stage2");

    // ---- a warp door: stage 4's, to stage 16 ----
    const WarpDoorDef& door = kStageTable[4 - 1].warpDoor;
    Arrive(4, door.x - 320, 200, 320);
    Land();
    Capture("07-at-the-door");
    EXPECT_EQ(Play({"UP"}), FrameResult::kPresented);  // the frame goes on after the load
    EXPECT_EQ(g_PlayerRecord.stage, door.to.destination);
    EXPECT_EQ(g_StageState.cameraX, static_cast<float>(door.to.arrivalCameraX));
    for (int n = 0; n < 130; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    Capture("08-through-the-door");

    // ---- a pit: the first stage from 3 on with one within reach ----
    int pitStage = 3, pitX = -1;
    for (; pitStage <= kStageCount && (pitX = FindPit(pitStage)) < 0; ++pitStage) {
    }
    ASSERT_GT(pitX, 0);
    const int camera = std::clamp(pitX - 320, kCameraLeftBound, kStageTable[pitStage - 1].rightBound);
    Arrive(pitStage, camera, 120, pitX - camera);
    const int hp = g_PlayerRecord.hp, maxHp = g_PlayerRecord.maxHp;
    FrameResult result = FrameResult::kPresented;
    for (int n = 0; n < 600 && result == FrameResult::kPresented; ++n) {
        if (g_PlayerMotion.y > 500.0f) Capture("09-falling");
        result = Play();
    }
    ASSERT_EQ(result, FrameResult::kNextFrame) << "stage " << pitStage;
    EXPECT_EQ(g_PlayerRecord.stage, pitStage);
    EXPECT_EQ(g_PlayerRecord.hp, std::max(hp - maxHp / 2, 1));
    EXPECT_EQ(g_PlayerMotion.y, 120.0f);  // back where the stage was entered
    EXPECT_EQ(g_StageState.cameraX, static_cast<float>(camera));

    // ---- a defeat: a kind-11 monster beside the player, 1 HP left ----
    Arrive(2, 1952, 296, 320);
    Land();
    g_PlayerRecord.hp = 1;
    g_PlayerRecord.exp = 40;
    MonsterRecord& monster = g_MonsterPools[11][0];
    monster = MonsterRecord{};
    monster.alive = kMonsterAlive;
    monster.hp = kMonsterKindParams[11].hp;
    monster.x = g_StageState.cameraX + g_PlayerMotion.screenX + 40.0f;
    monster.y = g_PlayerMotion.y;
    monster.speed = -0.5f;
    monster.airborne = 1;
    // GAME OVER's own frames: nothing, then the decide key on its 769th.
    std::vector<PlatformInputFrame> gameOverKeys(768);
    gameOverKeys.push_back(Input({"X"}));
    result = FrameResult::kPresented;
    for (int n = 0; n < 3000 && result == FrameResult::kPresented; ++n) {
        CaptureNth(600, "10-game-over");
        Hold({}, gameOverKeys);
        result = RunGameFrame();
    }
    ASSERT_EQ(result, FrameResult::kNextFrame);
    EXPECT_EQ(g_DefeatPictureIndex, kMonsterKindParams[11].defeatPicture);
    EXPECT_EQ(g_PlayerRecord.hp, g_PlayerRecord.maxHp / 2);
    EXPECT_EQ(g_PlayerRecord.exp, 35);
    std::vector<unsigned char> gallery = File("sys.dat");
    ASSERT_EQ(gallery.size(), 32u);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(gallery[i], i == kMonsterKindParams[11].defeatPicture ? 1 : 0) << i;
    for (int n = 0; n < 130; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    Capture("11-after-game-over");

    // ---- EXIT from the system menu saves FILE1 ----
    EXPECT_EQ(Play({"ESCAPE"}), FrameResult::kPresented);
    ASSERT_EQ(g_SubScreenMode, kSubScreenSystemMenu);
    for (int n = 0; n < 3; ++n) {
        Play({"DOWN"});
        Play();
    }
    Capture("12-system-menu");
    const PlayerRecord played = g_PlayerRecord;
    ASSERT_EQ(Play({"X"}), FrameResult::kQuitToTitle);
    const SaveFields file1 = Save(1);
    ASSERT_EQ(file1.bytes.size(), 87u);
    EXPECT_EQ(file1.stage(), 2);
    EXPECT_EQ(file1.hp(), played.hp);
    EXPECT_EQ(file1.maxHp(), played.maxHp);
    EXPECT_EQ(file1.sp(), played.sp);
    EXPECT_EQ(file1.level(), 1);
    EXPECT_EQ(file1.exp(), 35);
    EXPECT_EQ(file1.arrivalCameraX(), 1952);
    EXPECT_EQ(file1.arrivalPlayerY(), 296);
    EXPECT_EQ(file1.arrivalScreenX(), 320);
    EXPECT_EQ(file1.money(), played.money);
    EXPECT_EQ(file1.difficulty(), kDifficultyNormal);
    EXPECT_EQ(file1.slot(), 0);
    EXPECT_EQ(File("start1.dat"), (std::vector<unsigned char>{2, 1, 0, 0, 0}));

    // ---- a save placed on stage 61 beside the door to the ending ----
    const WarpDoorDef& ending = kStageTable[61 - 1].warpDoor;
    ASSERT_EQ(ending.to.destination, kEndingDestination);
    std::vector<unsigned char> placed = file1.bytes;
    placed[0] = 61;
    PutI32(placed, 1, 5000), PutI32(placed, 5, 5000);  // HP, max HP
    PutI32(placed, 41, 50), PutI32(placed, 45, 1234);  // level, EXP
    PutI32(placed, 53, kStageTable[61 - 1].rightBound);
    PutI32(placed, 57, 200);
    PutI32(placed, 61, ending.x - kStageTable[61 - 1].rightBound);
    PutI32(placed, 65, 777777);
    placed[86] = 1;
    std::ofstream(game_.data().path() / "savedata" / "file2.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(placed.data()), static_cast<std::streamsize>(placed.size()));
    std::ofstream(game_.data().path() / "savedata" / "start2.dat", std::ios::binary).write("\x3d\x32\0\0\0", 5);

    // The title, GAME MODE, FILE2 (LOAD LV 50): the game starts on stage 61.
    BeginTitleMenu(menu_);
    ASSERT_TRUE(Title({{"X"}, {"X"}}));
    ASSERT_TRUE(Title({{"DOWN"}}));
    Capture("13-file-select");
    ASSERT_FALSE(Title({{"X"}}));
    ASSERT_EQ(g_LoadedGameFlag, 1);
    StartGame();
    ASSERT_EQ(g_PlayerRecord.stage, 61);
    Land();
    for (int n = 0; n < 130; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    Capture("14-stage61-door");
    CaptureNth(300, "15-ending");
    const std::uint64_t beforeEnding = presents_;
    ASSERT_EQ(Play({"UP"}), FrameResult::kQuitToTitle);
    EXPECT_EQ(presents_ - beforeEnding, 768u);
    onPresent_ = nullptr;
    Capture("16-ending-last");

    // The save is the game as the ending left it: on stage 43 at the door's
    // arrival; HP and SP as the fight beside the door left them.
    const PlayerRecord& saved = g_PlayerRecord;
    const SaveFields file2 = Save(2);
    const SaveFields asPlaced{placed};
    ASSERT_EQ(file2.bytes.size(), 87u);
    EXPECT_EQ(file2.stage(), 43);
    EXPECT_EQ(file2.hp(), saved.hp);
    EXPECT_GT(file2.hp(), 0);
    EXPECT_EQ(file2.sp(), saved.sp);
    EXPECT_EQ(file2.maxHp(), 5000);
    EXPECT_EQ(file2.level(), 50);
    EXPECT_EQ(file2.exp(), 1234);
    EXPECT_EQ(file2.arrivalCameraX(), ending.to.arrivalCameraX);
    EXPECT_EQ(file2.arrivalPlayerY(), ending.to.arrivalPlayerY);
    EXPECT_EQ(file2.arrivalScreenX(), ending.to.arrivalScreenX);
    EXPECT_EQ(file2.money(), 777777);
    EXPECT_EQ(file2.difficulty(), kDifficultyNormal);
    EXPECT_EQ(file2.slot(), 1);
    // Max SP, the six stats, the points and the four worn rows as placed.
    for (int offset : {13, 17, 21, 25, 29, 33, 37, 49, 69, 73, 77, 81})
        EXPECT_EQ(file2.I32(offset), asPlaced.I32(offset)) << offset;
    EXPECT_EQ(File("start2.dat"), (std::vector<unsigned char>{43, 50, 0, 0, 0}));
    EXPECT_EQ(Save(1).bytes, file1.bytes);  // the other slot untouched
    EXPECT_EQ(File("config.dat"), (std::vector<unsigned char>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));

    // Continuing that game starts on stage 43 at the door's arrival.
    BeginTitleMenu(menu_);
    ASSERT_TRUE(Title({{"X"}, {"X"}, {"DOWN"}}));
    ASSERT_FALSE(Title({{"X"}}));
    StartGame();
    EXPECT_EQ(g_PlayerRecord.stage, 43);
    EXPECT_EQ(g_StageState.cameraX, static_cast<float>(ending.to.arrivalCameraX));
    for (int n = 0; n < 130; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    Capture("17-stage43");
}

TEST_F(FieldPlayRun, FramesArePacedAt5MsAlsoAcrossTheClockWrap) {
    InitNewGame();
    g_LoadedGameFlag = 0;
    StartGame();
    const std::uint64_t start = PlatformVirtualMicros();
    for (int n = 0; n < 2000; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    const std::int64_t elapsed = static_cast<std::int64_t>(PlatformVirtualMicros() - start);
    EXPECT_NEAR(elapsed, 10'000'000, 5'000);

    // 50 ms before the millisecond clock passes 2^32.
    const auto now = static_cast<std::uint32_t>(ApiGetMilliseconds(0));
    PlatformAdvanceVirtualClock((std::uint64_t{0xFFFFFFFFu - now} + 1 - 50) * 1000);
    ResetFrameInput();
    EXPECT_GT(g_FrameInputState.lastFrameTime, 0xFFFFFFFFu - 60);
    const std::uint64_t beforeWrap = PlatformVirtualMicros();
    for (int n = 0; n < 100; ++n) ASSERT_EQ(Play(), FrameResult::kPresented);
    EXPECT_LT(g_FrameInputState.lastFrameTime, 460u);  // wrapped, and went on
    EXPECT_NEAR(static_cast<std::int64_t>(PlatformVirtualMicros() - beforeWrap), 500'000, 5'000);
}

}  // namespace
