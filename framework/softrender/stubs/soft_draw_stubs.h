// The software renderer's free-corner draw, as the drawing operations call
// it. Declared here until the renderer has it.
#pragma once

struct GraphRecord;

// The graphic deformed onto the quadrilateral (top-left, top-right,
// bottom-right, bottom-left). 0 or -1.
int SoftDrawFourCornerF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        const GraphRecord* graph, int transparent);
