// Image file loaders: BMP, JPEG, PNG, the framework's raw "BGRA" format, TGA
// and DDS decoded into a GraphImage, from a file of the file layer or from an
// image held in memory, and the companion "_a" alpha image.
#pragma once

#include <cstddef>

#include "files/stream_functions.h"
#include "graphics/image/graph_image.h"
#include "platform/gdi.h"

// Each loader reads only through the stream and returns 0 when it decoded
// the image (the image then owns a tracked pixel buffer, rows top first), or
// -1 when the data is not its format or cannot be decoded (nothing is left
// allocated and the image is untouched).
using ImageLoaderFunction = int (*)(StreamData* stream, GraphImage* image);

int LoadBmpImage(StreamData* stream, GraphImage* image);
int LoadJpegImage(StreamData* stream, GraphImage* image);
int LoadPngImage(StreamData* stream, GraphImage* image);
int LoadBgraImage(StreamData* stream, GraphImage* image);
int LoadTgaImage(StreamData* stream, GraphImage* image);
int LoadDdsImage(StreamData* stream, GraphImage* image);

// The built-in loaders in the order they are tried, null-terminated.
extern const ImageLoaderFunction ImageLoaderTable[];

// Loaders registered at run time are tried before the table; up to this many.
constexpr int kMaxUserImageLoaders = 10;
// 0, or -1 when the list is full or the loader is null.
int AddUserImageLoader(ImageLoaderFunction loader);
// Empties the run-time list. 0.
int ClearUserImageLoaders();

// Seeks to the start before each try; 0 for the first loader that succeeds,
// -1 when none does.
int DecodeImageStream(StreamData* stream, GraphImage* image);

// Decodes a file (fromMemory 0: opened through the file layer) or an image
// in memory (fromMemory 1). Repack 1 copies the pixels into a fresh buffer
// through the converting blit. With the DIB flag the image is handed over
// as a 24-bit DIB instead: *outDib receives a tracked BITMAPINFO block, the
// image receives the DIB's pixels (standard 24-bit format, the DIB's pitch),
// bottom row first when dibBottomUp is set. 0 or -1.
int LoadImageToBaseImage(const char* fileName, const void* memImage, std::size_t memSize, int fromMemory,
                         int dibFlag, int repack, GraphImage* image, BITMAPINFO** outDib, int dibBottomUp);

// Alpha source values for LoadImageWithAlphaFile.
constexpr int kAlphaSourceFile = 0;    // the "_a" file beside the image
constexpr int kAlphaSourceMemory = 1;  // the alpha memory image
// -1 when the image failed, 0 when the image and its alpha image loaded, 1
// when only the image loaded (a missing alpha image is no error).
int LoadImageWithAlphaFile(const char* fileName, const void* memImage, std::size_t memSize, int fromMemory,
                           const void* alphaMemImage, std::size_t alphaMemSize, int alphaSource, GraphImage* image,
                           GraphImage* alphaImage, int repack);

// "dir\boss.bmp" -> "dir\boss_a.bmp"; a file name without a dot gets "_a"
// appended. Only the part after the last '\' or '/' is searched for the dot.
// false when the result does not fit in `size` bytes.
bool MakeAlphaFileName(const char* fileName, char* out, std::size_t size);
