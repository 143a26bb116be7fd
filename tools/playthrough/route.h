// The way through the stages: which way out of each stage leads on towards
// the ending (the warp door to 100 on stage 61), found over the stage table.
#pragma once

#include <functional>

enum class WayOut { kNone, kLeftExit, kRightExit, kWarpDoor };

// The first way out of `stage` on a shortest road to the ending; kNone when
// the ending cannot be reached from it (or `stage` is not 1 to 61).
WayOut NextWayOut(int stage);
// The stage that way leads to (100 for the ending); 0 for kNone.
int Destination(int stage, WayOut way);
// How many stages a shortest road from `stage` to the ending passes through
// (1 on stage 61), or -1.
int StagesToEnding(int stage);
// The first way out of `from` on a shortest road to stage `to` that passes
// only stages `passable` allows (`to` itself is always allowed) and no way
// `banned` refuses; kNone when there is no such road or `from` is `to`.
// `length`, when given, receives the number of steps (-1 for no road).
WayOut WayToward(int from, int to, const std::function<bool(int)>& passable,
                 const std::function<bool(int, WayOut)>& banned = nullptr, int* length = nullptr);
