// Fonts and the glyph cache.
#pragma once

// After device loss: every font made again in its slot with its check number.
int RecreateAllFonts();
