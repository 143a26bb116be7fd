// The fighting rules the three routines share: misses, criticals, busy
// number slots, the blow's reach, SkillC's hit spacing, the double reward of
// two killing hits in one call, an attack that does no damage, and what a
// sub-screen holds still.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monster_fixture.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_routines.h"

namespace {

using namespace monster_test;


class MonsterCombatTest : public MonsterTest {};

TEST_F(MonsterCombatTest, AMissShowsMissCostsNothingAndDrawsOnlyRangeAndRoll) {
    MonsterRecord& m = Put(11, 0, 60.0f);
    g_DerivedStats.dexTotal = -100;  // 2 * (3 + 100) > any roll
    MirrorRand r;
    r.Next();
    r.Next();
    Strike();
    CallRoutine(11, 0);
    EXPECT_EQ(m.popupValue[0], 0);
    EXPECT_EQ(m.popupTimer[0], 1);
    EXPECT_EQ(m.popupCursor, 1);
    EXPECT_EQ(m.hp, 150);
    EXPECT_EQ(m.specialMode, 0);
    EXPECT_EQ(Sounds(kBombSound), 0u);
    EXPECT_EQ(GameRandState(), r.state);
}

TEST_F(MonsterCombatTest, ACriticalStoresItsDamagePlusOneHundredThousand) {
    MonsterRecord& m = Put(23, 0, 60.0f);
    g_DerivedStats.dexTotal = 200;
    g_DerivedStats.lukTotal = 1000;  // K = 503: every roll is critical
    g_DerivedStats.strTotal = 30;
    MirrorRand r;
    const std::int32_t atk = ExpectedBlowAtk(30, 200);
    const PredictedHit hit = PredictHit(r, 0, static_cast<float>(atk * 1.7f), 21, 90, 200, 70, 40, 2,
                                        static_cast<float>(2.0 * 1.7f * atk), 1000);
    Strike(2);  // the third blow: multiplier 1.7
    CallRoutine(23, 0);
    ASSERT_GT(hit.value, 100000);
    EXPECT_EQ(m.popupValue[0], hit.value);
    EXPECT_EQ(m.hp, 18000 - (hit.value - 100000));
    EXPECT_EQ(Sounds(kBombSound), 1u);
    EXPECT_EQ(GameRandState(), r.state);
}

TEST_F(MonsterCombatTest, ABlowLandsOnlyWithinItsReachAndWhileTheNumberSlotIsFree) {
    struct Case {
        int kind;
        float dx, dy;
        std::uint8_t playerFacing;
        std::int8_t comboStep;
        std::int32_t timerAtCursor;
        bool lands;
    };
    const Case cases[] = {
        // Ordinary and fixed: 28 either side of the monster against 32 to 96
        // in front of the player, strictly.
        {11, 4.0f, 0, 0, 0, 0, false},    {11, 4.5f, 0, 0, 0, 0, true},     {11, 123.5f, 0, 0, 0, 0, true},
        {11, 124.0f, 0, 0, 0, 0, false},  {11, -4.5f, 0, 1, 0, 0, true},    {11, -124.0f, 0, 1, 0, 0, false},
        {11, 60.0f, 0, 1, 0, 0, false},   {6, 100.0f, 0, 0, 0, 0, true},    {6, -100.0f, 0, 0, 0, 0, false},
        // Large: 56 either side.
        {3, -23.5f, 0, 0, 0, 0, true},    {3, -24.0f, 0, 0, 0, 0, false},   {3, 151.5f, 0, 0, 0, 0, true},
        // Heights: 64 above to 64 below, 23 more for the aerial blow; the
        // large kinds reach 96 below, 151 with the aerial blow.
        {11, 60.0f, -63.5f, 0, 0, 0, true}, {11, 60.0f, -64.0f, 0, 0, 0, false},
        {11, 60.0f, 70.0f, 0, 0, 0, false}, {11, 60.0f, 70.0f, 0, 17, 0, true},
        {11, 60.0f, 87.0f, 0, 17, 0, false}, {8, 60.0f, 86.5f, 0, 17, 0, true},
        {3, 60.0f, 95.5f, 0, 0, 0, true},   {3, 60.0f, 96.0f, 0, 0, 0, false},
        {3, 60.0f, 150.5f, 0, 17, 0, true},
        // The entry at the cursor must be idle or older than 20 frames.
        {11, 60.0f, 0, 0, 0, 1, false},    {11, 60.0f, 0, 0, 0, 20, false},  {11, 60.0f, 0, 0, 0, 21, true},
        {31, 60.0f, 0, 0, 0, 20, false},   {9, 60.0f, 0, 0, 0, 21, true},
    };
    for (const Case& c : cases) {
        SetUp();
        MonsterRecord& m = Put(c.kind, 5, c.dx, c.dy);
        m.popupTimer[0] = c.timerAtCursor;
        g_PlayerMotion.facing = c.playerFacing;
        Strike(c.comboStep);
        CallRoutine(c.kind, 5);
        EXPECT_EQ(m.popupCursor == 1, c.lands) << "kind " << c.kind << " dx " << c.dx << " dy " << c.dy << " step "
                                               << int(c.comboStep) << " timer " << c.timerAtCursor;
    }
    // No blow without a change of the strike bytes.
    SetUp();
    MonsterRecord& m = Put(11, 5, 60.0f);
    g_PlayerActionState.strike = g_PlayerActionState.previousStrike = 1;
    CallRoutine(11, 5);
    EXPECT_EQ(m.popupCursor, 0);
}

TEST_F(MonsterCombatTest, SkillCHitsEachSlotAtItsRoutinesCountsAndDrawsItsOwnChance) {
    struct Case {
        int kind;
        std::vector<int> hitCalls;
        int chance;  // the special chance drawn per landed hit
    };
    const Case cases[] = {
        {11, {0, 39}, 7},                 // ordinary: counts 0 and 40
        // Large: 0, 30, 60, 90, 120. Each hit adds one to the count itself,
        // so the hits come 29 calls apart.
        {3, {0, 29, 58, 87, 116}, 13},
        {6, {0, 29, 58}, 0},  // fixed: 0, 30, 60, and no chance at all
    };
    for (const Case& c : cases) {
        SetUp();
        MonsterRecord& m = Put(c.kind, 2, 80.0f);
        m.hp = 1 << 30;
        g_DerivedStats.intTotal = 40;
        g_DerivedStats.dexTotal = 500;  // never misses
        g_PlayerActionState.skillCState = kSkillRecovering;  // the area still hits while recovering
        g_PlayerActionState.skillCOriginX = kPlayerX + 80.0f - 40.0f + 10.0f;
        g_PlayerActionState.skillCScrollOffset = 10.0f;
        g_PlayerActionState.skillCOriginY = kPlayerY - 50.0f;
        std::vector<int> hits;
        for (int call = 0; call < 200; ++call) {
            const std::uint8_t cursor = m.popupCursor;
            MirrorRand r;
            const std::int32_t matk = 3 * 40 + 10 * 10 + 30;
            const PredictedHit hit = PredictHit(r, 0, static_cast<float>(matk), 41, 80, 510, kMonsterKindParams[c.kind].evasion,
                                                c.chance, 0, static_cast<float>(2 * matk), 0);
            CallRoutine(c.kind, 2);
            DrawDamagePopups(m.popupTimer, m.popupValue, m.x, m.y, 2);
            if (m.popupCursor == cursor) continue;
            hits.push_back(call);
            EXPECT_EQ(m.popupValue[cursor], hit.value);
            EXPECT_EQ(GameRandState(), r.state) << "kind " << c.kind << " call " << call;
            m.specialMode = 0;  // keep the monster out of its daze
        }
        EXPECT_EQ(hits, c.hitCalls) << "kind " << c.kind;
    }
}

TEST_F(MonsterCombatTest, TwoKillingHitsInOneCallPayTheRewardsTwice) {
    for (int kind : {11, 3, 6}) {
        SetUp();
        MonsterRecord& m = Put(kind, 0, 60.0f);
        m.hp = 1;
        g_DerivedStats.dexTotal = 500;
        g_DerivedStats.intTotal = 10;
        g_PlayerActionState.skillCState = kSkillRunning;
        g_PlayerActionState.skillCOriginX = kPlayerX + 40.0f;
        g_PlayerActionState.skillCOriginY = kPlayerY - 50.0f;
        Strike();
        CallRoutine(kind, 0);
        const MonsterKindParams& p = kMonsterKindParams[kind];
        EXPECT_EQ(m.alive, kMonsterDying);
        EXPECT_EQ(m.popupCursor, 2) << "SkillC and the blow each recorded a number";
        EXPECT_EQ(g_PlayerRecord.exp, 2 * p.exp) << kind;
        EXPECT_EQ(g_PlayerRecord.money, 2 * p.vesk) << kind;
        // Dying, it takes no more hits.
        Strike();
        CallRoutine(kind, 0);
        EXPECT_EQ(g_PlayerRecord.exp, 2 * p.exp);
        EXPECT_EQ(m.dyingTimer, 2);
    }
}

TEST_F(MonsterCombatTest, AnAttackBelowThePlayersDefenceShowsMissAndPlaysNoSound) {
    g_PlayerRecord.vit = 30;  // DEF 30 + 1 / 2 + 3^2 = 39 against kind 11's 32
    MonsterRecord& m = Put(11, 0, 50.0f);
    m.engage = kMonsterAttacking;
    m.attackTimer = 3 * 12 - 1;
    g_FieldFrameCounter = 1;  // not an attack period, which would restart the bite
    CallRoutine(11, 0);
    EXPECT_EQ(g_PlayerPopupRing.cursor, 1);
    EXPECT_EQ(g_PlayerPopupRing.value[0], 0);
    EXPECT_EQ(g_PlayerRecord.hp, 1000000);
    EXPECT_EQ(Sounds(kHurtSound), 0u);
}

// Every attack that hurts the player, started at the edge of its first hit:
// once it has landed, a sub-screen holds it still and it lands no more, the
// monster is still drawn, and its timers wait.
TEST_F(MonsterCombatTest, UnderASubScreenNoAttackLandsAgainAndTheTimersWait) {
    struct Case {
        const char* name;
        int kind;
        float dx;
        int attackTimer;
        int specialTimer;  // -1: the ordinary attack
    };
    const Case cases[] = {
        {"bite", 11, 50.0f, 35, -1},          {"dive", 28, 20.0f, 34, -1},
        {"large blow", 0, 50.0f, 35, -1},     {"large dive", 31, 20.0f, 34, -1},
        {"fixed strike", 6, 50.0f, 35, -1},   {"swing", 10, 20.0f, 0, 255},
        {"fire", 18, 20.0f, 0, 127},          {"gas", 13, 20.0f, 0, 127},
        {"swoop", 28, 20.0f, 0, 255},         {"large swing", 3, 20.0f, 0, 255},
        {"large gas", 4, 100.0f, 0, 127},      {"large dives", 31, 20.0f, 0, 255},
    };
    for (const Case& c : cases) {
        SetUp();
        MonsterRecord& m = Put(c.kind, 0, c.dx);
        m.facesLeft = 1;
        m.attackTimer = c.attackTimer;
        if (c.specialTimer < 0) {
            m.engage = kMonsterAttacking;
        } else {
            m.engage = kMonsterEngaged;
            m.specialMode = 1;
            m.specialTimer = c.specialTimer;
        }
        if (c.kind >= kFirstDivingKind) g_DiveTargetY[c.kind - kFirstDivingKind][0] = kPlayerY;
        g_FieldFrameCounter = 1;  // no attack period falls on it
        int calls = 0;
        while (g_PlayerPopupRing.cursor == 0 && calls++ < 300) {
            if (c.kind == 18) g_PlayerMotion.screenX = m.x - kCameraX - (m.attackTimer + 1 - 36);  // stand in the fire
            CallRoutine(c.kind, 0);
        }
        ASSERT_EQ(g_PlayerPopupRing.cursor, 1) << c.name << ": never hit";
        const std::int32_t hp = g_PlayerRecord.hp, attackTimer = m.attackTimer, specialTimer = m.specialTimer;
        g_SubScreenMode = kSubScreenStatus;
        Recorder().Reset();
        for (int call = 0; call < 30; ++call) CallRoutine(c.kind, 0);
        EXPECT_EQ(g_PlayerRecord.hp, hp) << c.name;
        EXPECT_EQ(g_PlayerPopupRing.cursor, 1) << c.name;
        EXPECT_EQ(m.attackTimer, attackTimer) << c.name;
        EXPECT_EQ(m.specialTimer, specialTimer) << c.name;
        EXPECT_GE(FramesDrawn(c.kind).size(), 30u) << c.name;
    }
}

TEST_F(MonsterCombatTest, UnderASubScreenTheDeathBlinkAndSkillCsCountGoOn) {
    MonsterRecord& dying = Put(12, 0, 300.0f);
    dying.alive = kMonsterDying;
    dying.dyingTimer = 190;
    MonsterRecord& counted = Put(12, 1, 80.0f);
    counted.skillHitCount = 5;
    g_PlayerActionState.skillCState = kSkillRunning;
    g_SubScreenMode = kSubScreenShop;
    for (int call = 0; call < 10; ++call) {
        CallRoutine(12, 0);
        CallRoutine(12, 1);
    }
    EXPECT_EQ(dying.dyingTimer, 200);
    EXPECT_EQ(dying.alive, kMonsterDying);
    CallRoutine(12, 0);
    EXPECT_EQ(dying.alive, kMonsterFree);
    EXPECT_EQ(counted.skillHitCount, 15);
}

}  // namespace
