// The Direct3D device: its render states, texture stages, render target
// and viewport, the scene bracket, and the draw calls that hand vertices to
// the rasteriser. Surfaces are resolved to their pixels at every draw.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "d3d/d3d_internal.h"
#include "d3d/raster.h"
#include "d3d/texture_shadow.h"
#include "ddraw/ddraw_internal.h"
#include "ddraw/display_internal.h"

namespace {

// A texture's shadow, kept with the texture surface.
struct ShadowHolder : SurfaceDerivedData {
    ShadowHolder(const SurfacePixels& view, const PlatformPixelLayout& target)
        : shadow(view.bits, view.pitch, view.width, view.height, view.layout, target) {}
    TextureShadow shadow;
};

// The shadow of a texture for a target, made once the texture has been
// drawn often enough with the same texels; null before that, or when the
// texture cannot have one now.
const TextureShadow* ShadowFor(D_IDirectDrawSurface7* texture, const SurfacePixels& view,
                               const PlatformPixelLayout& target) {
    // No larger than the largest texture the device reports: a surface
    // made larger than that is drawn from its own texels.
    constexpr std::int64_t kLargestShadow = std::int64_t{2048} * 2048;
    const D3DStandInKnobs& knobs = PlatformD3DKnobsRef();
    if (!knobs.fastSpans || knobs.shadowAfterDraws <= 0) return nullptr;
    if (std::int64_t{view.width} * view.height > kLargestShadow) return nullptr;
    int uses = 0;
    auto* holder = dynamic_cast<ShadowHolder*>(FindSurfaceDerived(texture, &uses));
    if (holder != nullptr && holder->shadow.MadeFor(view.layout, target)) return &holder->shadow;
    if (uses == 0 || uses < knobs.shadowAfterDraws) return nullptr;
    auto made = std::make_unique<ShadowHolder>(view, target);
    const TextureShadow* shadow = &made->shadow;
    KeepSurfaceDerived(texture, std::move(made));
    return shadow;
}

bool Drawable(const SurfacePixels& view) {
    return !view.zBuffer && (view.layout.bitsPerPixel == 16 || view.layout.bitsPerPixel == 32);
}

float ReadFloat(const std::uint8_t* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

// The pixels of a surface as a render target or texture holds them.
template <typename Pixels>
void TakeView(const SurfacePixels& view, Pixels* out) {
    out->bits = view.bits;
    out->pitch = view.pitch;
    out->width = view.width;
    out->height = view.height;
    out->layout = view.layout;
    out->decode16 = DecodeTable16(view.layout);
}

DWORD ReadWord(const std::uint8_t* p) {
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

class Device : public ComObject<D_IDirect3DDevice7> {
public:
    Device(const D_D3DDEVICEDESC7& desc, D_IDirectDrawSurface7* target) : desc_(desc), target_(target) {
        target_->AddRef();
        SurfacePixels view{};
        ViewSurfacePixels(target_, &view, false);
        viewport_ = D_D3DVIEWPORT7{0, 0, static_cast<DWORD>(view.width), static_cast<DWORD>(view.height), 0.0f, 1.0f};
        rs_[D_D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
        rs_[D_D3DRENDERSTATE_SHADEMODE] = D_D3DSHADE_GOURAUD;
        rs_[D_D3DRENDERSTATE_ZWRITEENABLE] = 1;
        rs_[D_D3DRENDERSTATE_SRCBLEND] = D_D3DBLEND_ONE;
        rs_[D_D3DRENDERSTATE_DESTBLEND] = D_D3DBLEND_ZERO;
        rs_[D_D3DRENDERSTATE_CULLMODE] = D_D3DCULL_CCW;
        rs_[D_D3DRENDERSTATE_ZFUNC] = D_D3DCMP_LESSEQUAL;
        rs_[D_D3DRENDERSTATE_ALPHAFUNC] = D_D3DCMP_ALWAYS;
        rs_[D_D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFFu;
        rs_[D_D3DRENDERSTATE_LIGHTING] = 1;
        for (int s = 0; s < kD3DMaxStages; ++s) {
            DWORD* t = tss_[s];
            t[D_D3DTSS_COLOROP] = s == 0 ? D_D3DTOP_MODULATE : D_D3DTOP_DISABLE;
            t[D_D3DTSS_ALPHAOP] = s == 0 ? D_D3DTOP_SELECTARG1 : D_D3DTOP_DISABLE;
            t[D_D3DTSS_COLORARG1] = t[D_D3DTSS_ALPHAARG1] = D_D3DTA_TEXTURE;
            t[D_D3DTSS_COLORARG2] = t[D_D3DTSS_ALPHAARG2] = D_D3DTA_CURRENT;
            t[D_D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(s);
            t[D_D3DTSS_ADDRESS] = t[D_D3DTSS_ADDRESSU] = t[D_D3DTSS_ADDRESSV] = D_D3DTADDRESS_WRAP;
            t[D_D3DTSS_MAGFILTER] = D_D3DTFG_POINT;
            t[D_D3DTSS_MINFILTER] = D_D3DTFN_POINT;
        }
        for (D_D3DMATRIX& m : transforms_)
            for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    }

    ~Device() override {
        target_->Release();
        for (D_IDirectDrawSurface7* t : textures_)
            if (t != nullptr) t->Release();
    }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_D_IDirect3DDevice7)) {
            *object = static_cast<D_IDirect3DDevice7*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }

    HRESULT GetCaps(D_D3DDEVICEDESC7* desc) override {
        if (desc == nullptr) return D_D3DERR_INVALIDCALL;
        *desc = desc_;
        return D_D3D_OK;
    }

    HRESULT EnumTextureFormats(D_LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
        D3DLogCall(D3DCall::EnumTextureFormats);
        if (callback == nullptr || D3DCallFails(D3DCall::EnumTextureFormats)) return D_D3DERR_INVALIDCALL;
        for (D_DDPIXELFORMAT format : D3DReportedTextureFormats())
            if (callback(&format, context) == D_D3DENUMRET_CANCEL) break;
        return D_D3D_OK;
    }

    HRESULT BeginScene() override {
        D3DLogCall(D3DCall::BeginScene);
        if (D3DCallFails(D3DCall::BeginScene)) return D_D3DERR_SCENE_BEGIN_FAILED;
        if (inScene_) return D_D3DERR_SCENE_IN_SCENE;
        inScene_ = true;
        return D_D3D_OK;
    }

    HRESULT EndScene() override {
        D3DLogCall(D3DCall::EndScene);
        if (!inScene_) return D_D3DERR_SCENE_NOT_IN_SCENE;
        inScene_ = false;
        return D_D3D_OK;
    }

    HRESULT SetRenderTarget(D_IDirectDrawSurface7* surface, DWORD) override {
        D3DLogCall(D3DCall::SetRenderTarget);
        if (D3DCallFails(D3DCall::SetRenderTarget)) return D_D3DERR_INVALIDCALL;
        SurfacePixels view{};
        if (surface == nullptr || FAILED(ViewSurfacePixels(surface, &view, false)) || !Drawable(view))
            return D_DDERR_INVALIDPARAMS;
        // The viewport stays as it was set.
        surface->AddRef();
        target_->Release();
        target_ = surface;
        return D_D3D_OK;
    }

    HRESULT GetRenderTarget(D_IDirectDrawSurface7** surface) override {
        if (surface == nullptr) return D_D3DERR_INVALIDCALL;
        target_->AddRef();
        *surface = target_;
        return D_D3D_OK;
    }

    HRESULT SetTransform(D_D3DTRANSFORMSTATETYPE state, D_D3DMATRIX* matrix) override {
        D3DLogCall(D3DCall::SetTransform, state);
        if (matrix == nullptr || state < 1 || state > 3 || D3DCallFails(D3DCall::SetTransform))
            return D_D3DERR_INVALIDCALL;
        transforms_[state] = *matrix;
        return D_D3D_OK;
    }

    HRESULT GetTransform(D_D3DTRANSFORMSTATETYPE state, D_D3DMATRIX* matrix) override {
        if (matrix == nullptr || state < 1 || state > 3) return D_D3DERR_INVALIDCALL;
        *matrix = transforms_[state];
        return D_D3D_OK;
    }

    HRESULT SetViewport(D_D3DVIEWPORT7* viewport) override {
        D3DLogCall(D3DCall::SetViewport, viewport != nullptr ? viewport->dwX : 0, viewport != nullptr ? viewport->dwY : 0);
        if (viewport == nullptr || D3DCallFails(D3DCall::SetViewport)) return D_D3DERR_INVALIDCALL;
        SurfacePixels view{};
        if (FAILED(ViewSurfacePixels(target_, &view, false))) return D_D3DERR_VIEWPORTHASNODEVICE;
        const std::uint64_t right = std::uint64_t{viewport->dwX} + viewport->dwWidth;
        const std::uint64_t bottom = std::uint64_t{viewport->dwY} + viewport->dwHeight;
        if (viewport->dwWidth == 0 || viewport->dwHeight == 0 || right > static_cast<std::uint64_t>(view.width) ||
            bottom > static_cast<std::uint64_t>(view.height))
            return D_D3DERR_INVALIDCALL;
        viewport_ = *viewport;
        return D_D3D_OK;
    }

    HRESULT GetViewport(D_D3DVIEWPORT7* viewport) override {
        if (viewport == nullptr) return D_D3DERR_INVALIDCALL;
        *viewport = viewport_;
        return D_D3D_OK;
    }

    HRESULT SetRenderState(DWORD state, DWORD value) override {
        D3DLogCall(D3DCall::SetRenderState, state, value);
        if (state >= D_D3DRENDERSTATE_COUNT || D3DCallFails(D3DCall::SetRenderState)) return D_D3DERR_INVALIDCALL;
        rs_[state] = value;
        return D_D3D_OK;
    }

    HRESULT GetRenderState(DWORD state, DWORD* value) override {
        if (value == nullptr || state >= D_D3DRENDERSTATE_COUNT) return D_D3DERR_INVALIDCALL;
        *value = rs_[state];
        return D_D3D_OK;
    }

    HRESULT GetTexture(DWORD stage, D_IDirectDrawSurface7** texture) override {
        if (texture == nullptr || stage >= kD3DMaxStages) return D_D3DERR_INVALIDCALL;
        *texture = textures_[stage];
        if (*texture != nullptr) (*texture)->AddRef();
        return D_D3D_OK;
    }

    HRESULT SetTexture(DWORD stage, D_IDirectDrawSurface7* texture) override {
        D3DLogCall(D3DCall::SetTexture, stage, texture != nullptr ? 1 : 0);
        if (stage >= kD3DMaxStages || D3DCallFails(D3DCall::SetTexture)) return D_D3DERR_INVALIDCALL;
        if (texture != nullptr) texture->AddRef();
        if (textures_[stage] != nullptr) textures_[stage]->Release();
        textures_[stage] = texture;
        return D_D3D_OK;
    }

    HRESULT GetTextureStageState(DWORD stage, DWORD state, DWORD* value) override {
        if (value == nullptr || stage >= kD3DMaxStages || state >= D_D3DTSS_COUNT) return D_D3DERR_INVALIDCALL;
        *value = tss_[stage][state];
        return D_D3D_OK;
    }

    HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value) override {
        D3DLogCall(D3DCall::SetTextureStageState, stage, state, value);
        if (stage >= kD3DMaxStages || state >= D_D3DTSS_COUNT || D3DCallFails(D3DCall::SetTextureStageState))
            return D_D3DERR_INVALIDCALL;
        tss_[stage][state] = value;
        if (state == D_D3DTSS_ADDRESS) tss_[stage][D_D3DTSS_ADDRESSU] = tss_[stage][D_D3DTSS_ADDRESSV] = value;
        return D_D3D_OK;
    }

    HRESULT DrawPrimitive(D_D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD) override {
        D3DLogCall(D3DCall::DrawPrimitive, type, count, fvf);
        if (D3DCallFails(D3DCall::DrawPrimitive)) return D_D3DERR_INVALIDCALL;
        return Draw(type, fvf, vertices, count, nullptr, 0);
    }

    HRESULT DrawIndexedPrimitive(D_D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount, WORD* indices,
                                 DWORD indexCount, DWORD) override {
        D3DLogCall(D3DCall::DrawIndexedPrimitive, type, indexCount, fvf);
        if (D3DCallFails(D3DCall::DrawIndexedPrimitive)) return D_D3DERR_INVALIDCALL;
        if (indices == nullptr && indexCount != 0) return D_D3DERR_INVALIDCALL;
        return Draw(type, fvf, vertices, vertexCount, indices, indexCount);
    }

    HRESULT Load(D_IDirectDrawSurface7* dest, POINT* destPoint, D_IDirectDrawSurface7* source, RECT* sourceRect,
                 DWORD) override {
        D3DLogCall(D3DCall::Load);
        if (D3DCallFails(D3DCall::Load)) return D_D3DERR_INVALIDCALL;
        SurfacePixels to{}, from{};
        if (FAILED(ViewSurfacePixels(dest, &to)) || FAILED(ViewSurfacePixels(source, &from, false)))
            return D_DDERR_INVALIDPARAMS;
        if (to.layout != from.layout) return D_DDERR_INVALIDPIXELFORMAT;
        const RECT r = sourceRect != nullptr ? *sourceRect : RECT{0, 0, from.width, from.height};
        const POINT at = destPoint != nullptr ? *destPoint : POINT{r.left, r.top};
        if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom || r.right > from.width ||
            r.bottom > from.height || at.x < 0 || at.y < 0 || at.x > to.width - (r.right - r.left) ||
            at.y > to.height - (r.bottom - r.top))
            return D_DDERR_INVALIDRECT;
        const int bytes = from.layout.BytesPerPixel();
        const std::size_t rowBytes = static_cast<std::size_t>(r.right - r.left) * bytes;
        std::lock_guard displayLock(PlatformDisplayMutex());
        for (int y = 0; y < r.bottom - r.top; ++y)
            std::memmove(to.bits + static_cast<std::ptrdiff_t>(at.y + y) * to.pitch + static_cast<std::ptrdiff_t>(at.x) * bytes,
                         from.bits + static_cast<std::ptrdiff_t>(r.top + y) * from.pitch +
                             static_cast<std::ptrdiff_t>(r.left) * bytes,
                         rowBytes);
        NoteSurfaceDrawn(dest);
        return D_D3D_OK;
    }

private:
    // The vertices in the stand-in's own form; false for a format it cannot read.
    static bool Decode(DWORD fvf, const std::uint8_t* data, DWORD count, const WORD* indices, DWORD indexCount,
                       std::vector<RasterVertex>* out) {
        if ((fvf & 0xE) != D_D3DFVF_XYZRHW) return false;
        const int textures = static_cast<int>((fvf & D_D3DFVF_TEXCOUNT_MASK) >> 8);
        if (textures > 8) return false;
        const std::size_t stride = 16 + ((fvf & D_D3DFVF_DIFFUSE) ? 4 : 0) + ((fvf & D_D3DFVF_SPECULAR) ? 4 : 0) +
                                   static_cast<std::size_t>(textures) * 8;
        const DWORD n = indices != nullptr ? indexCount : count;
        out->resize(n);
        for (DWORD i = 0; i < n; ++i) {
            const DWORD index = indices != nullptr ? indices[i] : i;
            if (index >= count) return false;
            const std::uint8_t* p = data + stride * index;
            RasterVertex& v = (*out)[i];
            v.x = ReadFloat(p);
            v.y = ReadFloat(p + 4);
            v.z = ReadFloat(p + 8);
            p += 16;
            v.diffuse = 0xFFFFFFFFu;
            v.specular = 0;
            if (fvf & D_D3DFVF_DIFFUSE) {
                v.diffuse = ReadWord(p);
                p += 4;
            }
            if (fvf & D_D3DFVF_SPECULAR) {
                v.specular = ReadWord(p);
                p += 4;
            }
            for (int t = 0; t < 2; ++t) {
                v.u[t] = t < textures ? ReadFloat(p + 8 * t) : 0.0f;
                v.v[t] = t < textures ? ReadFloat(p + 8 * t + 4) : 0.0f;
            }
        }
        return true;
    }

    HRESULT Draw(D_D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, const WORD* indices,
                 DWORD indexCount) {
        if (!inScene_) return D_D3DERR_SCENE_NOT_IN_SCENE;
        if (vertices == nullptr && count != 0) return D_D3DERR_INVALIDCALL;
        std::lock_guard displayLock(PlatformDisplayMutex());
        thread_local std::vector<RasterVertex> decoded;
        thread_local std::vector<RasterPrim> prims;
        if (!Decode(fvf, static_cast<const std::uint8_t*>(vertices), count, indices, indexCount, &decoded))
            return D_D3DERR_INVALIDCALL;
        const bool gouraud = rs_[D_D3DRENDERSTATE_SHADEMODE] == D_D3DSHADE_GOURAUD;
        if (!BuildPrims(type, decoded, gouraud, &prims)) return D_D3DERR_INVALIDCALL;
        if (prims.empty()) return D_D3D_OK;

        RasterPipeline p;
        RasterTexture textureViews[kD3DMaxStages];
        if (HRESULT hr = BuildPipeline(&p, textureViews); FAILED(hr)) return hr;
        RasterDraw(p, decoded, prims);
        NoteSurfaceDrawn(target_);
        return D_D3D_OK;
    }

    HRESULT BuildPipeline(RasterPipeline* p, RasterTexture* textureViews) {
        SurfacePixels view{};
        if (HRESULT hr = ViewSurfacePixels(target_, &view); FAILED(hr)) return hr;
        RasterTarget& t = p->target;
        TakeView(view, &t);
        const LONG right = static_cast<LONG>(std::min<std::uint64_t>(std::uint64_t{viewport_.dwX} + viewport_.dwWidth,
                                                                    static_cast<std::uint64_t>(view.width)));
        const LONG bottom = static_cast<LONG>(std::min<std::uint64_t>(
            std::uint64_t{viewport_.dwY} + viewport_.dwHeight, static_cast<std::uint64_t>(view.height)));
        p->clip = RECT{static_cast<LONG>(std::min<DWORD>(viewport_.dwX, static_cast<DWORD>(view.width))),
                       static_cast<LONG>(std::min<DWORD>(viewport_.dwY, static_cast<DWORD>(view.height))), right, bottom};

        p->zTest = rs_[D_D3DRENDERSTATE_ZENABLE] != 0;
        p->zWrite = rs_[D_D3DRENDERSTATE_ZWRITEENABLE] != 0;
        p->zFunc = rs_[D_D3DRENDERSTATE_ZFUNC];
        if (p->zTest) AttachZ(&t);

        p->stageCount = 0;
        for (int s = 0; s < kD3DMaxStages; ++s) {
            const DWORD* st = tss_[s];
            if (st[D_D3DTSS_COLOROP] == D_D3DTOP_DISABLE) break;
            RasterStage& out = p->stages[s];
            out.colorOp = st[D_D3DTSS_COLOROP];
            out.colorArg1 = st[D_D3DTSS_COLORARG1];
            out.colorArg2 = st[D_D3DTSS_COLORARG2];
            out.alphaOp = st[D_D3DTSS_ALPHAOP];
            out.alphaArg1 = st[D_D3DTSS_ALPHAARG1];
            out.alphaArg2 = st[D_D3DTSS_ALPHAARG2];
            out.texCoordIndex = st[D_D3DTSS_TEXCOORDINDEX] & 0xFFFF;
            out.address = st[D_D3DTSS_ADDRESSU];
            out.linear = st[D_D3DTSS_MAGFILTER] == D_D3DTFG_LINEAR;
            out.texture = nullptr;
            if (textures_[s] != nullptr) {
                SurfacePixels tv{};
                if (HRESULT hr = ViewSurfacePixels(textures_[s], &tv, false); FAILED(hr)) return hr;
                if (!Drawable(tv)) return D_DDERR_INVALIDPIXELFORMAT;
                RasterTexture& rt = textureViews[s];
                TakeView(tv, &rt);
                rt.hasKey = tv.hasKey;
                rt.keyLow = tv.keyLow;
                rt.keyHigh = tv.keyHigh;
                // Only the first stage's texture is read by the straight
                // loops, and only point-sampled; drawn into itself it is
                // read as it changes.
                if (s == 0 && textures_[0] != target_ && !out.linear &&
                    tss_[1][D_D3DTSS_COLOROP] == D_D3DTOP_DISABLE)
                    rt.shadow = ShadowFor(textures_[0], tv, t.layout);
                out.texture = &rt;
            }
            p->stageCount = s + 1;
        }
        p->gouraud = rs_[D_D3DRENDERSTATE_SHADEMODE] == D_D3DSHADE_GOURAUD;
        p->colorKey = rs_[D_D3DRENDERSTATE_COLORKEYENABLE] != 0;
        p->alphaTest = rs_[D_D3DRENDERSTATE_ALPHATESTENABLE] != 0;
        p->alphaFunc = rs_[D_D3DRENDERSTATE_ALPHAFUNC];
        p->alphaRef = rs_[D_D3DRENDERSTATE_ALPHAREF];
        p->blend = rs_[D_D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
        p->srcBlend = rs_[D_D3DRENDERSTATE_SRCBLEND];
        p->destBlend = rs_[D_D3DRENDERSTATE_DESTBLEND];
        p->textureFactor = rs_[D_D3DRENDERSTATE_TEXTUREFACTOR];
        p->cull = rs_[D_D3DRENDERSTATE_CULLMODE];
        const D3DStandInKnobs& knobs = PlatformD3DKnobsRef();
        p->fastSpans = knobs.fastSpans;
        return D_D3D_OK;
    }

    // The 16-bit Z buffer attached to the render target, when there is one.
    void AttachZ(RasterTarget* t) {
        D_DDSCAPS2 caps{D_DDSCAPS_ZBUFFER, 0, 0, 0};
        D_IDirectDrawSurface7* z = nullptr;
        if (FAILED(target_->GetAttachedSurface(&caps, &z)) || z == nullptr) return;
        SurfacePixels zv{};
        if (SUCCEEDED(ViewSurfacePixels(z, &zv)) && zv.layout.bitsPerPixel == 16 && zv.width >= t->width &&
            zv.height >= t->height) {
            t->zBits = zv.bits;
            t->zPitch = zv.pitch;
        }
        z->Release();  // the target keeps it
    }

    D_D3DDEVICEDESC7 desc_;
    D_IDirectDrawSurface7* target_;
    D_IDirectDrawSurface7* textures_[kD3DMaxStages] = {};
    D_D3DVIEWPORT7 viewport_{};
    D_D3DMATRIX transforms_[4] = {};
    DWORD rs_[D_D3DRENDERSTATE_COUNT] = {};
    DWORD tss_[kD3DMaxStages][D_D3DTSS_COUNT] = {};
    bool inScene_ = false;
};

}  // namespace

HRESULT CreateDeviceStandIn(const D_D3DDEVICEDESC7& desc, D_IDirectDrawSurface7* target, D_IDirect3DDevice7** out) {
    *out = new Device(desc, target);
    return D_D3D_OK;
}
