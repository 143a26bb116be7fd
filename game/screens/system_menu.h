// The system menu, opened by the menu key in field play: RETURN, STATUS,
// BACK TO TOWN and EXIT, written in letter glyphs over the darkened field.
#pragma once

#include <cstdint>

#include "screens/sub_screen_step.h"

enum SystemMenuEntry : std::int32_t {
    kSystemMenuReturn = 0,
    kSystemMenuStatus = 1,
    kSystemMenuBackToTown = 2,
    kSystemMenuExit = 3,
};
constexpr int kSystemMenuEntryCount = 4;

// The menu's cursor, and also the status screen's: one word, so the status
// screen opens on the row the menu left it on. 0 when a game starts; not
// reset when the menu opens.
extern std::int32_t g_SystemMenuCursor;
// +1 every menu frame; drives the cursor animation and the selected entry's
// wave.
extern std::int32_t g_SystemMenuFrameCounter;

// Where BACK TO TOWN puts the player: stage 1 at these arrival words.
constexpr std::int32_t kTownArrivalCameraX = 2096;
constexpr std::int32_t kTownArrivalPlayerY = 192;
constexpr std::int32_t kTownArrivalScreenX = 320;

// One menu frame while g_SubScreenMode is 1. Decide acts on the entry under
// the cursor: RETURN closes the menu; STATUS opens the status screen without
// its level-up banner; BACK TO TOWN loads stage 1 (kNextFrame); EXIT stops
// the music, saves through the quit path and returns kQuitToTitle. UP and
// DOWN move the cursor, wrapping.
SubScreenOutcome RunSystemMenuFrame();
