// The game's own log. The framework's log is switched off in this game, so
// problems the game meets (a damaged save file, a failed write) are reported
// here: to standard error when KELVO_GAME_LOG is set, and always into a small
// fixed buffer that tests read.
#pragma once

// Writes one line (a line feed is added). Texts longer than a line are cut.
void GameLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Everything logged since the last clear, oldest first; when the buffer is
// full the oldest lines are dropped.
const char* GameLogText();
void ClearGameLog();
