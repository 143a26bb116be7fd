// The way out of play back to the title: the window closed, EXIT in the
// system menu, or the end of the ending.
#pragma once

#include <cstdint>

// Set on every way out of play; the title menu clears it.
extern std::uint8_t g_ReturnedFromGameFlag;

// Sets the returned-from-game flag and saves the whole PlayerRecord into the
// current slot (its save file, then its summary). False when the save could
// not be written; the slot's old files are then kept whole.
bool TakeQuitPath();
