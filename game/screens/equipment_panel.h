// The panel at the foot of the shop and the status screen: the four worn
// items with their descriptions, and the figures ATK, DEF, MATK and CRT as
// they are and, beside an arrow, as they would become.
#pragma once

#include "rules/derived_stats.h"

// Draws the panel. `preview` null shows no preview values. A preview value
// is white when it equals the current one, green when greater and red when
// smaller.
void DrawEquipmentPanel(const DisplayFigures& current, const DisplayFigures* preview);
