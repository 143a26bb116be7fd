// The points of a stage that its ground must serve, read from the stage
// table: where the player arrives, the warp door and the shop doors. The
// collision maps are built so that each of them stands on a floor.
#pragma once

#include <vector>

enum class AnchorKind { Arrival, WarpDoor, ShopDoor };

struct StageAnchor {
    AnchorKind kind;
    int x;         // world x: the player's centre, or the door's centre
    int floorRow;  // the grid row whose top the player (or the door) stands on
    bool drops = false;  // the player appears above floorRow and falls onto any floor
};

// Every anchor of `stage` (1 to 61): the arrivals of all exits and doors that
// lead into it (the new game's start on stage 1 too), its warp door, its
// shop doors.
std::vector<StageAnchor> StageAnchors(int stage);

// The grid column the player's centre must reach to take the right-edge
// exit: the right end of the view at the camera's right bound.
int RightExitColumn(int stage);
// The player takes the left-edge exit with its centre at or left of this
// world x: the left end of the view at the camera's left bound.
int LeftExitX();

// The grid row a player standing at `y` has its feet on: its box is 112
// high around y, so its foot is y + 56.
constexpr int ArrivalFloorRow(int y) { return (y + 56) / 32; }
// A door at `y` stands on this row: warp doors are entered from there and
// shop doors drawn with their foot on it.
constexpr int DoorFloorRow(int y) { return (y + 32) / 32; }
