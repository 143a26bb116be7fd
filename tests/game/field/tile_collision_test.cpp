// The collision move on hand-made grids: the player walking, jumping and
// falling through the field frame, and monsters and the lunge moved directly.
// Expected positions are those of the collision rules worked through by hand
// (and by a separate float model): snapped positions are exact, positions
// built up over many frames within a thousandth of a pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "field/monster_move_table.h"
#include "field/tile_collision.h"
#include "game/support/api_recorder.h"
#include "game/support/field.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_state.h"

namespace {

constexpr std::uint32_t kLeft = 0x2;
constexpr std::uint32_t kRight = 0x4;

// Grids: ground with its top at row 11 (y 352), so a standing player rests at
// y 352 - 57 = 295, plus what each case adds.
enum class Layout {
    Flat,
    StepOneRow,    // a step one row high from column 10 on (top y 320)
    StepTwoRows,   // a step two rows high from column 10 on (top y 288)
    WallLeft,      // a wall over columns 0 to 4 (right edge x 160)
    Ceiling,       // a ceiling over rows 0 to 4 (bottom y 160)
    GapTwo,        // columns 6 and 7 dug out down to row 14
    GapThree,      // columns 6 to 8 dug out down to row 14
    Pit,           // nothing from column 6 on
};

void Build(Layout layout) {
    switch (layout) {
        case Layout::Flat: FieldTest::Floor(0, 30, 11); break;
        case Layout::StepOneRow:
            FieldTest::Floor(0, 30, 11);
            FieldTest::Solid(10, 30, 10, 10);
            break;
        case Layout::StepTwoRows:
            FieldTest::Floor(0, 30, 11);
            FieldTest::Solid(10, 30, 9, 10);
            break;
        case Layout::WallLeft:
            FieldTest::Floor(0, 30, 11);
            FieldTest::Solid(0, 4, 0, 14);
            break;
        case Layout::Ceiling:
            FieldTest::Floor(0, 30, 11);
            FieldTest::Solid(0, 30, 0, 4);
            break;
        case Layout::GapTwo:
            FieldTest::Floor(0, 5, 11);
            FieldTest::Floor(8, 30, 11);
            FieldTest::Solid(6, 7, 14, 14);
            break;
        case Layout::GapThree:
            FieldTest::Floor(0, 5, 11);
            FieldTest::Floor(9, 30, 11);
            FieldTest::Solid(6, 8, 14, 14);
            break;
        case Layout::Pit: FieldTest::Floor(0, 5, 11); break;
    }
}

struct PlayerCase {
    const char* name;
    Layout layout;
    float startX, startY;
    bool airborne;
    std::uint32_t held;  // held from the first frame on
    int frames;
    // After `frames` frames: world x, y, vertical speed, airborne, wall contact.
    float x, y, vs;
    int air, wall;
};

// With AGI 0 the walk speed is 1.2 and a jump starts at -2.95; gravity adds
// 0.036 a frame. A standing player's vertical speed keeps growing until the
// floor probe snaps it back, so y bobs up to 0.76 below its rest.
const PlayerCase kPlayerCases[] = {
    // Falling from y 100: y = 100 + 0.018 n (n + 1), which would pass the
    // floor on frame 104, so frame 104 stops the feet one pixel above it.
    {"fall before landing", Layout::Flat, 100.0f, 100.0f, true, 0, 103, 100.0f, 292.816f, 3.708f, 1, 0},
    {"landing on a floor", Layout::Flat, 100.0f, 100.0f, true, 0, 104, 100.0f, 295.0f, 0.0f, 0, 0},
    // x = 200.5 + 1.2 n: the right probe (x + 17) would enter column 10 on
    // frame 86, which stops x at 320 - 18.
    {"walk up to a step", Layout::StepOneRow, 200.5f, 295.0f, false, kRight, 85, 302.5f, 295.036f, 0.036f, 0, 0},
    {"wall on the right", Layout::StepOneRow, 200.5f, 295.0f, false, kRight, 86, 302.0f, 295.108f, 0.072f, 0, 1},
    // The left probe stands on the box's edge (x - 16) and the on-screen
    // player stops one pixel further out: x = 160 + 1 + 1 + 16.
    {"walk up to a wall on the left", Layout::WallLeft, 200.5f, 295.0f, false, kLeft, 20, 176.5f, 295.756f, 0.216f, 0, 0},
    {"wall on the left", Layout::WallLeft, 200.5f, 295.0f, false, kLeft, 21, 178.0f, 295.0f, 0.0f, 0, 1},
    // Jump held: y = 295 - 2.95 n + 0.018 n (n + 1); on frame 35 the head
    // would pass y 160, so it stops at 160 + 1 + 56 and the speed rebounds
    // to -0.1 x -1.69.
    {"rising under a ceiling", Layout::Ceiling, 100.0f, 295.0f, false, kTestJump, 34, 100.0f, 216.12f, -1.726f, 1, 0},
    {"ceiling during a jump", Layout::Ceiling, 100.0f, 295.0f, false, kTestJump, 35, 100.0f, 217.0f, 0.169f, 1, 0},
    // Jumping from the foot of a step with RIGHT held: blocked until the feet
    // clear the step, pushed on by the drift in the air (0.045 a frame), the
    // camera taking over at mid-screen, down onto the step's top.
    {"jump onto a step of one row", Layout::StepOneRow, 302.0f, 295.0f, false, kRight | kTestJump, 152, 460.9398f,
     263.0f, 0.0f, 0, 0},
    // The ground test one pixel under the feet lands the player before the
    // floor probe snaps it: airborne 0 with y still above its rest...
    {"jump onto a step of two rows", Layout::StepTwoRows, 302.0f, 295.0f, false, kRight | kTestJump, 137, 425.7049f,
     231.158f, 1.982f, 0, 0},
    // ...which the next frame's probe puts right.
    {"standing on a step of two rows", Layout::StepTwoRows, 302.0f, 295.0f, false, kRight | kTestJump, 138, 426.9049f,
     231.0f, 0.0f, 0, 0},
    // Both feet over a gap two columns wide (x from 208 to 240) is enough to
    // fall: the falling feet meet the gap's far side and stop at 256 - 18; on
    // the bottom row the drift creeps the player on.
    {"fall into a gap of two columns", Layout::GapTwo, 100.5f, 295.0f, false, kRight, 157, 238.945f, 391.0f, 0.0f, 0,
     0},
    {"fall into a gap of three columns", Layout::GapThree, 100.5f, 295.0f, false, kRight, 157, 270.0f, 391.0f, 0.0f, 0,
     1},
    // Off the end of the ground (x 192) once both feet are past it, then
    // falling freely past y 1000, where the game loop's pit test takes over.
    {"fall into a pit", Layout::Pit, 100.5f, 295.0f, false, kRight, 283, 440.0f, 1011.399f, 7.164f, 1, 0},
};

class TileCollisionTest : public FieldTest {};

TEST_F(TileCollisionTest, PlayerOnHandMadeGrids) {
    for (const PlayerCase& c : kPlayerCases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Build(c.layout);
        PlacePlayer(c.startX, c.startY, c.airborne);
        PlayFrames(c.frames, c.held);
        const PlayerMotion& p = g_PlayerMotion;
        EXPECT_NEAR(p.screenX + g_StageState.cameraX, c.x, 1e-3);
        EXPECT_NEAR(p.y, c.y, 1e-3);
        EXPECT_NEAR(p.verticalSpeed, c.vs, 1e-3);
        EXPECT_EQ(p.airborne, c.air);
        EXPECT_EQ(p.wallContact, c.wall);
    }
}

TEST_F(TileCollisionTest, SnappedPositionsAreExact) {
    Build(Layout::Flat);
    PlacePlayer(100.0f, 100.0f, true);
    PlayFrames(104, 0);
    EXPECT_EQ(g_PlayerMotion.y, 295.0f);
    EXPECT_EQ(g_PlayerMotion.verticalSpeed, 0.0f);

    SetUp();
    Build(Layout::Ceiling);
    PlacePlayer(100.0f, 295.0f, false);
    PlayFrames(35, kTestJump);
    EXPECT_EQ(g_PlayerMotion.y, 217.0f);
}

// While the camera scrolls, a wall's stop is worked out from a grid that
// starts at the screen's edge and corrected by the camera's remainder. At
// every camera offset the player ends one to two pixels short of the wall on
// either side, never in it.
TEST_F(TileCollisionTest, ScrollingIntoAWallStopsShortAtEveryCameraOffset) {
    for (int toRight = 0; toRight < 2; ++toRight)
        for (int offset = 0; offset < 64; ++offset)
            for (float fraction : {0.0f, 0.3f, 0.7f}) {
                SetUp();
                Floor(0, 399, 11);
                const int wallColumn = toRight ? 80 : 66;
                Solid(wallColumn, wallColumn, 0, 10);
                g_StageState.cameraRightBound = 12000;
                g_StageState.cameraX = 2000.0f + static_cast<float>(offset) + fraction;
                PlacePlayer(320.0f, 295.0f, false);
                PlayFrames(400, toRight ? kRight : kLeft);
                const float worldX = g_PlayerMotion.screenX + g_StageState.cameraX;
                SCOPED_TRACE(std::to_string(offset) + " + " + std::to_string(fraction));
                EXPECT_EQ(g_PlayerMotion.screenX, 320.0f);
                if (toRight) {
                    float gap = wallColumn * 32.0f - (worldX + 16.0f);
                    EXPECT_GE(gap, 1.0f);
                    EXPECT_LT(gap, 2.0f);
                } else {
                    float gap = (worldX - 16.0f) - (wallColumn * 32.0f + 32.0f);
                    EXPECT_GT(gap, 1.0f);
                    EXPECT_LE(gap, 2.0f);
                }
            }
}

TEST_F(TileCollisionTest, GetMapCellTruncatesTowardZero) {
    Solid(0, 0, 0, 0);
    Solid(399, 399, 14, 14);
    Solid(5, 5, 3, 3);
    g_StageState.cameraX = 159.6f;
    const int world = 7;  // kind 11's code
    struct Probe {
        float x, y;
        int code;
        int cell;
    } probes[] = {
        {-20.0f, -20.0f, world, 1},    // -20 / 32 truncates to column and row 0
        {-31.9f, 5.0f, world, 1},
        {-32.0f, 5.0f, world, 0},      // column -1
        {12799.0f, 479.0f, world, 1},
        {12800.0f, 479.0f, world, 0},  // column 400
        {12799.0f, 480.0f, world, 0},  // row 15
        {160.2f, 100.0f, world, 1},
        // Screen codes add the camera, each truncated on its own: 0 + 159 is
        // column 4, although 0.6 + 159.6 lies in column 5.
        {0.6f, 100.0f, kMoveScrolling, 0},
        {1.0f, 100.0f, kMoveAtLeftBound, 1},
        {1.0f, 100.0f, kMoveLunge, 1},
        {-160.0f, 0.0f, kMoveAtRightBound, 1},  // -160 + 159: column 0
    };
    for (const Probe& p : probes)
        EXPECT_EQ(GetMapCell(p.x, p.y, p.code), p.cell) << p.x << ", " << p.y << " code " << p.code;
}

// Every kind that walks turns at a wall through its own move code, and no
// other kind's records change; in its special mode it only looks about.
TEST_F(TileCollisionTest, AMonsterCodeTurnsItsOwnKind) {
    for (int kind = 0; kind < kMonsterKindCount; ++kind) {
        const int code = kMonsterMoveTable[kind].moveCode;
        if (code == kNoMoveCode) continue;
        for (int special = 0; special < 2; ++special) {
            SCOPED_TRACE("kind " + std::to_string(kind) + " special " + std::to_string(special));
            SetUp();
            Floor(0, 30, 11);
            Solid(10, 30, 0, 14);
            MonsterRecord& m = g_MonsterPools[kind][3];
            m = MonsterRecord{};
            m.x = 290.5f;  // the right probe at 319.5 steps into column 10
            m.y = 327.0f;  // feet at 351
            m.speed = 0.8f;
            m.specialMode = static_cast<std::uint8_t>(special);
            m.alive = 1;
            MoveActorOnMap(m.x, m.y, m.fallSpeed, m.speed, 0.0f, 56.0f, 48.0f, m.airborne, code, 3);
            // Stopped one pixel short: 320 - 1 - 29.
            EXPECT_EQ(m.x, 290.0f);
            EXPECT_EQ(m.speed, special ? 0.8f : -0.8f);
            EXPECT_EQ(m.facesLeft, 1);
            EXPECT_EQ(m.airborne, 0);
            for (int other = 0; other < kMonsterKindCount; ++other)
                for (int slot = 0; slot < kMonsterSlotCount; ++slot) {
                    if (other == kind && slot == 3) continue;
                    ASSERT_EQ(g_MonsterPools[other][slot].speed, 0.0f) << other << "/" << slot;
                    ASSERT_EQ(g_MonsterPools[other][slot].facesLeft, 0) << other << "/" << slot;
                }
            EXPECT_EQ(g_PlayerMotion.wallContact, 0);
        }
    }
}

TEST_F(TileCollisionTest, MonsterOnTheLeftWallAndOffAnEdge) {
    Floor(0, 10, 11);
    Solid(0, 4, 0, 14);
    MonsterRecord& m = g_MonsterPools[11][0];
    m.x = 190.0f;  // left edge 162
    m.y = 327.0f;
    m.speed = -3.0f;
    m.facesLeft = 1;
    MoveActorOnMap(m.x, m.y, m.fallSpeed, m.speed, 0.0f, 56.0f, 48.0f, m.airborne, 7, 0);
    // Stopped at the cell's right edge plus one: 160 + 1 + 28.
    EXPECT_EQ(m.x, 189.0f);
    EXPECT_EQ(m.speed, 3.0f);
    EXPECT_EQ(m.facesLeft, 0);

    // Walking off the ground's end at x 352: airborne once both feet are past.
    m.x = 378.0f;
    m.speed = 1.0f;
    MoveActorOnMap(m.x, m.y, m.fallSpeed, m.speed, 0.0f, 56.0f, 48.0f, m.airborne, 7, 0);
    EXPECT_EQ(m.airborne, 0);  // the left foot at 351 still reads column 10
    MoveActorOnMap(m.x, m.y, m.fallSpeed, m.speed, 0.0f, 56.0f, 48.0f, m.airborne, 7, 0);
    EXPECT_EQ(m.x, 380.0f);
    EXPECT_EQ(m.airborne, 1);
}

TEST_F(TileCollisionTest, AHeadInsideASolidCellWithNoStepRebounds) {
    Floor(0, 30, 11);
    Solid(2, 2, 7, 7);  // the cell at the head's left corner
    PlacePlayer(84.0f, 295.0f, false);  // head corners (68, 239) and (100, 239)
    g_PlayerMotion.verticalSpeed = 2.0f;
    float x = g_PlayerMotion.screenX, y = g_PlayerMotion.y;
    float vx = 0.0f, vy = 0.0f;
    EXPECT_EQ(ResolveMapProbe(x - 16.0f, y - 56.0f, vx, vy, kMoveAtLeftBound, 0), kProbeCeiling);
    EXPECT_EQ(vx, 0.0f);
    EXPECT_EQ(vy, 0.0f);
    MoveActorOnMap(g_PlayerMotion.screenX, g_PlayerMotion.y, g_PlayerMotion.verticalSpeed, 0.0f, 0.0f, 32.0f,
                   112.0f, g_PlayerMotion.airborne, kMoveAtLeftBound, 0);
    EXPECT_FLOAT_EQ(g_PlayerMotion.verticalSpeed, -0.2f);
}

TEST_F(TileCollisionTest, LandingEndsTheAttackAndDrift) {
    Floor(0, 30, 11);
    PlacePlayer(100.0f, 295.5f, true);  // the feet reach y 352 this step
    PlayerActionState& a = g_PlayerActionState;
    a.attackActive = 1;
    a.comboTimer = 20.0f;
    a.bufferedStep = 17;
    a.comboStep = kComboAirAttack;
    a.stepLatch = 1;
    g_PlayerMotion.drift = 0.5f;
    MoveActorOnMap(g_PlayerMotion.screenX, g_PlayerMotion.y, g_PlayerMotion.verticalSpeed, 0.0f, 0.5f, 32.0f, 112.0f,
                   g_PlayerMotion.airborne, kMoveAtLeftBound, 0);
    EXPECT_EQ(g_PlayerMotion.airborne, 0);
    EXPECT_EQ(a.attackActive, 0);
    EXPECT_EQ(a.comboTimer, 0.0f);
    EXPECT_EQ(a.bufferedStep, 0);
    EXPECT_EQ(a.comboStep, 0);
    EXPECT_EQ(a.stepLatch, 0);
    EXPECT_EQ(g_PlayerMotion.drift, 0.0f);

    // A monster landing leaves the player's attack alone.
    a.attackActive = 1;
    MonsterRecord& m = g_MonsterPools[10][0];
    m.x = 200.0f;
    m.y = 327.5f;
    m.airborne = 1;
    MoveActorOnMap(m.x, m.y, m.fallSpeed, 0.0f, 0.5f, 56.0f, 48.0f, m.airborne, 29, 0);
    EXPECT_EQ(m.airborne, 0);
    EXPECT_EQ(a.attackActive, 1);
}

TEST_F(TileCollisionTest, ALungeNeverCarriesThePlayerOverAnEdge) {
    Floor(0, 9, 11);  // the ground ends at x 320
    for (int onScreen = 0; onScreen < 2; ++onScreen) {
        SCOPED_TRACE(onScreen);
        // The player's left foot stands 2 pixels before the end of the ground
        // (world 318 = camera + screen x - 16).
        g_StageState.cameraX = onScreen ? 0.0f : 100.0f;
        PlacePlayer(onScreen ? 334.0f : 234.0f, 295.0f, false);
        g_PlayerMotion.onScreen = static_cast<std::uint8_t>(onScreen);
        g_PlayerActionState.skillCActive = 1;
        g_PlayerActionState.skillCScrollOffset = 5.0f;
        MoveActorOnMap(g_PlayerMotion.screenX, g_PlayerMotion.y, g_PlayerMotion.verticalSpeed, 1.5f, 0.0f, 32.0f,
                       112.0f, g_PlayerMotion.airborne, kMoveLunge, 0);
        EXPECT_EQ(g_PlayerMotion.screenX + g_StageState.cameraX, 335.5f);
        MoveActorOnMap(g_PlayerMotion.screenX, g_PlayerMotion.y, g_PlayerMotion.verticalSpeed, 1.5f, 0.0f, 32.0f,
                       112.0f, g_PlayerMotion.airborne, kMoveLunge, 0);
        // The second step would leave both feet over nothing: taken back.
        EXPECT_EQ(g_PlayerMotion.screenX + g_StageState.cameraX, 335.5f);
        EXPECT_EQ(g_PlayerMotion.airborne, 0);
        // The skill's effect follows the camera's steps only.
        EXPECT_EQ(g_PlayerActionState.skillCScrollOffset, onScreen ? 5.0f : 6.5f);
    }
}

}  // namespace
