#include "route.h"

#include <array>
#include <deque>

#include "world/stages/stage_table_data.h"
#include "world/stages/warp_door.h"

namespace {

constexpr WayOut kWays[] = {WayOut::kRightExit, WayOut::kWarpDoor, WayOut::kLeftExit};

// Distance to the ending of every stage, by a search backwards from it.
struct Roads {
    std::array<int, kStageCount + 1> distance{};
    Roads() {
        distance.fill(-1);
        std::deque<int> queue;
        for (int s = 1; s <= kStageCount; ++s)
            if (Destination(s, WayOut::kWarpDoor) == kEndingDestination) {
                distance[s] = 1;
                queue.push_back(s);
            }
        while (!queue.empty()) {
            const int to = queue.front();
            queue.pop_front();
            for (int from = 1; from <= kStageCount; ++from) {
                if (distance[from] >= 0) continue;
                for (WayOut way : kWays)
                    if (Destination(from, way) == to) {
                        distance[from] = distance[to] + 1;
                        queue.push_back(from);
                        break;
                    }
            }
        }
    }
};

const Roads& TheRoads() {
    static const Roads roads;
    return roads;
}

}  // namespace

int Destination(int stage, WayOut way) {
    if (stage < 1 || stage > kStageCount) return 0;
    const StageDef& def = kStageTable[stage - 1];
    switch (way) {
        case WayOut::kLeftExit: return def.leftExit.destination;
        case WayOut::kRightExit: return def.rightExit.destination;
        case WayOut::kWarpDoor: return def.warpDoor.present ? def.warpDoor.to.destination : 0;
        case WayOut::kNone: break;
    }
    return 0;
}

int StagesToEnding(int stage) {
    if (stage < 1 || stage > kStageCount) return -1;
    return TheRoads().distance[stage];
}

WayOut NextWayOut(int stage) {
    const int here = StagesToEnding(stage);
    if (here < 0) return WayOut::kNone;
    if (here == 1) return WayOut::kWarpDoor;
    for (WayOut way : kWays) {
        const int to = Destination(stage, way);
        if (to >= 1 && to <= kStageCount && StagesToEnding(to) == here - 1) return way;
    }
    return WayOut::kNone;
}

WayOut WayToward(int from, int to, const std::function<bool(int)>& passable,
                 const std::function<bool(int, WayOut)>& banned, int* length) {
    if (length != nullptr) *length = -1;
    if (from < 1 || from > kStageCount || to < 1 || to > kStageCount) return WayOut::kNone;
    if (from == to) {
        if (length != nullptr) *length = 0;
        return WayOut::kNone;
    }
    // Breadth first from `from`, keeping the first way out taken.
    std::array<WayOut, kStageCount + 1> firstWay{};
    std::array<int, kStageCount + 1> steps{};
    steps.fill(-1);
    steps[from] = 0;
    std::deque<int> queue{from};
    while (!queue.empty()) {
        const int at = queue.front();
        queue.pop_front();
        for (WayOut way : kWays) {
            if (banned && banned(at, way)) continue;
            const int next = Destination(at, way);
            if (next < 1 || next > kStageCount || steps[next] >= 0) continue;
            if (next != to && !passable(next)) continue;
            steps[next] = steps[at] + 1;
            firstWay[next] = at == from ? way : firstWay[at];
            if (next == to) {
                if (length != nullptr) *length = steps[next];
                return firstWay[next];
            }
            queue.push_back(next);
        }
    }
    return WayOut::kNone;
}
