// A DirectDraw object with surfaces of chosen formats, the Direct3D object
// taken from it and a device on a small render target, for the Direct3D
// stand-in's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d.h"
#include "platform/ddraw_fixture.h"

constexpr PlatformPixelLayout kLayoutA1R5G5B5{16, 0x7C00, 0x03E0, 0x001F, 0x8000};
constexpr PlatformPixelLayout kLayoutA4R4G4B4{16, 0x0F00, 0x00F0, 0x000F, 0xF000};
constexpr PlatformPixelLayout kLayoutA8R8G8B8{32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u};

// The vertex formats the framework sends.
struct ColorVertex {
    float x, y, z, rhw;
    std::uint32_t diffuse;
};
struct TexturedVertex {
    float x, y, z, rhw;
    std::uint32_t diffuse;
    float u, v;
};
constexpr DWORD kColorFvf = D_D3DFVF_XYZRHW | D_D3DFVF_DIFFUSE;
constexpr DWORD kTexturedFvf = D_D3DFVF_XYZRHW | D_D3DFVF_DIFFUSE | D_D3DFVF_TEX1;

class D3DTest : public DirectDrawFixture {
protected:
    void SetUp() override {
        PlatformD3DReset();
        PlatformD3DKnobsRef().offerDevice = 1;
        DirectDrawFixture::SetUp();
        void* object = nullptr;
        ASSERT_EQ(dd->QueryInterface(IID_D_IDirect3D7, &object), S_OK);
        d3d = static_cast<D_IDirect3D7*>(object);
    }

    void TearDown() override {
        if (device != nullptr) device->Release();
        for (D_IDirectDrawSurface7* s : surfaces) s->Release();
        if (d3d != nullptr) d3d->Release();
        DirectDrawFixture::TearDown();
        PlatformD3DReset();
    }

    static D_DDPIXELFORMAT FormatOf(const PlatformPixelLayout& l) {
        D_DDPIXELFORMAT f{};
        f.dwSize = sizeof f;
        f.dwFlags = D_DDPF_RGB | (l.alphaMask != 0 ? D_DDPF_ALPHAPIXELS : 0);
        f.dwRGBBitCount = static_cast<DWORD>(l.bitsPerPixel);
        f.dwRBitMask = l.redMask;
        f.dwGBitMask = l.greenMask;
        f.dwBBitMask = l.blueMask;
        f.dwRGBAlphaBitMask = l.alphaMask;
        return f;
    }

    // A surface the test owns until its end.
    D_IDirectDrawSurface7* MakeSurface(int w, int h, const PlatformPixelLayout& layout, DWORD caps) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = caps;
        desc.ddpfPixelFormat = FormatOf(layout);
        D_IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), D_DD_OK);
        if (s != nullptr) surfaces.push_back(s);
        return s;
    }
    D_IDirectDrawSurface7* MakeTarget(int w, int h, const PlatformPixelLayout& layout = kLayout565) {
        return MakeSurface(w, h, layout, D_DDSCAPS_OFFSCREENPLAIN | D_DDSCAPS_3DDEVICE | D_DDSCAPS_SYSTEMMEMORY);
    }
    D_IDirectDrawSurface7* MakeTexture(int w, int h, const PlatformPixelLayout& layout) {
        return MakeSurface(w, h, layout, D_DDSCAPS_TEXTURE | D_DDSCAPS_SYSTEMMEMORY);
    }

    // A device on `target`, inside a scene.
    void Open(D_IDirectDrawSurface7* target) {
        ASSERT_EQ(d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device), D_D3D_OK);
        ASSERT_EQ(device->BeginScene(), D_D3D_OK);
        // Plain 2D drawing: no culling, no lighting, flat colours.
        device->SetRenderState(D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_NONE);
        device->SetRenderState(D_D3DRENDERSTATE_SHADEMODE, D_D3DSHADE_FLAT);
        for (DWORD s = 0; s < 4; ++s) device->SetTextureStageState(s, D_D3DTSS_ADDRESS, D_D3DTADDRESS_CLAMP);
    }

    static std::uint32_t Read(D_IDirectDrawSurface7* s, int x, int y) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        std::uint32_t v = 0;
        std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
        s->Unlock(nullptr);
        return v;
    }

    static void Write(D_IDirectDrawSurface7* s, int x, int y, std::uint32_t v) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        std::memcpy(static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, &v, bytes);
        s->Unlock(nullptr);
    }

    // Every pixel, row by row.
    static std::vector<std::uint32_t> Pixels(D_IDirectDrawSurface7* s) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr), D_DD_OK);
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        std::vector<std::uint32_t> out;
        for (DWORD y = 0; y < desc.dwHeight; ++y)
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                std::uint32_t v = 0;
                std::memcpy(&v, static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
                out.push_back(v);
            }
        s->Unlock(nullptr);
        return out;
    }

    static void Clear(D_IDirectDrawSurface7* s, DWORD value) {
        D_DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = value;
        ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx), D_DD_OK);
    }

    // The framework's quad: (top-left, top-right, bottom-left) and
    // (bottom-right, bottom-left, top-right), positions x0..x1 and y0..y1.
    static std::vector<TexturedVertex> Quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1,
                                            float v1, std::uint32_t diffuse) {
        const TexturedVertex tl{x0, y0, 0.2f, 1.0f, diffuse, u0, v0}, tr{x1, y0, 0.2f, 1.0f, diffuse, u1, v0};
        const TexturedVertex bl{x0, y1, 0.2f, 1.0f, diffuse, u0, v1}, br{x1, y1, 0.2f, 1.0f, diffuse, u1, v1};
        return {tl, tr, bl, br, bl, tr};
    }

    HRESULT DrawTextured(const std::vector<TexturedVertex>& v, D_D3DPRIMITIVETYPE type = D_D3DPT_TRIANGLELIST) {
        auto copy = v;
        return device->DrawPrimitive(type, kTexturedFvf, copy.data(), static_cast<DWORD>(copy.size()), 0);
    }
    HRESULT DrawColored(const std::vector<ColorVertex>& v, D_D3DPRIMITIVETYPE type = D_D3DPT_TRIANGLELIST) {
        auto copy = v;
        return device->DrawPrimitive(type, kColorFvf, copy.data(), static_cast<DWORD>(copy.size()), 0);
    }

    D_IDirect3D7* d3d = nullptr;
    D_IDirect3DDevice7* device = nullptr;
    std::vector<D_IDirectDrawSurface7*> surfaces;
};
