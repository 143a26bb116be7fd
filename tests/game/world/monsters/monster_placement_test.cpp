// Monster placement: the fields it sets and keeps, its one random draw per
// mobile monster, and the kind table it reads.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "engine/game_random.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_placement.h"
#include "world/monsters/monster_record.h"

namespace {

// The game generator's first numbers from its start state.
constexpr int kFirstRandoms[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};

class MonsterPlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGameRand();
        std::memset(g_MonsterPools, 0, sizeof g_MonsterPools);
    }
};

TEST_F(MonsterPlacementTest, SpeedsFollowTheRandomSequenceInCallOrder) {
    // Kinds 11 (base 0.7), 7 (immobile), 12 (0.4), 6 and 9 (immobile), 31 (1.7).
    PlaceMonster(11, 0, 2240.0f, 172.0f);
    PlaceMonster(7, 3, 2300.0f, 108.0f);
    PlaceMonster(12, 1, 3040.0f, 108.0f);
    PlaceMonster(6, 0, 2304.0f, 108.0f);
    PlaceMonster(9, 19, 2400.0f, 108.0f);
    PlaceMonster(31, 14, 3040.0f, 172.0f);

    // 41 mod 21 = 20: factor 1.10; 18467 mod 21 = 8: 0.98; 6334 mod 21 = 13: 1.03.
    EXPECT_EQ(g_MonsterPools[11][0].speed, static_cast<float>(1.10 * 0.7));
    EXPECT_EQ(g_MonsterPools[12][1].speed, static_cast<float>(0.98 * 0.4));
    EXPECT_EQ(g_MonsterPools[31][14].speed, static_cast<float>(1.03 * 1.7));
    EXPECT_EQ(g_MonsterPools[7][3].speed, 0.0f);
    EXPECT_EQ(g_MonsterPools[6][0].speed, 0.0f);
    EXPECT_EQ(g_MonsterPools[9][19].speed, 0.0f);

    // Three draws were made, none by the immobile kinds.
    EXPECT_EQ(GameRand(), kFirstRandoms[3]);
}

TEST_F(MonsterPlacementTest, SpeedOfBaseOneIsOneOfTwentyOneSteps) {
    std::set<float> seen;
    for (int r = 0; r <= kGameRandMax; ++r) {
        float speed = PlacementSpeed(15, r);  // kind 15 has base 1.0
        ASSERT_GE(speed, 0.9f);
        ASSERT_LE(speed, 1.1f);
        seen.insert(speed);
    }
    EXPECT_EQ(seen.size(), 21u);
    for (int step = 90; step <= 110; ++step) EXPECT_EQ(seen.count(static_cast<float>(step / 100.0)), 1u) << step;
}

TEST_F(MonsterPlacementTest, EveryMobileKindStartsMovingRight) {
    for (int kind = 0; kind < kMonsterKindCount; ++kind) {
        ASSERT_EQ(PlaceMonster(kind, 5, 3000.0f, 140.0f), 0);
        if (IsImmobileKind(kind))
            EXPECT_EQ(g_MonsterPools[kind][5].speed, 0.0f) << kind;
        else
            EXPECT_GT(g_MonsterPools[kind][5].speed, 0.0f) << kind;
        EXPECT_EQ(g_MonsterPools[kind][5].hp, kMonsterKindParams[kind].hp);
    }
}

TEST_F(MonsterPlacementTest, OverwritingADyingSlotRestartsItButKeepsItsNumbers) {
    MonsterRecord& m = g_MonsterPools[20][4];
    m.alive = kMonsterDying;
    m.hp = -35;
    m.engage = kMonsterAttacking;
    m.attackTimer = 77;
    m.fallSpeed = 2.5f;
    m.airborne = 1;
    m.specialMode = 1;
    m.specialTrigger = 12;
    m.specialTimer = 300;
    m.popupValue[2] = 100123;
    m.popupTimer[2] = 40;
    m.popupCursor = 3;
    m.facesLeft = 1;
    m.dyingTimer = 150;
    m.skillHitCount = 9;

    ASSERT_EQ(PlaceMonster(20, 4, 4000.0f, 204.0f), 0);

    EXPECT_EQ(m.x, 4000.0f);
    EXPECT_EQ(m.y, 204.0f);
    EXPECT_EQ(m.alive, kMonsterAlive);
    EXPECT_EQ(m.hp, 3500);
    EXPECT_EQ(m.engage, kMonsterWandering);
    EXPECT_EQ(m.attackTimer, 0);
    EXPECT_EQ(m.fallSpeed, 0.0f);
    EXPECT_EQ(m.airborne, 0);
    EXPECT_EQ(m.specialMode, 0);
    EXPECT_EQ(m.specialTrigger, 0);
    EXPECT_EQ(m.specialTimer, 0);
    // Left as they were: the old numbers float on at the new monster.
    EXPECT_EQ(m.popupValue[2], 100123);
    EXPECT_EQ(m.popupTimer[2], 40);
    EXPECT_EQ(m.popupCursor, 3);
    EXPECT_EQ(m.facesLeft, 1);
    EXPECT_EQ(m.dyingTimer, 150);
    EXPECT_EQ(m.skillHitCount, 9);
}

TEST_F(MonsterPlacementTest, OutOfRangeKindOrSlotIsRefusedWithoutADraw) {
    EXPECT_EQ(PlaceMonster(10, 20, 1.0f, 1.0f), -1);
    EXPECT_EQ(PlaceMonster(10, -1, 1.0f, 1.0f), -1);
    EXPECT_EQ(PlaceMonster(32, 0, 1.0f, 1.0f), -1);
    EXPECT_EQ(PlaceMonster(-1, 0, 1.0f, 1.0f), -1);
    EXPECT_EQ(GameRand(), kFirstRandoms[0]);
    for (auto& pool : g_MonsterPools)
        for (MonsterRecord& m : pool) ASSERT_EQ(m.alive, kMonsterFree);
}

TEST(MonsterKindParams, SampleRowsAndSums) {
    const MonsterKindParams& k2 = kMonsterKindParams[2];
    EXPECT_EQ(k2.routine, MonsterRoutine::Large);
    EXPECT_EQ(k2.speedBase, 1.7);
    EXPECT_EQ(k2.hp, 170000);
    EXPECT_EQ(k2.defeatPicture, 19);
    EXPECT_EQ(k2.drawLift, 54);
    EXPECT_EQ(k2.exp, 30000);
    EXPECT_EQ(k2.vesk, 7000);

    const MonsterKindParams& k8 = kMonsterKindParams[8];
    EXPECT_EQ(k8.routine, MonsterRoutine::Fixed);
    EXPECT_EQ(k8.drawLift, -10);
    EXPECT_EQ(k8.attackPeriod, 230);

    const MonsterKindParams& k24 = kMonsterKindParams[24];
    EXPECT_EQ(k24.routine, MonsterRoutine::Ordinary);
    EXPECT_EQ(k24.evasion, 50);
    EXPECT_EQ(k24.accuracy, 38);
    EXPECT_EQ(k24.attackPower, 189);
    EXPECT_EQ(k24.attackPeriod, 138);
    EXPECT_EQ(k24.frameTime, 8);

    long hp = 0, exp = 0, vesk = 0, pictures = 0;
    int ordinary = 0, large = 0, fixed = 0;
    for (const MonsterKindParams& k : kMonsterKindParams) {
        hp += k.hp;
        exp += k.exp;
        vesk += k.vesk;
        pictures += k.defeatPicture;
        ordinary += k.routine == MonsterRoutine::Ordinary;
        large += k.routine == MonsterRoutine::Large;
        fixed += k.routine == MonsterRoutine::Fixed;
        if (k.routine == MonsterRoutine::Ordinary) {
            EXPECT_GT(k.frameTime, 0);
        }
    }
    EXPECT_EQ(hp, 996020);
    EXPECT_EQ(exp, 532380);
    EXPECT_EQ(vesk, 117286);
    EXPECT_EQ(pictures, 31 * 32 / 2);  // each gallery picture exactly once
    EXPECT_EQ(ordinary, 21);
    EXPECT_EQ(large, 7);
    EXPECT_EQ(fixed, 4);
}

}  // namespace
