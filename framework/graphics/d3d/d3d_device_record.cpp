// Device records: making a device with its first states, deleting all of
// them, and releasing and re-creating one across a device loss.
#include <cstring>

#include "core/log.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_state.h"

namespace {

void PrepareBuffers(Device3DRecord& r) {
    for (Vertex20& v : r.buffer20) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (Vertex28& v : r.buffer28) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (Vertex40& v : r.buffer40) {
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.specular = 0xFFFFFFFFu;
    }
}

void SendCreationStates(D_IDirect3DDevice7* device) {
    for (DWORD stage = 0; stage < kCacheStageCount; ++stage) {
        device->SetTextureStageState(stage, D_D3DTSS_ADDRESS, D_D3DTADDRESS_CLAMP);
        device->SetTextureStageState(stage, D_D3DTSS_MAGFILTER, D_D3DTFG_POINT);
        device->SetTextureStageState(stage, D_D3DTSS_MINFILTER, D_D3DTFN_POINT);
    }
    device->SetRenderState(D_D3DRENDERSTATE_COLORKEYBLENDENABLE, 0);
    device->SetRenderState(D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_NONE);
    device->SetRenderState(D_D3DRENDERSTATE_LIGHTING, 0);
    device->SetRenderState(D_D3DRENDERSTATE_TEXTUREPERSPECTIVE, 0);
    device->SetRenderState(D_D3DRENDERSTATE_SHADEMODE, D_D3DSHADE_FLAT);
    device->SetRenderState(D_D3DRENDERSTATE_COLORKEYENABLE, 0);
    device->SetRenderState(D_D3DRENDERSTATE_DITHERENABLE, 0);
}

void InitialiseCache(Device3DRecord& r, D_IDirectDrawSurface7* surface) {
    r.alphaTestEnable = r.alphaRef = r.alphaFunc = r.alphaBlendEnable = r.textureFactor = 0;
    r.srcBlend = r.destBlend = 0;
    r.stagesInUse = 0;
    for (StageStateCache& s : r.stages) s = StageStateCache{nullptr, 2, 0, 1, 2, 0, 1};
    r.zEnable = 1;
    r.blendDirty = 1;
    r.inUse = 1;
    r.shadeMode = D_D3DSHADE_FLAT;
    r.vertexType = kVertexTypeTextured;
    r.filterMode = 0;
    r.blendMode = 0;
    r.borderParam = -1;
    r.textureAlpha = r.alphaTest = 0;
    r.cull = 0;
    r.addressMode = D_D3DTADDRESS_CLAMP;
    r.perspective = 0;
    r.lighting = 0;
    r.creationSurface = surface;
    r.renderTarget = nullptr;
    r.texture = r.blendMaskTexture = nullptr;
    r.colorKeyEnable = 0;
    r.pendingCount = 0;
}

}  // namespace

int MakeDevice3D(D_IDirectDrawSurface7* surface) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    int slot = 0;
    while (slot < kDevice3DCount && g_Devices3D[slot].inUse) ++slot;
    if (slot == kDevice3DCount) return -1;
    Device3DRecord& r = g_Devices3D[slot];
    std::memset(&r, 0, sizeof r);
    WriteLogText("３Ｄデバイスを作成します... ");
    if (surface == nullptr ||
        FAILED(g_Direct3D.direct3D->CreateDevice(g_Direct3D.chosenDesc.deviceGUID, surface, &r.device)) ||
        r.device == nullptr) {
        std::memset(&r, 0, sizeof r);
        return WriteLogText("３Ｄデバイスの作成に失敗しました");
    }
    PrepareBuffers(r);
    SendCreationStates(r.device);
    InitialiseCache(r, surface);
    ResetDeviceStates(slot);
    WriteLogText("３Ｄデバイスの作成に成功しました");
    return slot;
}

int DeleteAllDevices3D() {
    for (Device3DRecord& r : g_Devices3D) {
        if (!r.inUse) continue;
        if (r.device != nullptr) r.device->Release();
        std::memset(&r, 0, sizeof r);
        WriteLogText("３Ｄデバイスの削除は正常に終了しました");
    }
    return 0;
}

int ReleaseDevice3D(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return 0;
    ReleaseAllSurface3DDataSurfaces();
    r->device->Release();
    r->device = nullptr;
    r->sceneOpen = 0;
    r->pendingCount = 0;
    WriteLogText("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました");
    return 0;
}

int RecreateDevice3D(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr) return -1;
    if (r->device != nullptr) return 0;
    WriteLogText("３Ｄデバイスを作成します... ");
    if (g_Direct3D.direct3D == nullptr || r->creationSurface == nullptr ||
        FAILED(g_Direct3D.direct3D->CreateDevice(g_Direct3D.chosenDesc.deviceGUID, r->creationSurface, &r->device)) ||
        r->device == nullptr) {
        r->device = nullptr;
        return WriteLogText("３Ｄデバイスの作成に失敗しました");
    }
    WriteLogText("３Ｄデバイスの作成に成功しました");
    r->pushAll = 1;
    if (r->renderTarget != nullptr && r->renderTarget != r->creationSurface)
        r->device->SetRenderTarget(r->renderTarget, 0);
    // The new device holds nothing of the old one's.
    r->texture = nullptr;
    r->blendMaskTexture = nullptr;
    for (StageStateCache& s : r->stages) s.texture = nullptr;
    r->pendingCount = 0;
    r->sceneOpen = 0;
    SetDeviceBlendParams(handle, r->blendMode, r->textureAlpha, r->alphaTest);
    SetDeviceCullMode(handle, static_cast<int>(r->cull));
    SetDeviceFilterMode(handle, static_cast<int>(r->filterMode));
    SetDeviceColorKeyEnable(handle, static_cast<int>(r->colorKeyEnable));
    if (!g_DrawState.emptyDrawArea) ApplyViewport3D(g_DrawState.drawArea);
    ResetDeviceStates(handle);
    ApplyDeviceBlendState(handle);
    RecreateAllSurface3DDataSurfaces();
    r->pushAll = 0;
    return 0;
}

int ResetDeviceStates(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    // Inside a re-creation push-all is already set and stays set.
    const int pushAll = r->pushAll;
    r->pushAll = 1;
    if (r->viewport.dwWidth != 0 && r->viewport.dwHeight != 0) SetDeviceViewport(handle, r->viewport);
    SetDeviceColorKeyEnable(handle, static_cast<int>(r->colorKeyEnable));
    SetDeviceColorKeyEnable(handle, static_cast<int>(r->colorKeyEnable));
    ApplyDeviceDefaultStates(handle);
    SetDeviceFilterMode(handle, static_cast<int>(r->filterMode));
    ApplyDeviceBlendState(handle);
    SetDeviceZEnable(handle, static_cast<int>(r->zEnable));
    SetDeviceZWriteEnable(handle, static_cast<int>(r->zWriteEnable));
    SetDeviceZFunc(handle, static_cast<int>(r->zFunc));
    SetDeviceCullMode(handle, static_cast<int>(r->cull));
    SetDeviceTexturePerspective(handle, static_cast<int>(r->perspective));
    SetDeviceShadeMode(handle, static_cast<int>(r->shadeMode));
    r->pushAll = pushAll;
    return 0;
}

int ApplyDeviceDefaultStates(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    FlushVertexBatchOn(handle);
    D_IDirect3DDevice7* d = r->device;
    for (DWORD stage = 0; stage < kCacheStageCount; ++stage)
        d->SetTextureStageState(stage, D_D3DTSS_ADDRESS, r->addressMode);
    const DWORD texCoordIndex[kCacheStageCount] = {0, 1, 1, 0};
    for (DWORD stage = 0; stage < kCacheStageCount; ++stage)
        d->SetTextureStageState(stage, D_D3DTSS_TEXCOORDINDEX, texCoordIndex[stage]);
    d->SetRenderState(D_D3DRENDERSTATE_TEXTUREPERSPECTIVE, r->perspective);
    d->SetRenderState(D_D3DRENDERSTATE_SHADEMODE, r->shadeMode);
    d->SetRenderState(D_D3DRENDERSTATE_COLORKEYENABLE, r->colorKeyEnable);
    d->SetRenderState(D_D3DRENDERSTATE_LIGHTING, r->lighting);
    d->SetRenderState(D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_NONE);
    d->SetRenderState(D_D3DRENDERSTATE_DITHERENABLE, 0);
    return 0;
}
