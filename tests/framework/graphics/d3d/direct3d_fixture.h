// The framework started headless with the Direct3D stand-in offering its
// device (or what a test makes it offer), and helpers to make texture
// graphics from images and read their texels back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/framework_fixture.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/base_image.h"
#include "platform/d3d.h"
#include "platform/display.h"

class Direct3DFrameworkTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        PlatformD3DReset();
        PlatformD3DKnobsRef().offerDevice = 1;
        // Software rendering, once entered by an earlier test, outlives the
        // framework's end; this one starts on the hardware road.
        g_ScreenDevice.softwareOnly = 0;
        g_ScreenDevice.disable3D = 0;
        g_ScreenDevice.screenMemImg = 0;
        g_ScreenColorInfo.screenIsMemImg = 0;
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformD3DReset();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    }

    void Start() {
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        ApiSetVBlankWait(0);
    }

    // A 24-bit image whose pixel (x, y) is pixel(x, y) as 0xRRGGBB.
    template <typename Pixel>
    static GraphImage MakeImage(int width, int height, Pixel pixel) {
        GraphImage image{};
        EXPECT_EQ(CreateBaseImage(width, height, &image), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = pixel(x, y);
                std::uint8_t* p = image.pixels + static_cast<std::size_t>(y) * image.pitch + x * 3;
                p[0] = static_cast<std::uint8_t>(c);
                p[1] = static_cast<std::uint8_t>(c >> 8);
                p[2] = static_cast<std::uint8_t>(c >> 16);
            }
        return image;
    }

    // The raw texel of a tile's texture at (x, y) of the texture.
    static std::uint32_t Texel(HandleId tile, int x, int y) {
        const Surface3DDataRecord* t = LookupSurface3DData(tile);
        EXPECT_NE(t, nullptr);
        if (t == nullptr) return 0;
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        EXPECT_GE(LockSurfaceData(t->surfaceData, &pitch, &pixels, 0, nullptr, &format), 0);
        std::uint32_t v = 0;
        std::memcpy(&v, static_cast<std::uint8_t*>(pixels) + y * pitch + x * format->bytesPerPixel,
                    format->bytesPerPixel);
        UnlockSurfaceData(t->surfaceData);
        return v;
    }

    // The graphic's pixel (x, y) as its texture holds it.
    static std::uint32_t GraphTexel(const GraphRecord& graph, int x, int y) {
        for (int i = 0; i < graph.storageCount; ++i) {
            const Surface3DDataRecord* t = LookupSurface3DData(graph.storageHandles[i]);
            if (t != nullptr && x >= t->x && x < t->x + t->width && y >= t->y && y < t->y + t->height)
                return Texel(graph.storageHandles[i], t->uOffset + x - t->x, t->vOffset + y - t->y);
        }
        ADD_FAILURE() << "no tile holds " << x << "," << y;
        return 0;
    }

    // The A1R5G5B5 texel of a 0xRRGGBB pixel: transparent (alpha 0) where
    // its colour at 5 bits a channel is the transparent colour's.
    static std::uint32_t Expected1555(std::uint32_t rgb, std::uint32_t transparent) {
        auto five = [](std::uint32_t c) { return (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31); };
        return five(rgb) == five(transparent) ? five(rgb) : 0x8000u | five(rgb);
    }
};
