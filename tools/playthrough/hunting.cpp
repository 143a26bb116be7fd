#include "hunting.h"

#include <algorithm>

#include "rules/derived_stats.h"
#include "rules/equipment_tables.h"
#include "rules/player_record.h"
#include "screens/status_screen.h"
#include "world/monsters/monster_kind_params.h"
#include "world/monsters/monster_record.h"
#include "world/stages/stage_monster_counts.h"
#include "world/stages/stage_table_data.h"

namespace {

std::int64_t Squared(std::int64_t value, std::int64_t divisor) { return (value / divisor) * (value / divisor); }

// Crouching wins back one HP every 5000 / max HP frames; getting away from
// the monsters first and standing up again cost about a third more.
constexpr double kRestFramesPerFullHp = 5000.0 * 1.3;
// Frames to walk to the next monster and line up a blow.
constexpr double kWalkFramesPerKill = 150.0;
// Frames to step out and back to set a stage up afresh.
constexpr double kBounceFrames = 600.0;
// The stage is walked about one and a half times over to find its monsters,
// at 1.2 pixels a frame and more with AGI; it is 640 pixels wider than the
// camera's travel.
double SetUpFrames(const Fighter& f, int stage) {
    const double width = kStageTable[stage - 1].rightBound + 640.0 - kCameraLeftBound;
    return kBounceFrames + 1.5 * width / (1.2 + f.agi / 170.0);
}

}  // namespace

std::int32_t Fighter::Atk() const {
    const std::int64_t s = str + strBonus;
    return static_cast<std::int32_t>(weaponAtk + level + 30 + DexTotal() + 3 * s + Squared(s, 6));
}

std::int32_t Fighter::Def() const {
    return static_cast<std::int32_t>(vit + equipmentDef + level / 2 + Squared(vit, 10));
}

std::int32_t Fighter::MaxHp() const {
    return static_cast<std::int32_t>(maxHpBonus + 8 * level + 12 * vit + Squared(level + vit, 5) + 600);
}

Fighter CurrentFighter() {
    const PlayerRecord& me = g_PlayerRecord;
    const DerivedStats& d = g_DerivedStats;
    Fighter f;
    f.level = me.level;
    f.str = me.str;
    f.vit = me.vit;
    f.dex = me.dex;
    f.strBonus = d.strTotal - me.str;
    f.dexBonus = d.dexTotal - me.dex;
    f.agi = d.agiTotal;
    f.intel = d.intTotal;
    f.luk = d.lukTotal;
    const EquipmentRecord* weapon = FindEquipment(kEquipWeapon, me.weaponRow);
    f.weaponAtk = weapon != nullptr ? weapon->atk : 0;
    f.equipmentDef = d.equipmentDef;
    f.maxHpBonus = d.maxHpBonus;
    return f;
}

std::int32_t Hurt(const Fighter& f, int kind) { return std::max(0, kMonsterKindParams[kind].attackPower - f.Def()); }

double HitShare(const Fighter& f, int kind) {
    const int over = 2 * (kMonsterKindParams[kind].evasion - f.DexTotal());
    return std::clamp(1.0 - over / 101.0, 0.0, 1.0);
}

double KillFrames(const Fighter& f, int kind, std::int32_t hp) {
    // A blow does 21 to 110 % of ATK, the blows of a chain 1.2 times that on
    // average; one takes about 80 frames of the combo timer, which runs
    // faster with AGI.
    const double perBlow = std::max(1.0, 0.65 * 1.2 * f.Atk() * HitShare(f, kind));
    return hp / perBlow * 80.0 / (f.agi / 170.0 + 1.0);
}

double RestFrames(const Fighter& f, int kind, std::int32_t hp) {
    const double bites = KillFrames(f, kind, hp) / kMonsterKindParams[kind].attackPeriod;
    return bites * Hurt(f, kind) * kRestFramesPerFullHp / std::max(1, f.MaxHp());
}

bool WorthHunting(const Fighter& f, int kind) {
    return HitShare(f, kind) >= 0.3 && Hurt(f, kind) * 8 <= f.MaxHp() &&
           KillFrames(f, kind, kMonsterKindParams[kind].hp) <= 12000.0;
}

double StageRate(const Fighter& f, int stage) {
    double exp = 0.0;
    if (stage < 1 || stage > kStageCount) return 0.0;
    double frames = SetUpFrames(f, stage);
    double killFrames = 0.0;
    int crowd = 0;
    for (const StageMonsterCount& count : kStageMonsterCounts) {
        if (count.stage != stage) continue;
        const MonsterKindParams& params = kMonsterKindParams[count.kind];
        if (!WorthHunting(f, count.kind)) {
            // What walks follows the player and bites while it hunts the
            // rest; what stands still only bites in passing.
            const bool walks = params.routine != MonsterRoutine::Fixed;
            if (Hurt(f, count.kind) * (walks ? 20 : 3) > f.MaxHp()) return 0.0;
            continue;
        }
        // The fliers come down within reach of a blow only to dive.
        const double reachable = count.kind >= kFirstDivingKind ? 1.0 / 3.0 : 1.0;
        exp += count.count * static_cast<double>(params.exp);
        killFrames += count.count * KillFrames(f, count.kind, params.hp) / reachable;
        frames += count.count * (RestFrames(f, count.kind, params.hp) + kWalkFramesPerKill);
        if (count.kind < kFirstDivingKind) crowd += count.count;
    }
    // Where many walk, they gather round the player and a blow strikes
    // several at once.
    return exp / (frames + killFrames / std::min(2.0, 1.0 + crowd / 15.0));
}

bool StageCrossable(const Fighter& f, int stage, int share) {
    for (const StageMonsterCount& count : kStageMonsterCounts)
        if (count.stage == stage && Hurt(f, count.kind) * share > f.MaxHp()) return false;
    return true;
}

Fighter WithMore(const Fighter& f, StatChoice stat, int points) {
    Fighter more = f;
    (stat == StatChoice::kStr ? more.str : stat == StatChoice::kVit ? more.vit : more.dex) += points;
    return more;
}

int PointsCost(std::int32_t base, int points) {
    int cost = 0;
    for (int i = 0; i < points; ++i) cost += StatPointCost(base + i);
    return cost;
}

StatChoice BestStatFor(const Fighter& f, const std::function<bool(int)>& reachable) {
    auto best = [&](const Fighter& g) {
        double rate = 0.0;
        for (int stage = 1; stage <= kStageCount; ++stage)
            if (reachable(stage)) rate = std::max(rate, StageRate(g, stage));
        return rate;
    };
    const double now = best(f);
    StatChoice choice = StatChoice::kVit;
    double bestGain = 0.0;
    for (StatChoice stat : {StatChoice::kVit, StatChoice::kDex, StatChoice::kStr}) {
        const std::int32_t base = stat == StatChoice::kStr ? f.str : stat == StatChoice::kVit ? f.vit : f.dex;
        // A short look and a longer one: some gains (a bite brought to
        // nothing, a kind that becomes worth hunting) come only after many
        // points.
        for (int points : {4, 16, 48}) {
            const double gain = (best(WithMore(f, stat, points)) - now) / PointsCost(base, points);
            if (gain > bestGain * 1.0001) {
                bestGain = gain;
                choice = stat;
            }
        }
    }
    return choice;
}
