#include "front/loading_screen.h"

#include "engine/frame_pacing.h"
#include "engine/handles.h"
#include "kelvo/api.h"

namespace {

constexpr int kPictureX = 64;
constexpr int kPictureY = 90;
// The progress bar: a black frame box with a red bar inside it.
constexpr int kBarLeft = 300;
constexpr int kBarRight = 500;
constexpr int kBarBoxTop = 400;
constexpr int kBarBoxBottom = 424;
constexpr int kBarTop = 402;
constexpr int kBarBottom = 422;
constexpr int kBarStep = 20;  // the bar grows by this much per step while loading

constexpr const char* kSoundEffectFiles[kSoundEffectCount] = {
    "se\\die.wav", "se\\item.wav", "se\\senntaku.wav", "se\\select.wav", "se\\th.wav",
    "se\\th2.wav", "se\\bomb.wav", "se\\cancel.wav",   "se\\takara.wav",
};
constexpr const char* kMusicFiles[kMusicTableSize] = {
    nullptr, "se\\t1.wav", "se\\t2.wav", "se\\t3.wav", "se\\t4.wav", "se\\t5.wav", "se\\t6.wav", nullptr,
};
// Every sound is held whole as PCM in three buffers.
constexpr int kSoundBuffers = 3;
constexpr int kSoundKindDefault = -1;

void PaintWhite() { ApiPaintBox(0, 0, 640, 480, ApiMakeColorCode(255, 255, 255), 1); }

void DrawPictureAndText() {
    ApiBlitGraph(kPictureX, kPictureY, g_LoadingPicture, 1);
    ApiDrawTextFormatted(100, 400, ApiMakeColorCode(0, 0, 0), "Now Loading...");
}

void DrawBar(int right) {
    ApiPaintBox(kBarLeft, kBarBoxTop, kBarRight, kBarBoxBottom, ApiMakeColorCode(0, 0, 0), 1);
    ApiPaintBox(kBarLeft, kBarTop, right, kBarBottom, ApiMakeColorCode(200, 0, 0), 1);
}

// One screen of the loading run, drawn without blending.
void DrawOpaqueFrame(int barRight) {
    PaintWhite();
    DrawPictureAndText();
    DrawBar(barRight);
}

// A progress frame inside frame 128: drawn and presented at once, without
// pacing or message processing.
void PresentProgress(int barRight) {
    DrawOpaqueFrame(barRight);
    ApiPresentScreen();
}

// The nine effects, then the six music tracks, each track after a step of
// the bar; the bar ends at 480, one step short of full.
void LoadSounds() {
    for (int i = 0; i < kSoundEffectCount; ++i)
        g_SoundEffectHandles[i] = ApiLoadSoundFile(kSoundEffectFiles[i], kSoundBuffers, kSoundKindDefault);
    int barRight = kBarLeft + kBarStep;
    PresentProgress(barRight);
    for (int track = 1; track < kMusicTableSize - 1; ++track) {
        barRight += kBarStep;
        PresentProgress(barRight);
        g_MusicTable[track] = ApiLoadSoundFile(kMusicFiles[track], kSoundBuffers, kSoundKindDefault);
    }
    for (int i = 0; i < 2; ++i) {
        barRight += kBarStep;
        PresentProgress(barRight);
    }
}

}  // namespace

void ShowLoadingScreen() {
    ApiSetDefaultFontSize(24);
    for (int n = 0;;) {
        if (ApiProcessMessage() != 0) return;
        ApiClearDrawTarget();
        WaitForNextFrame();
        ++n;

        PaintWhite();
        // Fade in up to frame 127, opaque at 128, then fade out; the
        // framework clamps the negative parameters of the late frames to 0.
        if (n < kLoadingFrame)
            ApiSetBlendModeParam(kBlendAlpha, 2 * n);
        else if (n > kLoadingFrame)
            ApiSetBlendModeParam(kBlendAlpha, 383 - 2 * n);
        else
            ApiSetBlendModeParam(kBlendNone, 0);
        DrawPictureAndText();
        if (n > kLoadingFrame) DrawBar(kBarRight);
        ApiSetBlendModeParam(kBlendNone, 0);

        if (n == kLoadingFrame) {
            LoadSounds();
            DrawOpaqueFrame(kBarRight);
        }
        if (n >= kLoadingScreenFrames) return;
        ApiPresentScreen();
    }
}
