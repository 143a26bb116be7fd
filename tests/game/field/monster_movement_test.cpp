// The game loop's monster move: the kinds' table, when monsters stop near
// the player, turn and start their attack (with the game's random numbers in
// their fixed order), the charges and jumps, the floating kinds, and the
// further actor pools.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "engine/game_random.h"
#include "field/monster_move_table.h"
#include "field/monster_movement.h"
#include "game/support/field.h"
#include "rules/player_motion.h"
#include "rules/sub_screen.h"
#include "world/monsters/actor_pools.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_loader.h"
#include "world/stages/stage_state.h"

namespace {

// The move codes as the collision rules list them, code: kind.
const std::map<int, int> kCodeToKind = {
    {7, 11},  {8, 12},  {9, 13},  {10, 17}, {11, 19}, {12, 8},  {13, 21}, {14, 6},  {15, 22}, {16, 0},
    {17, 25}, {18, 7},  {19, 1},  {20, 16}, {21, 23}, {22, 15}, {23, 20}, {24, 26}, {25, 9},  {26, 2},
    {27, 3},  {28, 4},  {29, 10}, {50, 18}, {51, 14}, {52, 27}, {53, 24}, {54, 5},
};

TEST(MonsterMoveTable, CodesOrderAndCharges) {
    int walking = 0, standing = 0, floating = 0, charging = 0, jumping = 0;
    for (int kind = 0; kind < kMonsterKindCount; ++kind) {
        const MonsterMoveRow& row = kMonsterMoveTable[kind];
        walking += row.pattern == MovePattern::Walking;
        standing += row.pattern == MovePattern::Standing;
        floating += row.pattern == MovePattern::Floating;
        charging += row.charge != ChargeStep::None && row.pattern != MovePattern::Floating;
        jumping += row.jumpSpeed != 0.0f;
        if (row.moveCode != kNoMoveCode) {
            EXPECT_EQ(MonsterKindOfMoveCode(row.moveCode), kind);
        }
    }
    EXPECT_EQ(walking, 24);
    EXPECT_EQ(standing, 4);
    EXPECT_EQ(floating, 4);
    EXPECT_EQ(charging, 20);  // kinds 13, 18, 22 and 27 stand while attacking
    EXPECT_EQ(jumping, 8);
    for (const auto& [code, kind] : kCodeToKind) EXPECT_EQ(MonsterKindOfMoveCode(code), kind) << code;
    EXPECT_EQ(MonsterKindOfMoveCode(0), -1);
    EXPECT_EQ(MonsterKindOfMoveCode(kNoMoveCode), -1);
    // Sample rows.
    EXPECT_EQ(kMonsterMoveTable[5].jumpSpeed, -1.9f);
    EXPECT_EQ(kMonsterMoveTable[16].charge, ChargeStep::SlowForward);
    EXPECT_EQ(kMonsterMoveTable[4].charge, ChargeStep::BackOff);
    EXPECT_EQ(kMonsterMoveTable[4].moveCode, 28);  // its own code, in the charge as well
    EXPECT_EQ(kMonsterMoveTable[25].chargeStart, 127);
    // The move order holds every kind once.
    int sum = 0;
    std::vector<bool> seen(kMonsterKindCount);
    for (int kind : kMonsterMoveOrder) {
        EXPECT_FALSE(seen[kind]);
        seen[kind] = true;
        sum += kind;
    }
    EXPECT_EQ(sum, 31 * 32 / 2);
    EXPECT_EQ(kMonsterMoveOrder.front(), 28);
    EXPECT_EQ(kMonsterMoveOrder.back(), 1);
}

class MonsterMovementTest : public FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        Floor(0, 399, 11);
        g_StageState.cameraX = 1000.0f;
        g_StageState.cameraLeftBound = 0;
        g_StageState.cameraRightBound = 6000;
        g_PlayerMotion.screenX = 320.0f;  // world 1320
    }
    // A monster standing on the floor (feet at y 351).
    static MonsterRecord& Place(int kind, int slot, float x, float speed) {
        MonsterRecord& m = g_MonsterPools[kind][slot];
        m = MonsterRecord{};
        m.x = x;
        m.y = 327.0f;
        m.speed = speed;
        m.alive = kMonsterAlive;
        return m;
    }
    // One field frame of the monster move, with the frame counter advanced.
    static void Step() {
        ++g_FieldFrameCounter;
        MoveMonsters();
    }
};

// A walking monster stops while the player is within 64 pixels and walks on
// only once the player is 80 or more away; a standing one reaches 256, a
// floating one 32.
TEST_F(MonsterMovementTest, NearByteWithSlack) {
    struct Case {
        int kind;
        float distance;   // player screen x minus monster screen x
        int before, after;
    } cases[] = {
        {11, 60.0f, 0, 1},   {11, -63.9f, 0, 1}, {11, 64.0f, 0, 0},  {11, 70.0f, 1, 1},
        {11, -79.9f, 1, 1},  {11, 80.0f, 1, 0},  {11, -80.0f, 1, 0}, {8, 250.0f, 0, 1},
        {8, 271.0f, 1, 1},   {8, 272.0f, 1, 0},  {29, 31.0f, 0, 1},  {29, 33.0f, 0, 0},
        {29, 47.0f, 1, 1},   {29, 48.0f, 1, 0},  {11, 10.0f, 2, 2},  // attacking: the routine's own
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " at " + std::to_string(c.distance));
        SetUp();
        MonsterRecord& m = Place(c.kind, 2, 1320.0f - c.distance, 0.0f);
        m.engage = static_cast<std::uint8_t>(c.before);
        MoveMonster(c.kind, 2);
        EXPECT_EQ(m.engage, c.after);
    }
}

TEST_F(MonsterMovementTest, AnEngagedMonsterStandsButFalls) {
    MonsterRecord& m = Place(12, 0, 1300.0f, 0.4f);
    m.y = 300.0f;
    m.airborne = 1;
    MoveMonster(12, 0);
    EXPECT_EQ(m.engage, 1);
    EXPECT_EQ(m.x, 1300.0f);
    EXPECT_FLOAT_EQ(m.y, 300.036f);
    MonsterRecord& far = Place(12, 1, 2000.0f, 0.4f);
    MoveMonster(12, 1);
    EXPECT_FLOAT_EQ(far.x, 2000.4f);
}

// Slot i's turn test falls on frames where (33 i + frame) % 300 is 0: slot 0
// on 300, 600, ...; slot 1 on 267, 567, .... Each test draws a number; above
// 49 (mod 100) the monster turns, unless it is attacking.
TEST_F(MonsterMovementTest, TurnsOnTheirFramesWithTheGamesNumbers) {
    Place(11, 0, 3000.0f, 0.7f);
    Place(11, 1, 4000.0f, 0.7f);
    std::vector<std::string> events;
    float speed0 = 0.7f, speed1 = 0.7f;
    for (int n = 1; n <= 1200; ++n) {
        std::uint32_t before = GameRandState();
        Step();
        if (GameRandState() != before) events.push_back("draw " + std::to_string(n));
        if (g_MonsterPools[11][0].speed != speed0) events.push_back("turn 0 at " + std::to_string(n));
        if (g_MonsterPools[11][1].speed != speed1) events.push_back("turn 1 at " + std::to_string(n));
        speed0 = g_MonsterPools[11][0].speed;
        speed1 = g_MonsterPools[11][1].speed;
    }
    // Draws at 200 (slot 0's attack chance, 0 x 10 + 200), 210 (slot 1's),
    // 267, 300, ... The sequence 41, 18467, 6334, 26500, 19169, 15724, 11478,
    // 29358, 26962, 24464: 41 % 3 != 0, 18467 % 3 != 0, then the turn draws
    // 6334 % 100 = 34 (no), 26500 -> 0 (no), then attack chances at 400 and 420:
    // 19169 % 3 = 2, 15724 % 3 = 1; 567: 11478 -> 78, slot 1 turns; 600: 29358
    // -> 58, slot 0 turns; 600 and 630: attack chances 26962 % 3 = 1,
    // 24464 % 3 = 2.
    std::vector<std::string> expected = {"draw 200", "draw 210", "draw 267", "draw 300",     "draw 400",
                                         "draw 420", "draw 567", "turn 1 at 567", "draw 600", "turn 0 at 600"};
    events.resize(std::min(events.size(), expected.size()));
    EXPECT_EQ(events, expected);
    // A walking monster faces the way it walks.
    EXPECT_EQ(g_MonsterPools[11][0].facesLeft, 1);
}

// The attack chance comes every 10 i + 200 frames and starts the attack on a
// number divisible by 3; the speed becomes positive.
TEST_F(MonsterMovementTest, AttackDecision) {
    // Slot 5's chance at 250 draws 41 (no), at 500 18467 (no); the draws
    // of 5 x 33 + frame = 300k fall at 135, 435: those come first.
    MonsterRecord& m = Place(13, 5, 3000.0f, -0.7f);
    std::vector<int> starts;
    for (int n = 1; n <= 3000 && starts.size() < 1; ++n) {
        Step();
        if (m.specialMode == 1) starts.push_back(n);
    }
    ASSERT_EQ(starts.size(), 1u);
    // Draws in order: 135 turn (41), 250 chance (18467 % 3 = 2), 435 turn
    // (6334), 500 chance (26500 % 3 = 1), 735 turn (19169 -> 69: turns),
    // 750 chance (15724 % 3 = 1), 1000 chance (11478 % 3 = 0): attack.
    EXPECT_EQ(starts[0], 1000);
    EXPECT_EQ(m.specialTimer, 0);
    EXPECT_EQ(m.specialTrigger, 0);
    EXPECT_GT(m.speed, 0.0f);
}

// Charges: a jumping kind leaves the ground on the frame its attack timer
// reaches the charge start + 1 and moves at its speed towards its facing
// (twice falling: the charge move and the standing move both take the fall);
// the slow kinds creep at 0.3; kind 4 backs off at 0.5 and turns itself, not
// kind 3, at a wall.
TEST_F(MonsterMovementTest, ChargesAndJumps) {
    MonsterRecord& m = Place(0, 0, 3000.0f, 0.3f);
    m.specialMode = 1;
    m.specialTimer = 127;
    MoveMonster(0, 0);
    EXPECT_EQ(m.x, 3000.0f);  // not above 127 yet
    m.specialTimer = 128;
    m.facesLeft = 1;
    MoveMonster(0, 0);
    EXPECT_FLOAT_EQ(m.x, 2999.7f);
    EXPECT_EQ(m.airborne, 1);
    EXPECT_FLOAT_EQ(m.fallSpeed, -1.5f);
    EXPECT_FLOAT_EQ(m.y, 327.0f - 3.0f);
    EXPECT_EQ(m.facesLeft, 1);  // attacking: the facing is the routine's

    MonsterRecord& slow = Place(16, 0, 3000.0f, 1.0f);
    slow.specialMode = 1;
    slow.specialTimer = 256;
    MoveMonster(16, 0);
    EXPECT_FLOAT_EQ(slow.x, 3000.3f);

    MonsterRecord& still = Place(13, 0, 3000.0f, 0.7f);
    still.specialMode = 1;
    still.specialTimer = 400;
    MoveMonster(13, 0);
    EXPECT_EQ(still.x, 3000.0f);

    // Kind 4 facing right backs off to the left, into a wall at x 2976.
    Solid(92, 92, 0, 10);
    MonsterRecord& backer = Place(4, 7, 3004.3f, 0.6f);  // left edge 2976.3
    MonsterRecord& bystander = Place(3, 7, 5000.0f, 0.7f);
    backer.specialMode = 1;
    backer.specialTimer = 200;
    MoveMonster(4, 7);
    EXPECT_FLOAT_EQ(backer.x, 3005.0f);  // 2976 + 1 + 28
    EXPECT_EQ(backer.facesLeft, 1);  // it looked about; its speed stays (attacking)
    EXPECT_EQ(backer.speed, 0.6f);
    EXPECT_EQ(bystander.facesLeft, 0);
    EXPECT_EQ(bystander.speed, 0.7f);
}

TEST_F(MonsterMovementTest, StandingKindsOnlyFall) {
    MonsterRecord& m = Place(7, 0, 3000.0f, 0.0f);
    m.y = 100.0f;
    m.airborne = 1;
    m.facesLeft = 1;
    for (int n = 0; n < 300; ++n) Step();
    EXPECT_EQ(m.x, 3000.0f);
    EXPECT_EQ(m.y, 327.0f);
    EXPECT_EQ(m.airborne, 0);
    EXPECT_EQ(m.facesLeft, 0);
    EXPECT_EQ(GameRandState(), 1u);  // no turns, no attack chances
}

// Floating kinds fly straight, off the grid, within 64 pixels left of the
// left camera bound and 704 right of the right one; attacking past timer 255
// they drift at a third of their speed.
TEST_F(MonsterMovementTest, FloatingKinds) {
    g_StageState.cameraLeftBound = 1952;
    g_StageState.cameraRightBound = 2528;
    Solid(0, 399, 0, 14);  // the grid does not matter to them
    MonsterRecord& m = Place(28, 0, 1900.0f, -1.3f);
    // Off the frames of the turn test and the attack chance.
    g_FieldFrameCounter = 1;
    auto fly = [&m](int frames) {
        for (int n = 0; n < frames; ++n) {
            m.specialTrigger = 0;
            MoveMonster(28, 0);
        }
    };
    fly(100);
    EXPECT_EQ(m.x, 1888.0f);
    EXPECT_EQ(m.y, 327.0f);
    m.speed = 1.3f;
    fly(2000);
    EXPECT_EQ(m.x, 3232.0f);
    m.specialMode = 1;
    m.specialTimer = 256;
    m.facesLeft = 1;
    MoveMonster(28, 0);
    EXPECT_FLOAT_EQ(m.x, 3232.0f - 1.3f / 3.0f);
}

TEST_F(MonsterMovementTest, OnlyLiveSlotsMove) {
    MonsterRecord& dying = Place(10, 0, 3000.0f, 0.8f);
    dying.alive = kMonsterDying;
    MonsterRecord& live = Place(10, 1, 3000.0f, 0.8f);
    Step();
    EXPECT_EQ(dying.x, 3000.0f);
    EXPECT_FLOAT_EQ(live.x, 3000.8f);
}

// The further pools: no stage fills them, so they are driven by hand here.
TEST_F(MonsterMovementTest, FurtherActorPools) {
    PoolActor& shooter = g_ActorPools[kPoolShooters][2];
    shooter = {0.0f, 500.0f, 200.0f, 0.0f, 0, 1, 1, 0};
    PoolActor& crawler = g_ActorPools[kPoolCrawlers][0];
    crawler = {1.0f, 280.0f, 200.0f, 0.0f, 1, 1, 0, 0};
    Solid(9, 9, 0, 10);  // a wall at x 288 for the crawler
    PoolActor& walker = g_ActorPools[kPoolFiringWalkers][4];
    walker = {0.0f, 700.0f, 323.0f, 0.0f, 0, 1, 1, 2};
    PoolActor& hopper = g_ActorPools[kPoolHoppers][1];
    hopper = {0.0f, 900.0f, 323.0f, 0.0f, 0, 1, 0, 1};

    g_StageState.cameraX = 0.0f;
    g_PlayerMotion.screenX = 320.0f;
    bool fired = false, shot = false, hopped = false;
    for (int n = 1; n <= 700; ++n) {
        Step();
        fired = fired || g_ActorPools[kPoolFallingShots][2].alive;
        shot = shot || g_ActorPools[kPoolStraightShots][4].alive;
        hopped = hopped || hopper.airborne;
        if (n == 1) {
            // The walker turns towards the player at a pace of (2 + 1) x 0.2.
            EXPECT_FLOAT_EQ(walker.speed, -0.6f);
        }
    }
    // The shooter drops a shot when (2 x 50 + frame) % 300 is 1 (frame 201);
    // the shot falls and hits the floor, or is freed at a wall.
    EXPECT_TRUE(fired);
    const float shotY = g_ActorPools[kPoolFallingShots][2].y;  // on the floor, bobbing
    EXPECT_TRUE(shotY >= 349.0f && shotY < 350.0f) << shotY;
    EXPECT_EQ(crawler.flag, 1);  // it met the wall
    EXPECT_TRUE(shot);           // frame 50: (4 x 50 + 50) % 600 = 250
    EXPECT_TRUE(hopped);         // every 350 frames, an even chance

    // A falling shot that meets a wall is freed.
    PoolActor& falling = g_ActorPools[kPoolFallingShots][5];
    falling = {-2.0f, 291.0f, 200.0f, 0.0f, 1, 1, 0, 0};
    for (int n = 0; n < 3; ++n) Step();
    EXPECT_EQ(falling.alive, 0);

    // A stage load empties every pool.
    ResetStageActors();
    for (auto& pool : g_ActorPools)
        for (PoolActor& actor : pool) EXPECT_EQ(actor.alive, 0);
}

}  // namespace
