// JPEG through libjpeg: a source manager that reads from a StreamData, an
// error exit that jumps back to the loader, and grey or RGB output turned
// into 8-bit grey or B, G, R rows.
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/image/color_format.h"
#include "graphics/image/image_loader.h"
#include "graphics/image/image_loader_io.h"

namespace {

constexpr std::size_t kJpegBufferSize = 4096;
constexpr std::uint8_t kStartOfImage = 0xD8;

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    const char* refusal;             // why the loader itself stopped the decode, or null
    int lastWarning;                 // the code of the last warning, 0 for none
    char warningText[JMSG_LENGTH_MAX];
};

struct JpegSource {
    jpeg_source_mgr base;
    StreamData* stream;
    std::int64_t end;  // the stream's length, taken when the source is bound
    JOCTET* buffer;
    boolean startOfFile;
};

// End-of-image marker handed to the library when the data runs out.
const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

}  // namespace

// Every error of the library comes here. Nothing is printed: most files
// that reach this loader are simply not JPEGs (the loader before the PNG
// loader), and one that is damaged is logged by the loader itself.
void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    std::longjmp(errors->jump, 1);
}

namespace {

// The most pixels a header may claim for each byte of the file. Huffman
// coding spends at least one bit on every 8 x 8 block of a component's
// first scan, which gives at most 512 pixels a byte even to a flat picture;
// a header claiming more than twice that describes data the file cannot
// hold, and decoding it would only fill a picture of that size with the
// colour of its last block. Small pictures are never refused for it.
constexpr std::uint64_t kMaxPixelsPerByte = 1024;
constexpr std::uint64_t kAlwaysAllowedPixels = 1u << 20;

// A progressive file passes over every block once per scan; real files
// have a dozen scans, a crafted one could repeat a tiny scan for ever.
constexpr int kMaxScans = 1000;

void JpegCountScans(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= kMaxScans) return;
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    errors->refusal = "スキャンの数が多すぎます";
    std::longjmp(errors->jump, 1);
}

bool ClaimFitsFile(std::uint64_t width, std::uint64_t height, std::int64_t fileBytes) {
    const std::uint64_t pixels = width * height;
    return pixels <= kAlwaysAllowedPixels ||
           (fileBytes > 0 && pixels / kMaxPixelsPerByte <= static_cast<std::uint64_t>(fileBytes));
}

// Warnings are kept, not printed: the last one goes to the log once the
// picture is read.
void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0) {
        ++info->err->num_warnings;
        auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
        errors->lastWarning = info->err->msg_code;
        info->err->format_message(info, errors->warningText);
    }
}

}  // namespace

void JpegInitSource(j_decompress_ptr info) {
    reinterpret_cast<JpegSource*>(info->src)->startOfFile = TRUE;
}

boolean JpegFillInputBuffer(j_decompress_ptr info) {
    auto* source = reinterpret_cast<JpegSource*>(info->src);
    const std::int64_t here = StreamPosition(source->stream);
    std::int64_t count = here < 0 ? 0 : std::min<std::int64_t>(kJpegBufferSize, source->end - here);
    if (count > 0)
        count = source->stream->functions.read(source->buffer, 1, static_cast<std::size_t>(count),
                                               source->stream->dataHandle);
    if (count <= 0) {
        if (source->startOfFile) ERREXIT(info, JERR_INPUT_EMPTY);
        WARNMS(info, JWRN_JPEG_EOF);
        std::memcpy(source->buffer, kFakeEoi, sizeof kFakeEoi);
        count = sizeof kFakeEoi;
    }
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = static_cast<std::size_t>(count);
    source->startOfFile = FALSE;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        JpegFillInputBuffer(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void JpegTermSource(j_decompress_ptr) {}

void JpegStreamSource(j_decompress_ptr info, StreamData* stream) {
    if (info->src == nullptr) {
        auto* source = static_cast<JpegSource*>(
            info->mem->alloc_small(reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(JpegSource)));
        source->buffer = static_cast<JOCTET*>(
            info->mem->alloc_small(reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, kJpegBufferSize));
        info->src = &source->base;
    }
    auto* source = reinterpret_cast<JpegSource*>(info->src);
    source->base.init_source = JpegInitSource;
    source->base.fill_input_buffer = JpegFillInputBuffer;
    source->base.skip_input_data = JpegSkipInputData;
    source->base.resync_to_restart = jpeg_resync_to_restart;
    source->base.term_source = JpegTermSource;
    source->base.bytes_in_buffer = 0;
    source->base.next_input_byte = nullptr;
    source->stream = stream;
    source->end = StreamLength(stream);
}

int LoadJpegImage(StreamData* stream, GraphImage* image) {
    // Anything that does not start with the start-of-image marker is another
    // loader's: refused quietly, without starting the library.
    std::uint8_t marker[2];
    if (!StreamReadExact(stream, marker, 2) || marker[0] != 0xFF || marker[1] != kStartOfImage || !StreamSeekTo(stream, 0))
        return -1;

    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    JpegErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.refusal = nullptr;
    errors.lastWarning = 0;
    errors.warningText[0] = '\0';
    errors.base.error_exit = JpegErrorExit;
    errors.base.output_message = [](j_common_ptr) {};
    errors.base.emit_message = JpegEmitMessage;
    // Written after the jump point and read after a jump back: volatile.
    std::uint8_t* volatile pixels = nullptr;
    if (setjmp(errors.jump)) {
        char message[JMSG_LENGTH_MAX];
        errors.base.format_message(reinterpret_cast<j_common_ptr>(&info), message);
        WriteLogFormat("ＪＰＥＧファイルの読み込みに失敗しました(%s)", errors.refusal != nullptr ? errors.refusal : message);
        KV_FREE(pixels);
        jpeg_destroy_decompress(&info);
        return -1;
    }
    jpeg_create_decompress(&info);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = JpegCountScans;
    info.progress = &progress;
    JpegStreamSource(&info, stream);
    jpeg_read_header(&info, TRUE);
    // Only grey and RGB output; CMYK and YCCK have no format here.
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) ERREXIT(&info, JERR_CONVERSION_NOTIMPL);
    // Refused before the library sets up its own buffers for the size: a
    // picture past the caps, or one the file is far too small to hold.
    if (CheckedImageBytes(info.image_width, info.image_height, static_cast<std::uint64_t>(info.image_width) * 3) == 0)
        ERREXIT(&info, JERR_WIDTH_OVERFLOW);
    if (!ClaimFitsFile(info.image_width, info.image_height, StreamLength(stream))) {
        WriteLogFormat("ＪＰＥＧファイルの読み込みに失敗しました(%u x %u の画像はファイルの %lld byte に収まりません)",
                       static_cast<unsigned>(info.image_width), static_cast<unsigned>(info.image_height),
                       static_cast<long long>(StreamLength(stream)));
        jpeg_destroy_decompress(&info);
        return -1;
    }
    jpeg_start_decompress(&info);
    const int components = info.output_components;
    if (components != 1 && components != 3) ERREXIT(&info, JERR_CONVERSION_NOTIMPL);
    const std::uint32_t width = info.output_width, height = info.output_height;
    const std::uint32_t pitch = width * static_cast<std::uint32_t>(components);
    const std::size_t bytes = CheckedImageBytes(width, height, pitch);
    if (bytes == 0) ERREXIT(&info, JERR_WIDTH_OVERFLOW);
    JSAMPARRAY line = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, pitch, 1);
    pixels = AllocImageBuffer(bytes, false);
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&info);
        return -1;
    }
    while (info.output_scanline < height) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(info.output_scanline) * pitch;
        if (jpeg_read_scanlines(&info, line, 1) != 1) ERREXIT(&info, JERR_BAD_IN_COLORSPACE);
        if (components == 1) {
            std::memcpy(row, line[0], pitch);
        } else {
            for (std::uint32_t x = 0; x < width; ++x) {
                row[x * 3] = line[0][x * 3 + 2];
                row[x * 3 + 1] = line[0][x * 3 + 1];
                row[x * 3 + 2] = line[0][x * 3];
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    // A file cut short (the end marker supplied) or with damaged data still
    // gives its picture; the log says what was wrong with it.
    if (errors.lastWarning != 0) WriteLogFormat("ＪＰＥＧファイルのデータに異常がありました(%s)", errors.warningText);
    GraphImage result = {};
    if (components == 1) {
        SetGray8Format(&result.colorFormat);
    } else {
        SetRGB24Format(&result.colorFormat);
    }
    SetImagePixels(&result, width, height, pitch, pixels);
    *image = result;
    return 0;
}
