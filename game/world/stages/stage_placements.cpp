#include "world/stages/stage_placements.h"

#include "world/stages/stage_placements_generated.h"
#include "world/stages/stage_placements_given.h"

std::span<const MonsterPlacement> PlacementsOfStage(std::span<const MonsterPlacement> list, int stageNumber) {
    std::size_t first = 0;
    while (first < list.size() && list[first].stage != stageNumber) ++first;
    std::size_t end = first;
    while (end < list.size() && list[end].stage == stageNumber) ++end;
    return list.subspan(first, end - first);
}

std::span<const MonsterPlacement> StagePlacements(int stageNumber) {
    auto generated = PlacementsOfStage(kGeneratedPlacements, stageNumber);
    if (!generated.empty()) return generated;
    return PlacementsOfStage(kGivenPlacements, stageNumber);
}
