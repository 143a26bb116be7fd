// The cursor of every menu of the game, the title's and the sub-screens':
// moved by newly pressed keys, with its sounds.
#pragma once

#include <cstdint>

#include "engine/handles.h"

// A menu sound: cursor move, confirm, or cancel and refusal.
void PlayMenuSound(SoundEffect effect);
// A newly pressed `forwardKey` moves a cursor of `count` places one on, a
// newly pressed `backKey` one back, both wrapping at the ends, each with the
// cursor sound.
void MoveMenuCursor(std::uint8_t& cursor, int count, std::uint32_t forwardKey, std::uint32_t backKey);
void MoveMenuCursor(std::int32_t& cursor, int count, std::uint32_t forwardKey, std::uint32_t backKey);
