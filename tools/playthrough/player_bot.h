// A player program: it reads the game's state after every presented frame
// and chooses the keys of the next one. It changes no rule of the game; what
// it presses is kept as an input script that replays the same run.
//
// Out of field play it presses the decide key now and then (title, menus,
// QUEST START, GAME OVER); in field play it walks the way the route names,
// jumps at walls and pits, fights what stands in front of it, rests
// crouching when its HP runs low, spends stat points on STR and VIT when a
// level-up opens the status screen, and goes up at the warp door it wants. After the ending it
// leaves the title with Escape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dinput.h"

struct BotProgress {
    std::uint64_t frames = 0;        // frames decided
    int deaths = 0;                  // GAME OVER screens
    bool endingReached = false;      // UP taken at the door to the ending
    std::vector<int> stagesVisited;  // in order of first arrival
    std::vector<std::uint64_t> arrivalFrames;  // the frame of each first arrival
};

class PlayerBot {
public:
    // The keys for the frame after the one just presented.
    PlatformInputFrame NextFrame();
    const BotProgress& Progress() const { return progress_; }
    // One line on where the bot is, for the log.
    std::string Describe() const;

private:
    PlatformInputFrame Menus();
    PlatformInputFrame Field();
    PlatformInputFrame Status();
    int WantedStatusRow() const;
    bool PitAhead(float worldX, int direction) const;
    bool MonsterInReach(float worldX, float y, int direction, float reach) const;
    bool MonsterNear(float worldX, float range) const;

    BotProgress progress_;
    std::int32_t lastFieldCounter_ = -1;
    std::uint64_t framesOutOfField_ = 0;
    bool seenField_ = false;
    int stage_ = 0;
    float lastX_ = 0.0f;
    int stuckFrames_ = 0;
    int stuckTotal_ = 0;  // frames without progress on this stage
    bool pressedLast_ = false;
    bool resting_ = false;
    std::uint64_t endingFrames_ = 0;
    int hpBefore_ = 0;
};
