// 2D surfaces: the storage of graphics that are not texture graphics. A 2D
// surface is a window of a given size onto a surface data; a whole graphic
// has one over its own surface data, a part graphic one that shares its
// source's surface data at an offset. Also the software renderer's
// blend-mask weight table, rebuilt whenever the blend graphic changes.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/device/surface_data.h"
#include "graphics/image/graph_image.h"
#include "platform/ddraw.h"
#include "platform/types.h"

struct GraphRecord;
struct DrawTargetBinding;

struct Surface2DRecord {
    std::uint32_t checkNumber;
    int* lostFlag;                 // the owner's flag: 0 when linked, 1 once the pixels were lost; or null
    std::uint16_t x, y;            // where this surface lies inside its graphic
    std::uint16_t partX, partY;    // where the window lies inside the surface data
    std::uint16_t width, height;   // the window's size
    HandleId owner;                // the graphic
    HandleId surfaceData;
};

using Surface2DTable = HandleTable<Surface2DRecord, kHandleTypeSurface2D, kSurface2DSlotCount>;
extern Surface2DTable g_Surface2DTable;

// Graphics start-up: deletes whatever 2D surfaces are left and empties the
// table and its counter.
int InitSurface2DTable();

// A new 2D surface: with a source it shares the source's surface data (the
// part position is inside that surface data), else it gets a new one made
// with the flags and the creation setting's transparent colour. The flags
// come back settled. The handle, or -1.
HandleId AddSurface2D(int width, int height, int x, int y, HandleId owner, const Surface2DRecord* source, int partX,
                      int partY, SurfaceCreateFlags* createFlags);
Surface2DRecord* LookupSurface2D(HandleId handle);
// Drops the surface data's reference (deleting it with the last one). 0,
// also for a bad handle.
int DeleteSurface2D(HandleId handle);
// Stores the owner's flag and clears it; -1 for a bad handle.
int LinkSurface2DLostFlag(HandleId handle, int* lostFlag);

// One 2D surface of the graphic's full size over a new surface data; the
// graphic's storage count becomes 1. 0 or -1.
int AttachNewSurface2D(GraphRecord* graph);
// One 2D surface of width x height sharing the source graphic's first
// surface data at (partX, partY) of the source graphic. 0 or -1.
int AttachPartSurface2D(GraphRecord* graph, int partX, int partY, int width, int height, const GraphRecord* source);

// Restores the lost surface data of the graphic's 2D surfaces (results
// ORed); -1 at a bad handle. A surface that was lost has its owner's flag set.
int RestoreGraphSurface2Ds(GraphRecord* graph);
// The lost main surfaces, then every 2D surface's surface data; results ORed.
int RestoreAllSurface2D();
// Fills the window of every 2D surface of the graphic. 0 or -1.
int FillGraphSurface2Ds(GraphRecord* graph, int r, int g, int b, int a);
// Deletes every 2D surface of the graphic; -1 when no device is up.
int DeleteGraphSurface2Ds(GraphRecord* graph);
int DeleteAllSurface2D();
int DeleteAllSurface2DIfReady();
// Around a DirectDraw rebuild: release the DirectDraw storage of every 2D
// surface's surface data (handles kept; software images, which belong to no
// device, keep their pixels), then make it again with its colour key.
int ReleaseAllSurface2DSurfaces();
int RecreateAllSurface2DSurfaces();

// Writes the source rectangle of the image (and of its alpha image, when
// given) at (destX, destY) of the 2D surface's surface data, clipped to both.
// 0 at once while drawing is suppressed; -1 when no device is up, for a bad
// handle or a failed write.
int WriteImageToSurface2D(const GraphImage* image, const GraphImage* alphaImage, const RECT& sourceRect, int destX,
                          int destY, HandleId surface2D, int convertOption);
// Write a pixel block into every 2D surface of the graphic that the
// destination overlaps (graphic coordinates), stopping at the first failure:
// a source rectangle at (destX, destY); a whole image at (destX, destY); the
// graphic's own size of the image from (sourceX, sourceY) at (0, 0).
int WriteRectToGraphSurface2Ds(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                               const RECT& sourceRect, int destX, int destY, int convertOption);
int WriteImageToSurface2DAt(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage, int destX,
                            int destY, int convertOption);
int WriteImageToGraphSurface2Ds(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                                int sourceX, int sourceY, int convertOption);

// Where drawing on a graphic draw target goes: its first 2D surface's
// DirectDraw surface or software image, with the window's place inside it,
// and its Z buffer. -1 for a texture graphic or one without storage.
int GetGraphTargetStorage(const GraphRecord* graph, DrawTargetBinding* binding);

// Copies the current frame of the graphic's movie into its 2D surfaces.
int CopyMovieFrameToSurface2D(GraphRecord* graph);
// Copies the rectangle (x1, y1)-(x2, y2) of the current draw target into the
// graphic, which must be exactly that size. 0 or -1.
int CopyDrawScreenToSurface2D(int x1, int y1, int x2, int y2, GraphRecord* graph);
// Copies a rectangle between two DirectDraw surfaces through their DCs.
int GdiCopyThroughSurfaceDC(D_IDirectDrawSurface7* dest, int destX, int destY, D_IDirectDrawSurface7* source,
                            const RECT& sourceRect);

// Rebuilds the 256-entry weight table from the blend graphic's border
// parameter and range (each 0-255). The table lives with the software
// renderer's other tables.
int BuildBlendMaskTable(int borderParam, int borderRange);

