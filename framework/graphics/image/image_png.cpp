// PNG through libpng: the glue that feeds it from a StreamData, the
// transforms that bring every layout to 8 bits per channel in B, G, R(, A)
// order or 8-bit indexes, and the format each result gets.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/image_loader.h"
#include "graphics/image/image_loader_io.h"

namespace {

constexpr std::size_t kPngSignatureSize = 8;

struct PngSource {
    StreamData* stream;
    std::int64_t remaining;  // bytes left before the stream's end
};

// libpng's own handlers print to stderr; a damaged file is logged once here
// instead, and the jump back to the loader is libpng's.
void PngErrorHandler(png_structp png, png_const_charp message) {
    WriteLogFormat("ＰＮＧファイルの読み込みに失敗しました(%s)", message);
    png_longjmp(png, 1);
}
void PngWarningHandler(png_structp, png_const_charp) {}

}  // namespace

void PngReadCallback(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (static_cast<std::int64_t>(length) > source->remaining || !StreamReadExact(source->stream, data, length))
        png_error(png, "Read Error");
    source->remaining -= static_cast<std::int64_t>(length);
}

void PngBindStream(png_structp png, PngSource* source, StreamData* stream) {
    source->stream = stream;
    const std::int64_t here = StreamPosition(stream);
    const std::int64_t end = StreamLength(stream);
    source->remaining = here < 0 || end < here ? 0 : end - here;
    png_set_read_fn(png, source, PngReadCallback);
}

int LoadPngImage(StreamData* stream, GraphImage* image) {
    // Anything without the signature is another loader's: refused quietly.
    png_byte signature[kPngSignatureSize];
    if (!StreamReadExact(stream, signature, sizeof signature) || png_sig_cmp(signature, 0, sizeof signature) != 0 ||
        !StreamSeekTo(stream, 0))
        return -1;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorHandler, PngWarningHandler);
    if (png == nullptr) return -1;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    // Written between the jump point and a possible jump back: volatile.
    std::uint8_t* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        if (rows != nullptr) png_free(png, rows);
        KV_FREE(pixels);
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    PngSource source;
    PngBindStream(png, &source, stream);

    png_read_info(png, info);
    png_uint_32 width, height;
    int bitDepth, colorType;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
    if ((grey && bitDepth <= 8) || png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_expand(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_size_t rowBytes = png_get_rowbytes(png, info);
    const std::size_t bytes = CheckedImageBytes(width, height, rowBytes);
    if (bytes == 0) png_error(png, "image too large");

    pixels = AllocImageBuffer(bytes, false);
    if (pixels == nullptr) png_error(png, "out of memory");
    rows = static_cast<png_bytep*>(png_malloc(png, sizeof(png_bytep) * height));
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + static_cast<std::size_t>(y) * rowBytes;
    png_read_image(png, rows);
    png_free(png, rows);
    rows = nullptr;
    png_read_end(png, nullptr);

    GraphImage result = {};
    const int outType = png_get_color_type(png, info);
    const int channels = png_get_channels(png, info);
    if (outType == PNG_COLOR_TYPE_PALETTE) {
        SetPalette8Format(&result.colorFormat);
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) != 0) {
            // Only the entries the file has; the rest stay black.
            for (int i = 0; i < count && i < 256; ++i)
                result.colorFormat.palette[i] =
                    (static_cast<std::uint32_t>(palette[i].red) << 16) | (palette[i].green << 8) | palette[i].blue;
        }
    } else if (channels == 2) {
        // Grey with alpha: grey in the low byte, the alpha byte unused.
        BuildColorFormat(&result.colorFormat, 16, 0xFF, 0xFF, 0xFF, 0);
    } else if (channels == 1) {
        SetGray8Format(&result.colorFormat);
    } else if (channels == 4) {
        BuildColorFormat(&result.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    } else {
        SetRGB24Format(&result.colorFormat);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    SetImagePixels(&result, width, height, static_cast<std::uint32_t>(rowBytes), pixels);
    *image = result;
    return 0;
}
