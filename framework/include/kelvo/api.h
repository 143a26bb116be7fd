// The framework's public operations as the game calls them. Each takes the
// framework lock around its work; results are 0 for success and -1 for
// failure, or the new handle.
#pragma once

#include <cstdint>

using ColorCode = std::uint32_t;  // a pixel value in the screen's format
struct ColorFormatDesc;           // the framework's pixel-format descriptor

int ApiInitFramework();
int ApiEndFramework();
int ApiClearScreenLog();
// Non-zero once the window was closed or the framework is quitting.
int ApiProcessMessage();
int ApiSetLogEnabled(int flag);
int ApiSetAllowDoubleStart(int flag);
// Milliseconds of the system clock; the argument is ignored.
int ApiGetMilliseconds(int ignored);
int ApiIsKeyDown(int keyCode);
// The game passes 0x1001: the keyboard merged with pad 1.
int ApiGetPadState(int inputType);
int ApiSetVBlankWait(int flag);
// The screen's pixel-format block (used by movies); null before start-up.
const void* ApiGetScreenPixelFormatBlock();
ColorCode ApiMakeColorCode(int r, int g, int b);
// A pixel-format descriptor from the depth and the four channel masks (0
// for a missing channel). Takes no lock. 0, or -1 for a null descriptor.
int ApiBuildColorFormat(ColorFormatDesc* desc, int depth, std::uint32_t redMask, std::uint32_t greenMask,
                        std::uint32_t blueMask, std::uint32_t alphaMask);
// The 32-byte DirectDraw pixel-format block at `block`: size 32, the RGB
// flag (also with an alpha mask), the bit count and the four masks. Takes no
// lock. 0, or -1 for a null block.
int ApiBuildDDPixelFormat(void* block, int bitCount, std::uint32_t redMask, std::uint32_t greenMask,
                          std::uint32_t blueMask, std::uint32_t alphaMask);
int ApiPresentScreen();
int ApiReleaseGraph(int graphHandle, int flag);
int ApiReleaseAllGraphs(int flag);
int ApiLoadImageToGraph(const char* fileName, int flag);
int ApiLoadImageToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth,
                            int pieceHeight, int* handles, int flag);
int ApiClearDrawTarget();
int ApiBlitGraph(int x, int y, int graphHandle, int transparent);
int ApiStretchBlitGraph(int x1, int y1, int x2, int y2, int graphHandle, int transparent);
int ApiRotateBlitGraph(int x, int y, double scale, double angle, int graphHandle, int transparent, int turn);
int ApiMirrorBlitGraph(int x, int y, int graphHandle, int transparent);
int ApiPaintBox(int x1, int y1, int x2, int y2, ColorCode color, int filled);
// Formats into a 1024-byte buffer before taking the lock; longer texts are cut.
int ApiDrawTextFormatted(int x, int y, ColorCode color, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int ApiSetBlendModeParam(int blendMode, int parameter);
int ApiSetBrightColor(int r, int g, int b);
// A graphic handle, -2 for the back screen, -4 for the front screen.
int ApiSelectDrawTarget(int target);
int ApiSetDefaultFontSize(int size);
int ApiSetDefaultFontThickness(int thickness);
int ApiSetDefaultFontFace(const char* faceName, int charSet);
int ApiDeleteAllSounds(int flag);
// The game passes buffer count 3 and kind -1; the new sound handle or -1.
int ApiLoadSoundFile(const char* fileName, int bufferCount, int kind);
// Play type 3 loops.
int ApiPlaySoundHandle(int soundHandle, int playType, int fromStart);
int ApiStopSoundHandle(int soundHandle);
int ApiIsSoundPlaying(int soundHandle);

// Draw targets and blend modes the game uses by name.
constexpr int kDrawTargetBack = -2;
constexpr int kDrawTargetFront = -4;
constexpr int kBlendNone = 0;
constexpr int kBlendAlpha = 1;
constexpr int kBlendAdd = 2;
constexpr int kBlendSubtract = 3;
constexpr int kBlendMultiply = 4;
