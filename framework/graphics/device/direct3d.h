// The Direct3D device: hooks the draw state uses to keep the device in step,
// and the texture storage of texture graphics.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/image/color_format.h"
#include "platform/ddraw.h"
#include "platform/types.h"

struct GraphRecord;
struct GraphImage;
struct Matrix4x4;

// 1 while the Direct3D layer is up (its Direct3D object exists).
int IsDirect3DUp();
// 1 while the current 3D device has its device interface.
int HasDevice3DInterface();

// Render target for the back screen (-2), front screen (-4) or a graphic. 0 when down.
int SetDrawTargetOnDevice(HandleId target);
// Points the device at the mask work surface (use mask) or the draw target again.
int ApplyDrawTargetToDevice(int useMask);
// Viewport of the draw area. -1 when down or the area is empty.
int ApplyViewport3D(const RECT& area);
int ApplyFilterModeToDevice(int mode);
// The blend graphic's first tile as mask texture (null clears it).
int SetBlendMaskTextureOnDevice(GraphRecord* graph, int borderParam, int borderRange);
// Recomputes the draw colour word from blend mode, parameter and bright colour.
int UpdateDrawColorState();
// Filled box through the device; the colour is a pixel value of the screen format.
int FillBox3D(int x1, int y1, int x2, int y2, std::uint32_t colorCode);
int SetDeviceWorldTransform(const Matrix4x4& matrix);
int SetDeviceViewTransform(const Matrix4x4& matrix);
int SetDeviceProjectionTransform(const Matrix4x4& matrix);

// One texture format the device offers, with its descriptor.
struct TextureFormatSlot {
    D_DDPIXELFORMAT pixelFormat;
    ColorFormatDesc colorFormat;
};
// The texture-format index for a texture's creation flags; -1 when down.
int GetTextureFormatIndex(int alphaChannel, int drawValid, int alphaTest, int colorBitDepth);
// The slot of an index; null when down, out of range or empty.
const TextureFormatSlot* GetTextureFormatSlot(int index);
// The pixel format of Z buffers; null when down.
const D_DDPIXELFORMAT* GetZBufferPixelFormat();

// Restores the texture tiles whose surfaces report themselves lost.
int RestoreLostSurface3DData();

// Texture tiles of a texture graphic. -1 when down or on failure.
int CreateGraphTextures(GraphRecord* graph);
int DeleteGraphTextures(GraphRecord* graph);
// Texture tiles of a part graphic referring to the parent's tiles at (x, y).
int CreatePartGraphTextures(GraphRecord* graph, int x, int y, const GraphRecord* parent);
// Writes the image from (sourceX, sourceY) into the graphic's tiles.
int WriteImageToGraphTextures(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                              int sourceX, int sourceY);
// Restores the graphic's tiles whose surfaces report lost.
int RestoreGraphTextures(GraphRecord* graph);

// Start and end of the Direct3D layer, called by the screen device. 0 or -1.
int StartUpDirect3D();
int ShutDownDirect3D();
// Draws what the vertex batch holds and closes an open scene.
int FlushVertexBatch();
int EndDeviceScene();
