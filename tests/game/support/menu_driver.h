// Drives the title menu frame by frame on the recording stand-in: each frame
// gets the pad state a test gives, and the calls it made are handed back.
// Handles are recognisable by value: letter glyph k is 300 + k, digit glyph
// k 500 + k, cursor frame k 700 + k, thumbnail k 800 + k, gallery picture k
// 900 + k; sound effect k is 50 + k.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "front/title_menu.h"
#include "game/support/api_recorder.h"

// The stand-in's buttons as pad bits, with the default binding 1, 2, 3.
constexpr std::uint32_t kCancelKey = 0x10;  // button 1
constexpr std::uint32_t kDecideKey = 0x20;  // button 2
constexpr std::uint32_t kSkillKey = 0x40;   // button 3
constexpr std::uint32_t kDownKey = 0x1;
constexpr std::uint32_t kLeftKey = 0x2;
constexpr std::uint32_t kRightKey = 0x4;
constexpr std::uint32_t kUpKey = 0x8;

constexpr int kLetterBase = 300;
constexpr int kDigitBase = 500;
constexpr int kCursorBase = 700;
constexpr int kThumbnailBase = 800;
constexpr int kPictureBase = 900;
constexpr int kSoundBase = 50;

class MenuDriver {
public:
    // Resets the recorder and the game's menu globals (buttons 1, 2, 3
    // applied, recognisable handles) and enters the title menu.
    MenuDriver();

    // One frame with `pad` held; the calls of that frame. After the menu has
    // returned no further frame runs and the result is empty.
    std::vector<ApiCall> Frame(std::uint32_t pad);
    // Frames one after the other; a 0 between two presses releases the key.
    void Frames(std::initializer_list<std::uint32_t> pads);

    TitleMenu& menu() { return menu_; }
    bool running() const { return running_; }

private:
    TitleMenu menu_{};
    bool running_ = true;
};

// The calls of one name among `calls`.
std::vector<ApiCall> Only(const std::vector<ApiCall>& calls, const char* name);
// True when `calls` hold an ApiBlitGraph of `handle` at (x, y).
bool Blits(const std::vector<ApiCall>& calls, int handle, int x, int y);
// The sound effects played, as effect numbers.
std::vector<int> SoundsPlayed(const std::vector<ApiCall>& calls);
