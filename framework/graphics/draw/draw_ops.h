// The drawing operations: graphics, boxes and clearing onto the current
// draw target under the draw state. Each chooses the Direct3D path (texture
// graphics; boxes while Direct3D drawing is in use) or the software path (a
// DirectDraw blit or the software renderer through the bridge). All return
// 0 or -1, and 0 at once, drawing nothing, while drawing is suppressed or the
// draw area is empty.
#pragma once

#include <cstdint>

#include "core/handle.h"

int BlitGraph(int x, int y, HandleId graphHandle, int transparent);
// Scaled into the rectangle between the corners; x1 > x2 mirrors left-right,
// y1 > y2 top-bottom.
int StretchBlitGraph(int x1, int y1, int x2, int y2, HandleId graphHandle, int transparent);
// Scaled and rotated (radians) about the graphic's centre, put at (x, y);
// the turn flag mirrors it left-right.
int RotateBlitGraphF(float x, float y, double scale, double angle, HandleId graphHandle, int transparent, int turn);
int RotateBlitGraph(int x, int y, double scale, double angle, HandleId graphHandle, int transparent, int turn);
// Deformed onto the quadrilateral of the corners top-left, top-right,
// bottom-right, bottom-left.
int FourCornerBlitGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                        HandleId graphHandle, int transparent);
// Mirrored left-right with its top-left corner at (x, y).
int MirrorBlitGraph(int x, int y, HandleId graphHandle, int transparent);
// Draws the part (sourceX, sourceY, width, height) of the graphic at (x, y),
// mirrored inside the same rectangle when the mirror flag is set.
int ClipBlitGraphRect(int x, int y, int sourceX, int sourceY, int width, int height, HandleId graphHandle,
                      int transparent, int mirror);
// Draws the part (sourceX, sourceY, width, height) of the graphic scaled
// into the rectangle between the corners, mirrored when they are reversed.
int ClipStretchBlitGraphRect(int x1, int y1, int x2, int y2, int sourceX, int sourceY, int width, int height,
                             HandleId graphHandle, int transparent);

// The colour is a pixel value of the screen format (MakeColorCode).
int FillBox(int x1, int y1, int x2, int y2, std::uint32_t color);
int FrameBox(int x1, int y1, int x2, int y2, std::uint32_t color);
int PaintBox(int x1, int y1, int x2, int y2, std::uint32_t color, int filled);

// Fills the whole draw target with the background colour.
int ClearDrawTarget();

// Fills every pixel of a graphic with one colour (r, g, b, a: 0-255). 0, or
// -1 for a bad handle.
int PaintWholeGraph(HandleId graphHandle, int r, int g, int b, int a);
// Copies the rectangle (x1, y1)-(x2, y2) of the draw target into a graphic
// of that size. The option goes to the capture of a texture graphic. 0, or
// -1 for a bad handle or a rectangle the copy cannot take.
int CopyDrawScreenToGraph(int x1, int y1, int x2, int y2, HandleId graphHandle, int option);
