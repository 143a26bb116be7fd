// The game's front end: the title, the main menu (GAME MODE, CG MODE,
// KEY CONFIG, EXIT), the file select of the four save slots and the
// difficulty select, with the CG gallery and the KEY CONFIG screen as further
// states of the same frame loop.
#pragma once

#include <cstdint>

#include "engine/handles.h"

// Values of TitleMenu::state.
enum TitleMenuStateValue : std::uint8_t {
    kTitleMainMenu = 0,
    kTitleFileSelect = 1,
    kTitleDifficulty = 2,
    kTitleGalleryGrid = 8,
    kTitleGalleryView = 9,
    kTitleKeyConfig = 30,
    kTitleScreen = 0xFF,
};

// Rows of the main menu.
enum MainMenuEntry : std::uint8_t {
    kMenuGameMode = 0,
    kMenuCgMode = 1,
    kMenuKeyConfig = 2,
    kMenuExit = 3,
};

// What one call of RunTitleMenu keeps from frame to frame. Every call starts
// afresh at the title with every cursor at 0.
struct TitleMenu {
    std::uint8_t state;  // a TitleMenuStateValue
    std::uint8_t mainCursor;
    std::uint8_t slotCursor;
    std::uint8_t difficultyCursor;
    std::uint8_t galleryColumn;  // 0 to 3
    std::uint8_t galleryRow;     // 0 to 7
    std::int32_t keyConfigCursor;     // 0 to 4; row 0 on every entry to KEY CONFIG
    std::int32_t galleryFadeCounter;  // frames since a picture was opened
    std::int32_t frame;               // -1 at the start, +1 at the top of every frame
    float scroll;                     // the background's scroll, +0.5 a frame
};

// The hand-back to the game loop: 1 to start a game (LoadedGameFlag says
// whether a save was loaded), 0 to end the program.
extern std::uint8_t g_GameStartFlag;

// Runs the front end until a game is ready to start or the program is to end.
void RunTitleMenu();

// The two halves of RunTitleMenu, for tests that look between frames: the
// entry, then one frame; false when the menu has returned (nothing presented
// in that frame).
void BeginTitleMenu(TitleMenu& menu);
bool RunTitleMenuFrame(TitleMenu& menu);

// Shared by the states' blocks.
// Cancel newly pressed: the cancel sound, the state `to`, and the press
// cleared for the blocks after.
void CancelTo(TitleMenu& menu, TitleMenuStateValue to);
// The cursor animation's frame for the menu frame counter.
int CursorFrame(std::int32_t frame);
// A black box over the whole screen at half strength, under the KEY CONFIG
// screen and the CG gallery.
void DimScreen();
