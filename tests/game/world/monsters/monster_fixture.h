// A small hand-made field for the monster routines: camera, player and stats
// set by hand, recognisable handles for every sheet, glyph and sound, and an
// independent copy of the game's generator to predict what the fights draw.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/game_random.h"
#include "engine/handles.h"
#include "game/support/api_recorder.h"
#include "rules/derived_stats.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "world/monsters/damage_numbers.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"
#include "world/monsters/monster_routines.h"
#include "world/stages/stage_state.h"

namespace monster_test {

// Handles: sheet frame f of kind k is 10000 + 100k + f.
constexpr int SheetHandle(int kind, int frame) { return 10000 + 100 * kind + frame; }
constexpr int kDigitBase = 500, kLetterBase = 600, kFireBase = 700, kGasBase = 800;
constexpr int kBombSound = 77, kHurtSound = 78;

constexpr float kCameraX = 2000.0f;
constexpr float kPlayerX = 320.0f;  // screen x
constexpr float kPlayerY = 300.0f;

// The game's generator, written out again: state * 214013 + 2531011, the
// result bits 16 to 30. It starts from the game's current state.
struct MirrorRand {
    std::uint32_t state = GameRandState();
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }
    int Roll(int frame) { return (frame % 101 + Next() % 101) % 101; }
};

// The player's figures with VIT 0, level 1 and nothing worn but weapon row 0
// (ATK 10): DEF 0 and ATK 10 + 1 + 30 + DEX + 3 STR + (STR / 6)^2.
inline std::int32_t ExpectedBlowAtk(std::int32_t str, std::int32_t dex) {
    return 10 + 1 + 30 + dex + 3 * str + (str / 6) * (str / 6);
}

// A blow or SkillC as the player lands it, predicted draw by draw: range, hit
// roll, special chance(s), critical roll and range. Returns the number the
// slot shows (0 a miss, above 100000 a critical) and whether the chance to
// start the special mode held.
struct PredictedHit {
    std::int32_t value;
    bool specialChance;
};
inline PredictedHit PredictHit(MirrorRand& r, int frame, float base, int rangeModulus, int rangeBase, int accuracy,
                               int evasion, int chanceKind /* 0 none, 7, 13, 40: a blow */, int comboStep,
                               float criticalBase, int luk) {
    PredictedHit hit{};
    int range = r.Next() % rangeModulus + rangeBase;
    hit.value = static_cast<std::int32_t>(range / 100.0 * base);
    if (2 * (evasion - accuracy) > r.Roll(frame)) return {0, false};
    if (chanceKind == 40) {
        hit.specialChance = r.Next() % 40 < comboStep + 1;
        if (comboStep == 3) hit.specialChance = (r.Next() % 40 < 13) || hit.specialChance;
    } else if (chanceKind != 0) {
        hit.specialChance = r.Next() % chanceKind == 0;
    }
    if (luk / 2 + 3 > r.Roll(frame))
        hit.value = static_cast<std::int32_t>((r.Next() % 61 + 70) / 100.0 * criticalBase + 100000.0);
    return hit;
}

// A monster attack on the player: damage, dodge roll and, only when that
// succeeds, the second roll.
inline std::int32_t PredictHurt(MirrorRand& r, int frame, double base, double dodge, int agi, int accuracy) {
    std::int32_t value = static_cast<std::int32_t>((r.Next() % 21 + 90) / 100.0 * static_cast<float>(base));
    if (r.Roll(frame) < dodge * (agi - accuracy) && r.Roll(frame) > 7) value = 0;
    return value < 0 ? 0 : value;
}

// One routine call for the kind's slot, as the game loop makes it.
inline void CallRoutine(int kind, int slot = 0) {
    MonsterRecord& m = g_MonsterPools[kind][slot];
    const MonsterKindParams& p = kMonsterKindParams[kind];
    switch (p.routine) {
        case MonsterRoutine::Ordinary: UpdateMonsters(m, g_MonsterSheets[kind], p, slot, kind); break;
        case MonsterRoutine::Large: UpdateLargeMonsters(m, g_MonsterSheets[kind], p, slot, kind); break;
        case MonsterRoutine::Fixed: UpdateFixedMonsters(m, g_MonsterSheets[kind], p, slot, kind); break;
    }
}

class MonsterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder().Reset();
        ResetGameRand();
        std::memset(g_MonsterPools, 0, sizeof g_MonsterPools);
        std::memset(g_DiveTargetY, 0, sizeof g_DiveTargetY);
        g_PlayerPopupRing = {};
        g_CriticalColourCounter = 0;
        g_SubScreenMode = kSubScreenNone;
        g_FieldFrameCounter = 0;
        g_StageState.cameraX = kCameraX;
        g_PlayerMotion = {};
        g_PlayerMotion.screenX = kPlayerX;
        g_PlayerMotion.y = kPlayerY;
        g_PlayerActionState = {};
        g_PlayerRecord = {};
        g_PlayerRecord.level = 1;
        g_PlayerRecord.hp = 1000000;
        g_PlayerRecord.maxHp = 1000000;
        g_DerivedStats = {};
        for (int k = 0; k < kMonsterKindCount; ++k)
            for (int f = 0; f < kMonsterSheetFrames; ++f) g_MonsterSheets[k][f] = SheetHandle(k, f);
        for (int i = 0; i < kGlyphDigitCount; ++i) g_GlyphDigits[i] = kDigitBase + i;
        for (int i = 0; i < kGlyphLetterCount; ++i) g_GlyphLetters[i] = kLetterBase + i;
        for (int i = 0; i < 8; ++i) {
            g_FireEffectFrames[i] = kFireBase + i;
            g_GasEffectFrames[i] = kGasBase + i;
        }
        for (int& h : g_SoundEffectHandles) h = 0;
        g_SoundEffectHandles[kSoundBomb] = kBombSound;
        g_SoundEffectHandles[kSoundDie] = kHurtSound;
    }

    // A monster of `kind` in `slot`, alive at full HP, at screen distance
    // `dx` right of the player and at the player's height.
    static MonsterRecord& Put(int kind, int slot, float dx, float dy = 0.0f) {
        MonsterRecord& m = g_MonsterPools[kind][slot];
        m = {};
        m.alive = kMonsterAlive;
        m.hp = kMonsterKindParams[kind].hp;
        m.x = kCameraX + kPlayerX + dx;
        m.y = kPlayerY + dy;
        m.speed = -1.0f;
        return m;
    }

    // The strike bytes as the player's update leaves them on the frame a
    // blow strikes, and after it.
    static void Strike(std::int8_t comboStep = 0) {
        g_PlayerActionState.comboStep = comboStep;
        g_PlayerActionState.previousStrike = 0;
        g_PlayerActionState.strike = 1;
    }
    static void StrikeOver() { g_PlayerActionState.previousStrike = g_PlayerActionState.strike; }

    static std::size_t Sounds(int handle) {
        std::size_t n = 0;
        for (const ApiCall& call : Recorder().Calls("ApiPlaySoundHandle")) n += call.Int(0) == handle;
        return n;
    }
    // The sheet frames of `kind` drawn since the last reset, in order.
    static std::vector<int> FramesDrawn(int kind) {
        std::vector<int> frames;
        for (const ApiCall& call : Recorder().Calls()) {
            int handleArg = call.name == "ApiStretchBlitGraph" ? 4 : 2;
            if (call.name != "ApiBlitGraph" && call.name != "ApiMirrorBlitGraph" && call.name != "ApiStretchBlitGraph")
                continue;
            int h = static_cast<int>(call.Int(handleArg));
            if (h >= SheetHandle(kind, 0) && h < SheetHandle(kind, kMonsterSheetFrames)) frames.push_back(h - SheetHandle(kind, 0));
        }
        return frames;
    }
};

}  // namespace monster_test
