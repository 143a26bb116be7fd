// 2D surfaces: the storage of graphics that are not texture graphics, and
// the software renderer's blend-mask weight table.
#pragma once

struct GraphRecord;

// One 2D surface of the graphic's full size; its storage count becomes 1. 0 or -1.
int AttachNewSurface2D(GraphRecord* graph);
// Deletes every 2D surface of the graphic. 0 or -1.
int DeleteGraphSurface2Ds(GraphRecord* graph);
// Rebuilds the 256-entry weight table from the blend graphic's border
// parameter and range (each 0-255).
int BuildBlendMaskTable(int borderParam, int borderRange);
