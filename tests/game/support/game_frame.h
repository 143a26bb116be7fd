// The game loop's frame on the recording stand-in: a flat hand-made field
// with the player standing on it, every image the frame draws numbered so a
// call says which step made it, and helpers that run frames and read back
// what they drew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "field/game_loop.h"
#include "game/support/api_recorder.h"
#include "game/support/field.h"

constexpr int kFarBase = 100;          // far-layer images 100, 101
constexpr int kPanelBase = 200;        // panel i: 200 + i
constexpr int kShopDoorBase = 300;     // door slot s: 300 + s, caption 310 + s
constexpr int kShopCaptionBase = 310;
constexpr int kWarpBase = 320;         // warp-door frame f: 320 + f
constexpr int kWaterHandle = 330;
constexpr int kLetterBase = 1000;      // letter glyph i: 1000 + i
constexpr int kDigitBase = 1200;       // digit glyph i: 1200 + i
constexpr int kCursorBase = 1300;      // both cursor sheets
constexpr int kMonsterSheetBase = 2000;  // kind k frame f: 2000 + 17k + f
constexpr int kGalleryBase = 2600;     // gallery picture i: 2600 + i
constexpr int kCaptionBase = 2700;     // heal 2700/1, bless 2702/3, guro 2704/5, holy 2706/7
constexpr int kMusicBase = 2800;       // music entry i: 2800 + i
constexpr std::uint32_t kMenuKey = 0x1000;
constexpr float kStandingY = 327.0f;   // the player's y on the field's floor

class GameFrameTest : public FieldTest {
protected:
    void SetUp() override { ResetGameFrame(); }

public:
    // A fresh field (FieldTest), floor from row 12 down, the camera at world
    // 0 resting at its left bound, the player standing at screen x 320, stage
    // 1, level 1, every handle numbered as above, no door, exit or monster.
    static void ResetGameFrame();

    // One frame of the game loop with `held` as the pad state; the recorder
    // holds only this frame's calls.
    static FrameResult Frame(std::uint32_t held = 0);

    // Puts a live monster of `kind` in `slot` at world (x, y).
    static void PlaceLiveMonster(int kind, int slot, float x, float y);
};

// Which step of the frame a call belongs to, by what it draws or asks:
// "messages", "pacing", "input", "menu key", "move", "layers", "shops",
// "monsters", "player", "doors", "water", "hud" (glyphs, boxes, text),
// "sub-screen" (a cursor), "present"; "" for a call no step is known by.
std::string FrameStep(const ApiCall& call);
// The steps of the recorded calls in order, repeats merged. Once a
// sub-screen has drawn, the rest of the frame up to the present is its own.
std::vector<std::string> FrameSteps();

// Blits (plain and mirrored) of handles in [first, first + count), as
// (handle, x, y).
struct Blit {
    int handle, x, y;
    bool operator==(const Blit&) const = default;
};
std::vector<Blit> BlitsOf(int first, int count);
