// Inside the Direct3D layer: the layer's state, the device records with
// their state cache and vertex batch, and the setters that send a state to
// the device only when it changes. The rest of the framework goes through
// direct3d.h.
#pragma once

#include <cstdint>

#include "graphics/device/direct3d.h"
#include "graphics/device/d3d_vertex.h"
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
