// The steps every screen loop of the game shares: the 5 ms pacing on the
// framework's millisecond clock and the per-frame input read. All screens
// keep one frame time (FrameInputState), so a screen that follows another
// paces on from where the last one stopped.
#pragma once

// Busy-waits until at least kFrameMilliseconds have passed since the stored
// frame time, then stores the clock's value. The difference is taken as a
// signed 32-bit number, so the clock wrapping past 2^32 ms does not stall it.
void WaitForNextFrame();

// Reads the keyboard merged with pad 1. Newly pressed bits are the ones held
// now and not in the previous frame; the previous frame's newly pressed bits
// are kept.
void ReadFrameInput();

// Forgets every held and pressed bit and restarts the frame time from the
// clock's value, as the title menu and the game start do.
void ResetFrameInput();

// A handler that changes the screen clears the newly pressed bits, so no
// later handler of the same frame sees the press.
void ClearPressed();
