// The software renderer's scaled and free-corner draws, as the
// drawing operations call them. Declared here until the renderer has them.
#pragma once

struct GraphRecord;

// The graphic scaled into the rectangle between the corners (x1 > x2 or
// y1 > y2 mirrors). 0 or -1.
int SoftDrawExtend(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent, int integerCoords);
// The graphic deformed onto the quadrilateral (top-left, top-right,
// bottom-right, bottom-left). 0 or -1.
int SoftDrawFourCornerF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        const GraphRecord* graph, int transparent);
