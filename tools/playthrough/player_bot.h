// A player program: it reads the game's state after every presented frame
// and chooses the keys of the next one. It changes no rule of the game; what
// it presses is kept as an input script that replays the same run.
//
// Out of field play it presses the decide key now and then (title, menus,
// QUEST START, GAME OVER); a new game is VERY EASY, which gives the most stat
// points a level. In field play it walks the way the route names, jumps at
// walls and pits, and fights what it can beat in good time: a monster that
// falls in a few blows on the way, and, while the next stage with monsters
// on the route would be too much (a bite there takes a tenth of full HP, or
// nothing there is worth a fight), every monster worth it on the stage that
// gives the most experience for the time among those it can bear, stepping
// to a neighbour and back when none is left. It rests crouching (or heals
// with the still skill) when HP runs low, spends stat points on DEX up to
// what the monsters ahead evade, then on VIT and STR, buys better equipment
// at the shop doors it passes (and goes BACK TO TOWN when the town sells
// something much better that it can pay for), saves at the system menu on
// reaching a stage it had not seen, and goes up at the warp door it wants.
// After the ending it leaves the title with Escape.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/dinput.h"
#include "route.h"

struct BotProgress {
    std::uint64_t frames = 0;        // frames decided
    int deaths = 0;                  // GAME OVER screens
    bool endingReached = false;      // UP taken at the door to the ending
    std::vector<int> stagesVisited;  // in order of first arrival
    std::vector<std::uint64_t> arrivalFrames;  // the frame of each first arrival
    int saves = 0;      // games saved at the system menu
    int townTrips = 0;  // BACK TO TOWN for shopping
    int purchases = 0;  // items bought
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
    PlatformInputFrame Shop();
    PlatformInputFrame SystemMenu();
    // Where to go next: the ending, or the stage to gain experience on;
    // recomputed on arrival and now and then.
    void ChooseGoal();
    // The way out of this stage toward `goal` (kNone: stay).
    WayOut WayTo(int goal) const;
    int WantedStatusRow() const;
    // Whether the bot can walk to `stage` from here.
    bool Reachable(int stage) const;
    bool Banned(int stage, WayOut way) const;
    // The stage behind the nearest safe way out of this one; 0 for none.
    int NearestNeighbour(float worldX) const;
    bool PitAhead(float worldX, int direction) const;
    // The side (-1, +1) of the nearest monster worth a fight within `reach`
    // ahead (or `behindReach` behind); 0 for none.
    int FightSide(float worldX, float y, int direction, float reach, float behindReach, bool grinding) const;
    bool MonsterNear(float worldX, float range) const;
    // Where to go on this stage: -1 left, +1 right; sets `atDoor` when the
    // player stands at the warp door it wants.
    int Heading(float worldX, bool& atDoor);
    // The direction (-1, +1) to take a way out of this stage; sets `atDoor`
    // at the warp door.
    int DirectionOf(WayOut way, float worldX, bool& atDoor) const;

    BotProgress progress_;
    // Where the frames went, for the log.
    struct {
        std::uint64_t fighting = 0, resting = 0, damage = 0;
    } time_;
    std::int32_t lastFieldCounter_ = -1;
    std::uint64_t framesOutOfField_ = 0;
    bool seenField_ = false;
    int stage_ = 0;
    float lastX_ = 0.0f;
    // Where the player stood at the start of the last 40-frame window, and
    // whether it got nowhere in that window.
    float windowX_ = 0.0f;
    int windowFrames_ = 0;
    bool windowStuck_ = false;
    int stuckFrames_ = 0;
    int stuckTotal_ = 0;  // frames without progress on this stage
    int stageFrames_ = 0; // field frames since arriving on this stage
    bool pressedLast_ = false;
    bool resting_ = false;
    std::uint64_t endingFrames_ = 0;
    int hpBefore_ = 0;
    int cameFrom_ = 0;      // the stage before this one
    int grindSweep_ = 1;    // the way a grinding walk goes
    bool bouncing_ = false; // stepping out of the grind stage to come back
    bool grinding_ = false; // staying on this stage for experience
    bool grindOver_ = false;
    bool fleeing_ = false;    // out of this stage to rest  // no more grinding on this visit: what is left cannot be reached
    std::uint64_t menuPresses_ = 0;
    std::int64_t lastMonsterHp_ = 0;       // all monsters' HP at the last frame
    int fightIdle_ = 0;                    // frames of fighting without a blow landing
    std::uint64_t fightsBannedUntil_ = 0;  // the frame fights may start again
    // Where it is going: 0 for the ending, else the stage it gains
    // experience on, with the rate of experience it expects there.
    int grindStage_ = 0;
    int challenge_ = 0;  // the next stage with monsters on the route past the furthest reached
    double grindRate_ = 0.0;
    int bounceTo_ = 0;
    WayOut currentWay_ = WayOut::kNone;  // the way out it is heading for
    bool atShopDoor_ = false;            // at the door of a shop it wants to buy from  // a neighbour to step to and come back from, to set the grind stage up afresh
    std::uint64_t goalChosenAt_ = 0;
    // Ways out (stage, way) it could not reach: left out of its roads.
    std::set<std::pair<int, int>> bannedWays_;
    enum class MenuWish { kNone, kBackToTown, kSave };
    MenuWish menuWish_ = MenuWish::kNone;
    bool saving_ = false;
    std::uint64_t savedAt_ = 0;  // the frame of the last save  // EXIT chosen: through the title back into the game
};
