// The software renderer's scaled draw, as the drawing operations call it.
// Declared here until the renderer has it.
#pragma once

struct GraphRecord;

// The graphic scaled into the rectangle between the corners (x1 > x2 or
// y1 > y2 mirrors). 0 or -1.
int SoftDrawExtend(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent, int integerCoords);
