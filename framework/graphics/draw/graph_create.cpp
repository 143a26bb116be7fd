// Making graphics from decoded images, part graphics that show a rectangle
// of another graphic, writing images into graphics, and the names a graphic
// keeps so that it can be reloaded after the display device was lost.
#include <cstring>

#include "core/log.h"
#include "files/file_functions.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/base_image.h"
#include "graphics/image/color_format.h"
#include "graphics/movie/movie.h"
#include "platform/types.h"
#include "window/window.h"

namespace {

bool ImageUsable(const GraphImage* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0;
}

// Copies a text only when it fits whole; a cut path would reload the wrong file.
void CopyWhole(char* dest, std::size_t size, const char* text) {
    const std::size_t length = std::strlen(text);
    if (length < size) {
        std::memcpy(dest, text, length + 1);
    } else {
        dest[0] = '\0';
    }
}

}  // namespace

int SetGraphName(HandleId handle, const char* name) {
    GraphRecord* record = LookupGraph(handle);
    if (record == nullptr) return -1;
    char directory[MAX_PATH + 1] = {};
    if (FileGetCurrentDir(directory) != 0) directory[0] = '\0';
    directory[MAX_PATH] = '\0';
    const char* fileName = name != nullptr ? name : "";
    const bool fits = std::strlen(fileName) < kGraphNameSize && std::strlen(directory) < kGraphDirectorySize;
    // Name and directory go together: half a pair names some other file.
    CopyWhole(record->name, kGraphNameSize, fits ? fileName : "");
    CopyWhole(record->directory, kGraphDirectorySize, fits ? directory : "");
    return 0;
}

HandleId CreateGraphForImage(const GraphImage* image, const GraphImage* alphaImage, int textureRequest) {
    if (!ImageUsable(image)) return kNoHandle;
    EndDeviceScene();
    WaitWhileInactive();
    if (alphaImage != nullptr && (alphaImage->width != image->width || alphaImage->height != image->height))
        return kNoHandle;
    const int alphaSetting = (image->colorFormat.alphaWidth != 0 || alphaImage != nullptr) ? 1 : 0;
    const int palettedSource =
        (image->colorFormat.bytesPerPixel == 1 && image->colorFormat.alphaWidth == 0 && alphaImage == nullptr) ? 1
                                                                                                                : 0;
    return CreateGraphWithSurfaces(static_cast<int>(image->width), static_cast<int>(image->height), textureRequest,
                                   alphaSetting, palettedSource);
}

int TransferImageToGraph(int destX, int destY, const char* name, const GraphImage* image,
                         const GraphImage* alphaImage, int sourceX, int sourceY, HandleId handle, int repack) {
    if (g_DrawState.drawingSuppressed) return 0;
    GraphRecord* record = LookupGraph(handle);
    if (record == nullptr || !ImageUsable(image)) return -1;
    SetGraphName(handle, name);
    record->repackFlag = static_cast<std::uint32_t>(repack);
    record->sourceX = sourceX;
    record->sourceY = sourceY;
    if (record->textureGraph) return WriteImageToGraphTextures(record, image, alphaImage, sourceX, sourceY);
    // The graphic's size of the image from the source position, placed at
    // the destination; the write clips it to the graphic.
    const RECT source{sourceX, sourceY, sourceX + record->width, sourceY + record->height};
    return WriteRectToGraphSurface2Ds(record, image, alphaImage, source, destX, destY, 0);
}

HandleId MakeGraphFromImages(GraphImage* image, GraphImage* alphaImage, int textureRequest, int mirror,
                             int preMirror) {
    if (!ImageUsable(image)) return kNoHandle;
    if (alphaImage != nullptr && !ImageUsable(alphaImage)) alphaImage = nullptr;
    ComputeUnusedBitMask(&image->colorFormat);
    if (alphaImage != nullptr) ComputeUnusedBitMask(&alphaImage->colorFormat);
    EndDeviceScene();

    // Mirrored here and back afterwards, so the caller's images stay as given.
    const bool flip = mirror == 1 && preMirror == 1;
    if (flip) {
        MirrorBaseImage(image);
        if (alphaImage != nullptr) MirrorBaseImage(alphaImage);
    }
    HandleId handle = CreateGraphForImage(image, alphaImage, textureRequest);
    if (handle > 0 && TransferImageToGraph(0, 0, nullptr, image, alphaImage, 0, 0, handle, 0) < 0) {
        ReleaseGraph(handle, 0);
        handle = kNoHandle;
    }
    if (flip) {
        MirrorBaseImage(image);
        if (alphaImage != nullptr) MirrorBaseImage(alphaImage);
    }
    return handle;
}

HandleId CreateGraphFromBaseImage(GraphImage* image) {
    if (!ImageUsable(image)) return kNoHandle;
    ComputeUnusedBitMask(&image->colorFormat);
    EndDeviceScene();
    const HandleId handle = CreateGraphForImage(image, nullptr, 1);
    if (handle <= 0) return handle;
    if (TransferImageToGraph(0, 0, nullptr, image, nullptr, 0, 0, handle, 0) < 0) {
        ReleaseGraph(handle, 0);
        return kNoHandle;
    }
    return handle;
}

HandleId MakePartGraph(int x, int y, int width, int height, HandleId parentHandle) {
    if (g_DrawState.drawingSuppressed) return 0;
    const GraphRecord* parent = LookupGraph(parentHandle);
    if (parent == nullptr) return kNoHandle;
    // A start outside the parent or an empty size shows nothing of it.
    if (x < 0 || y < 0 || x >= parent->width || y >= parent->height || width <= 0 || height <= 0)
        return kNoHandle;
    if (width > parent->width - x) width = parent->width - x;
    if (height > parent->height - y) height = parent->height - y;

    GraphRecord* part = nullptr;
    const HandleId handle =
        NewGraphHandle(width, height, parent->textureGraph, &part, parent->alphaSetting, parent->palettedSource);
    if (part == nullptr) return handle;
    part->movieHandle = parent->movieHandle;
    std::memcpy(part->name, parent->name, sizeof part->name);
    std::memcpy(part->directory, parent->directory, sizeof part->directory);
    part->alphaTest = parent->alphaTest;
    part->repackFlag = parent->repackFlag;
    part->sourceX = parent->sourceX + x;
    part->sourceY = parent->sourceY + y;
    // The part is made like its parent, whatever the creation settings now say.
    part->textureGraph = parent->textureGraph;
    part->systemMemory = parent->systemMemory;
    part->colorBitDepth = parent->colorBitDepth;
    part->drawable = parent->drawable;

    const int result = part->textureGraph ? CreatePartGraphTextures(part, x, y, parent)
                                          : AttachPartSurface2D(part, x, y, width, height, parent);
    if (result < 0) {
        // The movie belongs to the parent: the failed part must not close it.
        part->movieHandle = kNoHandle;
        ReleaseGraph(handle, 0);
        WriteLogText("グラフィックの派生に失敗しました終了します");
        return kNoHandle;
    }
    // The part shows the movie too: it stays open while either is alive.
    if (part->movieHandle >= 0) ShareGraphMovie(part);
    return handle;
}

HandleId MakeDrawableGraph(int width, int height) {
    const int saved = g_DrawState.makeDrawable;
    SetMakeDrawableGraphFlag(1);
    const HandleId handle = MakeEmptyGraph(width, height, 0);
    SetMakeDrawableGraphFlag(saved);
    return handle;
}

HandleId MakeScreenClearGraph(int width, int height) {
    GraphImage image{};
    if (CreateBaseImage(width, height, &image) < 0) return kNoHandle;
    FillBaseImage(&image, 0, 0, 0, 0);
    const HandleId handle = CreateGraphFromBaseImage(&image);
    ReleaseBaseImage(&image);
    return handle;
}
