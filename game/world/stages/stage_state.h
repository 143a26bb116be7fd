// The current stage: camera, scroll divisors and the images of its layers.
// The stage number and the arrival words live in the PlayerRecord, which is
// saved; LoadStage writes the one and reads the others.
#pragma once

#include <cstdint>

#include "engine/playfield.h"

constexpr int kStagePanelCount = 20;       // 640-pixel panels side by side
constexpr int kStageFarLayerCount = 2;     // far-layer images tiled alternately
constexpr int kStageCount = 61;            // stages 1 to 61
constexpr std::int32_t kLayerNotDrawn = 42;  // a divisor of 42 switches its layer off
constexpr std::int32_t kCameraLeftBound = 1952;  // every stage's left bound
constexpr std::int32_t kStageFadeFrames = 127;

struct StageState {
    std::int32_t cameraLeftBound;
    std::int32_t cameraRightBound;
    float cameraX;  // world x of the view's left edge
    // The layers scroll at camera x divided by these.
    std::int32_t farLayerDivisor;
    std::int32_t middleLayerDivisor;
    std::int32_t panelDivisor;
    std::int32_t fadeCounter;  // frames of fade-in still to draw
    // Graphic handles. Panel i covers world x 640*i to 640*i + 639. -1 (or 0
    // at program start) holds no image.
    int panelImages[kStagePanelCount];
    int farLayerImages[kStageFarLayerCount];
    int middleLayerImage;  // never loaded by any stage: the middle layer draws nothing
};

extern StageState g_StageState;
