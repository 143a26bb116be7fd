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
