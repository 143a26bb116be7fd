// libFuzzer target: any bytes as an image file. Each loader of the table
// is run on them, then the whole decode entry. Whatever the bytes, a loader
// either refuses them or delivers an image whose every row lies inside its
// buffer; no tracked block is left behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/log.h"
#include "core/memory.h"
#include "files/stream_memory.h"
#include "graphics/image/base_image.h"
#include "graphics/image/image_loader.h"

namespace {

// Touches the first and last byte of every row, so a buffer shorter than
// pitch x height shows up under AddressSanitizer.
void CheckImage(const GraphImage& image) {
    if (image.pixels == nullptr || image.width == 0 || image.height == 0) std::abort();
    const std::uint32_t rowBytes = image.width * image.colorFormat.bytesPerPixel;
    if (image.colorFormat.bytesPerPixel == 0 || rowBytes > image.pitch) std::abort();
    volatile std::uint8_t sink = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.pixels + static_cast<std::size_t>(y) * image.pitch;
        sink = sink + row[0] + row[rowBytes - 1];
    }
    ReadBaseImagePixel(&image, static_cast<int>(image.width) - 1, static_cast<int>(image.height) - 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetLogEnabled(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int blocks = g_MemoryTracker.count;
    for (const ImageLoaderFunction* loader = ImageLoaderTable; *loader != nullptr; ++loader) {
        MemoryStream* memory = OpenMemoryStream(data, size);
        if (memory == nullptr) std::abort();
        StreamData stream = {*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
        GraphImage image = {};
        if ((*loader)(&stream, &image) == 0) {
            CheckImage(image);
            ReleaseBaseImage(&image);
        } else if (image.pixels != nullptr) {
            std::abort();  // a refusal leaves the image untouched
        }
        CloseMemoryStream(memory);
    }
    GraphImage image = {};
    if (LoadImageToBaseImage(nullptr, data, size, 1, 0, 0, &image, nullptr, 0) == 0) {
        CheckImage(image);
        ReleaseBaseImage(&image);
    }
    if (g_MemoryTracker.count != blocks) std::abort();
    return 0;
}
