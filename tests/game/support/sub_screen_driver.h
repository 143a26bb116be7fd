// Drives the sub-screens frame by frame against the recording stand-in: known
// handles for every glyph, cursor frame, sound and music track, the three
// action keys on buttons 1 to 3, and one frame of the game loop's part that
// the sub-screens see (the stat totals, then the sub-screen step). Draw calls
// are read back into glyphs and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/handles.h"
#include "game/support/api_recorder.h"
#include "screens/sub_screen_step.h"

namespace subscreen_test {

constexpr std::uint32_t kCancel = 0x10;  // button 1
constexpr std::uint32_t kDecide = 0x20;  // button 2
constexpr std::uint32_t kSkill = 0x40;   // button 3
constexpr std::uint32_t kDown = 0x1;
constexpr std::uint32_t kLeft = 0x2;
constexpr std::uint32_t kRight = 0x4;
constexpr std::uint32_t kUp = 0x8;
constexpr std::uint32_t kMenu = 0x1000;

constexpr int kLetterBase = 3000;  // GlyphLetters[i] = 3000 + i
constexpr int kDigitBase = 2000;   // GlyphDigits[i] = 2000 + i
constexpr int kCursorBase = 4000;
constexpr int kSmallCursorBase = 4100;
constexpr int kSoundBase = 600;  // SoundEffectHandles[e] = 600 + e
constexpr int kMusicBase = 700;  // MusicTable[i] = 700 + i

// Handles and keys as above, a new game's record (level 1, the stats 1, the
// first row of every table worn), field play, a fresh recorder.
void ResetSubScreens();

// One frame with `held` as the pad state: the newly pressed bits derived as
// the game loop derives them, the stat totals recomputed, then the sub-screen
// step. The recorder holds only this frame's calls.
SubScreenOutcome Frame(std::uint32_t held = 0);
// A key pressed for one frame and released in the next (two frames); the
// outcome of the first.
SubScreenOutcome Press(std::uint32_t key);

// Sounds played in this frame, by SoundEffect.
std::vector<int> SoundsPlayed();

// A glyph drawn by ApiBlitGraph: which sheet, which piece, where.
struct Glyph {
    char sheet;  // 'L' letters, 'D' digits
    int index;
    int x, y;
};
// Glyphs of both sheets drawn in this frame at row y (every y when y < 0).
std::vector<Glyph> GlyphsAt(int y);
// The number the digit glyphs at row y between x0 and x1 spell, reading
// left to right, with the colour set of the digits (-1 when the sets mix);
// "" when there are none.
std::string NumberAt(int y, int x0, int x1, int* colourSet = nullptr);
// The letters of set 0 at row y, with blanks for gaps of one pitch.
std::string WordAt(int y, int x0, int x1);
// Texts drawn with ApiDrawTextFormatted, as "x,y:text".
std::vector<std::string> Texts();
// The text drawn at (x, y), or "" (with `colour` set when found).
std::string TextAt(int x, int y, std::uint32_t* colour = nullptr);

}  // namespace subscreen_test
