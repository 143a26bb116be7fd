// A watcher of the public drawing entries, for the benchmarks that draw a
// frame of the game again through another library: told of each drawing
// call the entries take, with its arguments, before the call is carried
// out. None by default, and then the entries pay one test of a pointer.
#pragma once

#include <functional>

#include "kelvo/api.h"

enum class ApiDrawKind {
    kClear,          // ApiClearDrawTarget
    kBlit,           // ApiBlitGraph(x1, y1, graph, flag = transparent)
    kStretchBlit,    // ApiStretchBlitGraph(x1, y1, x2, y2, graph, flag)
    kRotateBlit,     // ApiRotateBlitGraph(x1, y1, scale, angle, graph, flag, turn)
    kMirrorBlit,     // ApiMirrorBlitGraph(x1, y1, graph, flag)
    kPaintBox,       // ApiPaintBox(x1, y1, x2, y2, color, flag = filled)
    kText,           // ApiDrawTextFormatted(x1, y1, color, text)
    kBlendMode,      // ApiSetBlendModeParam(flag = mode, value = parameter)
    kBrightColor,    // ApiSetBrightColor(x1, y1, x2 = red, green, blue)
    kDrawTarget,     // ApiSelectDrawTarget(flag = target)
    kPresent,        // ApiPresentScreen
};

struct ApiDrawCall {
    ApiDrawKind kind;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int graph = -1;
    int flag = 0;
    int turn = 0;
    int value = 0;
    double scale = 1.0, angle = 0.0;
    ColorCode color = 0;
    const char* text = nullptr;  // the formatted text, for the call's length only
};

using ApiDrawObserver = std::function<void(const ApiDrawCall&)>;
// Null stops the watching.
void SetApiDrawObserver(ApiDrawObserver observer);
