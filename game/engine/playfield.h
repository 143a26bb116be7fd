// The size of a stage and of the panels it is made of, in world pixels: a
// strip of 640-pixel panels as high as the screen.
#pragma once

constexpr int kStageWidth = 12800;
constexpr int kStageHeight = 480;
constexpr int kPanelWidth = 640;
