// A graphics test with storage: a DirectDraw object of the stand-in in
// exclusive full screen at 640 x 480 x 16 handed to the storage code, empty
// surface-data and 2D-surface tables, and a check that every tracked block
// came back.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "framework/graphics/graphics_fixture.h"
#include "graphics/device/storage_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/image/color_format.h"
#include "graphics/image/graph_image.h"
#include "platform/backend.h"
#include "platform/com.h"
#include "platform/ddraw.h"
#include "platform/display.h"

class StorageTest : public GraphicsTest {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        savedScreenFormat_ = g_ScreenColorFormat;
        blocksAtStart_ = g_MemoryTracker.count;
        GraphicsTest::SetUp();
        dd = NewDirectDraw();
        ASSERT_NE(dd, nullptr);
        UseDirectDraw(dd);
        InitSurfaceDataTable();
        InitSurface2DTable();
    }

    void TearDown() override {
        GraphicsTest::TearDown();
        InitSurface2DTable();
        InitSurfaceDataTable();
        SetStorageScreenOverrideForTest(nullptr);
        if (dd != nullptr) dd->Release();
        g_ScreenColorFormat = savedScreenFormat_;
        g_DrawState.transparentColor = 0;
        PlatformDisplayReset();
        CoUninitialize();
        EXPECT_EQ(g_MemoryTracker.count, blocksAtStart_);
    }

    static D_IDirectDraw7* NewDirectDraw() {
        void* object = nullptr;
        if (CoCreateInstance(CLSID_D_DirectDraw7, nullptr, CLSCTX_ALL, IID_D_IDirectDraw7, &object) != S_OK)
            return nullptr;
        auto* made = static_cast<D_IDirectDraw7*>(object);
        const HWND window = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
        if (made->Initialize(nullptr) != D_DD_OK ||
            made->SetCooperativeLevel(window, D_DDSCL_EXCLUSIVE | D_DDSCL_FULLSCREEN) != D_DD_OK ||
            made->SetDisplayMode(640, 480, 16, 0, 0) != D_DD_OK) {
            made->Release();
            return nullptr;
        }
        return made;
    }

    void UseDirectDraw(D_IDirectDraw7* object) {
        screen_ = StorageScreenOverride{object, 1, 0};
        SetStorageScreenOverrideForTest(&screen_);
    }
    // Software-only mode: no DirectDraw object, the screen held as software images.
    void UseSoftwareOnly() {
        screen_ = StorageScreenOverride{nullptr, 0, 1};
        SetStorageScreenOverrideForTest(&screen_);
    }
    void UseNoDevice() {
        screen_ = StorageScreenOverride{nullptr, 1, 0};
        SetStorageScreenOverrideForTest(&screen_);
    }

    static SurfaceCreateFlags PlainFlags(int depth = 16) {
        SurfaceCreateFlags f{};
        f.ColorBitDepth = static_cast<std::uint8_t>(depth);
        return f;
    }

    // A plain graphic with its 2D surface.
    static GraphRecord* NewGraph(int width, int height, int alpha = 0) {
        return LookupGraph(CreateGraphWithSurfaces(width, height, 0, alpha, 0));
    }
    static const Surface2DRecord* First2D(const GraphRecord* graph) {
        return graph != nullptr && graph->storageCount > 0 ? LookupSurface2D(graph->storageHandles[0]) : nullptr;
    }
    static SurfaceDataRecord* DataOf(const GraphRecord* graph) {
        const Surface2DRecord* s = First2D(graph);
        return s != nullptr ? LookupSurfaceData(s->surfaceData) : nullptr;
    }

    // One pixel of a surface data's storage, read through a lock.
    static std::uint32_t PixelAt(HandleId data, int x, int y) {
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        if (LockSurfaceData(data, &pitch, &pixels, 0, nullptr, &format) < 0) return 0xDEADBEEF;
        std::uint32_t v = 0;
        const auto* p = static_cast<const std::uint8_t*>(pixels) + y * pitch + x * format->bytesPerPixel;
        std::memcpy(&v, p, format->bytesPerPixel);
        UnlockSurfaceData(data);
        return v;
    }

    D_IDirectDraw7* dd = nullptr;

private:
    StorageScreenOverride screen_{};
    ColorFormatDesc savedScreenFormat_{};
    int blocksAtStart_ = 0;
};

// A 16-bit 5:6:5 picture with storage of its own, to write from.
struct Picture565 {
    GraphImage image{};
    std::vector<std::uint8_t> storage;
    Picture565(int w, int h) {
        BuildColorFormat(&image.colorFormat, 16, 0xF800, 0x07E0, 0x001F, 0);
        image.width = static_cast<std::uint32_t>(w);
        image.height = static_cast<std::uint32_t>(h);
        image.pitch = static_cast<std::uint32_t>((w * 2 + 3) / 4 * 4);
        storage.assign(image.pitch * image.height, 0);
        image.pixels = storage.data();
    }
    void Set(int x, int y, std::uint16_t v) { std::memcpy(&storage[y * image.pitch + x * 2], &v, 2); }
    // Each pixel a value of its own: (y << 8) | x, never 0.
    Picture565& Numbered() {
        for (std::uint32_t y = 0; y < image.height; ++y)
            for (std::uint32_t x = 0; x < image.width; ++x) Set(x, y, static_cast<std::uint16_t>(0x100 + (y << 8) + x));
        return *this;
    }
};
