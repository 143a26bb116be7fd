#include "graphics/image/image_loader_io.h"

#include "core/memory.h"
#include "files/file_functions.h"

bool StreamReadExact(StreamData* stream, void* buffer, std::size_t size) {
    if (size == 0) return true;
    // Read as bytes so a short tail is counted exactly.
    return stream->functions.read(buffer, 1, size, stream->dataHandle) == static_cast<std::int64_t>(size);
}

bool StreamSeekTo(StreamData* stream, std::int64_t offset) {
    return offset >= 0 && stream->functions.seek(stream->dataHandle, offset, kSeekOriginStart) == 0 &&
           stream->functions.tell(stream->dataHandle) == offset;
}

std::int64_t StreamPosition(StreamData* stream) { return stream->functions.tell(stream->dataHandle); }

std::int64_t StreamLength(StreamData* stream) {
    const std::int64_t here = StreamPosition(stream);
    if (here < 0 || stream->functions.seek(stream->dataHandle, 0, kSeekOriginEnd) != 0) return -1;
    const std::int64_t end = StreamPosition(stream);
    if (stream->functions.seek(stream->dataHandle, here, kSeekOriginStart) != 0) return -1;
    return end;
}

std::size_t CheckedImageBytes(std::uint64_t width, std::uint64_t height, std::uint64_t pitch) {
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return 0;
    if (pitch == 0 || pitch > kMaxImageBytes) return 0;
    const std::uint64_t bytes = pitch * height;
    if (bytes > kMaxImageBytes) return 0;
    return static_cast<std::size_t>(bytes);
}

std::uint8_t* AllocImageBuffer(std::size_t bytes, bool zeroed) {
    return static_cast<std::uint8_t*>(zeroed ? KV_ALLOC_ZEROED(bytes) : KV_ALLOC(bytes));
}

void SetImagePixels(GraphImage* image, std::uint32_t width, std::uint32_t height, std::uint32_t pitch,
                    std::uint8_t* pixels) {
    image->width = width;
    image->height = height;
    image->pitch = pitch;
    image->pixels = pixels;
}
