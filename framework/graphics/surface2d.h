// 2D surfaces: the storage of graphics that are not texture graphics, and
// the software renderer's blend-mask weight table.
#pragma once

struct GraphRecord;
struct DrawTargetBinding;

// One 2D surface of the graphic's full size; its storage count becomes 1. 0 or -1.
int AttachNewSurface2D(GraphRecord* graph);
// Deletes every 2D surface of the graphic. 0 or -1.
int DeleteGraphSurface2Ds(GraphRecord* graph);
// Restores the surfaces that report themselves lost.
int RestoreLostSurfaces();
// Rebuilds the 256-entry weight table from the blend graphic's border
// parameter and range (each 0-255).
int BuildBlendMaskTable(int borderParam, int borderRange);

// Every 2D surface deleted (graphics start-up and screen-mode changes).
int DeleteAllSurface2D();
// The DirectDraw surfaces of every 2D surface released, and made again
// (around a rebuilt DirectDraw object).
int ReleaseAllSurface2DSurfaces();
int RecreateAllSurface2DSurfaces();
// Where drawing on a graphic draw target goes: its first 2D surface's
// DirectDraw surface with its place inside it, or its software image. 0 or -1.
int GetGraphTargetStorage(const GraphRecord* graph, DrawTargetBinding* binding);
