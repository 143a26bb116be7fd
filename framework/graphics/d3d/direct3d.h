// The Direct3D layer as the rest of the framework sees it: start-up and
// shut-down, loss and restore, the hooks the draw state uses to keep the
// device in step, the texture formats, and the texture tiles of texture
// graphics (3D surface data).
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/d3d/d3d_vertex.h"
#include "graphics/image/color_format.h"
#include "platform/ddraw.h"
#include "platform/types.h"

struct GraphRecord;
struct GraphImage;
struct Matrix4x4;
struct DrawTargetBinding;

// ---- the layer ------------------------------------------------------------------

// 1 while the Direct3D layer is up (its Direct3D object exists).
int IsDirect3DUp();
// 1 while the draw target is one the device cannot draw into.
int IsDirect3DSuppressed();
// 1 while the current 3D device has its device interface.
int HasDevice3DInterface();

// Start and end of the layer, called by the screen device. 0 or -1.
int StartUpDirect3D();
int ShutDownDirect3D();
// Device loss: the device and the texture surfaces are released and made
// again; records, caches and 3D surface data records are kept.
int ReleaseDirect3DObjects();
int ReacquireDirect3D();
// Deletes every 3D surface data when the layer is up; -1 when it is down
// (graphics start-up asks this whether 3D drawing is available).
int DeleteAllSurface3DDataIfUp();

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
int SetDeviceWorldTransform(const Matrix4x4& matrix);
int SetDeviceViewTransform(const Matrix4x4& matrix);
int SetDeviceProjectionTransform(const Matrix4x4& matrix);

// Sends the current device's pending vertices; called before a surface is
// touched by DirectDraw or by software.
int FlushDeviceVertices();
inline int FlushVertexBatch() { return FlushDeviceVertices(); }
// Ends the current device's scene (sending its vertices first).
int EndDeviceScene();

// ---- texture formats ----------------------------------------------------------------

// One texture format the device offers, with its descriptor.
struct TextureFormatSlot {
    D_DDPIXELFORMAT pixelFormat;
    ColorFormatDesc colorFormat;
};
// The texture-format index of a texture's creation flags; -1 when down or
// when neither the slot nor its 32-bit counterpart holds a format.
int GetTextureFormatIndex(int alphaChannel, int drawValid, int alphaTest, int colorBitDepth);
// The slot of an index; null when down, out of range or empty.
const TextureFormatSlot* GetTextureFormatSlot(int index);
const ColorFormatDesc* GetTextureColorFormat(int index);
const ColorFormatDesc* GetTextureFormatDesc(int alphaChannel, int drawValid, int alphaTest, int colorBitDepth);
// The format of a font's texture cache.
const ColorFormatDesc* GetFontTextureFormat(int alphaChannel, int alphaTest, int deep, int drawable);
// The pixel format of Z buffers; null when down.
const D_DDPIXELFORMAT* GetZBufferPixelFormat();

// ---- 3D surface data: the tiles of texture graphics -----------------------------------

struct SurfaceCreateFlags;

struct Surface3DDataRecord {
    std::uint32_t checkNumber;
    void* ownerFlag;                 // always null
    std::uint16_t x, y;              // the tile's place in the graphic
    std::uint16_t uOffset, vOffset;  // where its pixels start in the texture
    std::uint16_t sourceX, sourceY;  // where they come from in the image that fills the graphic
    std::uint16_t width, height;     // the visible size (the texture may be larger)
    Vertex28 quad[4];                // top-left, top-right, bottom-left, bottom-right
    std::uint8_t cornerFlags[4];     // 1: the corner lies on or above the lower-left to upper-right diagonal
    HandleId ownerGraph;
    HandleId surfaceData;            // the texture
};

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, HandleId owner, const Surface3DDataRecord* source, int uOffset, int vOffset,
                     const SurfaceCreateFlags& flags);
Surface3DDataRecord* LookupSurface3DData(HandleId handle);
int DeleteSurface3DData(HandleId handle);
int DeleteAllSurface3DData();
// Restores the lost textures of every tile, or of one graphic's tiles.
int RestoreAllSurface3DData();
int RestoreGraphSurface3Ds(GraphRecord* graph);
// Makes the texture surfaces of every tile again after a device loss.
int RecreateAllSurface3DDataSurfaces();
// Releases the texture surfaces of every tile (device loss).
int ReleaseAllSurface3DDataSurfaces();
int FillGraphSurface3Ds(GraphRecord* graph, int r, int g, int b, int a);
int UnlockSurface3DData(HandleId handle);

// Tile lengths for one side of `length` pixels into `out` (room for
// `capacity`); the count, or -1 when more would be needed. `single` asks
// for one tile where the device allows it.
int PlanTextureTiles(int length, int* out, int capacity, int single);
// The same, with the device limits and the screen width given.
int PlanTextureTilesFor(int length, int* out, int capacity, int single, int deviceMin, int deviceMax,
                        int fixedSize, int screenWidth);

// Texture tiles of a texture graphic. -1 when down or on failure.
int CreateGraphTextures(GraphRecord* graph);
int DeleteGraphTextures(GraphRecord* graph);
// Texture tiles of a part graphic showing (x, y) of the parent, of the
// part's own size, sharing the parent's textures.
int CreatePartGraphTextures(GraphRecord* graph, int x, int y, const GraphRecord* parent);
// The first tile's texture as the surface a draw target binds.
int GetTextureTargetStorage(const GraphRecord* graph, DrawTargetBinding* binding);

// Writes the graphic's size of the image, from (sourceX, sourceY), into
// its tiles; what lies outside the image is left as it was.
int WriteImageToGraphTextures(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                              int sourceX, int sourceY);
// Writes the source rectangle of the image at (destX, destY) of the graphic.
int WriteRectToGraphTextures(GraphRecord* graph, const GraphImage* image, const GraphImage* alphaImage,
                             const RECT& source, int destX, int destY);
// One rectangle of an image into one tile's texture at (destX, destY) of
// the texture; the image's transparent colour becomes alpha 0 when
// `colorKey` is set and the image brings no alpha of its own.
int UploadImageToTexture(const GraphImage* image, const GraphImage* alphaImage, const RECT& source, int destX,
                         int destY, HandleId tile, int colorKey);
