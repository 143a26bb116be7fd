// Graphic creation, loading and restore, and the graphics device's start
// and end.
#pragma once

#include "core/handle.h"
#include "graphics/image/graph_image.h"
#include "platform/types.h"

int InitGraphicsDevice(HWND window);
int TermGraphicsDevice();
int LoadImageToGraph(const char* fileName, int flag);
int LoadImageToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth, int pieceHeight,
                         int* handles, int flag);
int RestoreAllGraphs();
int RecoverGraphicsAfterDeviceLoss();
// A drawable graphic of this size, or -1.
int MakeDrawableGraph(int width, int height);
// A graphic made from a black base image of this size (the base image is
// made and released inside), or -1. Used to clear the screens at start-up.
int MakeScreenClearGraph(int width, int height);
// The reload handler used when none is set: reloads every lost graphic from
// the file it was loaded from.
void DefaultGraphReloadHandler();

// Loading image files into graphics. The texture request asks for a texture
// graphic where the Direct3D device allows one; the mirror flag flips the
// image left to right.
HandleId LoadImageFileToGraph(const char* fileName, int textureRequest, int mirror, int movieOption);
int LoadImageFileToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth,
                             int pieceHeight, HandleId* handles, int textureRequest, int mirror);
// Cuts an image into a grid of part graphics of one base graphic, row by
// row; at most `total` cells, fewer when the grid runs out of rows. 0 or -1
// (a failed cell releases every cell made).
int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int total, int columns, int rows,
                                 int pieceWidth, int pieceHeight, HandleId* handles, int textureRequest,
                                 int mirror, int preMirror);

// Making graphics from images.
HandleId MakeGraphFromImages(GraphImage* image, GraphImage* alphaImage, int textureRequest, int mirror,
                             int preMirror);
HandleId CreateGraphForImage(const GraphImage* image, const GraphImage* alphaImage, int textureRequest);
// A graphic showing a rectangle of the parent, sharing its storage; the size
// is cut at the parent's edges. 0 while drawing is suppressed, -1 for a bad
// parent or a start outside it.
HandleId MakePartGraph(int x, int y, int width, int height, HandleId parent);
// Writes the image from (sourceX, sourceY) into the whole graphic, and
// stores the name, source position and repack flag for reloading.
int TransferImageToGraph(int destX, int destY, const char* name, const GraphImage* image,
                         const GraphImage* alphaImage, int sourceX, int sourceY, HandleId handle, int repack);
// Stores the current directory and the name (empty for null); a name or
// directory that does not fit is stored empty, so the graphic is never
// reloaded from a cut path. 0 or -1.
int SetGraphName(HandleId handle, const char* name);
HandleId CreateGraphFromBaseImage(GraphImage* image);

// Restoring after device loss.
// Restores the storage of one graphic (and its movie's surfaces). 0 or -1.
int RecoverGraphImage(HandleId handle);

// The graphics manager: the graphic table and draw state made ready when a
// screen mode is applied, and taken down before the next.
int StartUpGraphicsManager();
int ShutDownGraphicsManager();
