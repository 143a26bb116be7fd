// The Direct3D layer's drawing as the drawing operations call it: textured
// draws of texture graphics, boxes, clearing a texture target, filling a
// graphic and screen capture.
#pragma once

#include <cstdint>

struct GraphRecord;

// Each returns 0, or -1 for a bad graphic or while Direct3D is down; while
// 3D drawing is suppressed they draw nothing and return 0.
int TextureBlitGraph(float x, float y, const GraphRecord* graph, int transparent, int integerCoords);
// Swapped corners draw mirrored; -1 when the corners share an edge.
int TextureStretchBlitGraph(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent);
int TextureRotateBlitGraph(float x, float y, double scale, double angle, const GraphRecord* graph, int transparent,
                           int turn);
// Corners top-left, top-right, bottom-left, bottom-right.
int TextureFourCornerBlitGraph(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                               const GraphRecord* graph, int transparent);
int TextureFourCornerBlitGraphF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                                const GraphRecord* graph, int transparent);

// Filled box and one-pixel outline; the colour is a pixel value of the
// screen format. While 3D drawing is suppressed the software renderer draws them.
int FillBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode);
int FrameBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode);
// Clears a texture draw target (and its Z buffer) to the background colour.
int ClearTextureDrawTarget();
// Copies (x1, y1)-(x2, y2) of the draw target into a texture graphic.
int CaptureScreenToGraphTextures(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen);
