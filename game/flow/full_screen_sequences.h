// The sequences that take the whole screen with frame loops of their own.
#pragma once

// The QUEST START banner shown before a new game begins. No key ends it
// early; a closed window does.
void ShowQuestStart();
