// The bot's sums on fighting: what a monster's bite takes, how often a blow
// lands, how long a kill takes with the rests it costs, and from that the
// experience a frame a stage gives. They read a Fighter, so the bot can weigh
// a stat point before it spends it.
#pragma once

#include <cstdint>
#include <functional>

struct Fighter {
    std::int32_t level = 1;
    std::int32_t str = 0, vit = 0, dex = 0;  // base stats, as the status screen spends them
    std::int32_t strBonus = 0, dexBonus = 0;  // from what is worn
    std::int32_t agi = 0, intel = 0, luk = 0;  // totals
    std::int32_t weaponAtk = 0, equipmentDef = 0, maxHpBonus = 0;
    // Figures the game derives from the above.
    std::int32_t Atk() const;
    std::int32_t Def() const;
    std::int32_t MaxHp() const;
    std::int32_t DexTotal() const { return dex + dexBonus; }
};

// The player as the game holds it now.
Fighter CurrentFighter();

// What one bite of `kind` takes (0 when DEF is over its attack power).
std::int32_t Hurt(const Fighter& f, int kind);
// The share of blows that land: a blow misses when 2 x (evasion - DEX) beats
// a roll of 0 to 100.
double HitShare(const Fighter& f, int kind);
// Frames of blows to take `hp` off a monster of `kind`.
double KillFrames(const Fighter& f, int kind, std::int32_t hp);
// Frames of crouching that win back the HP lost to the bites of one kill.
double RestFrames(const Fighter& f, int kind, std::int32_t hp);
// Worth hunting: the blows land often enough, a kill is done in good time,
// and a bite takes little of full HP.
bool WorthHunting(const Fighter& f, int kind);
// Experience a frame from hunting every monster worth it on `stage`, with
// the walk and rests it takes; 0 when something there bites too hard to stay.
double StageRate(const Fighter& f, int stage);
// Whether `stage` can be walked through: no bite there takes a third of full
// HP (`share` 3), or a quarter (4) on the last road, where every stage is full
// of such biters and a death costs the walk since the last save.
bool StageCrossable(const Fighter& f, int stage, int share = 3);

enum class StatChoice { kStr, kVit, kDex };
// The fighter with `points` more of `stat` (base), figures recomputed.
Fighter WithMore(const Fighter& f, StatChoice stat, int points);
// The stat whose next points raise the best rate among the stages
// `reachable` admits the most for their cost; VIT when no stat raises it.
StatChoice BestStatFor(const Fighter& f, const std::function<bool(int)>& reachable);
// The stat point cost of raising `base` by `points`.
int PointsCost(std::int32_t base, int points);

