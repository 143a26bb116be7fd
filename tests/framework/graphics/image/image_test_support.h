// Shared by the image loader tests: little-endian byte building, decoding a
// byte string through one loader or the whole table, and a fixture that
// checks no tracked block is left behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/memory.h"
#include "files/stream_functions.h"
#include "files/stream_memory.h"
#include "graphics/image/base_image.h"
#include "graphics/image/image_loader.h"

struct Bytes {
    std::vector<std::uint8_t> data;
    Bytes& U8(unsigned v) {
        data.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Bytes& U16(unsigned v) { return U8(v).U8(v >> 8); }
    Bytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& Text(const std::string& s) {
        for (char c : s) U8(static_cast<unsigned char>(c));
        return *this;
    }
    Bytes& Fill(std::size_t n, unsigned v) {
        data.insert(data.end(), n, static_cast<std::uint8_t>(v));
        return *this;
    }
    Bytes& Append(const std::vector<std::uint8_t>& more) {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    std::string str() const { return std::string(data.begin(), data.end()); }
};

// A BMP file: headers, palette (B, G, R, 0 each), optional masks, then the
// pixel bytes as given.
inline std::vector<std::uint8_t> MakeBmp(int width, int height, int depth, int compression,
                                  const std::vector<std::uint32_t>& palette, const std::vector<std::uint8_t>& pixels,
                                  const std::vector<std::uint32_t>& masks = {}, std::uint32_t infoSize = 40) {
    const std::uint32_t offset =
        14 + infoSize + static_cast<std::uint32_t>(palette.size() * 4) + static_cast<std::uint32_t>(masks.size() * 4);
    Bytes b;
    b.Text("BM").U32(offset + static_cast<std::uint32_t>(pixels.size())).U32(0).U32(offset);
    b.U32(infoSize).U32(static_cast<std::uint32_t>(width)).U32(static_cast<std::uint32_t>(height)).U16(1);
    b.U16(depth).U32(compression).U32(static_cast<std::uint32_t>(pixels.size())).U32(0).U32(0);
    b.U32(static_cast<std::uint32_t>(palette.size())).U32(0);
    for (std::uint32_t m : masks) b.U32(m);
    b.Fill(infoSize - 40, 0);
    for (std::uint32_t p : palette) b.U32(p);
    return b.Append(pixels).data;
}

// One loader over a memory stream of the bytes.
inline int RunLoader(ImageLoaderFunction loader, const std::vector<std::uint8_t>& bytes, GraphImage* image) {
    MemoryStream* memory = OpenMemoryStream(bytes.data(), bytes.size());
    StreamData stream = {*GetMemoryStreamFunctions(), reinterpret_cast<StreamHandle>(memory)};
    const int result = loader(&stream, image);
    CloseMemoryStream(memory);
    return result;
}

// The whole table, as a graphic loaded from memory goes.
inline int DecodeBytes(const std::vector<std::uint8_t>& bytes, GraphImage* image) {
    return LoadImageToBaseImage(nullptr, bytes.data(), bytes.size(), 1, 0, 0, image, nullptr, 0);
}

// How many times `needle` occurs in `text` (a log, say).
inline std::size_t CountOf(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
    return count;
}

inline const std::uint8_t* PixelAt(const GraphImage& image, std::uint32_t x, std::uint32_t y) {
    return image.pixels + static_cast<std::size_t>(y) * image.pitch + x * image.colorFormat.bytesPerPixel;
}

class ImageLoaderFixture : public testing::Test {
protected:
    void SetUp() override { blocks_ = g_MemoryTracker.count; }
    void TearDown() override {
        ReleaseBaseImage(&image_);
        SetTrackedAllocFailures(0);
        EXPECT_EQ(g_MemoryTracker.count, blocks_) << "a tracked block was left behind";
    }
    GraphImage image_ = {};
    int blocks_ = 0;
};
