// Masks: an 8-bit mask screen that limits drawing on the screen. The mask
// switch and "mask in effect" live in the draw state.
#pragma once

// Stores the mask switch; -1 when there is no mask buffer.
int SetMaskActive(int flag);
// Makes the mask buffer and/or the work image when they are missing. 0.
int MakeMaskWorkScreen(int makeBuffer, int makeWorkImage);
// 1 while the mask buffer exists.
int HasMaskBuffer();
// 1 while a mask screen is in use.
int GetMaskScreenFlag();

// At graphics shut-down: the mask off and its buffers released; 0.
int ShutDownMask();
