// The software renderer's rotated and free-corner draws, as the drawing
// operations call them. Declared here until the renderer has them.
#pragma once

struct GraphRecord;

// The graphic scaled and rotated about its centre placed at (x, y). 0 or -1.
int SoftDrawRotate(float x, float y, double scale, double angle, const GraphRecord* graph, int transparent, int turn);
// The graphic deformed onto the quadrilateral (top-left, top-right,
// bottom-right, bottom-left). 0 or -1.
int SoftDrawFourCornerF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        const GraphRecord* graph, int transparent);
