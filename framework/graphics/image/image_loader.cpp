// The loader table, the decode entry that tries each loader in turn, and the
// loading of an image (and its "_a" alpha image) from a file or memory.
#include "graphics/image/image_loader.h"

#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "files/file_functions.h"
#include "files/stream_memory.h"
#include "graphics/image/base_image.h"
#include "graphics/image/convert_blit.h"

const ImageLoaderFunction ImageLoaderTable[] = {
    LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage, LoadDdsImage, nullptr,
};

namespace {

ImageLoaderFunction g_UserImageLoaders[kMaxUserImageLoaders];
int g_UserImageLoaderCount = 0;

bool TryLoader(ImageLoaderFunction loader, StreamData* stream, GraphImage* image) {
    // Every loader starts at the beginning, whatever the previous one read.
    if (stream->functions.seek(stream->dataHandle, 0, kSeekOriginStart) != 0) return false;
    return loader(stream, image) == 0;
}

// Copies the pixels into a fresh buffer of the same format through the
// converting blit. On failure the image keeps its old buffer.
int RepackImage(GraphImage* image) {
    const std::size_t bytes = static_cast<std::size_t>(image->pitch) * image->height;
    auto* pixels = static_cast<std::uint8_t*>(KV_ALLOC(bytes));
    if (pixels == nullptr) return -1;
    const RECT all = {0, 0, static_cast<LONG>(image->width), static_cast<LONG>(image->height)};
    const int pitch = static_cast<int>(image->pitch);
    if (BlitConvertFormat(pixels, pitch, &image->colorFormat, image->pixels, pitch, &image->colorFormat, nullptr, 0,
                          nullptr, 0, 0, &all, 0, 0, 0, 0, 0, 0, 0) < 0) {
        KV_FREE(pixels);
        return -1;
    }
    KV_FREE(image->pixels);
    image->pixels = pixels;
    return 0;
}

// Replaces the image by its 24-bit DIB copy; *outDib gets the header block.
int TurnIntoDib(GraphImage* image, BITMAPINFO** outDib, int bottomUp) {
    auto* info = static_cast<BITMAPINFO*>(KV_ALLOC_ZEROED(sizeof(BITMAPINFO)));
    if (info == nullptr) return -1;
    void* pixels = nullptr;
    if (MakeBaseImage24Copy(image, info, &pixels, bottomUp) < 0) {
        KV_FREE(info);
        return -1;
    }
    GraphImage dib = {};
    SetRGB24Format(&dib.colorFormat);
    dib.width = image->width;
    dib.height = image->height;
    dib.pitch = (image->width * 3 + 3) / 4 * 4;
    dib.pixels = static_cast<std::uint8_t*>(pixels);
    ReleaseBaseImage(image);
    *image = dib;
    if (outDib != nullptr) {
        *outDib = info;
    } else {
        KV_FREE(info);
    }
    return 0;
}

}  // namespace

int AddUserImageLoader(ImageLoaderFunction loader) {
    if (loader == nullptr || g_UserImageLoaderCount >= kMaxUserImageLoaders) return -1;
    g_UserImageLoaders[g_UserImageLoaderCount++] = loader;
    return 0;
}

int ClearUserImageLoaders() {
    g_UserImageLoaderCount = 0;
    return 0;
}

int DecodeImageStream(StreamData* stream, GraphImage* image) {
    if (stream == nullptr || image == nullptr) return -1;
    for (int i = 0; i < g_UserImageLoaderCount; ++i)
        if (TryLoader(g_UserImageLoaders[i], stream, image)) return 0;
    for (const ImageLoaderFunction* loader = ImageLoaderTable; *loader != nullptr; ++loader)
        if (TryLoader(*loader, stream, image)) return 0;
    return -1;
}

int LoadImageToBaseImage(const char* fileName, const void* memImage, std::size_t memSize, int fromMemory,
                         int dibFlag, int repack, GraphImage* image, BITMAPINFO** outDib, int dibBottomUp) {
    if (image == nullptr) return -1;
    StreamData stream;
    if (fromMemory) {
        if (memImage == nullptr) return -1;
        MemoryStream* memory = OpenMemoryStream(memImage, memSize);
        if (memory == nullptr) return -1;
        stream = {*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    } else {
        if (fileName == nullptr) return -1;
        const FileHandle file = FileOpen(fileName, 0, 1);
        if (file == 0) return -1;
        stream = {*GetFileStreamFunctions(), static_cast<StreamHandle>(file)};
    }
    GraphImage decoded = {};
    const int result = DecodeImageStream(&stream, &decoded);
    // Closed on every path, memory streams too: the record is ours.
    stream.functions.close(stream.dataHandle);
    if (result != 0) return -1;

    if (repack == 1 && RepackImage(&decoded) != 0) {
        ReleaseBaseImage(&decoded);
        return -1;
    }
    if (dibFlag && TurnIntoDib(&decoded, outDib, dibBottomUp) != 0) {
        ReleaseBaseImage(&decoded);
        return -1;
    }
    *image = decoded;
    return 0;
}

bool MakeAlphaFileName(const char* fileName, char* out, std::size_t size) {
    if (fileName == nullptr || out == nullptr) return false;
    const std::size_t length = std::strlen(fileName);
    // The dot is looked for in the file's own name only, so "a.dir\boss"
    // does not become "a_a.dir\boss".
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (fileName[i] == '\\' || fileName[i] == '/') nameStart = i + 1;
    std::size_t dot = length;
    for (std::size_t i = length; i > nameStart; --i)
        if (fileName[i - 1] == '.') {
            dot = i - 1;
            break;
        }
    if (length + 3 > size) return false;
    std::memcpy(out, fileName, dot);
    std::memcpy(out + dot, "_a", 2);
    std::memcpy(out + dot + 2, fileName + dot, length - dot + 1);
    return true;
}

int LoadImageWithAlphaFile(const char* fileName, const void* memImage, std::size_t memSize, int fromMemory,
                           const void* alphaMemImage, std::size_t alphaMemSize, int alphaSource, GraphImage* image,
                           GraphImage* alphaImage, int repack) {
    if (LoadImageToBaseImage(fileName, memImage, memSize, fromMemory, 0, repack, image, nullptr, 0) != 0) return -1;
    if (alphaImage == nullptr) return 1;
    std::memset(alphaImage, 0, sizeof *alphaImage);
    int loaded = -1;
    if (alphaSource == kAlphaSourceFile) {
        char alphaName[1024];
        if (MakeAlphaFileName(fileName, alphaName, sizeof alphaName))
            loaded = LoadImageToBaseImage(alphaName, nullptr, 0, 0, 0, repack, alphaImage, nullptr, 0);
    } else if (alphaSource == kAlphaSourceMemory && alphaMemImage != nullptr) {
        loaded = LoadImageToBaseImage(nullptr, alphaMemImage, alphaMemSize, 1, 0, repack, alphaImage, nullptr, 0);
    }
    return loaded == 0 ? 0 : 1;
}
