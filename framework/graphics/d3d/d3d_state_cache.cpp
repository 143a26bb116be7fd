// The device state cache: each setter sends its state only when the value
// changes (or while push-all is set), sending the pending vertices first.
// Also the render target, viewport and scene bracket, and the draw-target
// switch.
#include <cstring>

#include "core/log.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_matrix.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/mask.h"

namespace {

// The common path: -1 without a device, 0 when the cache holds the value,
// else flush, send and store. Only some setters pass the device's failure on.
template <typename Send>
int SetCached(int handle, std::uint32_t Device3DRecord::*field, std::uint32_t value, bool reportFailure, Send send) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (r->*field == value && !r->pushAll) return 0;
    FlushVertexBatchOn(handle);
    const HRESULT hr = send(r->device);
    r->*field = value;
    return FAILED(hr) && reportFailure ? -1 : 0;
}

int SendRenderState(int handle, std::uint32_t Device3DRecord::*field, DWORD state, std::uint32_t value,
                    bool reportFailure = false) {
    return SetCached(handle, field, value, reportFailure,
                     [&](D_IDirect3DDevice7* d) { return d->SetRenderState(state, value); });
}

D_D3DMATRIX ToD3DMatrix(const Matrix4x4& m) {
    D_D3DMATRIX out;
    std::memcpy(out.m, m.m, sizeof out.m);
    return out;
}

int SetTransform(D_D3DTRANSFORMSTATETYPE type, const Matrix4x4& matrix) {
    Device3DRecord* r = CurrentDevice3D();
    if (g_Direct3D.direct3D == nullptr || r == nullptr || r->device == nullptr) return -1;
    D_D3DMATRIX m = ToD3DMatrix(matrix);
    return FAILED(r->device->SetTransform(type, &m)) ? -1 : 0;
}

// The surface of a plain graphic's storage; *systemMemory tells whether it
// lies where the device cannot draw.
D_IDirectDrawSurface7* PlainGraphSurface(const GraphRecord& graph, bool* systemMemory) {
    *systemMemory = false;
    if (graph.storageCount < 1) return nullptr;
    const Surface2DRecord* first = LookupSurface2D(graph.storageHandles[0]);
    const SurfaceDataRecord* data = first != nullptr ? LookupSurfaceData(first->surfaceData) : nullptr;
    if (data == nullptr) return nullptr;
    *systemMemory = data->heldAsMemImg || data->flags.SystemMemFlag || data->surface == nullptr;
    return data->surface;
}

}  // namespace

int SetDeviceTexturePerspective(int handle, int value) {
    return SendRenderState(handle, &Device3DRecord::perspective, D_D3DRENDERSTATE_TEXTUREPERSPECTIVE,
                           static_cast<std::uint32_t>(value), true);
}

int SetDeviceColorKeyEnable(int handle, int value) {
    return SendRenderState(handle, &Device3DRecord::colorKeyEnable, D_D3DRENDERSTATE_COLORKEYENABLE,
                           static_cast<std::uint32_t>(value));
}

int SetDeviceZEnable(int handle, int value) {
    return SendRenderState(handle, &Device3DRecord::zEnable, D_D3DRENDERSTATE_ZENABLE, value == 1 ? 1 : 0);
}

int SetDeviceZWriteEnable(int handle, int value) {
    return SendRenderState(handle, &Device3DRecord::zWriteEnable, D_D3DRENDERSTATE_ZWRITEENABLE,
                           static_cast<std::uint32_t>(value));
}

int SetDeviceZFunc(int handle, int value) {
    return SendRenderState(handle, &Device3DRecord::zFunc, D_D3DRENDERSTATE_ZFUNC, static_cast<std::uint32_t>(value));
}

int SetDeviceCullMode(int handle, int value) {
    const DWORD mode = value != 0 ? D_D3DCULL_CCW : D_D3DCULL_NONE;
    return SetCached(handle, &Device3DRecord::cull, static_cast<std::uint32_t>(value), false,
                     [&](D_IDirect3DDevice7* d) { return d->SetRenderState(D_D3DRENDERSTATE_CULLMODE, mode); });
}

int SetDeviceShadeMode(int handle, int value) {
    return SendRenderState(handle, &Device3DRecord::shadeMode, D_D3DRENDERSTATE_SHADEMODE,
                           static_cast<std::uint32_t>(value), true);
}

int SetDeviceFilterMode(int handle, int mode) {
    if (mode != 0 && mode != 1) return -1;
    const DWORD filter = mode == 0 ? D_D3DTFG_POINT : D_D3DTFG_LINEAR;
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    const int stages = r->stagesInUse;
    return SetCached(handle, &Device3DRecord::filterMode, static_cast<std::uint32_t>(mode), false,
                     [&](D_IDirect3DDevice7* d) {
        for (int s = 0; s < stages; ++s) {
            d->SetTextureStageState(static_cast<DWORD>(s), D_D3DTSS_MAGFILTER, filter);
            d->SetTextureStageState(static_cast<DWORD>(s), D_D3DTSS_MINFILTER, filter);
        }
        return D_D3D_OK;
    });
}

int SetDeviceRenderTarget(int handle, D_IDirectDrawSurface7* surface) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (surface == nullptr) {
        // Back to the surface the device was made on, when another was set.
        if (r->renderTarget == nullptr) return 0;
        surface = r->creationSurface;
    }
    if (surface == r->renderTarget && !r->pushAll) return 0;
    FlushVertexBatchOn(handle);
    if (FAILED(r->device->SetRenderTarget(surface, 0))) return -1;
    r->renderTarget = surface;
    return 0;
}

int SetDeviceViewport(int handle, const D_D3DVIEWPORT7& viewport) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr || r->renderTarget == nullptr) return -1;
    const D_D3DVIEWPORT7& c = r->viewport;
    if (!r->pushAll && c.dwX == viewport.dwX && c.dwY == viewport.dwY && c.dwWidth == viewport.dwWidth &&
        c.dwHeight == viewport.dwHeight)
        return 0;
    FlushVertexBatchOn(handle);
    EndSceneForDevice(handle);
    D_D3DVIEWPORT7 v = viewport;
    const HRESULT hr = r->device->SetViewport(&v);
    if (FAILED(hr)) return WriteD3DLog("ビューポートのセットに失敗しました ErrorCode %x", static_cast<unsigned>(hr));
    r->viewport = viewport;
    return 0;
}

int BeginSceneForDevice(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (r->sceneOpen) return 0;
    if (FAILED(r->device->BeginScene())) return -1;
    r->sceneOpen = 1;
    return 0;
}

int EndSceneForDevice(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (!r->sceneOpen) return 0;
    FlushVertexBatchOn(handle);
    r->device->EndScene();
    r->sceneOpen = 0;
    return 0;
}

int EndDeviceScene() {
    if (g_Direct3D.direct3D == nullptr) return 0;
    return EndSceneForDevice(g_Direct3D.currentDevice);
}

int ApplyFilterModeToDevice(int mode) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    return SetDeviceFilterMode(g_Direct3D.currentDevice, mode);
}

int SetDeviceWorldTransform(const Matrix4x4& matrix) { return SetTransform(D_D3DTRANSFORMSTATE_WORLD, matrix); }
int SetDeviceViewTransform(const Matrix4x4& matrix) { return SetTransform(D_D3DTRANSFORMSTATE_VIEW, matrix); }
int SetDeviceProjectionTransform(const Matrix4x4& matrix) {
    return SetTransform(D_D3DTRANSFORMSTATE_PROJECTION, matrix);
}

int ApplyViewport3D(const RECT& area) {
    if (g_Direct3D.direct3D == nullptr || area.right <= area.left || area.bottom <= area.top) return -1;
    if (g_Direct3D.suppressed3D) return 0;
    const RECT& origin = g_DrawState.drawTargetRect;
    const D_D3DVIEWPORT7 v{static_cast<DWORD>(area.left + origin.left), static_cast<DWORD>(area.top + origin.top),
                           static_cast<DWORD>(area.right - area.left), static_cast<DWORD>(area.bottom - area.top),
                           0.0f, 1.0f};
    return SetDeviceViewport(g_Direct3D.currentDevice, v);
}

int ApplyDrawTargetToDevice(int useMask) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    const int handle = g_Direct3D.currentDevice;
    FlushVertexBatchOn(handle);
    // Through the mask every draw goes into the mask's work surface, from
    // which only the pixels the mask allows are copied to the target.
    D_IDirectDrawSurface7* work = useMask ? GetMaskSurface() : nullptr;
    SetDeviceRenderTarget(handle, work != nullptr ? work : GetDrawTargetSurface());
    const RECT& area = g_DrawState.drawArea;
    if (useMask && IsTargetBackSurfaceInWindowMode()) {
        g_Direct3D.suppressed3D = 0;
        const D_D3DVIEWPORT7 v{static_cast<DWORD>(area.left), static_cast<DWORD>(area.top),
                               static_cast<DWORD>(area.right - area.left), static_cast<DWORD>(area.bottom - area.top),
                               0.0f, 1.0f};
        if (SetDeviceViewport(handle, v) < 0) return WriteLogText("ビューポートのセットに失敗しました");
        return 0;
    }
    return ApplyViewport3D(area);
}

int SetDrawTargetOnDevice(HandleId target) {
    if (g_Direct3D.direct3D == nullptr) return 0;
    const int handle = g_Direct3D.currentDevice;
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return 0;
    EndSceneForDevice(handle);
    D_IDirectDrawSurface7* before = r->renderTarget;
    if (r->renderTarget != nullptr) SetDeviceRenderTarget(handle, r->creationSurface);
    SetDeviceTexture(handle, nullptr);

    D_IDirectDrawSurface7* surface = nullptr;
    int mainIsTarget = 0;
    if (target == kFrontScreenTarget) {
        surface = GetMainDrawSurface();
        mainIsTarget = 1;
    } else if (target == kBackScreenTarget) {
        surface = GetSysMemBackSurface();
    } else {
        const GraphRecord* graph = LookupGraph(target);
        if (graph == nullptr) return -1;
        if (graph->textureGraph) {
            // A target of several tiles cannot be one render target: 3D
            // drawing stops until another target is chosen, rather than
            // landing on the surface the device was made on.
            if (graph->storageCount > 1) {
                g_Direct3D.suppressed3D = 1;
                return 0;
            }
            const Surface3DDataRecord* tile =
                graph->storageCount == 1 ? LookupSurface3DData(graph->storageHandles[0]) : nullptr;
            const SurfaceDataRecord* data = tile != nullptr ? LookupSurfaceData(tile->surfaceData) : nullptr;
            if (data == nullptr || !data->flags.DrawValid || data->surface == nullptr) return -1;
            surface = data->surface;
        } else {
            bool systemMemory = false;
            surface = PlainGraphSurface(*graph, &systemMemory);
            if (systemMemory || surface == nullptr) {
                g_Direct3D.suppressed3D = 1;
                return -1;
            }
        }
    }
    if (SetDeviceRenderTarget(handle, surface) < 0) return -1;
    g_Direct3D.mainSurfaceIsTarget = mainIsTarget;
    g_Direct3D.suppressed3D = 0;
    if (r->renderTarget != before) ReapplyDeviceStates(handle);
    return 0;
}
