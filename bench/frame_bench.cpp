// What a frame costs. The DirectDraw stand-in's own work beside the library
// routine doing the same bytes: a 640 x 480 16- and 32-bit colour fill
// against memset, an opaque 640 x 480 copy against memcpy, a keyed 128 x 128
// sprite and a keyed 640 x 480 layer by BltFast against the software
// renderer's keyed blit of the same pixels. Then whole frames
// through the framework on the headless backend at 640 x 480 x 16 full
// screen: clearing and presenting an empty frame, and a field frame (three
// keyed 640 x 480 layers, keyed 128 x 128 sprites of which a third at twice
// their size, HUD boxes and a line of text) on the DirectDraw road, on the
// software-only road and on the Direct3D road, where every graphic is a
// texture and the stand-in device rasterises the frame. The field frame's
// argument is its count of sprites, 0 to 120 (the game's busiest stage
// shows some 20 monsters), so the cost of each sprite more is read off the
// rows of one road.
//
// The field frame draws the scaled sprites and the text only where the
// framework can draw them; where it cannot yet, those sprites are drawn
// unscaled and the text is left out. The label of each run says which.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "api/framework_init.h"
#include "core/system_state.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/base_image.h"
#include "graphics/image/memimg.h"
#include "support/ddraw_surface.h"
#include "support/graph_from_rgb.h"
#include "support/headless_framework.h"
#include "kelvo/api.h"
#include "platform/backend.h"
#include "platform/d3d.h"
#include "platform/ddraw.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "softrender/blit/blit_memimg.h"

namespace {

constexpr int kScreenW = 640, kScreenH = 480, kSprite = 128;

// ---- the pictures -----------------------------------------------------------------

std::uint16_t To565(std::uint32_t rgb) {
    return static_cast<std::uint16_t>(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x001F));
}

// A sprite: a ring with a few transparent stripes, about 60% opaque. Never
// black where opaque, so black can be the key.
bool SpriteOpaque(int x, int y) {
    const int dx = x - 64, dy = y - 64, r2 = dx * dx + dy * dy;
    return r2 < 60 * 60 && r2 > 12 * 12 && (y % 16) != 3;
}
std::uint32_t SpriteRgb(int x, int y) {
    return 0x202020u | static_cast<std::uint32_t>((x * 2) & 0xFF) << 16 |
           static_cast<std::uint32_t>((y * 2) & 0xFF) << 8 | static_cast<std::uint32_t>((x + y) & 0xFF);
}

// A layer: horizontal bands of scenery with gaps between them, and the
// nearer the layer, the more of it is transparent.
bool LayerOpaque(int layer, int x, int y) {
    const int band = (y / 24 + layer) % (layer + 2);
    return band == 0 || ((x / 40 + y / 60 + layer) % 5 == 0);
}
std::uint32_t LayerRgb(int layer, int x, int y) {
    return 0x101010u | static_cast<std::uint32_t>((x + layer * 70) & 0xFF) << 16 |
           static_cast<std::uint32_t>((y * 3) & 0xFF) << 8 | static_cast<std::uint32_t>(layer * 60 + 40);
}

// ---- the DirectDraw stand-in alone -------------------------------------------------------

HWND FakeWindow() { return reinterpret_cast<HWND>(std::uintptr_t{0x1234}); }

// A DirectDraw object in full screen at the given depth, with surfaces made
// on request; everything is released at the end.
class DirectDrawBench {
public:
    explicit DirectDrawBench(DWORD bits) {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        CoInitialize(nullptr);
        void* object = nullptr;
        if (CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object) != S_OK) std::abort();
        dd_ = static_cast<D_IDirectDraw7*>(object);
        dd_->Initialize(nullptr);
        if (dd_->SetCooperativeLevel(FakeWindow(), D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN) != D_DD_OK ||
            dd_->SetDisplayMode(kScreenW, kScreenH, bits, 0, 0) != D_DD_OK)
            std::abort();
    }
    ~DirectDrawBench() {
        for (D_IDirectDrawSurface7* s : surfaces_) s->Release();
        dd_->Release();
        PlatformDisplayReset();
        CoUninitialize();
    }

    D_IDirectDrawSurface7* Offscreen(int w, int h) {
        D_IDirectDrawSurface7* s = MakeOffscreenSurface(dd_, w, h);
        surfaces_.push_back(s);
        return s;
    }

    // A 1:5:5:5 texture.
    D_IDirectDrawSurface7* Texture1555(int w, int h) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = D_DDSD_CAPS | D_DDSD_WIDTH | D_DDSD_HEIGHT | D_DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = D_DDSCAPS_TEXTURE;
        desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
        desc.ddpfPixelFormat.dwFlags = D_DDPF_RGB | D_DDPF_ALPHAPIXELS;
        desc.ddpfPixelFormat.dwRGBBitCount = 16;
        desc.ddpfPixelFormat.dwRBitMask = 0x7C00;
        desc.ddpfPixelFormat.dwGBitMask = 0x03E0;
        desc.ddpfPixelFormat.dwBBitMask = 0x001F;
        desc.ddpfPixelFormat.dwRGBAlphaBitMask = 0x8000;
        D_IDirectDrawSurface7* s = nullptr;
        if (dd_->CreateSurface(&desc, &s, nullptr) != D_DD_OK) std::abort();
        surfaces_.push_back(s);
        return s;
    }

    // The stand-in's device drawing into `target`, in a scene, without
    // culling or lighting and with flat colours.
    D_IDirect3DDevice7* Device(D_IDirectDrawSurface7* target) {
        void* object = nullptr;
        if (dd_->QueryInterface(IID_D_IDirect3D7, &object) != S_OK) std::abort();
        auto* d3d = static_cast<D_IDirect3D7*>(object);
        D_IDirect3DDevice7* device = nullptr;
        if (d3d->CreateDevice(IID_D_IDirect3DHALDevice, target, &device) != D_D3D_OK) std::abort();
        d3d->Release();
        device->SetRenderState(D_D3DRENDERSTATE_CULLMODE, D_D3DCULL_NONE);
        device->SetRenderState(D_D3DRENDERSTATE_SHADEMODE, D_D3DSHADE_FLAT);
        device->SetRenderState(D_D3DRENDERSTATE_LIGHTING, 0);
        for (DWORD s = 0; s < 4; ++s) device->SetTextureStageState(s, D_D3DTSS_ADDRESS, D_D3DTADDRESS_CLAMP);
        device->BeginScene();
        return device;
    }

    // Writes 16-bit pixels into a surface.
    template <typename Pixel>
    static void Paint(D_IDirectDrawSurface7* s, int w, int h, Pixel pixel) {
        D_DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr) != D_DD_OK) std::abort();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint16_t v = pixel(x, y);
                std::memcpy(static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 2, &v, 2);
            }
        s->Unlock(nullptr);
    }

private:
    D_IDirectDraw7* dd_ = nullptr;
    std::vector<D_IDirectDrawSurface7*> surfaces_;
};

constexpr std::size_t kScreenBytes16 = std::size_t{kScreenW} * kScreenH * 2;

void BM_ColourFill_Blt(benchmark::State& state) {
    const DWORD bits = static_cast<DWORD>(state.range(0));
    DirectDrawBench bench(bits);
    D_IDirectDrawSurface7* s = bench.Offscreen(kScreenW, kScreenH);
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    // Bytes that differ, so no fill can be a plain byte fill.
    fx.dwFillColor = bits == 16 ? 0x1234 : 0x00123456;
    // A fill of a whole surface is written when the memory is next used:
    // the lock makes it be written now.
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    for (auto _ : state) {
        s->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx);
        s->Lock(nullptr, &desc, D_DDLOCK_WAIT, nullptr);
        s->Unlock(nullptr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kScreenW * kScreenH * (bits / 8));
}
BENCHMARK(BM_ColourFill_Blt)->Arg(16)->Arg(32);

// The library's routines work on memory aligned as the stand-in's surfaces
// are, to a cache line.
struct AlignedBytes {
    explicit AlignedBytes(std::size_t n)
        : data(static_cast<std::uint8_t*>(::operator new(n, std::align_val_t{64}))) {
        std::memset(data, 0x5A, n);
    }
    ~AlignedBytes() { ::operator delete(data, std::align_val_t{64}); }
    AlignedBytes(const AlignedBytes&) = delete;
    AlignedBytes& operator=(const AlignedBytes&) = delete;
    std::uint8_t* data;
};

void BM_ColourFill_Memset(benchmark::State& state) {
    const std::size_t bytes = std::size_t{kScreenW} * kScreenH * (state.range(0) / 8);
    AlignedBytes screen(bytes);
    for (auto _ : state) {
        std::memset(screen.data, 0x34, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ColourFill_Memset)->Arg(16)->Arg(32);

void BM_OpaqueCopy_BltFast(benchmark::State& state) {
    DirectDrawBench bench(16);
    D_IDirectDrawSurface7* from = bench.Offscreen(kScreenW, kScreenH);
    D_IDirectDrawSurface7* to = bench.Offscreen(kScreenW, kScreenH);
    DirectDrawBench::Paint(from, kScreenW, kScreenH, [](int x, int y) { return To565(LayerRgb(1, x, y)); });
    for (auto _ : state) {
        to->BltFast(0, 0, from, nullptr, D_DDBLTFAST_NOCOLORKEY | D_DDBLTFAST_WAIT);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kScreenBytes16));
}
BENCHMARK(BM_OpaqueCopy_BltFast);

void BM_OpaqueCopy_Memcpy(benchmark::State& state) {
    AlignedBytes from(kScreenBytes16), to(kScreenBytes16);
    for (auto _ : state) {
        std::memcpy(to.data, from.data, kScreenBytes16);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kScreenBytes16));
}
BENCHMARK(BM_OpaqueCopy_Memcpy);

// A keyed picture: the sprite (argument 0) or a whole-screen layer
// (argument 1). Items are its pixels, so items/s compare directly.
int KeyedWidth(const benchmark::State& state) { return state.range(0) == 0 ? kSprite : kScreenW; }
int KeyedHeight(const benchmark::State& state) { return state.range(0) == 0 ? kSprite : kScreenH; }
std::uint16_t KeyedPixel(const benchmark::State& state, int x, int y) {
    if (state.range(0) == 0) return SpriteOpaque(x, y) ? To565(SpriteRgb(x, y)) : 0;
    return LayerOpaque(1, x, y) ? To565(LayerRgb(1, x, y)) : 0;
}

void BM_Keyed_BltFast(benchmark::State& state) {
    const int w = KeyedWidth(state), h = KeyedHeight(state);
    DirectDrawBench bench(16);
    D_IDirectDrawSurface7* picture = bench.Offscreen(w, h);
    D_IDirectDrawSurface7* screen = bench.Offscreen(kScreenW, kScreenH);
    DirectDrawBench::Paint(picture, w, h, [&](int x, int y) { return KeyedPixel(state, x, y); });
    D_DDCOLORKEY key{0, 0};
    picture->SetColorKey(D_DDCKEY_SRCBLT, &key);
    const DWORD x = static_cast<DWORD>((kScreenW - w) / 2), y = static_cast<DWORD>((kScreenH - h) / 2);
    for (auto _ : state) {
        screen->BltFast(x, y, picture, nullptr, D_DDBLTFAST_SRCCOLORKEY | D_DDBLTFAST_WAIT);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * w * h);
}
BENCHMARK(BM_Keyed_BltFast)->ArgName("layer")->Arg(0)->Arg(1);

// The start of a frame: the screen cleared, then the farthest keyed layer
// drawn over it, a little to the left as when scrolling.
void BM_ClearAndLayer_BltFast(benchmark::State& state) {
    DirectDrawBench bench(16);
    D_IDirectDrawSurface7* layer = bench.Offscreen(kScreenW, kScreenH);
    D_IDirectDrawSurface7* screen = bench.Offscreen(kScreenW, kScreenH);
    DirectDrawBench::Paint(layer, kScreenW, kScreenH,
                           [](int x, int y) { return LayerOpaque(0, x, y) ? To565(LayerRgb(0, x, y)) : 0; });
    D_DDCOLORKEY key{0, 0};
    layer->SetColorKey(D_DDCKEY_SRCBLT, &key);
    D_DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x1234;
    RECT part{24, 0, kScreenW, kScreenH};
    for (auto _ : state) {
        screen->Blt(nullptr, nullptr, nullptr, D_DDBLT_COLORFILL | D_DDBLT_WAIT, &fx);
        screen->BltFast(0, 0, layer, &part, D_DDBLTFAST_SRCCOLORKEY | D_DDBLTFAST_WAIT);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kScreenBytes16));
}
BENCHMARK(BM_ClearAndLayer_BltFast);

struct MemImgDeleter {
    void operator()(MEMIMG* image) const {
        ReleaseMemImg(image);
        delete image;
    }
};
using MemImgPtr = std::unique_ptr<MEMIMG, MemImgDeleter>;

MemImgPtr NewMemImg(int w, int h, std::uint32_t key) {
    MemImgPtr image(new MEMIMG{});
    if (InitMemImg(image.get(), w, h, -1, key, kMemImgKind565, 0, 0, 1) != 0) std::abort();
    return image;
}

void BM_Keyed_SoftwareRenderer(benchmark::State& state) {
    const int w = KeyedWidth(state), h = KeyedHeight(state);
    MemImgPtr picture = NewMemImg(w, h, 0);
    MemImgPtr screen = NewMemImg(kScreenW, kScreenH, 0xFFFFFFFF);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint16_t v = KeyedPixel(state, x, y);
            std::memcpy(picture->pixels + y * picture->pitch + x * 2, &v, 2);
        }
    BuildMemImgRunTable(picture.get());
    picture->runTableValid = 1;
    const SoftDrawSettings plain{RECT{0, 0, kScreenW, kScreenH}, 0, 255, 0xFFFFFF};
    for (auto _ : state) {
        BlitMemImg(screen.get(), picture.get(), (kScreenW - w) / 2, (kScreenH - h) / 2, 1, nullptr, plain, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * w * h);
}
BENCHMARK(BM_Keyed_SoftwareRenderer)->ArgName("layer")->Arg(0)->Arg(1);

// The same picture as a 1:5:5:5 texture drawn by the Direct3D stand-in's
// device as the framework draws a keyed texture graphic 1:1: one quad, the
// texel selected, its alpha tested.
void BM_Keyed_Direct3D(benchmark::State& state) {
    const int w = KeyedWidth(state), h = KeyedHeight(state);
    PlatformD3DReset();
    PlatformD3DKnobsRef().offerDevice = 1;
    DirectDrawBench bench(16);
    D_IDirectDrawSurface7* screen = bench.Offscreen(kScreenW, kScreenH);
    D_IDirectDrawSurface7* texture = bench.Texture1555(w, h);
    DirectDrawBench::Paint(texture, w, h, [&](int x, int y) {
        const std::uint16_t v = KeyedPixel(state, x, y);
        return static_cast<std::uint16_t>(v == 0 ? 0 : 0x8000 | (v >> 1 & 0x7FE0) | (v & 0x1F));
    });
    D_IDirect3DDevice7* device = bench.Device(screen);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D_D3DTSS_COLOROP, D_D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D_D3DTSS_ALPHAOP, D_D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D_D3DTSS_COLOROP, D_D3DTOP_DISABLE);
    device->SetRenderState(D_D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device->SetRenderState(D_D3DRENDERSTATE_ALPHAREF, 16);
    device->SetRenderState(D_D3DRENDERSTATE_ALPHAFUNC, D_D3DCMP_GREATER);
    struct Vertex {
        float x, y, z, rhw;
        std::uint32_t diffuse;
        float u, v;
    };
    const float x0 = static_cast<float>((kScreenW - w) / 2) - 0.5f, y0 = static_cast<float>((kScreenH - h) / 2) - 0.5f;
    const float x1 = x0 + static_cast<float>(w), y1 = y0 + static_cast<float>(h);
    const Vertex tl{x0, y0, 0.2f, 1, 0xFFFFFFFF, 0, 0}, tr{x1, y0, 0.2f, 1, 0xFFFFFFFF, 1, 0};
    const Vertex bl{x0, y1, 0.2f, 1, 0xFFFFFFFF, 0, 1}, br{x1, y1, 0.2f, 1, 0xFFFFFFFF, 1, 1};
    Vertex quad[6] = {tl, tr, bl, br, bl, tr};
    for (auto _ : state) {
        device->DrawPrimitive(D_D3DPT_TRIANGLELIST, D_D3DFVF_XYZRHW | D_D3DFVF_DIFFUSE | D_D3DFVF_TEX1, quad, 6, 0);
        benchmark::ClobberMemory();
    }
    device->EndScene();
    device->Release();
    PlatformD3DReset();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * w * h);
}
BENCHMARK(BM_Keyed_Direct3D)->ArgName("layer")->Arg(0)->Arg(1);

// ---- whole frames through the framework ---------------------------------------------

// The framework started headless, software-only or with the Direct3D
// stand-in on request.
class FrameworkBench : public HeadlessFramework {
public:
    explicit FrameworkBench(bool softwareOnly, bool direct3D = false)
        : HeadlessFramework("kelvo_frame_bench", softwareOnly, direct3D) {}

    // A graphic of 16-bit 5:6:5 pixels, black where transparent, held where
    // the framework holds loaded graphics (a DirectDraw surface, or a
    // software image on the software-only road).
    template <typename Rgb>
    static HandleId Graph(int w, int h, Rgb rgb) {
        if (IsDirect3DUp()) return TextureGraph(w, h, rgb);
        const HandleId g = CreateGraphWithSurfaces(w, h, 0, 0, 0);
        if (g < 0) std::abort();
        const GraphRecord* graph = LookupGraph(g);
        const HandleId data = LookupSurface2D(graph->storageHandles[0])->surfaceData;
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        if (LockSurfaceData(data, &pitch, &pixels, 0, nullptr, &format) != 0 || format->bytesPerPixel != 2) std::abort();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint16_t v = To565(rgb(x, y));
                std::memcpy(static_cast<std::uint8_t*>(pixels) + y * pitch + x * 2, &v, 2);
            }
        UnlockSurfaceData(data);
        return g;
    }

private:
    // On the Direct3D road: a texture graphic, black becoming transparent.
    template <typename Rgb>
    static HandleId TextureGraph(int w, int h, Rgb rgb) {
        return MakeGraphFromRgb(w, h, rgb);
    }

};

void BM_ClearAndPresent(benchmark::State& state) {
    FrameworkBench framework(false);
    for (auto _ : state) {
        ApiClearDrawTarget();
        ApiPresentScreen();
    }
}
BENCHMARK(BM_ClearAndPresent);

// The field frame's parts, made once.
struct Field {
    HandleId layers[3];
    HandleId sprite;
    bool scaled = false;  // the 2x sprites are drawn scaled
    bool text = false;    // the text line is drawn

    Field() {
        for (int i = 0; i < 3; ++i)
            layers[i] = FrameworkBench::Graph(kScreenW, kScreenH, [i](int x, int y) {
                return LayerOpaque(i, x, y) ? LayerRgb(i, x, y) : 0u;
            });
        sprite = FrameworkBench::Graph(kSprite, kSprite,
                                       [](int x, int y) { return SpriteOpaque(x, y) ? SpriteRgb(x, y) : 0u; });
        // What the framework can draw today.
        scaled = ApiStretchBlitGraph(0, 0, 2 * kSprite, 2 * kSprite, sprite, 1) == 0;
        text = ApiDrawTextFormatted(8, 8, ApiMakeColorCode(255, 255, 255), "HP %d/%d", 1, 1) == 0;
    }

    void Draw(int frame, int sprites) const {
        ApiClearDrawTarget();
        for (int i = 0; i < 3; ++i) ApiBlitGraph(-(frame * (i + 1)) % 64, 0, layers[i], 1);
        // Sprites spread over the field, moving; the first third at twice
        // their size where that can be drawn.
        for (int i = 0; i < sprites; ++i) {
            const int size = i < sprites / 3 && scaled ? 2 * kSprite : kSprite;
            const int x = (i * 137 + frame * 3) % (kScreenW - size), y = (i * 71 + i / 10 * 40) % (kScreenH - size);
            if (size > kSprite)
                ApiStretchBlitGraph(x, y, x + size, y + size, sprite, 1);
            else
                ApiBlitGraph(x, y, sprite, 1);
        }
        // The HUD: a frame with two gauges.
        ApiPaintBox(8, 400, 632, 472, ApiMakeColorCode(0, 0, 64), 1);
        ApiPaintBox(8, 400, 632, 472, ApiMakeColorCode(255, 255, 255), 0);
        ApiPaintBox(24, 420, 24 + 200, 432, ApiMakeColorCode(200, 32, 32), 1);
        ApiPaintBox(24, 440, 24 + 150, 452, ApiMakeColorCode(32, 64, 200), 1);
        if (text) ApiDrawTextFormatted(260, 420, ApiMakeColorCode(255, 255, 255), "HP %d/%d  MP %d/%d", 120, 160, 45, 60);
        ApiPresentScreen();
    }
};

void FieldFrame(benchmark::State& state, bool softwareOnly, bool direct3D = false) {
    FrameworkBench framework(softwareOnly, direct3D);
    if (direct3D && !IsDirect3DUp()) std::abort();
    const Field field;
    const int sprites = static_cast<int>(state.range(0));
    int frame = 0;
    for (auto _ : state) field.Draw(frame++, sprites);
    state.SetLabel(std::string(field.scaled ? "a third at 2x" : "no scaled blit yet: all sprites 1x") +
                   (field.text ? ", text" : ", no text yet"));
}

// The counts of sprites the field frame is measured with.
void SpriteCounts(benchmark::internal::Benchmark* b) {
    b->ArgName("sprites")->Unit(benchmark::kMicrosecond);
    for (int sprites : {0, 15, 30, 60, 120}) b->Arg(sprites);
}

void BM_FieldFrame_DirectDraw(benchmark::State& state) { FieldFrame(state, false); }
void BM_FieldFrame_SoftwareOnly(benchmark::State& state) { FieldFrame(state, true); }
BENCHMARK(BM_FieldFrame_DirectDraw)->Apply(SpriteCounts);
BENCHMARK(BM_FieldFrame_SoftwareOnly)->Apply(SpriteCounts);
void BM_FieldFrame_Direct3D(benchmark::State& state) { FieldFrame(state, false, true); }
BENCHMARK(BM_FieldFrame_Direct3D)->Apply(SpriteCounts);

}  // namespace
