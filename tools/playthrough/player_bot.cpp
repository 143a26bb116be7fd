#include "player_bot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "flow/player_motion.h"
#include "flow/player_record.h"
#include "flow/status_screen.h"
#include "flow/sub_screen.h"
#include "flow/system_menu.h"
#include "route.h"
#include "world/collision_grid.h"
#include "world/monster_record.h"
#include "world/stage_exit.h"
#include "world/stage_state.h"
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
    return framesOutOfField_ % 20 == 0 ? Keys({kKeyJump}) : PlatformInputFrame{};
}

int PlayerBot::WantedStatusRow() const {
    // STR and VIT in turn (the lower first), each as soon as it can be paid;
    // then EXIT.
    const PlayerRecord& me = g_PlayerRecord;
    const bool strFirst = me.str <= me.vit;
    for (int row : {strFirst ? kStatusStr : kStatusVit, strFirst ? kStatusVit : kStatusStr}) {
        const std::int32_t base = row == kStatusStr ? me.str : me.vit;
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

bool PlayerBot::MonsterInReach(float worldX, float y, int direction, float reach) const {
    for (const auto& pool : g_MonsterPools)
        for (const MonsterRecord& m : pool) {
            if (m.alive != kMonsterAlive) continue;
            const float dx = (m.x - worldX) * static_cast<float>(direction);
            if (dx > -20.0f && dx < reach && std::fabs(m.y - y) < 120.0f) return true;
        }
    return false;
}

bool PlayerBot::MonsterNear(float worldX, float range) const {
    for (const auto& pool : g_MonsterPools)
        for (const MonsterRecord& m : pool)
            if (m.alive == kMonsterAlive && std::fabs(m.x - worldX) < range) return true;
    return false;
}

PlatformInputFrame PlayerBot::Field() {
    const PlayerRecord& me = g_PlayerRecord;
    const float x = g_StageState.cameraX + g_PlayerMotion.screenX;
    const float y = g_PlayerMotion.y;
    if (me.stage != stage_) {
        stage_ = me.stage;
        stuckTotal_ = 0;
        if (std::find(progress_.stagesVisited.begin(), progress_.stagesVisited.end(), stage_) ==
            progress_.stagesVisited.end()) {
            progress_.stagesVisited.push_back(stage_);
            progress_.arrivalFrames.push_back(progress_.frames);
        }
    }

    // Where to: an exit at an edge of the stage or the warp door.
    const WayOut way = NextWayOut(stage_);
    int direction = way == WayOut::kLeftExit ? -1 : 1;
    bool atDoor = false;
    if (way == WayOut::kWarpDoor) {
        for (const WarpDoor& door : g_WarpDoors) {
            if (door.alive != 1 || door.destination != Destination(stage_, way)) continue;
            const float dx = door.x - x;
            atDoor = std::fabs(dx) < 12.0f;
            direction = dx < 0.0f ? -1 : 1;
        }
    }

    // Rest away from monsters while HP is low; HP comes back over time.
    if (me.hp * 10 < me.maxHp * 3) resting_ = true;
    if (me.hp * 10 >= me.maxHp * 8) resting_ = false;

    const bool press = !pressedLast_;  // keys that act on their press alternate
    PlatformInputFrame frame;
    // A monster in reach ahead, else behind: face it, then strike on every
    // other frame.
    // (Only what is close behind: chasing back would undo the way made.)
    const int fightSide = MonsterInReach(x, y, direction, 110.0f)   ? direction
                          : MonsterInReach(x, y, -direction, 60.0f) ? -direction
                                                                    : 0;
    if (fightSide != 0) {
        const bool facingIt = (g_PlayerMotion.facing == 1) == (fightSide < 0);
        if (!facingIt) frame.keys.push_back(fightSide < 0 ? kKeyLeft : kKeyRight);
        else if (press) frame.keys.push_back(kKeyAttack);
        pressedLast_ = facingIt && press;
        lastX_ = x;
        return frame;
    }
    if (resting_ && !MonsterNear(x, 400.0f)) {
        pressedLast_ = false;
        return Keys({kKeyDown});  // crouching regains HP eight times as fast
    }
    if (atDoor) {
        if (press && Destination(stage_, way) == kEndingDestination) progress_.endingReached = true;
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
    char line[160];
    std::snprintf(line, sizeof line, "frame %llu stage %d x %.0f hp %d/%d lv %d deaths %d screen %d",
                  static_cast<unsigned long long>(progress_.frames), g_PlayerRecord.stage,
                  g_StageState.cameraX + g_PlayerMotion.screenX, g_PlayerRecord.hp, g_PlayerRecord.maxHp,
                  g_PlayerRecord.level, progress_.deaths, g_SubScreenMode);
    return line;
}
