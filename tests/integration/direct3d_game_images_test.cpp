// Every image of the game's data set loaded as textures with the Direct3D
// stand-in offering its device: each graphic is cut into the tiles the
// planner gives, holds the image's pixels, and holds them again after a
// device loss, reloaded from its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/graphics/d3d/direct3d_fixture.h"
#include "front/startup_images.h"
#include "graphics/image/image_loader.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

struct Loaded {
    std::string file;  // as the game names it, "bmp\\hai01.bmp"
    HandleId graph;
};

class Direct3DGameImagesTest : public Direct3DFrameworkTest {
protected:
    void SetUp() override {
        Direct3DFrameworkTest::SetUp();
        // The data set lies beside the game.
        const fs::path folder = fs::path(KELVO_GAME_PATH).parent_path();
        SetCurrentDirectoryA(PlatformWindowsPath(folder.string()).c_str());
        for (const char* sub : {"", "bmp", "rukbmp", "acobmp"}) {
            if (!fs::is_directory(folder / sub)) continue;
            for (const auto& entry : fs::directory_iterator(folder / sub)) {
                if (entry.path().extension() != ".bmp") continue;
                files.push_back(std::string(sub).empty() ? entry.path().filename().string()
                                                         : std::string(sub) + "\\" + entry.path().filename().string());
            }
        }
        std::sort(files.begin(), files.end());
    }

    // Every graphic's tiles are the planner's and hold the file's pixels
    // (one pixel in `step` along each axis).
    void CheckAll(const std::vector<Loaded>& loaded, int step) {
        for (const Loaded& l : loaded) {
            const GraphRecord* g = LookupGraph(l.graph);
            ASSERT_NE(g, nullptr) << l.file;
            ASSERT_EQ(g->textureGraph, 1) << l.file;
            int columns[64], rows[64];
            const int across = PlanTextureTiles(g->width, columns, 64, 0);
            const int down = PlanTextureTiles(g->height, rows, 64, 0);
            ASSERT_EQ(g->storageCount, across * down) << l.file;
            for (int i = 0; i < g->storageCount; ++i) {
                const Surface3DDataRecord* t = LookupSurface3DData(g->storageHandles[i]);
                const SurfaceDataRecord* data = LookupSurfaceData(t->surfaceData);
                ASSERT_EQ(data->width, columns[i % across]) << l.file << " tile " << i;
                ASSERT_EQ(data->height, rows[i / across]) << l.file << " tile " << i;
            }
            GraphImage image{}, alpha{};
            ASSERT_GE(LoadImageWithAlphaFile(l.file.c_str(), nullptr, 0, 0, nullptr, 0, kAlphaSourceFile, &image,
                                             &alpha, 0),
                      0)
                << l.file;
            ASSERT_EQ(image.colorFormat.bytesPerPixel, 3) << l.file;
            // Tile by tile, each texture locked once.
            int wrong = 0;
            for (int i = 0; i < g->storageCount; ++i) {
                const Surface3DDataRecord* t = LookupSurface3DData(g->storageHandles[i]);
                int pitch = 0;
                void* texels = nullptr;
                ASSERT_GE(LockSurfaceData(t->surfaceData, &pitch, &texels, 0, nullptr, nullptr), 0);
                for (int y = 0; y < t->height; y += step)
                    for (int x = 0; x < t->width; x += step) {
                        const std::uint8_t* p =
                            image.pixels + static_cast<std::size_t>(t->y + y) * image.pitch + (t->x + x) * 3;
                        const std::uint32_t rgb = static_cast<std::uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
                        std::uint16_t texel;
                        std::memcpy(&texel,
                                    static_cast<std::uint8_t*>(texels) + (t->vOffset + y) * pitch + (t->uOffset + x) * 2,
                                    2);
                        wrong += texel != Expected1555(rgb, g_DrawState.transparentColor);
                    }
                UnlockSurfaceData(t->surfaceData);
            }
            EXPECT_EQ(wrong, 0) << l.file;
            ReleaseBaseImage(&image);
            ReleaseBaseImage(&alpha);
        }
    }

    std::vector<std::string> files;
};

TEST_F(Direct3DGameImagesTest, EveryImageLoadsAsTexturesAndSurvivesADeviceLoss) {
    ASSERT_GT(files.size(), 100u);
    Start();
    ASSERT_EQ(IsDirect3DUp(), 1);
    std::vector<Loaded> loaded;
    for (const std::string& file : files) loaded.push_back({file, LoadImageToGraph(file.c_str(), 0)});
    // The sheets as start-up cuts them: part graphics over the tiles.
    for (const StartupImageLoad& load : kStartupImageLoads) {
        if (load.pieces == 0) continue;
        std::vector<int> handles(static_cast<std::size_t>(load.pieces), -1);
        ASSERT_EQ(LoadImageToDivGraphs(load.file, load.pieces, load.columns, load.rows, load.pieceWidth,
                                       load.pieceHeight, handles.data(), 0),
                  0)
            << load.file;
        for (int h : handles) ASSERT_EQ(LookupGraph(h)->textureGraph, 1) << load.file;
    }
    CheckAll(loaded, 1);

    // The display is lost and the framework recovers as the window
    // procedure has it do: new devices, textures made again, every graphic
    // reloaded from its file.
    PlatformDisplayLoseExclusive();
    PlatformDisplayRegainExclusive();
    ASSERT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);
    ASSERT_EQ(IsDirect3DUp(), 1);
    ASSERT_EQ(HasDevice3DInterface(), 1);
    CheckAll(loaded, 1);
}

}  // namespace
