// Loading image files into graphics, whole and as grids of pieces, part
// graphics, and reloading every graphic from its file after the display
// device was lost. The framework runs full screen on the headless display;
// pixels are read back by locking each graphic's storage.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/file_functions.h"
#include "framework/framework_fixture.h"
#include "framework/graphics/image/image_test_support.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/base_image.h"
#include "graphics/image/image_loader.h"
#include "platform/display.h"

namespace {

struct Rgb {
    int r, g, b;
};

// The 5:6:5 pixel of the full-screen graphics.
std::uint32_t To565(Rgb c) {
    return static_cast<std::uint32_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

// A 24-bit BMP whose pixel (x, y) has the colour the function gives.
template <typename Colour>
std::string Bmp24(int width, int height, Colour colour) {
    const int pitch = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch * height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            std::uint8_t* p = &pixels[static_cast<std::size_t>((height - 1 - y) * pitch + x * 3)];  // bottom-up
            p[0] = static_cast<std::uint8_t>(c.b);
            p[1] = static_cast<std::uint8_t>(c.g);
            p[2] = static_cast<std::uint8_t>(c.r);
        }
    }
    const std::vector<std::uint8_t> file = MakeBmp(width, height, 24, 0, {}, pixels);
    return std::string(file.begin(), file.end());
}

// Each 8 x 8 cell of a grid has a colour of its own, and its left column a
// marker, so a mirrored cell tells itself apart.
Rgb CellColour(int x, int y) {
    const int cell = (y / 8) * 4 + (x / 8);
    if (x % 8 == 0) return Rgb{248, 252, 248};
    return Rgb{(cell * 20) & 0xF8, 0x40 + (cell * 8 & 0x3C), 0x80};
}

Rgb Gradient(int x, int y) { return Rgb{x * 24, y * 40, 0x88}; }

// Counts how often a file is decoded: a user loader tried before the table
// that accepts nothing.
int g_decodeCount = 0;
int CountingLoader(StreamData*, GraphImage*) {
    ++g_decodeCount;
    return -1;
}

// Where the test program started: the build folder, beside the game's data set.
const std::filesystem::path g_startPath = std::filesystem::current_path();

struct SheetGrid {
    const char* file;
    int pieces, columns, rows, width, height;
};

// The game's sheets cut into pieces; monster sheets ("...all.bmp") and
// defeat pictures ("...ruk.bmp") not named here follow the two rules below.
constexpr SheetGrid kSheetGrids[] = {
    {"rukall.bmp", 144, 12, 12, 128, 128}, {"suball.bmp", 3, 2, 2, 128, 128},    {"serifu.bmp", 3, 1, 4, 256, 64},
    {"fire.bmp", 8, 1, 8, 32, 16},         {"gass.bmp", 8, 4, 2, 32, 32},        {"juujiall.bmp", 24, 6, 4, 64, 64},
    {"ball.bmp", 32, 8, 4, 64, 64},        {"rukmon.bmp", 33, 4, 9, 70, 53},     {"alffonts.bmp", 108, 13, 9, 32, 32},
    {"numfonts.bmp", 40, 10, 4, 32, 32},   {"hiru.bmp", 2, 1, 2, 128, 32},       {"bless.bmp", 2, 1, 2, 128, 32},
    {"guro.bmp", 2, 1, 2, 128, 32},        {"holy.bmp", 2, 1, 2, 128, 32},       {"warp.bmp", 6, 3, 2, 128, 128},
    {"yajirusi.bmp", 30, 10, 3, 48, 48},   {"yajirusimini.bmp", 30, 10, 3, 16, 16},
    {"ruktitle.bmp", 1, 1, 1, 470, 320},   {"tatiruk.bmp", 1, 1, 1, 129, 320},
};
constexpr SheetGrid kMonsterSheetGrid{"", 17, 6, 3, 128, 128};
constexpr SheetGrid kPictureGrid{"", 1, 1, 1, 640, 480};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class GraphLoadTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
        PlatformDisplayReset();
        ApiSetAllowDoubleStart(1);
        ASSERT_EQ(ApiInitFramework(), 0);
        graphsAtStart_ = g_GraphTable.handles.Count();
    }
    void TearDown() override {
        ClearUserImageLoaders();
        FrameworkTest::TearDown();
        PlatformDisplayKnobsRef() = PlatformDisplayKnobs{};
    }

    int GraphCount() const { return g_GraphTable.handles.Count() - graphsAtStart_; }

    // One pixel of a graphic, read through a lock of its storage; a marker
    // value when it cannot be read.
    static std::uint32_t Pixel(HandleId graph, int x, int y) {
        const GraphRecord* record = LookupGraph(graph);
        if (record == nullptr || record->storageCount < 1) return 0xDEAD0001;
        const Surface2DRecord* surface = LookupSurface2D(record->storageHandles[0]);
        if (surface == nullptr) return 0xDEAD0002;
        int pitch = 0;
        void* pixels = nullptr;
        const ColorFormatDesc* format = nullptr;
        if (LockSurfaceData(surface->surfaceData, &pitch, &pixels, 0, nullptr, &format) < 0) return 0xDEAD0003;
        std::uint32_t v = 0;
        const auto* p = static_cast<const std::uint8_t*>(pixels) + (surface->partY + y) * pitch +
                        (surface->partX + x) * format->bytesPerPixel;
        std::memcpy(&v, p, format->bytesPerPixel);
        UnlockSurfaceData(surface->surfaceData);
        return v;
    }

    // Every pixel of the graphic equals the picture's from (left, top).
    template <typename Colour>
    static bool Shows(HandleId graph, int left, int top, Colour colour) {
        int w = 0, h = 0;
        if (QueryGraphSize(graph, &w, &h) < 0) return false;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (Pixel(graph, x, y) != To565(colour(left + x, top + y))) return false;
        return true;
    }

    void WriteFile(const std::string& name, const std::string& bytes) { dir_.Write(name, bytes); }

    int graphsAtStart_ = 0;
};

TEST_F(GraphLoadTest, ABmpLoadsIntoAGraphicOfItsSizeAndPixels) {
    WriteFile("pic.bmp", Bmp24(10, 6, Gradient));
    const int handle = ApiLoadImageToGraph("pic.bmp", 0);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(handle & 0x78000000, 0x08000000);
    int w = 0, h = 0;
    ASSERT_EQ(QueryGraphSize(handle, &w, &h), 0);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 6);
    EXPECT_TRUE(Shows(handle, 0, 0, Gradient));
    const GraphRecord* record = LookupGraph(handle);
    EXPECT_STREQ(record->name, "pic.bmp");
    EXPECT_NE(record->directory[0], '\0');
    EXPECT_EQ(record->movieHandle, -1);
    EXPECT_EQ(ApiReleaseGraph(handle, 0), 0);
    EXPECT_EQ(GraphCount(), 0);
}

TEST_F(GraphLoadTest, FilesThatAreMissingOrNoImageFailWithTheirLogLine) {
    EXPECT_EQ(ApiLoadImageToGraph("missing.bmp", 0), -1);
    EXPECT_GE(FindLine("グラフィックファイル missing.bmp がありません"), 0);
    // A file that is no image is tried as a movie, which cannot be opened.
    WriteFile("notes.txt", "no picture in here");
    EXPECT_EQ(ApiLoadImageToGraph("notes.txt", 0), -1);
    EXPECT_GE(FindLine("右記のグラフィックファイルのロードに失敗しました：notes.txt"), 0);
    int handles[4] = {};
    EXPECT_EQ(ApiLoadImageToDivGraphs("missing.bmp", 4, 2, 2, 8, 8, handles, 0), -1);
    EXPECT_EQ(ApiLoadImageToGraph(nullptr, 0), -1);
    EXPECT_EQ(GraphCount(), 0);
}

TEST_F(GraphLoadTest, AGridFillsItsHandlesRowByRowAndStopsAtTheLastRow) {
    WriteFile("grid.bmp", Bmp24(32, 24, CellColour));
    int handles[12];
    std::fill(std::begin(handles), std::end(handles), -7);
    ASSERT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 12, 4, 3, 8, 8, handles, 0), 0);
    EXPECT_EQ(GraphCount(), 12);  // the base graphic is gone, its cells live on
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const int left = (i % 4) * 8, top = (i / 4) * 8;
        EXPECT_TRUE(Shows(handles[i], left, top, CellColour));
        const GraphRecord* cell = LookupGraph(handles[i]);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->sourceX, left);
        EXPECT_EQ(cell->sourceY, top);
        EXPECT_STREQ(cell->name, "grid.bmp");
    }
    for (int h : handles) ApiReleaseGraph(h, 0);

    // Two rows hold 8 cells: the rest of the array is left as it was, and a
    // live graphic's handle there keeps its own name.
    WriteFile("other.bmp", Bmp24(4, 4, Gradient));
    const int other = ApiLoadImageToGraph("other.bmp", 0);
    ASSERT_GT(other, 0);
    std::fill(std::begin(handles), std::end(handles), other);
    ASSERT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 12, 4, 2, 8, 8, handles, 0), 0);
    EXPECT_EQ(GraphCount(), 9);
    for (int i = 8; i < 12; ++i) EXPECT_EQ(handles[i], other);
    EXPECT_STREQ(LookupGraph(other)->name, "other.bmp");
    EXPECT_TRUE(Shows(handles[7], 24, 8, CellColour));
}

TEST_F(GraphLoadTest, AFailedCellUndoesTheWholeGrid) {
    WriteFile("grid.bmp", Bmp24(32, 24, CellColour));
    // Five across: the fifth column starts at the image's right edge.
    int handles[12];
    std::fill(std::begin(handles), std::end(handles), -7);
    EXPECT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 12, 5, 3, 8, 8, handles, 0), -1);
    EXPECT_GE(FindLine("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage"), 0);
    EXPECT_EQ(GraphCount(), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(LookupGraph(handles[i]), nullptr);
    EXPECT_EQ(handles[4], -7);
    // Nonsense grids are refused before anything is made.
    EXPECT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 4, 0, 2, 8, 8, handles, 0), -1);
    EXPECT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 4, 2, 2, 8, 8, nullptr, 0), -1);
    EXPECT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 4, 0x10000, 1, 0x10000, 8, handles, 0), -1);
    EXPECT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 0, 4, 3, 8, 8, handles, 0), 0);
    EXPECT_EQ(GraphCount(), 0);
}

TEST_F(GraphLoadTest, MirroredAndUnevenGridsKeepTheFilesCellOrder) {
    WriteFile("grid.bmp", Bmp24(32, 24, CellColour));
    int handles[4] = {};
    ASSERT_EQ(LoadImageFileToDivGraphs("grid.bmp", 4, 4, 1, 8, 8, handles, 1, 1), 0);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        // Cell i is the file's cell i, each row end for end.
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Pixel(handles[i], x, 3), To565(CellColour(i * 8 + 7 - x, 3)));
    }
    for (int h : handles) ApiReleaseGraph(h, 0);

    // 30 pixels across in cells of 8: the last column is cut to 6.
    WriteFile("uneven.bmp", Bmp24(30, 8, CellColour));
    ASSERT_EQ(ApiLoadImageToDivGraphs("uneven.bmp", 4, 4, 1, 8, 8, handles, 0), 0);
    int w = 0, h = 0;
    ASSERT_EQ(QueryGraphSize(handles[3], &w, &h), 0);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 8);
    EXPECT_TRUE(Shows(handles[3], 24, 0, CellColour));
}

// An image in memory made into graphics mirrored before they are made:
// each row end for end, a grid's cells still in the image's order, and the
// caller's image as it was given. Without the request to mirror first the
// image goes in as it is.
TEST_F(GraphLoadTest, ImagesMirroredBeforeTheyAreMadeKeepTheCallersImage) {
    const std::string file = Bmp24(32, 8, CellColour);
    GraphImage image{};
    ASSERT_EQ(LoadImageToBaseImage(nullptr, file.data(), file.size(), 1, 0, 0, &image, nullptr, 0), 0);
    const std::uint32_t corner = ReadBaseImagePixel(&image, 0, 0), last = ReadBaseImagePixel(&image, 31, 7);
    const struct {
        int mirror, preMirror;
        bool mirrored;
    } requests[] = {{1, 1, true}, {1, 0, false}, {0, 1, false}, {0, 0, false}};
    for (const auto& r : requests) {
        SCOPED_TRACE(testing::Message() << "mirror " << r.mirror << ", first " << r.preMirror);
        const HandleId whole = MakeGraphFromImages(&image, nullptr, 1, r.mirror, r.preMirror);
        ASSERT_GT(whole, 0);
        for (int x : {0, 1, 8, 31})
            EXPECT_EQ(Pixel(whole, x, 3), To565(CellColour(r.mirrored ? 31 - x : x, 3))) << x;
        ApiReleaseGraph(whole, 0);
        EXPECT_EQ(ReadBaseImagePixel(&image, 0, 0), corner);
        EXPECT_EQ(ReadBaseImagePixel(&image, 31, 7), last);
    }
    HandleId cells[4] = {};
    ASSERT_EQ(CreateDivGraphFromGraphImage(&image, nullptr, 4, 4, 1, 8, 8, cells, 1, 1, 1), 0);
    for (int i = 0; i < 4; ++i)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Pixel(cells[i], x, 3), To565(CellColour(i * 8 + 7 - x, 3))) << "cell " << i << ", " << x;
    for (HandleId h : cells) ApiReleaseGraph(h, 0);
    EXPECT_EQ(ReadBaseImagePixel(&image, 0, 0), corner);
    EXPECT_EQ(GraphCount(), 0);
    ReleaseBaseImage(&image);
}

TEST_F(GraphLoadTest, PartGraphicsStayInsideTheirParent) {
    WriteFile("pic.bmp", Bmp24(10, 6, Gradient));
    const int parent = ApiLoadImageToGraph("pic.bmp", 0);
    ASSERT_GT(parent, 0);
    EXPECT_EQ(MakePartGraph(10, 0, 2, 2, parent), -1);  // starts at the right edge
    EXPECT_EQ(MakePartGraph(0, 6, 2, 2, parent), -1);
    EXPECT_EQ(MakePartGraph(11, 0, 2, 2, parent), -1);
    EXPECT_EQ(MakePartGraph(-1, 0, 2, 2, parent), -1);
    EXPECT_EQ(MakePartGraph(0, 0, 0, 2, parent), -1);
    EXPECT_EQ(MakePartGraph(0, 0, 2, 2, 0x08001234), -1);
    const HandleId part = MakePartGraph(7, 2, 100, 100, parent);
    ASSERT_GT(part, 0);
    int w = 0, h = 0;
    QueryGraphSize(part, &w, &h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 4);
    ApiReleaseGraph(parent, 0);
    EXPECT_TRUE(Shows(part, 7, 2, Gradient));  // the shared storage outlives the parent
    EXPECT_STREQ(LookupGraph(part)->name, "pic.bmp");
    ApiReleaseGraph(part, 0);
    EXPECT_EQ(GraphCount(), 0);
}

TEST_F(GraphLoadTest, NamesThatDoNotFitAreStoredEmpty) {
    WriteFile("pic.bmp", Bmp24(4, 4, Gradient));
    const int handle = ApiLoadImageToGraph("pic.bmp", 0);
    ASSERT_GT(handle, 0);
    const std::string longName(kGraphNameSize, 'n');
    EXPECT_EQ(SetGraphName(handle, longName.c_str()), 0);
    EXPECT_STREQ(LookupGraph(handle)->name, "");
    EXPECT_STREQ(LookupGraph(handle)->directory, "");
    EXPECT_EQ(SetGraphName(handle, nullptr), 0);
    EXPECT_STREQ(LookupGraph(handle)->name, "");
    EXPECT_EQ(SetGraphName(0x08001234, "x.bmp"), -1);
}

TEST_F(GraphLoadTest, StartUpGraphicsAreBlackOrDrawable) {
    const HandleId black = MakeScreenClearGraph(16, 16);
    ASSERT_GT(black, 0);
    EXPECT_EQ(Pixel(black, 0, 0), 0u);
    EXPECT_EQ(Pixel(black, 15, 15), 0u);
    const HandleId drawable = MakeDrawableGraph(16, 16);
    ASSERT_GT(drawable, 0);
    EXPECT_EQ(LookupGraph(drawable)->drawable, 1);
    EXPECT_EQ(g_DrawState.makeDrawable, 0);
    EXPECT_EQ(ApiSelectDrawTarget(drawable), 0);
    EXPECT_EQ(ApiSelectDrawTarget(kDrawTargetBack), 0);
    ReleaseGraph(black, 0);
    ReleaseGraph(drawable, 0);
}

TEST_F(GraphLoadTest, AfterDeviceLossEveryGraphicIsReloadedFromItsFile) {
    WriteFile("pic.bmp", Bmp24(10, 6, Gradient));
    WriteFile("grid.bmp", Bmp24(32, 24, CellColour));
    WriteFile("sub/far.bmp", Bmp24(6, 6, Gradient));
    const int single = ApiLoadImageToGraph("pic.bmp", 0);
    int cells[12] = {};
    ASSERT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 12, 4, 3, 8, 8, cells, 0), 0);
    // A graphic loaded in another directory is reloaded from there.
    char home[MAX_PATH + 1] = {};
    ASSERT_EQ(FileGetCurrentDir(home), 0);
    ASSERT_EQ(FileSetCurrentDir("sub"), 0);
    const int far = ApiLoadImageToGraph("far.bmp", 0);
    ASSERT_EQ(FileSetCurrentDir(home), 0);
    ASSERT_GT(single, 0);
    ASSERT_GT(far, 0);

    PlatformDisplayLoseExclusive();
    PlatformDisplayRegainExclusive();
    ASSERT_EQ(AddUserImageLoader(CountingLoader), 0);
    g_decodeCount = 0;
    EXPECT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);

    EXPECT_TRUE(Shows(single, 0, 0, Gradient));
    EXPECT_TRUE(Shows(far, 0, 0, Gradient));
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Shows(cells[i], (i % 4) * 8, (i / 4) * 8, CellColour));
        EXPECT_EQ(LookupGraph(cells[i])->lost, 0u);
    }
    // The twelve cells of one file share one decode.
    EXPECT_EQ(g_decodeCount, 3);
    EXPECT_GE(FindLine("グラフィックを復帰します"), 0);
    char now[MAX_PATH + 1] = {};
    ASSERT_EQ(FileGetCurrentDir(now), 0);
    EXPECT_STREQ(now, home);
    EXPECT_STREQ(LookupGraph(far)->name, "far.bmp");

    // A file gone since the load leaves its graphic in place, no longer lost.
    ASSERT_TRUE(std::filesystem::remove(dir_.path() / "pic.bmp"));
    EXPECT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);
    EXPECT_EQ(LookupGraph(single)->lost, 0u);
    EXPECT_TRUE(Shows(far, 0, 0, Gradient));
}

TEST_F(GraphLoadTest, SoftwareRenderingLoadsAndReloadsTheSameWay) {
    ApiEndFramework();
    PlatformDisplayKnobsRef().videoMemoryFails = true;  // DirectDraw cannot start: software rendering
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(IsScreenMemImg(), 1);
    graphsAtStart_ = g_GraphTable.handles.Count();
    WriteFile("grid.bmp", Bmp24(32, 24, CellColour));
    int cells[12] = {};
    ASSERT_EQ(ApiLoadImageToDivGraphs("grid.bmp", 12, 4, 3, 8, 8, cells, 0), 0);
    EXPECT_TRUE(Shows(cells[5], 8, 8, CellColour));
    EXPECT_EQ(RecoverGraphicsAfterDeviceLoss(), 0);
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(Shows(cells[i], (i % 4) * 8, (i / 4) * 8, CellColour)) << i;
    for (int h : cells) ApiReleaseGraph(h, 0);
    EXPECT_EQ(GraphCount(), 0);
}

TEST_F(GraphLoadTest, RestoringSurfacesKeepsEveryGraphicUsable) {
    WriteFile("pic.bmp", Bmp24(10, 6, Gradient));
    const int handle = ApiLoadImageToGraph("pic.bmp", 0);
    ASSERT_GT(handle, 0);
    PlatformDisplayLoseExclusive();
    PlatformDisplayRegainExclusive();
    EXPECT_EQ(RestoreAllGraphs(), 0);
    EXPECT_EQ(RecoverGraphImage(handle), 0);
    EXPECT_EQ(RecoverGraphImage(0x08001234), -1);
    // The restored memory is usable again: a fresh write shows.
    GraphImage image{}, alpha{};
    ASSERT_EQ(LoadImageWithAlphaFile("pic.bmp", nullptr, 0, 0, nullptr, 0, kAlphaSourceFile, &image, &alpha, 0), 1);
    EXPECT_EQ(TransferImageToGraph(0, 0, "pic.bmp", &image, nullptr, 0, 0, handle, 0), 0);
    ReleaseBaseImage(&image);
    EXPECT_TRUE(Shows(handle, 0, 0, Gradient));
}

TEST_F(GraphLoadTest, EveryImageOfTheGamesDataSetLoadsWithItsGrid) {
    const std::filesystem::path sheets = g_startPath / "rukbmp";
    if (!std::filesystem::is_directory(sheets)) GTEST_SKIP() << "no data set beside the test program";
    ASSERT_TRUE(SetCurrentDirectoryA(PlatformWindowsPath(g_startPath.string()).c_str()));

    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sheets)) {
        const std::string name = entry.path().filename().string();
        if (!EndsWith(name, ".bmp")) continue;
        const SheetGrid* grid = nullptr;
        for (const SheetGrid& g : kSheetGrids)
            if (name == g.file) grid = &g;
        if (grid == nullptr && EndsWith(name, "all.bmp")) grid = &kMonsterSheetGrid;
        if (grid == nullptr && EndsWith(name, "ruk.bmp")) grid = &kPictureGrid;
        const std::string path = "rukbmp\\" + name;
        SCOPED_TRACE(path);
        if (grid == nullptr) {  // loaded whole
            const int handle = ApiLoadImageToGraph(path.c_str(), 0);
            EXPECT_GT(handle, 0);
            ApiReleaseGraph(handle, 0);
            ++loaded;
            continue;
        }
        std::vector<int> handles(static_cast<std::size_t>(grid->pieces), -1);
        ASSERT_EQ(ApiLoadImageToDivGraphs(path.c_str(), grid->pieces, grid->columns, grid->rows, grid->width,
                                          grid->height, handles.data(), 0),
                  0);
        for (int handle : handles) {
            int w = 0, h = 0;
            ASSERT_EQ(QueryGraphSize(handle, &w, &h), 0);
            // A piece cut short means the sheet is smaller than its grid.
            EXPECT_EQ(w, grid->width);
            EXPECT_EQ(h, grid->height);
            ApiReleaseGraph(handle, 0);
        }
        ++loaded;
    }
    // The stage panels and the water overlay are loaded whole.
    for (const auto& entry : std::filesystem::directory_iterator(g_startPath / "bmp")) {
        const std::string path = "bmp\\" + entry.path().filename().string();
        SCOPED_TRACE(path);
        const int handle = ApiLoadImageToGraph(path.c_str(), 0);
        EXPECT_GT(handle, 0);
        ApiReleaseGraph(handle, 0);
        ++loaded;
    }
    EXPECT_GT(loaded, 150);
    EXPECT_EQ(GraphCount(), 0);
}

}  // namespace
