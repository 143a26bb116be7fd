// The public entries of the framework's graphics: each takes the framework
// lock around its operation and returns the operation's result unchanged.
#include <cstdarg>
#include <cstring>

#include "api/draw_observer.h"
#include "core/framework_lock.h"
#include "core/utility.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/draw_state.h"
#include "graphics/image/color_format.h"
#include "graphics/text/font.h"
#include "graphics/text/key_input_draw.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "kelvo/api.h"

namespace {

constexpr std::size_t kDrawTextBufferSize = 1024;

ApiDrawObserver g_drawObserver;

// The call is made only when someone watches: unwatched, an entry pays one
// test.
template <typename MakeCall>
void Tell(MakeCall make) {
    if (g_drawObserver) g_drawObserver(make());
}

}  // namespace

void SetApiDrawObserver(ApiDrawObserver observer) {
    FrameworkLockScope lock;
    g_drawObserver = std::move(observer);
}

int ApiSetVBlankWait(int flag) {
    FrameworkLockScope lock;
    return SetVBlankWait(flag);
}

const void* ApiGetScreenPixelFormatBlock() {
    FrameworkLockScope lock;
    return GetScreenPixelFormatBlock();
}

ColorCode ApiMakeColorCode(int r, int g, int b) {
    FrameworkLockScope lock;
    return MakeColorCode(r, g, b);
}

// The two builders touch nothing but what they are given, so they go
// straight to their work without the framework lock.
int ApiBuildColorFormat(ColorFormatDesc* desc, int depth, std::uint32_t redMask, std::uint32_t greenMask,
                        std::uint32_t blueMask, std::uint32_t alphaMask) {
    return BuildColorFormat(desc, depth, redMask, greenMask, blueMask, alphaMask);
}

int ApiBuildDDPixelFormat(void* block, int bitCount, std::uint32_t redMask, std::uint32_t greenMask,
                          std::uint32_t blueMask, std::uint32_t alphaMask) {
    if (block == nullptr) return -1;
    // Built aside and copied, so the caller's 32 bytes need no alignment.
    D_DDPIXELFORMAT format;
    BuildDDPixelFormat(&format, bitCount, redMask, greenMask, blueMask, alphaMask);
    static_assert(sizeof format == 32);
    std::memcpy(block, &format, sizeof format);
    return 0;
}

int ApiPresentScreen() {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{.kind = ApiDrawKind::kPresent}; });
    return PresentScreen();
}

int ApiReleaseGraph(int graphHandle, int flag) {
    FrameworkLockScope lock;
    return ReleaseGraph(graphHandle, flag);
}

int ApiReleaseAllGraphs(int flag) {
    FrameworkLockScope lock;
    return ReleaseAllGraphs(flag);
}

int ApiLoadImageToGraph(const char* fileName, int flag) {
    FrameworkLockScope lock;
    return LoadImageToGraph(fileName, flag);
}

int ApiLoadImageToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth,
                            int pieceHeight, int* handles, int flag) {
    FrameworkLockScope lock;
    return LoadImageToDivGraphs(fileName, total, columns, rows, pieceWidth, pieceHeight, handles, flag);
}

int ApiClearDrawTarget() {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{.kind = ApiDrawKind::kClear}; });
    return ClearDrawTarget();
}

int ApiBlitGraph(int x, int y, int graphHandle, int transparent) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{
        .kind = ApiDrawKind::kBlit, .x1 = x, .y1 = y, .graph = graphHandle, .flag = transparent}; });
    return BlitGraph(x, y, graphHandle, transparent);
}

int ApiStretchBlitGraph(int x1, int y1, int x2, int y2, int graphHandle, int transparent) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{
        .kind = ApiDrawKind::kStretchBlit, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2, .graph = graphHandle,
        .flag = transparent}; });
    return StretchBlitGraph(x1, y1, x2, y2, graphHandle, transparent);
}

int ApiRotateBlitGraph(int x, int y, double scale, double angle, int graphHandle, int transparent, int turn) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{
        .kind = ApiDrawKind::kRotateBlit, .x1 = x, .y1 = y, .graph = graphHandle, .flag = transparent, .turn = turn,
        .scale = scale, .angle = angle}; });
    return RotateBlitGraph(x, y, scale, angle, graphHandle, transparent, turn);
}

int ApiMirrorBlitGraph(int x, int y, int graphHandle, int transparent) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{
        .kind = ApiDrawKind::kMirrorBlit, .x1 = x, .y1 = y, .graph = graphHandle, .flag = transparent}; });
    return MirrorBlitGraph(x, y, graphHandle, transparent);
}

int ApiPaintBox(int x1, int y1, int x2, int y2, ColorCode color, int filled) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{
        .kind = ApiDrawKind::kPaintBox, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2, .flag = filled, .color = color}; });
    return PaintBox(x1, y1, x2, y2, color, filled);
}

// The text is formatted before the lock is taken, into a buffer of its own;
// a text too long for it is cut rather than overrunning it.
int ApiDrawTextFormatted(int x, int y, ColorCode color, const char* format, ...) {
    char text[kDrawTextBufferSize];
    va_list args;
    va_start(args, format);
    FormatStringV(text, sizeof text, format, args);
    va_end(args);
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{.kind = ApiDrawKind::kText, .x1 = x, .y1 = y, .color = color, .text = text}; });
    return DrawTextDefaultFont(x, y, text, color, 0);
}

int ApiSetBlendModeParam(int blendMode, int parameter) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{.kind = ApiDrawKind::kBlendMode, .flag = blendMode, .value = parameter}; });
    return SetBlendModeParam(blendMode, parameter);
}

int ApiSetBrightColor(int r, int g, int b) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{.kind = ApiDrawKind::kBrightColor, .x1 = r, .y1 = g, .x2 = b}; });
    return SetBrightColor(r, g, b);
}

int ApiSelectDrawTarget(int target) {
    FrameworkLockScope lock;
    Tell([&] { return ApiDrawCall{.kind = ApiDrawKind::kDrawTarget, .flag = target}; });
    return SelectDrawTarget(target);
}

int ApiSetDefaultFontSize(int size) {
    FrameworkLockScope lock;
    return SetDefaultFontSize(size);
}

int ApiSetDefaultFontThickness(int thickness) {
    FrameworkLockScope lock;
    return SetDefaultFontThickness(thickness);
}

int ApiSetDefaultFontFace(const char* faceName, int charSet) {
    FrameworkLockScope lock;
    return SetDefaultFontFace(faceName, charSet);
}

int ApiDrawKeyInputString(int x, int y, int keyInputHandle) {
    FrameworkLockScope lock;
    return DrawKeyInputString(x, y, keyInputHandle);
}
