// The floating damage numbers: the ring of entries a hit writes (five per
// monster slot, thirty for the player), and the drawing of a monster slot's
// five entries as numbers that rise, arc, fade and go.
#pragma once

#include <cstdint>

#include "world/monsters/monster_record.h"

// A value above this is a critical hit of (value - kCriticalPopupOffset);
// 0 is a miss, shown as MISS.
constexpr std::int32_t kCriticalPopupOffset = 100000;
// An entry shows for this many frames; its timer is its age, 0 when idle.
constexpr std::int32_t kPopupLifetime = 200;
// A new hit lands on a slot only while the entry at its cursor is idle or
// older than this.
constexpr std::int32_t kPopupBusyFrames = 20;
// Glyphs of one number stand this far apart.
constexpr int kPopupGlyphPitch = 16;

constexpr int kPlayerPopupCount = 30;

// The player's ring: the monster routines fill it, the HUD draws and ages it,
// GAME OVER clears its timers. Hits on the player are never critical.
struct PlayerPopupRing {
    std::int32_t value[kPlayerPopupCount];
    std::int32_t timer[kPlayerPopupCount];
    std::int8_t cursor;
};
extern PlayerPopupRing g_PlayerPopupRing;

// Shared by every monster slot: steps a critical number through its colours.
// Starts at 0 and is never reset, not even by a stage change.
extern std::int32_t g_CriticalColourCounter;

// True while a hit may land on the slot: the entry at its cursor is idle or
// older than kPopupBusyFrames.
bool IsPopupEntryFree(const MonsterRecord& m);

// The entry a new hit writes: the value at the ring's cursor.
std::int32_t& MonsterPopupValueAtCursor(MonsterRecord& m);
std::int32_t& PlayerPopupValueAtCursor();

// The end of recording a hit whose value already stands at the cursor: the
// entry's timer goes up by one (an idle entry starts, a showing one keeps its
// place in the arc with the new value) and the cursor moves on, wrapping.
void AdvanceMonsterPopup(MonsterRecord& m);
void AdvancePlayerPopup();

// Draws `value` as a number centred on x = anchorX - cameraX with its top at
// `top`: digits of glyph colour set `set` (0 to 3), 16 pixels apart, glyph j
// of an n-digit number at trunc(anchorX - 8n + 16j - cameraX), so numbers of
// any length stay centred and within the digit sheet; 0 is the letters M, I,
// S, S of letter set `missLetterSet`. Negative values (no hit makes one) draw
// nothing.
void DrawPopupNumber(float anchorX, float cameraX, int top, std::int32_t value, int set, int missLetterSet);

// Draws the five entries of one monster slot and ages them: entry i with
// timer t > 0 rises by sin(t / 200 * 3.14) * (2 * slot + 60), drifts by
// (slot - 10) / 20 * t, fades out over its last 100 frames, and goes idle
// after 200. Called for every slot of every kind each frame, alive or not.
void DrawDamagePopups(std::int32_t timers[kMonsterPopupCount], const std::int32_t values[kMonsterPopupCount],
                      float x, float y, int slot);

// The kind order of the game loop's damage-number step. It matters: the
// critical colour counter is shared by all entries drawn.
inline constexpr int kDamagePopupKindOrder[kMonsterKindCount] = {
    30, 29, 28, 18, 14, 27, 24, 5, 31, 10, 16, 23, 15, 20, 26, 9,
    2,  3,  4,  11, 0,  1,  12, 13, 19, 25, 6, 8,  21, 7,  17, 22,
};

// The game loop's damage-number step: for every slot 0 to 19, the slot of
// every kind in kDamagePopupKindOrder.
void DrawMonsterDamagePopups();
