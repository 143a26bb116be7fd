// The KEY CONFIG screen of the title menu: three rows that bind an action to
// a pad button, "default", and "save & exit", its only way out.
#pragma once

#include <cstdint>

struct TitleMenu;

constexpr int kKeyConfigRows = 5;
constexpr std::int32_t kKeyConfigDefaultRow = 3;
constexpr std::int32_t kKeyConfigSaveRow = 4;

// One frame of the screen, with this frame's newly pressed bits.
void RunKeyConfigBlock(TitleMenu& menu);

// Binds `button` to `row` (0 to 2): a row that holds the button already takes
// the row's old button, so the three bindings stay distinct.
void BindButton(std::int32_t row, std::int32_t button);
