// The ground of the painted stage panels.
//
// One panel picture is painted on several stages (heigenn030 on four of
// them), so its ground is one profile that every stage showing the picture
// shares: the collision maps are put together from the profiles of a stage's
// panels, and the panel pictures draw the same ground. What the player sees
// is what the player walks on.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

constexpr int kPanelColumns = 20;       // 640 pixels of 32-pixel cells
constexpr int kFirstPanelColumn = 60;   // grid column of panel 3, the first painted one
constexpr int kNoFloor = 15;            // a pit column: nothing solid down to the bottom
constexpr int kLowestFloorRow = 13;     // row 14 stays solid under every floor
constexpr int kHighestFloorRow = 5;     // leaves the player's 4 rows above it on the grid
constexpr int kMaxStepRows = 2;         // rows one jump climbs with room to spare
constexpr int kMaxPitColumns = 3;       // columns one jump crosses with room to spare

struct PanelProfile {
    std::string name;
    // The top row of the ground in each column (solid from there down to row
    // 14), or kNoFloor in a pit.
    std::array<int, kPanelColumns> floor;
};

// The profiles of every painted panel file, in name order. They are worked
// out once from the stage table and the fixed monster positions, the same on
// every run; inconsistent data ends the program with a message.
const std::vector<PanelProfile>& PanelProfiles();

// The profile of one panel file, or null for a file that no stage paints.
const PanelProfile* FindPanelProfile(std::string_view name);
