// The Direct3D object: the devices it reports, their Z formats, and device
// creation on a DirectDraw surface.
#include <cstring>
#include <string>

#include "d3d/d3d_internal.h"
#include "ddraw/ddraw_internal.h"

namespace {

DWORD DepthBit(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8: return D_DDBD_8;
        case 16: return D_DDBD_16;
        case 24: return D_DDBD_24;
        case 32: return D_DDBD_32;
        default: return 0;
    }
}

class Direct3D : public ComObject<D_IDirect3D7> {
public:
    HRESULT EnumDevices(D_LPD3DENUMDEVICESCALLBACK7 callback, void* context) override {
        D3DLogCall(D3DCall::EnumDevices);
        if (callback == nullptr) return D_D3DERR_INVALIDCALL;
        if (D3DCallFails(D3DCall::EnumDevices)) return D_D3DERR_INVALIDCALL;
        for (D3DStandInDevice device : D3DReportedDevices()) {
            std::string description = device.description, name = device.name;
            if (callback(description.data(), name.data(), &device.desc, context) == D_D3DENUMRET_CANCEL) break;
        }
        return D_D3D_OK;
    }

    HRESULT CreateDevice(REFCLSID deviceGuid, D_IDirectDrawSurface7* surface, D_IDirect3DDevice7** out) override {
        D3DLogCall(D3DCall::CreateDevice);
        if (out == nullptr) return D_D3DERR_INVALIDCALL;
        *out = nullptr;
        if (D3DCallFails(D3DCall::CreateDevice)) return D_D3DERR_INVALIDCALL;
        for (const D3DStandInDevice& device : D3DReportedDevices()) {
            if (!IsEqualGUID(device.desc.deviceGUID, deviceGuid)) continue;
            SurfacePixels view{};
            if (FAILED(ViewSurfacePixels(surface, &view, false))) return D_DDERR_INVALIDPARAMS;
            if (view.zBuffer || (DepthBit(view.layout.bitsPerPixel) & device.desc.dwDeviceRenderBitDepth) == 0)
                return D_DDERR_INVALIDPIXELFORMAT;
            return CreateDeviceStandIn(device.desc, surface, out);
        }
        return D_D3DERR_INVALID_DEVICE;
    }

    // The formats do not depend on the device asked about.
    HRESULT EnumZBufferFormats(REFCLSID, D_LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
        D3DLogCall(D3DCall::EnumZBufferFormats);
        if (callback == nullptr) return D_D3DERR_INVALIDCALL;
        if (D3DCallFails(D3DCall::EnumZBufferFormats)) return D_D3DERR_INVALIDCALL;
        for (D_DDPIXELFORMAT format : D3DReportedZFormats())
            if (callback(&format, context) == D_D3DENUMRET_CANCEL) break;
        return D_D3D_OK;
    }
};

}  // namespace

HRESULT CreateDirect3DStandIn(void** object) {
    D3DLogCall(D3DCall::QueryInterface);
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (D3DCallFails(D3DCall::QueryInterface)) return E_NOINTERFACE;
    *object = static_cast<D_IDirect3D7*>(new Direct3D);
    return S_OK;
}
