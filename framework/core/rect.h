// Rectangle helpers shared by every drawing path. They take no framework
// lock: they touch nothing but their arguments.
#pragma once

#include "platform/types.h"

// Clips the rectangle in place to the clip rectangle. A rectangle wholly
// outside ends with zero width or height on the clip's edge, never negative.
int ClipRectToRect(RECT* rect, const RECT* clip);
// Swaps edges so that left <= right and top <= bottom.
int NormalizeRect(RECT* rect);
// right - left and bottom - top into the pointers that are not null.
int QueryRectSize(const RECT* rect, int* width, int* height);

// A copy of `source` (ordered in place) to (destX, destY): the source is
// clipped to `sourceArea` and the destination to `destArea`, each moving the
// other along. False when nothing is left to copy.
bool ClipCopyRects(RECT* source, int* destX, int* destY, const RECT& sourceArea, const RECT& destArea);
// The part of a copy from `source` to `dest` (of one size) that lands in
// `window`: that part of the destination and the source it takes. False
// when none does.
bool CopyPartInWindow(const RECT& source, const RECT& dest, const RECT& window, RECT* partDest, RECT* partSource);
