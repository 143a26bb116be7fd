#include "player_bot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "flow/derived_stats.h"
#include "flow/player_action_state.h"
#include "flow/player_actions.h"
#include "flow/player_motion.h"
#include "flow/player_record.h"
#include "flow/status_screen.h"
#include "flow/sub_screen.h"
#include "flow/system_menu.h"
#include "route.h"
#include "world/collision_grid.h"
#include "world/monster_combat.h"
#include "world/monster_kind_params.h"
#include "world/monster_record.h"
#include "world/stage_exit.h"
#include "world/stage_monster_counts.h"
#include "world/stage_state.h"
#include "world/stage_table_data.h"
#include "world/warp_door.h"

namespace {

// Keys of the default binding: button 1 attacks and cancels, button 2 jumps
// and decides.
const int kKeyAttack = PlatformInputKeyCode("Z");
const int kKeyJump = PlatformInputKeyCode("X");
const int kKeyLeft = PlatformInputKeyCode("LEFT");
const int kKeyRight = PlatformInputKeyCode("RIGHT");
const int kKeyUp = PlatformInputKeyCode("UP");
const int kKeyDown = PlatformInputKeyCode("DOWN");
const int kKeyEscape = PlatformInputKeyCode("ESCAPE");
const int kKeySkill = PlatformInputKeyCode("C");

PlatformInputFrame Keys(std::initializer_list<int> keys) {
    PlatformInputFrame frame;
    frame.keys.assign(keys.begin(), keys.end());
    return frame;
}

bool ColumnOpen(int column) {
    if (column < 0 || column >= kCollisionColumns) return false;
    for (int row = 0; row < kCollisionRows; ++row)
        if (g_CollisionGrid.cells[row * kCollisionColumns + column] != kCellEmpty) return false;
    return true;
}

// What one of the monster's bites takes from the player now.
std::int32_t Hurt(int kind) { return std::max(0, kMonsterKindParams[kind].attackPower - PlayerDef()); }

// The share of blows that hit: the game misses when 2 * (evasion - DEX) is
// above a roll of 0 to 100.
double HitShare(int kind) {
    const int over = 2 * (kMonsterKindParams[kind].evasion - g_DerivedStats.dexTotal);
    return std::clamp(1.0 - over / 101.0, 0.0, 1.0);
}

// About how many blows a monster of `kind` with `hp` left takes: a blow does
// 21 to 110 % of ATK, the three blows of a chain 1.2 times that on average.
double BlowsToKill(int kind, std::int32_t hp) {
    const double perBlow = std::max(1.0, 0.65 * 1.2 * PlayerBlowAtk() * HitShare(kind));
    return hp / perBlow;
}

// A fight worth having: soon enough won, and the bites taken meanwhile leave
// HP to spare. A chained blow takes about 80 frames of the combo timer, which
// runs faster with AGI; the monster bites once an attack period.
bool WorthAFight(int kind, std::int32_t hp, bool grinding, std::int32_t playerHp) {
    if (HitShare(kind) < 0.3 || Hurt(kind) * 10 > g_PlayerRecord.maxHp) return false;
    const double blows = BlowsToKill(kind, hp);
    if (blows > (grinding ? 80.0 : 4.0)) return false;
    const double framesPerBlow = 80.0 / (g_DerivedStats.agiTotal / 170.0 + 1.0);
    const double bites = blows * framesPerBlow / kMonsterKindParams[kind].attackPeriod + 1.0;
    return bites * Hurt(kind) < 0.5 * playerHp;
}

bool HasMonsters(int stage) {
    for (const StageMonsterCount& count : kStageMonsterCounts)
        if (count.stage == stage) return true;
    return false;
}

// Whether the player is ready for `stage`: several bites of its walking
// kinds (they come in packs) and a few of the big and fixed kinds leave the
// player standing, and
// something there is worth a fight.
bool StageReady(int stage) {
    bool worth = false;
    for (const StageMonsterCount& count : kStageMonsterCounts) {
        if (count.stage != stage) continue;
        const MonsterKindParams& params = kMonsterKindParams[count.kind];
        const bool walks = params.routine == MonsterRoutine::Ordinary;
        if (Hurt(count.kind) * (walks ? 10 : 4) > g_PlayerRecord.maxHp) return false;
        worth = worth || WorthAFight(count.kind, params.hp, true, g_PlayerRecord.maxHp);
    }
    return worth || !HasMonsters(stage);
}

// The first stage with monsters on the road on from `stage`; 0 for none.
int NextChallenge(int stage) {
    for (int s = Destination(stage, NextWayOut(stage)); s >= 1 && s <= kStageCount;
         s = Destination(s, NextWayOut(s)))
        if (HasMonsters(s)) return s;
    return 0;
}

// Whether a stage can be crossed on the way back: no bite there takes more
// than a third of full HP.
bool StageSafe(int stage) {
    for (const StageMonsterCount& count : kStageMonsterCounts)
        if (count.stage == stage && Hurt(count.kind) * 3 > g_PlayerRecord.maxHp) return false;
    return true;
}

// The highest evasion of the monsters of `stage`.
int StageEvasion(int stage) {
    int most = 0;
    for (const StageMonsterCount& count : kStageMonsterCounts)
        if (count.stage == stage) most = std::max(most, kMonsterKindParams[count.kind].evasion);
    return most;
}

}  // namespace

PlatformInputFrame PlayerBot::NextFrame() {
    ++progress_.frames;
    const bool inField = g_FieldFrameCounter != lastFieldCounter_ && lastFieldCounter_ >= 0;
    lastFieldCounter_ = g_FieldFrameCounter;
    if (!inField) {
        ++framesOutOfField_;
        return Menus();
    }
    if (!seenField_ || framesOutOfField_ > 700) {
        // Back from a screen of its own: GAME OVER shows for 768 frames.
        if (seenField_ && !progress_.endingReached) ++progress_.deaths;
    }
    framesOutOfField_ = 0;
    seenField_ = true;
    return Field();
}

PlatformInputFrame PlayerBot::Menus() {
    if (progress_.endingReached) {
        // The ending, then the title: Escape leaves the program.
        ++endingFrames_;
        if (endingFrames_ < 1200) return {};
        return endingFrames_ % 20 == 0 ? Keys({kKeyEscape}) : PlatformInputFrame{};
    }
    if (g_SubScreenMode == kSubScreenStatus) return Status();
    if (g_SubScreenMode != kSubScreenNone && seenField_) {
        // Another sub-screen opened by a stray key: the menu key closes it.
        return framesOutOfField_ % 10 == 0 ? Keys({kKeyEscape}) : PlatformInputFrame{};
    }
    if (framesOutOfField_ % 20 != 0) return {};
    if (seenField_) return Keys({kKeyJump});
    // Once the title stands (after the loading screen): title, GAME MODE,
    // the first save slot, then VERY EASY (two rows up from NORMAL), which
    // gives more stat points a level.
    if (framesOutOfField_ < 400) return {};
    ++menuPresses_;
    return menuPresses_ == 4 || menuPresses_ == 5 ? Keys({kKeyUp}) : Keys({kKeyJump});
}

int PlayerBot::WantedStatusRow() const {
    // DEX up to the evasion of what lives here and next (a blow that misses
    // gives nothing), then VIT and STR in turn, VIT a little ahead: DEF
    // grows with its square and keeps the bites small.
    const PlayerRecord& me = g_PlayerRecord;
    const int next = Destination(stage_, NextWayOut(stage_));
    const int wantedDex = std::max(StageEvasion(stage_), StageEvasion(next)) - 15;
    std::vector<int> rows;
    if (g_DerivedStats.dexTotal < wantedDex) rows.push_back(kStatusDex);
    if (me.vit < me.str + 10) rows.insert(rows.end(), {kStatusVit, kStatusStr});
    else rows.insert(rows.end(), {kStatusStr, kStatusVit});
    for (int row : rows) {
        const std::int32_t base = row == kStatusStr ? me.str : row == kStatusVit ? me.vit : me.dex;
        if (me.statPoints >= StatPointCost(base)) return row;
    }
    return kStatusExit;
}

PlatformInputFrame PlayerBot::Status() {
    // Every key acts on its press: one key every other frame.
    pressedLast_ = !pressedLast_;
    if (!pressedLast_) return {};
    const int want = WantedStatusRow();
    const int cursor = g_SystemMenuCursor;
    if (cursor < want) return Keys({kKeyDown});
    if (cursor > want) return Keys({kKeyUp});
    return Keys({kKeyJump});
}

bool PlayerBot::PitAhead(float worldX, int direction) const {
    const int from = static_cast<int>(worldX) / kCollisionCellSize;
    for (int step = 1; step <= 2; ++step)
        if (ColumnOpen(from + direction * step)) return true;
    return false;
}

int PlayerBot::FightSide(float worldX, float y, int direction, float reach, float behindReach,
                         bool grinding) const {
    float best = 1e9f;
    int side = 0;
    for (int kind = 0; kind < kMonsterKindCount; ++kind)
        for (const MonsterRecord& m : g_MonsterPools[kind]) {
            if (m.alive != kMonsterAlive || std::fabs(m.y - y) >= 100.0f) continue;
            if (!WorthAFight(kind, m.hp, grinding, g_PlayerRecord.hp)) continue;
            const float dx = (m.x - worldX) * static_cast<float>(direction);
            const bool ahead = dx > -20.0f && dx < reach;
            const bool behind = dx <= -20.0f && dx > -behindReach;
            if ((ahead || behind) && std::fabs(dx) < best) {
                best = std::fabs(dx);
                side = ahead ? direction : -direction;
            }
        }
    return side;
}

bool PlayerBot::MonsterNear(float worldX, float range) const {
    for (const auto& pool : g_MonsterPools)
        for (const MonsterRecord& m : pool)
            if (m.alive == kMonsterAlive && std::fabs(m.x - worldX) < range) return true;
    return false;
}

int PlayerBot::Heading(float worldX, bool& atDoor) {
    atDoor = false;
    WayOut way = NextWayOut(stage_);
    grinding_ = false;
    // The first two stages are crossed without stopping: stage 3 has the
    // same monsters and a few more, and the grinding starts there.
    const bool rushing = StagesToEnding(stage_) >= StagesToEnding(kFirstStage) - 1;
    if (!bouncing_ && !rushing && !StageReady(NextChallenge(stage_))) {
        // Not strong enough for what comes: fight here while there is
        // something worth it, else go back a stage and return (both
        // stages are set up afresh on arrival).
        float nearest = 1e9f;
        int toward = 0;
        for (int kind = 0; kind < kMonsterKindCount; ++kind)
            for (const MonsterRecord& m : g_MonsterPools[kind])
                if (m.alive == kMonsterAlive && WorthAFight(kind, m.hp, true, g_PlayerRecord.maxHp) && std::fabs(m.x - worldX) < nearest) {
                    nearest = std::fabs(m.x - worldX);
                    toward = m.x < worldX ? -1 : 1;
                }
        // A monster it cannot get to (up on a ledge, across a wall) ends
        // the grinding on this visit.
        if (stuckTotal_ >= 600) grindOver_ = true;
        if (toward != 0 && !grindOver_) {
            grinding_ = true;
            // Resting: away from the nearest monster first.
            if (resting_) {
                float closest = 1e9f;
                for (const auto& pool : g_MonsterPools)
                    for (const MonsterRecord& m : pool)
                        if (m.alive == kMonsterAlive && std::fabs(m.x - worldX) < closest) {
                            closest = std::fabs(m.x - worldX);
                            toward = m.x < worldX ? 1 : -1;
                        }
            }
            return toward;
        }
        bouncing_ = cameFrom_ != 0 && StageSafe(cameFrom_);
    }
    if (bouncing_) {
        for (WayOut back : {WayOut::kLeftExit, WayOut::kRightExit, WayOut::kWarpDoor})
            if (Destination(stage_, back) == cameFrom_) {
                way = back;
                break;
            }
    }
    if (way != WayOut::kWarpDoor) return way == WayOut::kLeftExit ? -1 : 1;
    int direction = 1;
    for (const WarpDoor& door : g_WarpDoors) {
        if (door.alive != 1 || door.destination != Destination(stage_, way)) continue;
        const float dx = door.x - worldX;
        atDoor = std::fabs(dx) < 12.0f;
        direction = dx < 0.0f ? -1 : 1;
    }
    return direction;
}

PlatformInputFrame PlayerBot::Field() {
    PlayerRecord& me = g_PlayerRecord;
    const float x = g_StageState.cameraX + g_PlayerMotion.screenX;
    const float y = g_PlayerMotion.y;
    if (me.stage != stage_) {
        cameFrom_ = stage_;
        stage_ = me.stage;
        stuckTotal_ = 0;
        bouncing_ = false;
        grindOver_ = false;
        if (std::find(progress_.stagesVisited.begin(), progress_.stagesVisited.end(), stage_) ==
            progress_.stagesVisited.end()) {
            progress_.stagesVisited.push_back(stage_);
            progress_.arrivalFrames.push_back(progress_.frames);
        }
    }

    bool atDoor = false;
    const int direction = Heading(x, atDoor);

    // Rest away from monsters while HP is low; HP comes back over time.
    if (me.hp * 2 < me.maxHp) resting_ = true;
    if (me.hp * 20 >= me.maxHp * 19) resting_ = false;

    const bool press = !pressedLast_;  // keys that act on their press alternate
    PlatformInputFrame frame;
    const bool busy = g_PlayerActionState.attackActive != 0 || g_PlayerMotion.airborne != 0;
    // Low on HP with SP to spare: the still skill heals.
    if (me.hp * 3 < me.maxHp && me.sp >= StillSkillCost() && !busy) {
        pressedLast_ = false;
        lastX_ = x;
        return Keys({kKeySkill});
    }
    // A monster worth it in reach: face it, then strike on every other frame.
    // (Only what is close behind: chasing back would undo the way made.)
    // A fight where no blow lands (the monster up on a ledge, say) is given
    // up for a while, and so is grinding on this visit.
    std::int64_t monsterHp = 0;
    for (const auto& pool : g_MonsterPools)
        for (const MonsterRecord& m : pool)
            if (m.alive == kMonsterAlive) monsterHp += m.hp;
    const int fightSide =
        progress_.frames < fightsBannedUntil_ ? 0 : FightSide(x, y, direction, 110.0f, grinding_ ? 110.0f : 60.0f, grinding_);
    fightIdle_ = fightSide != 0 && monsterHp == lastMonsterHp_ ? fightIdle_ + 1 : 0;
    lastMonsterHp_ = monsterHp;
    if (fightIdle_ > 400) {
        fightsBannedUntil_ = progress_.frames + 600;
        grindOver_ = true;
        fightIdle_ = 0;
    }
    if (fightSide != 0) {
        const bool facingIt = (g_PlayerMotion.facing == 1) == (fightSide < 0);
        if (!facingIt) frame.keys.push_back(fightSide < 0 ? kKeyLeft : kKeyRight);
        else if (press) frame.keys.push_back(kKeyAttack);
        pressedLast_ = facingIt && press;
        lastX_ = x;
        return frame;
    }
    if (resting_ && !MonsterNear(x, 350.0f)) {
        pressedLast_ = false;
        return Keys({kKeyDown});  // crouching regains HP eight times as fast
    }
    if (atDoor) {
        if (press && Destination(stage_, NextWayOut(stage_)) == kEndingDestination && !bouncing_)
            progress_.endingReached = true;
        pressedLast_ = press;
        return press ? Keys({kKeyUp}) : PlatformInputFrame{};
    }

    frame.keys.push_back(direction < 0 ? kKeyLeft : kKeyRight);
    const bool stopped = std::fabs(x - lastX_) < 0.01f;
    stuckFrames_ = stopped ? stuckFrames_ + 1 : 0;
    stuckTotal_ = stopped ? stuckTotal_ + 1 : std::max(0, stuckTotal_ - 1);
    const bool wantJump = g_PlayerMotion.airborne == 0 && (stuckFrames_ >= 2 || PitAhead(x, direction));
    if (wantJump && press) {
        frame.keys.push_back(kKeyJump);
        pressedLast_ = true;
    } else if (g_PlayerMotion.airborne != 0 && pressedLast_) {
        frame.keys.push_back(kKeyJump);  // held for the full height
    } else {
        pressedLast_ = false;
    }
    // Long stuck at a wall: step back for a run-up now and then.
    if (stuckTotal_ > 300 && stuckTotal_ % 200 < 20) frame.keys[0] = direction < 0 ? kKeyRight : kKeyLeft;
    lastX_ = x;
    return frame;
}

std::string PlayerBot::Describe() const {
    char line[256];
    std::snprintf(line, sizeof line, "frame %llu stage %d x %.0f hp %d/%d lv %d str %d vit %d dex %d def %d atk %d deaths %d screen %d diff %d%s",
                  static_cast<unsigned long long>(progress_.frames), g_PlayerRecord.stage,
                  g_StageState.cameraX + g_PlayerMotion.screenX, g_PlayerRecord.hp, g_PlayerRecord.maxHp,
                  g_PlayerRecord.level, g_PlayerRecord.str, g_PlayerRecord.vit, g_PlayerRecord.dex, PlayerDef(),
                  PlayerBlowAtk(), progress_.deaths, g_SubScreenMode, g_PlayerRecord.difficulty,
                  grinding_ ? " grinding" : bouncing_ ? " bouncing" : "");
    return line;
}
