// The status screen: stat points spent one point of a base stat at a time,
// with what the next point would do to ATK, DEF, MATK and CRT. A level-up
// opens it with a rising LV UP banner; STATUS in the system menu opens it
// without. It is left only through its EXIT row, which is when new maxima of
// HP and SP take effect.
#pragma once

#include <cstdint>

// Rows of the status screen; the cursor is the system menu's cursor word.
enum StatusRow : std::int32_t {
    kStatusStr = 0,
    kStatusAgi = 1,
    kStatusVit = 2,
    kStatusInt = 3,
    kStatusDex = 4,
    kStatusLuk = 5,
    kStatusExit = 6,
};
constexpr int kStatusRowCount = 7;
// The banner shows while its timer is below this many frames.
constexpr std::int32_t kLevelUpBannerFrames = 256;

// +1 every status frame; drives the cursor animation.
extern std::int32_t g_StatusFrameCounter;

// Stat points that raising a base stat by one costs: base / 20 + 1, so 1 for
// 0 to 19, 2 for 20 to 39 and so on. A base below 0 (only a damaged save can
// hold one) costs 1, never nothing or less.
std::int32_t StatPointCost(std::int32_t base);

// One status frame while g_SubScreenMode is 2: figures and previews, drawing,
// then decide (spend a point on the row's stat, or EXIT) and UP/DOWN.
void RunStatusFrame();
