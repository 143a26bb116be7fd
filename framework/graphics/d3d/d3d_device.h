// Inside the Direct3D layer: the layer's state, the device records with
// their state cache and vertex batch, and the setters that send a state to
// the device only when it changes. The rest of the framework goes through
// direct3d.h.
#pragma once

#include <cstdint>
#include <functional>

#include "graphics/d3d/d3d_vertex.h"
#include "graphics/d3d/direct3d.h"
#include "platform/d3d.h"

constexpr int kDevice3DCount = 4;
constexpr int kTextureFormatSlotCount = 9;
constexpr int kCacheStageCount = 4;

// Vertex types of the batch (the buffer each one fills).
constexpr int kVertexTypeColor = 0;     // untextured primitives
constexpr int kVertexTypeTextured = 1;  // textured draws
constexpr int kVertexTypeMasked = 2;    // textured draws with a blend-mask graphic
constexpr int kVertexCapacity[3] = {3225, 2340, 1638};
constexpr DWORD kVertexFvf[3] = {0x44, 0x144, 0x2C4};
constexpr int kVertexBytes[3] = {sizeof(Vertex20), sizeof(Vertex28), sizeof(Vertex40)};

// The six states of one texture stage the cache keeps, in this order.
struct StageStateCache {
    D_IDirectDrawSurface7* texture;
    std::uint16_t alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp;
};

struct Device3DRecord {
    std::uint32_t inUse;
    D_IDirect3DDevice7* device;            // null after a loss until re-created
    D_IDirectDrawSurface7* creationSurface;
    D_IDirectDrawSurface7* renderTarget;   // null: none recorded
    D_IDirectDrawSurface7* texture;        // on stage 0
    D_IDirectDrawSurface7* blendMaskTexture;
    int modulate;
    int blendOn;
    int blendMode;
    int borderParam, borderRange;
    int textureAlpha, alphaTest;
    int blendDirty, textureDirty, skipDraw;
    int pushAll;
    std::uint32_t alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable, textureFactor, srcBlend, destBlend;
    int stagesInUse;
    StageStateCache stages[kCacheStageCount];
    std::uint32_t filterMode, zEnable, zWriteEnable, zFunc, cull, shadeMode, addressMode, lighting, perspective,
        colorKeyEnable;
    int sceneOpen;
    // The vertex batch: what is pending in the buffer of the vertex type in use.
    int pendingCount;
    int vertexType;
    D_D3DPRIMITIVETYPE primitiveType;
    D_D3DVIEWPORT7 viewport;
    Vertex20 buffer20[3225];
    Vertex28 buffer28[2340];
    Vertex40 buffer40[1638];
};

struct Direct3DLayerState {
    D_IDirect3D7* direct3D;  // null: the layer is down
    int started;
    int currentDevice;       // slot of the device every draw uses
    D_D3DDEVICEDESC7 chosenDesc;
    std::uint32_t minTextureSize, maxTextureSize;
    std::uint32_t fixedTileSize;  // 0: none; nothing sets it
    TextureFormatSlot formats[kTextureFormatSlotCount];
    D_DDPIXELFORMAT zFormat;
    std::uint32_t drawColor;  // 0xAARRGGBB of every drawn vertex
    float maskWidth, maskHeight, maskInvWidth, maskInvHeight;
    int mainSurfaceIsTarget;
    int suppressed3D;         // the target is one the device cannot draw into
    int captureVariant[2];    // remembered capture variant: plain, with alpha
};

extern Direct3DLayerState g_Direct3D;
extern Device3DRecord g_Devices3D[kDevice3DCount];

// The record of a handle (its slot in the low 16 bits), or null when it is
// not in use.
Device3DRecord* LookupDevice3D(int handle);
Device3DRecord* CurrentDevice3D();

// Formats a log text without adding a line end; -1, as every log write.
int WriteD3DLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- device records (d3d_device_record.cpp) ----
int MakeDevice3D(D_IDirectDrawSurface7* renderTarget);
int DeleteAllDevices3D();
int ReleaseDevice3D(int handle);
int RecreateDevice3D(int handle);
int ResetDeviceStates(int handle);
int ApplyDeviceDefaultStates(int handle);

// ---- state cache (d3d_state_cache.cpp) ----
int SetDeviceTexturePerspective(int handle, int value);
int SetDeviceColorKeyEnable(int handle, int value);
int SetDeviceZEnable(int handle, int value);
int SetDeviceZWriteEnable(int handle, int value);
int SetDeviceZFunc(int handle, int value);
int SetDeviceCullMode(int handle, int value);
int SetDeviceShadeMode(int handle, int value);
int SetDeviceFilterMode(int handle, int mode);
int SetDeviceRenderTarget(int handle, D_IDirectDrawSurface7* surface);
int SetDeviceViewport(int handle, const D_D3DVIEWPORT7& viewport);
int BeginSceneForDevice(int handle);
int EndSceneForDevice(int handle);

// ---- blend state and batch (d3d_blend_state.cpp) ----
int FlushVertexBatchOn(int handle);
int SetDeviceTexture(int handle, D_IDirectDrawSurface7* texture);
int SetDeviceBlendParams(int handle, int mode, int textureAlpha, int alphaTest);
int SetDeviceBlendMaskTexture(int handle, D_IDirectDrawSurface7* texture, int borderParam, int borderRange);
int SetDeviceBlendEnable(int handle, int value);
int SetDeviceDiffuseUse(int handle, int value);
int ApplyDeviceBlendState(int handle);
int ReapplyDeviceStates(int handle);

// ---- drawing into the batch (d3d_batch.cpp) ----
// Flags of PrepareDeviceDrawState.
constexpr int kPrepTransparent = 1;
constexpr int kPrepExactPixels = 2;
constexpr int kPrepDrawStateZ = 4;
constexpr int kPrepGouraud = 8;
constexpr int kPrepPerspective = 16;
constexpr int kPrepForceModulate = 32;
constexpr int kPrepForceBlend = 64;

struct SurfaceDataRecord;
// Turns the draw state into the device's states for a draw of `texture`
// (null: untextured). -1 without a device.
int PrepareDeviceDrawState(const SurfaceDataRecord* texture, int flags);

// One corner of a textured quad: position on the target and texture place.
struct QuadCorner {
    float x, y, u, v;
};
// Writes a quad (corners top-left, top-right, bottom-left, bottom-right) as
// two triangles into the batch of the vertex type in use, sending what is
// pending first when it does not fit or is of another primitive type.
void AppendQuad(Device3DRecord& r, const QuadCorner corners[4], std::uint32_t diffuse, bool reverse = false);
// Room for `count` vertices of the vertex type in use as `type` primitives;
// the caller fills them and then adds `count` to the pending count.
void* ReserveBatch(Device3DRecord& r, D_D3DPRIMITIVETYPE type, int count);
// The stage-0 texture of a tile, with its record; null when the tile is bad.
const SurfaceDataRecord* TileTexture(HandleId tile, const Surface3DDataRecord** record);

// ---- textured draws (d3d_texture_draw.cpp) ----
// -1 when down or the graphic is bad, 0 while 3D drawing is suppressed,
// 1 with the current device in `device`.
int BeginTextureDraw(const GraphRecord* graph, Device3DRecord** device);
// Binds a tile's texture, applying the blend state when that changes it.
void UseTileTexture(Device3DRecord& r, const SurfaceDataRecord& texture);
// Maps a point of the graphic (pixels) to the target.
using TileCornerMap = std::function<void(float, float, float*, float*)>;
// Opens the scene, prepares the state and writes one quad per tile, clamped
// to the draw area when asked.
int DrawGraphTiles(Device3DRecord& r, const GraphRecord& graph, int flags, const TileCornerMap& map, bool clamp);

// ---- deformed draws (d3d_warp_draw.cpp) ----
// One tile onto four corners (top-left, top-right, bottom-left, bottom-right).
int DrawWarpedTileGrid(const QuadCorner corners[4], HandleId tile);
// Indexed triangle strips over a grid of 28-byte vertices, row by row.
int DrawVertexGridStrips(int handle, int columns, int rows, Vertex28* vertices);
