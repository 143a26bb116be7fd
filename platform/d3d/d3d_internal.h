// Shared inside the Direct3D stand-in.
#pragma once

#include <vector>

#include "platform/d3d.h"

bool D3DDeviceOffered();
std::vector<D3DStandInDevice> D3DReportedDevices();
std::vector<D_DDPIXELFORMAT> D3DReportedTextureFormats();
std::vector<D_DDPIXELFORMAT> D3DReportedZFormats();
// True when the knobs say this call is to fail (and counts it).
bool D3DCallFails(D3DCall call);
void D3DLogCall(D3DCall call, DWORD a = 0, DWORD b = 0, DWORD c = 0);

// A device rendering into `target`, described by `desc`.
HRESULT CreateDeviceStandIn(const D_D3DDEVICEDESC7& desc, D_IDirectDrawSurface7* target, D_IDirect3DDevice7** out);
