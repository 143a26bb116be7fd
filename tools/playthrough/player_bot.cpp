#include "player_bot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "field/player_actions.h"
#include "hunting.h"
#include "route.h"
#include "rules/derived_stats.h"
#include "rules/player_action_state.h"
#include "rules/player_motion.h"
#include "rules/player_record.h"
#include "rules/sub_screen.h"
#include "rules/worn_equipment.h"
#include "screens/equipment_shop.h"
#include "screens/status_screen.h"
#include "screens/system_menu.h"
#include "shopping.h"
#include "world/monsters/monster_combat.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"
#include "world/stages/collision_grid.h"
#include "world/stages/shop_door.h"
#include "world/stages/stage_exit.h"
#include "world/stages/stage_monster_counts.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

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

// A fight worth having: the blows land often enough, and the bites taken
// meanwhile leave HP to spare. While grinding, what is worth hunting; on the
// way, only what falls in about four blows. (While grinding, low HP is
// dealt with by resting and fleeing, not by letting the biters be.)
bool WorthAFight(const Fighter& f, int kind, std::int32_t hp, bool grinding, std::int32_t playerHp) {
    if (HitShare(f, kind) < 0.3) return false;
    if (grinding) return WorthHunting(f, kind);
    const double frames = KillFrames(f, kind, hp);
    const double bites = frames / kMonsterKindParams[kind].attackPeriod + 1.0;
    if (bites * Hurt(f, kind) >= 0.5 * playerHp) return false;
    return Hurt(f, kind) * 10 <= f.MaxHp() && frames <= 4 * 80.0 / (f.agi / 170.0 + 1.0);
}

bool HasMonsters(int stage) {
    for (const StageMonsterCount& count : kStageMonsterCounts)
        if (count.stage == stage) return true;
    return false;
}

// Whether a stage can be crossed on the way: no bite there takes more than a
// third of full HP.
bool StageSafe(int stage) { return StageCrossable(CurrentFighter(), stage); }

std::array<std::int32_t, kEquipmentCategoryCount> WornRows() {
    return {WornRow(kEquipWeapon), WornRow(kEquipArmour), WornRow(kEquipShield), WornRow(kEquipAccessory)};
}

// Bit d set when shop door d stands on this stage.
unsigned ShopDoorsHere() {
    unsigned mask = 0;
    for (int door = 0; door < kShopDoorCount; ++door)
        if (g_ShopDoors[door].on == 1) mask |= 1u << door;
    return mask;
}

// Frames of play between saves at the least.
constexpr std::uint64_t kSaveEvery = 50'000;

// The town's doors: BACK TO TOWN is worth it for this much gain.
constexpr unsigned kTownDoors = 0b111;
constexpr int kTownTripGain = 60;

// The first stage with monsters on the road on from `stage`; 0 for none.
int NextChallenge(int stage) {
    for (int s = Destination(stage, NextWayOut(stage)); s >= 1 && s <= kStageCount;
         s = Destination(s, NextWayOut(s)))
        if (HasMonsters(s)) return s;
    return 0;
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
        if (seenField_ && !progress_.endingReached && !saving_) ++progress_.deaths;
    }
    saving_ = false;
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
    if (saving_) {
        // Saved: the title, GAME MODE and the first slot load the game again.
        return framesOutOfField_ % 20 == 0 ? Keys({kKeyJump}) : PlatformInputFrame{};
    }
    if (g_SubScreenMode == kSubScreenStatus) return Status();
    if (g_SubScreenMode == kSubScreenShop) return Shop();
    if (g_SubScreenMode == kSubScreenSystemMenu) return SystemMenu();
    if (framesOutOfField_ % 20 != 0) return {};
    if (seenField_) return Keys({kKeyJump});
    // Once the title stands (after the loading screen): title, GAME MODE,
    // the first save slot, then VERY EASY (two rows up from NORMAL), which
    // gives more stat points a level.
    if (framesOutOfField_ < 400) return {};
    ++menuPresses_;
    return menuPresses_ == 4 || menuPresses_ == 5 ? Keys({kKeyUp}) : Keys({kKeyJump});
}

PlatformInputFrame PlayerBot::SystemMenu() {
    pressedLast_ = !pressedLast_;
    if (!pressedLast_) return {};
    const int want = menuWish_ == MenuWish::kBackToTown ? kSystemMenuBackToTown
                     : menuWish_ == MenuWish::kSave     ? kSystemMenuExit
                                                        : kSystemMenuReturn;
    if (g_SystemMenuCursor < want) return Keys({kKeyDown});
    if (g_SystemMenuCursor > want) return Keys({kKeyUp});
    if (menuWish_ == MenuWish::kSave) {
        saving_ = true;
        savedAt_ = progress_.frames;
        ++progress_.saves;
    }
    if (menuWish_ == MenuWish::kBackToTown) ++progress_.townTrips;
    menuWish_ = MenuWish::kNone;
    return Keys({kKeyJump});
}

PlatformInputFrame PlayerBot::Shop() {
    // Every key acts on its press: one key every other frame.
    pressedLast_ = !pressedLast_;
    if (!pressedLast_) return {};
    const ShopState& shop = g_ShopState;
    if (shop.step == kShopShortOfMoney) return Keys({kKeyJump});
    if (shop.step == kShopConfirming) {
        if (shop.answer != 0) return Keys({kKeyLeft});
        ++progress_.purchases;
        return Keys({kKeyJump});
    }
    const Purchase buy = BestPurchase(g_PlayerRecord.money, WornRows(), 1u << shop.doorIndex);
    if (buy.door < 0) return Keys({kKeyEscape});  // the menu key leaves the shop
    if (shop.category != buy.category) return Keys({kKeyRight});
    if (shop.cursorRow < buy.cursorRow) return Keys({kKeyDown});
    if (shop.cursorRow > buy.cursorRow) return Keys({kKeyUp});
    return Keys({kKeyJump});
}

int PlayerBot::WantedStatusRow() const {
    // The stat whose points raise the experience a frame most for their
    // cost, over the stages it can get to.
    const PlayerRecord& me = g_PlayerRecord;
    const StatChoice stat = BestStatFor(CurrentFighter(), [this](int stage) { return Reachable(stage); });
    const int row = stat == StatChoice::kStr ? kStatusStr : stat == StatChoice::kVit ? kStatusVit : kStatusDex;
    const std::int32_t base = stat == StatChoice::kStr ? me.str : stat == StatChoice::kVit ? me.vit : me.dex;
    return me.statPoints >= StatPointCost(base) ? row : kStatusExit;
}

bool PlayerBot::Reachable(int stage) const {
    if (stage == stage_) return true;
    int length = 0;
    WayToward(stage_, stage, StageSafe, [this](int at, WayOut way) { return Banned(at, way); }, &length);
    return length >= 0;
}

bool PlayerBot::Banned(int stage, WayOut way) const { return bannedWays_.count({stage, static_cast<int>(way)}) != 0; }

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
    const Fighter f = CurrentFighter();
    float best = 1e9f;
    int side = 0;
    for (int kind = 0; kind < kMonsterKindCount; ++kind)
        for (const MonsterRecord& m : g_MonsterPools[kind]) {
            if (m.alive != kMonsterAlive || std::fabs(m.y - y) >= 100.0f) continue;
            if (!WorthAFight(f, kind, m.hp, grinding, g_PlayerRecord.hp)) continue;
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
    const Fighter f = CurrentFighter();
    for (int kind = 0; kind < kMonsterKindCount; ++kind)
        for (const MonsterRecord& m : g_MonsterPools[kind])
            if (m.alive == kMonsterAlive && Hurt(f, kind) > 0 && std::fabs(m.x - worldX) < range) return true;
    return false;
}

void PlayerBot::ChooseGoal() {
    goalChosenAt_ = progress_.frames;
    // On to the ending once every stage left on the road can be crossed.
    int frontier = kFirstStage;
    for (int stage : progress_.stagesVisited)
        if (StagesToEnding(stage) >= 1 && StagesToEnding(stage) < StagesToEnding(frontier)) frontier = stage;
    challenge_ = NextChallenge(frontier);
    bool roadOpen = true;
    const Fighter f = CurrentFighter();
    for (int s = stage_; s >= 1 && s <= kStageCount; s = Destination(s, NextWayOut(s)))
        if (!StageCrossable(f, s, 4)) roadOpen = false;
    if (roadOpen) {
        grindStage_ = 0;
        grindRate_ = 0.0;
        return;
    }
    // Else the stage with the most experience for the time, a little less
    // for each stage on the way there; the present one is kept unless
    // another is clearly better.
    int best = 0;
    double bestRate = 0.0;
    double keptRate = 0.0;
    for (int stage = 1; stage <= kStageCount; ++stage) {
        int length = 0;
        if (stage != stage_) {
            WayToward(stage_, stage, StageSafe, [this](int at, WayOut way) { return Banned(at, way); }, &length);
            if (length < 0) continue;
        }
        const double rate = StageRate(f, stage) * (1.0 - 0.02 * std::min(length, 20));
        if (stage == grindStage_) keptRate = rate;
        if (rate > bestRate) {
            best = stage;
            bestRate = rate;
        }
    }
    if (grindStage_ != 0 && keptRate * 1.25 >= bestRate && keptRate > 0.0) return;
    grindStage_ = best;
    grindRate_ = bestRate;
}

WayOut PlayerBot::WayTo(int goal) const {
    if (goal == 0) return NextWayOut(stage_);
    return WayToward(stage_, goal, StageSafe, [this](int at, WayOut way) { return Banned(at, way); });
}

int PlayerBot::DirectionOf(WayOut way, float worldX, bool& atDoor) const {
    atDoor = false;
    if (way == WayOut::kLeftExit) return -1;
    if (way != WayOut::kWarpDoor) return 1;
    int direction = 1;
    for (const WarpDoor& door : g_WarpDoors) {
        if (door.alive != 1 || door.destination != Destination(stage_, way)) continue;
        const float dx = door.x - worldX;
        atDoor = std::fabs(dx) < 12.0f;
        direction = dx < 0.0f ? -1 : 1;
    }
    return direction;
}

int PlayerBot::NearestNeighbour(float worldX) const {
    float nearest = 1e9f;
    int to = 0;
    for (WayOut way : {WayOut::kLeftExit, WayOut::kRightExit, WayOut::kWarpDoor}) {
        const int next = Destination(stage_, way);
        if (next < 1 || next > kStageCount || next == stage_ || !StageSafe(next) || Banned(stage_, way)) continue;
        float wayX = way == WayOut::kLeftExit ? static_cast<float>(kCameraLeftBound)
                                              : static_cast<float>(kStageTable[stage_ - 1].rightBound + 640);
        for (const WarpDoor& door : g_WarpDoors)
            if (way == WayOut::kWarpDoor && door.alive == 1 && door.destination == next) wayX = door.x;
        if (std::fabs(wayX - worldX) < nearest) {
            nearest = std::fabs(wayX - worldX);
            to = next;
        }
    }
    return to;
}

int PlayerBot::Heading(float worldX, bool& atDoor) {
    atDoor = false;
    atShopDoor_ = false;
    grinding_ = false;
    currentWay_ = WayOut::kNone;
    if (progress_.frames >= goalChosenAt_ + 2000) ChooseGoal();
    // Low on HP among biters while grinding: out by the nearest way, to rest
    // on the other side.
    if (fleeing_ && bounceTo_ == 0) bounceTo_ = NearestNeighbour(worldX);

    // Something better to wear: from a door here, or from the town.
    const Purchase buy = BestPurchase(g_PlayerRecord.money, WornRows(), ShopDoorsHere());
    if (buy.door >= 0) {
        const float dx = static_cast<float>(g_ShopDoors[buy.door].x) - worldX;
        atShopDoor_ = std::fabs(dx) < 24.0f;
        return dx < 0.0f ? -1 : 1;
    }
    if (menuWish_ == MenuWish::kNone && stage_ != kFirstStage &&
        BestPurchase(g_PlayerRecord.money, WornRows(), kTownDoors, kTownTripGain).door >= 0)
        menuWish_ = MenuWish::kBackToTown;

    if (grindStage_ != 0 && stage_ == grindStage_ && bounceTo_ == 0) {
        // Fight here while there is something worth it.
        const Fighter f = CurrentFighter();
        float nearest = 1e9f;
        int toward = 0;
        for (int kind = 0; kind < kMonsterKindCount; ++kind)
            for (const MonsterRecord& m : g_MonsterPools[kind])
                if (m.alive == kMonsterAlive && WorthAFight(f, kind, m.hp, true, g_PlayerRecord.maxHp) &&
                    std::fabs(m.x - worldX) < nearest) {
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
        // None left: step to a neighbour and come back, which sets the
        // stage up afresh, by the nearest safe way out. (Not at once on
        // arrival: the stage has to be looked over first.)
        if (stageFrames_ < 600) return g_PlayerRecord.arrivalScreenX < 320 ? 1 : -1;
        bounceTo_ = NearestNeighbour(worldX);
    }
    bouncing_ = bounceTo_ != 0;
    const int target = bounceTo_ != 0 ? bounceTo_ : grindStage_;
    currentWay_ = target == stage_ ? WayOut::kNone : WayTo(target);
    // No road to the goal (all of it banned, say): on toward the ending.
    if (currentWay_ == WayOut::kNone) currentWay_ = NextWayOut(stage_);
    return DirectionOf(currentWay_, worldX, atDoor);
}

PlatformInputFrame PlayerBot::Field() {
    PlayerRecord& me = g_PlayerRecord;
    const float x = g_StageState.cameraX + g_PlayerMotion.screenX;
    const float y = g_PlayerMotion.y;
    if (me.stage != stage_) {
        cameFrom_ = stage_;
        stage_ = me.stage;
        stuckTotal_ = 0;
        stageFrames_ = 0;
        grindOver_ = false;
        fleeing_ = false;
        if (stage_ == bounceTo_) bounceTo_ = 0;
        if (std::find(progress_.stagesVisited.begin(), progress_.stagesVisited.end(), stage_) ==
            progress_.stagesVisited.end()) {
            progress_.stagesVisited.push_back(stage_);
            progress_.arrivalFrames.push_back(progress_.frames);
            // A stage not seen before: worth a save.
            if (menuWish_ == MenuWish::kNone) menuWish_ = MenuWish::kSave;
        }
        ChooseGoal();
    }

    ++stageFrames_;
    // A long stay is saved now and then: a death goes back to the last save.
    if (menuWish_ == MenuWish::kNone && progress_.frames >= savedAt_ + kSaveEvery) menuWish_ = MenuWish::kSave;
    bool atDoor = false;
    const int direction = Heading(x, atDoor);
    // Never out by an edge it does not mean to take: a monster beyond the
    // edge is given up, and the bot stands.
    const float screenX = g_PlayerMotion.screenX;
    const bool edgeAhead = (direction < 0 && screenX < 24.0f && currentWay_ != WayOut::kLeftExit) ||
                           (direction > 0 && screenX > 616.0f && currentWay_ != WayOut::kRightExit);
    if (edgeAhead && grinding_ && !resting_) grindOver_ = true;

    // Rest away from monsters while HP is low; HP comes back over time.
    // On the road to the ending every stage may be the hard one: rest sooner,
    // and whenever it can, before a save (a death goes back to it).
    if (me.hp * 2 < me.maxHp || (grindStage_ == 0 && me.hp * 10 < me.maxHp * 9)) resting_ = true;
    if (me.hp * 20 >= me.maxHp * 19) resting_ = false;
    if (grindStage_ != 0 && me.hp * 10 < me.maxHp * 3 && MonsterNear(x, 300.0f)) fleeing_ = true;

    const bool press = !pressedLast_;  // keys that act on their press alternate
    PlatformInputFrame frame;
    const bool busy = g_PlayerActionState.attackActive != 0 || g_PlayerMotion.airborne != 0;
    // The still skill heals 80 to 100 % of full SP and 70 more: used as soon
    // as that much HP is missing (or HP is low), SP is of no other use here.
    const bool healWanted = me.maxHp - me.hp >= me.maxSp * 0.8 + 70.0 || me.hp * 3 < me.maxHp;
    if (healWanted && me.sp >= StillSkillCost() && !busy) {
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
        progress_.frames < fightsBannedUntil_ || fleeing_ ? 0 : FightSide(x, y, direction, 110.0f, grinding_ ? 110.0f : 60.0f, grinding_);
    fightIdle_ = fightSide != 0 && monsterHp == lastMonsterHp_ ? fightIdle_ + 1 : 0;
    if (monsterHp < lastMonsterHp_ && lastMonsterHp_ - monsterHp < 1'000'000) time_.damage += lastMonsterHp_ - monsterHp;
    lastMonsterHp_ = monsterHp;
    if (fightIdle_ > 400) {
        fightsBannedUntil_ = progress_.frames + 600;
        grindOver_ = true;
        fightIdle_ = 0;
    }
    if (fightSide != 0) {
        ++time_.fighting;
        const bool facingIt = (g_PlayerMotion.facing == 1) == (fightSide < 0);
        if (!facingIt) frame.keys.push_back(fightSide < 0 ? kKeyLeft : kKeyRight);
        else if (press) frame.keys.push_back(kKeyAttack);
        pressedLast_ = facingIt && press;
        lastX_ = x;
        return frame;
    }
    // The system menu (to save, or BACK TO TOWN) opens on the ground with
    // no blow running and no monster about.
    if (menuWish_ != MenuWish::kNone && !busy && !MonsterNear(x, 300.0f) &&
        (menuWish_ != MenuWish::kSave || !resting_)) {
        pressedLast_ = !pressedLast_;
        lastX_ = x;
        return pressedLast_ ? Keys({kKeyEscape}) : PlatformInputFrame{};
    }
    if (atShopDoor_ && g_PlayerMotion.airborne == 0) {
        pressedLast_ = !pressedLast_;
        lastX_ = x;
        return pressedLast_ ? Keys({kKeyUp}) : PlatformInputFrame{};
    }
    if (resting_ && !MonsterNear(x, 350.0f)) {
        pressedLast_ = false;
        ++time_.resting;
        return Keys({kKeyDown});  // crouching regains HP eight times as fast
    }
    if (atDoor) {
        if (press && Destination(stage_, currentWay_) == kEndingDestination)
            progress_.endingReached = true;
        pressedLast_ = press;
        return press ? Keys({kKeyUp}) : PlatformInputFrame{};
    }

    if (edgeAhead) {
        // Fled as far as the stage goes: rest here.
        pressedLast_ = false;
        lastX_ = x;
        return resting_ ? Keys({kKeyDown}) : PlatformInputFrame{};
    }
    frame.keys.push_back(direction < 0 ? kKeyLeft : kKeyRight);
    // Stopped: not moving, or pushed back and forth at a wall without
    // getting anywhere in the last 40 frames.
    if (++windowFrames_ >= 40) {
        windowStuck_ = std::fabs(x - windowX_) < 4.0f;
        windowX_ = x;
        windowFrames_ = 0;
    }
    const bool stopped = std::fabs(x - lastX_) < 0.01f || windowStuck_;
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
    // A way out it cannot get to in a long while is left out of its roads.
    if (stuckTotal_ > 6000 && !grinding_ && currentWay_ != WayOut::kNone) {
        bannedWays_.insert({stage_, static_cast<int>(currentWay_)});
        stuckTotal_ = 0;
        ChooseGoal();
    }
    // Long stuck at a wall: step back for a run-up now and then.
    if (stuckTotal_ > 300 && stuckTotal_ % 200 < 20) frame.keys[0] = direction < 0 ? kKeyRight : kKeyLeft;
    lastX_ = x;
    return frame;
}

std::string PlayerBot::Describe() const {
    char line[512];
    std::snprintf(line, sizeof line, "fighting %llu resting %llu damage %llu exp %d | frame %llu stage %d x %.0f hp %d/%d lv %d str %d vit %d dex %d def %d atk %d deaths %d screen %d diff %d vesk %d worn %d/%d/%d/%d goal %d challenge %d way %d bounce %d sx %.0f rest %d wish %d fight %d busy %d air %d%s",
                  static_cast<unsigned long long>(time_.fighting), static_cast<unsigned long long>(time_.resting),
                  static_cast<unsigned long long>(time_.damage), g_PlayerRecord.exp,
                  static_cast<unsigned long long>(progress_.frames), g_PlayerRecord.stage,
                  g_StageState.cameraX + g_PlayerMotion.screenX, g_PlayerRecord.hp, g_PlayerRecord.maxHp,
                  g_PlayerRecord.level, g_PlayerRecord.str, g_PlayerRecord.vit, g_PlayerRecord.dex, PlayerDef(),
                  PlayerBlowAtk(), progress_.deaths, g_SubScreenMode, g_PlayerRecord.difficulty,
                  g_PlayerRecord.money, g_PlayerRecord.weaponRow, g_PlayerRecord.armourRow, g_PlayerRecord.shieldRow,
                  g_PlayerRecord.accessoryRow, grindStage_, challenge_, static_cast<int>(currentWay_), bounceTo_,
                  g_PlayerMotion.screenX, resting_ ? 1 : 0, static_cast<int>(menuWish_), fightIdle_,
                  g_PlayerActionState.attackActive, g_PlayerMotion.airborne,
                  grinding_ ? " grinding" : bouncing_ ? " bouncing" : "");
    return line;
}
