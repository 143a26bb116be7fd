// Loading an image file into one graphic, or into a grid of equal pieces
// cut from one base graphic. A file that is no image may be a movie, shown
// in a graphic of its frame size.
#include "graphics/draw/graph_load.h"

#include "core/log.h"
#include "files/file_functions.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/base_image.h"
#include "graphics/image/image_loader.h"
#include "graphics/movie/movie.h"
#include "window/window.h"

namespace {

constexpr int kGridCountMax = 0x7FFF;
constexpr int kPieceSizeMax = 0xFFFF;

// Frees the image and, when it was loaded, the alpha image.
void FreeImages(GraphImage* image, GraphImage* alphaImage, int loadResult) {
    ReleaseBaseImage(image);
    if (loadResult == 0) ReleaseBaseImage(alphaImage);
}

void MirrorImages(GraphImage* image, GraphImage* alphaImage, int loadResult) {
    MirrorBaseImage(image);
    if (loadResult == 0) MirrorBaseImage(alphaImage);
}

// A file that is no image: opened as a movie when it exists.
HandleId LoadMovieFileToGraph(const char* fileName, int movieOption) {
    const FileHandle file = FileOpen(fileName, 0, 0);
    if (file == 0) return WriteLogFormat("グラフィックファイル %s がありません", fileName);
    FileClose(file);

    int width = 0, height = 0;
    const HandleId movie = OpenMovieToGraph(fileName, &width, &height, movieOption);
    if (movie < 0) return WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s \n", fileName);

    // The movie's frames are copied in by the processor: plain storage in
    // system memory at the screen's depth.
    const int savedDepth = g_DrawState.createColorDepth;
    const int savedMemory = g_DrawState.createSystemMemory;
    const int depth = GetScreenColorDepth();
    g_DrawState.createColorDepth = depth != 0 ? depth : 16;
    g_DrawState.createSystemMemory = 1;
    const HandleId handle = CreateGraphWithSurfaces(width, height, 0, 0, 0);
    g_DrawState.createColorDepth = savedDepth;
    g_DrawState.createSystemMemory = savedMemory;
    GraphRecord* record = LookupGraph(handle);
    if (record == nullptr) {
        // Nothing shows the movie: it is closed, not left open.
        CloseMovie(movie);
        return WriteLogFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", fileName);
    }
    record->movieHandle = movie;
    // The storage holds whatever its memory held before; until the first
    // frame comes, the movie shows black.
    if (FillGraphSurface2Ds(record, 0, 0, 0, 255) < 0)
        WriteLogFormat("ムービーグラフィックの初期化に失敗しました：%s", fileName);
    return handle;
}

bool GridArgumentsUsable(int columns, int rows, int pieceWidth, int pieceHeight, const HandleId* handles) {
    // Within these limits no cell position can overflow.
    return handles != nullptr && columns > 0 && rows > 0 && pieceWidth > 0 && pieceHeight > 0 &&
           columns <= kGridCountMax && rows <= kGridCountMax && pieceWidth <= kPieceSizeMax &&
           pieceHeight <= kPieceSizeMax;
}

// The division itself; *made receives how many cells were written.
int DivideGraph(GraphImage* image, GraphImage* alphaImage, int total, int columns, int rows, int pieceWidth,
                int pieceHeight, HandleId* handles, int textureRequest, int mirror, int preMirror, int* made) {
    *made = 0;
    if (total > 0 && !GridArgumentsUsable(columns, rows, pieceWidth, pieceHeight, handles)) return -1;
    const HandleId base = MakeGraphFromImages(image, alphaImage, textureRequest, mirror, preMirror);
    if (base < 0) return -1;
    if (base == 0) return 0;  // drawing suppressed: nothing was made
    if (total < 1) {
        ReleaseGraph(base, 0);
        return 0;
    }

    // A mirrored image has its cells in reverse column order: walking the
    // columns from the right gives them back in the file's order.
    const int firstX = mirror == 1 ? (columns - 1) * pieceWidth : 0;
    const int stepX = mirror == 1 ? -pieceWidth : pieceWidth;
    int count = 0;
    for (int row = 0, y = 0; row < rows && count < total; ++row, y += pieceHeight) {
        for (int column = 0, x = firstX; column < columns && count < total; ++column, x += stepX) {
            const HandleId cell = MakePartGraph(x, y, pieceWidth, pieceHeight, base);
            if (cell < 0) {
                WriteLogText("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
                for (int i = 0; i < count; ++i) ReleaseGraph(handles[i], 0);
                ReleaseGraph(base, 0);
                return -1;
            }
            handles[count++] = cell;
        }
    }
    *made = count;
    ReleaseGraph(base, 0);
    return 0;
}

}  // namespace

HandleId LoadImageFileToGraph(const char* fileName, int textureRequest, int mirror, int movieOption) {
    if (g_DrawState.drawingSuppressed) return kNoHandle;
    if (fileName == nullptr) return kNoHandle;
    EndDeviceScene();
    WaitWhileInactive();

    GraphImage image{};
    GraphImage alphaImage{};
    const int loaded =
        LoadImageWithAlphaFile(fileName, nullptr, 0, 0, nullptr, 0, kAlphaSourceFile, &image, &alphaImage, 0);
    if (loaded < 0) return LoadMovieFileToGraph(fileName, movieOption);

    if (mirror == 1) MirrorImages(&image, &alphaImage, loaded);
    const HandleId handle = MakeGraphFromImages(&image, loaded == 0 ? &alphaImage : nullptr, textureRequest, 0, 0);
    if (handle > 0) SetGraphName(handle, fileName);
    FreeImages(&image, &alphaImage, loaded);
    return handle;
}

int LoadImageToGraph(const char* fileName, int flag) { return LoadImageFileToGraph(fileName, flag == 0, 0, 0); }

int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int total, int columns, int rows,
                                 int pieceWidth, int pieceHeight, HandleId* handles, int textureRequest,
                                 int mirror, int preMirror) {
    int made = 0;
    return DivideGraph(image, alphaImage, total, columns, rows, pieceWidth, pieceHeight, handles, textureRequest,
                       mirror, preMirror, &made);
}

int LoadImageFileToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth,
                             int pieceHeight, HandleId* handles, int textureRequest, int mirror) {
    if (g_DrawState.drawingSuppressed) return 0;
    if (fileName == nullptr) return -1;
    WaitWhileInactive();

    GraphImage image{};
    GraphImage alphaImage{};
    const int loaded =
        LoadImageWithAlphaFile(fileName, nullptr, 0, 0, nullptr, 0, kAlphaSourceFile, &image, &alphaImage, 0);
    if (loaded < 0) return WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s", fileName);
    if (mirror == 1) MirrorImages(&image, &alphaImage, loaded);

    int made = 0;
    const int result = DivideGraph(&image, loaded == 0 ? &alphaImage : nullptr, total, columns, rows, pieceWidth,
                                   pieceHeight, handles, textureRequest, mirror, 0, &made);
    // Only the cells made are named: the rest of the array may hold live
    // handles of other graphics, whose reload source must stay theirs.
    for (int i = 0; i < made; ++i) SetGraphName(handles[i], fileName);
    FreeImages(&image, &alphaImage, loaded);
    return result;
}

int LoadImageToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth, int pieceHeight,
                         int* handles, int flag) {
    return LoadImageFileToDivGraphs(fileName, total, columns, rows, pieceWidth, pieceHeight, handles, flag == 0, 0);
}
