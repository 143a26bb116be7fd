// The three configurable actions, each bound to one of the pad buttons 1 to
// 10, kept in "savedata\config.dat" and turned into input masks.
#pragma once

#include <cstdint>

constexpr int kKeyActionCount = 3;
// Entries of g_KeyConfig and g_KeyMasks. The menus use decide and cancel, the
// game loop attack, jump and skill.
constexpr int kKeyCancelAttack = 0;
constexpr int kKeyDecideJump = 1;
constexpr int kKeySkill = 2;

constexpr const char* kKeyConfigFileName = "savedata\\config.dat";

constexpr std::int32_t kFirstBindableButton = 1;
constexpr std::int32_t kLastBindableButton = 10;

// Button numbers; 0 before the file is read.
extern std::int32_t g_KeyConfig[kKeyActionCount];
// Pad-state masks of the three actions; 0 before the first ApplyKeyConfig.
extern std::uint32_t g_KeyMasks[kKeyActionCount];

// The pad-state bit of a button: 0x10 for button 1 up to 0x2000 for button 10.
constexpr std::uint32_t ButtonMask(std::int32_t button) { return 0x10u << (button - 1); }

// Reads the three buttons. A missing, short or damaged file (a button outside
// 1 to 10, or one button bound to two actions) gives the default buttons 1,
// 2, 3 and says so in the game's log, so a bad file can never leave the menus
// without a decide key, or with decide and cancel on one.
void LoadKeyConfig();
// Writes the three buttons; false (and the old file kept) when it fails.
bool SaveKeyConfig();
// Turns each button 1 to 10 into its mask; any other value leaves that mask as
// it was.
void ApplyKeyConfig();
// The default binding, buttons 1, 2, 3 ("default" on the KEY CONFIG screen).
void SetDefaultKeyConfig();
