// The Direct3D layer's textured draws and box outline, as the drawing
// operations call them. Declared here until the Direct3D layer has them.
#pragma once

#include <cstdint>

struct GraphRecord;

int TextureBlitGraph(int x, int y, const GraphRecord* graph, int transparent, int integerCoords);
int TextureStretchBlitGraph(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent);
int TextureRotateBlitGraph(float x, float y, double scale, double angle, const GraphRecord* graph, int transparent,
                           int turn);
// Filled box through the device; the colour is a pixel value of the screen format.
int FillBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode);
// Corners top-left, top-right, bottom-left, bottom-right.
int TextureFourCornerBlitGraphF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                                const GraphRecord* graph, int transparent);
int FrameBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode);
// Clears a texture draw target on the device. 0.
int ClearTextureDrawTarget();
// Copies the rectangle of the draw target into a texture graphic's tiles;
// the full-screen flag reads the whole desktop in a window. 0 or -1.
int CaptureScreenToGraphTextures(int x1, int y1, int x2, int y2, GraphRecord* graph, int fullScreen);
