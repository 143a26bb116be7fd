// The one current drawing state that every drawing path reads: the draw
// target and the draw area that clips every operation, the blend mode with
// its parameter, the draw-bright colour, the blend graphic, the mask
// switches, the filter mode, the matrices of the 3D path and the settings
// that decide what kind of graphic the next creation makes. The setters keep
// the Direct3D device and the software renderer's blend-mask table in step.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "graphics/draw/draw_matrix.h"
#include "platform/types.h"

struct GraphRecord;

struct DrawRectF {
    float left, top, right, bottom;
};

constexpr int kBlendModeNone = 0;
constexpr int kBlendModeAlpha = 1;
constexpr int kBlendModeAdd = 2;
constexpr int kBlendModeSubtract = 3;
constexpr int kBlendModeMultiply = 4;
// Used only inside the Direct3D path's subtract sequence.
constexpr int kBlendModeSubtractInner = 5;

constexpr int kFilterPoint = 0;
constexpr int kFilterLinear = 1;

struct DrawState {
    HandleId drawTarget;         // a graphic, -2 back screen, -4 front screen
    RECT drawTargetRect;     // client area on the screen for the front screen in window mode, else 0
    RECT drawArea;           // clips every drawing operation; inside the target
    DrawRectF drawAreaF;
    RECT requestedArea;      // the last area asked for, before ordering and clipping
    int targetWidth, targetHeight;

    // The Direct3D path's Z settings; nothing changes them after start-up,
    // so 2D drawing runs without Z.
    int zEnable, zWrite, zFunction;
    float drawZ;

    int filterMode;
    int blendMode;
    int blendParam;              // 0-255
    HandleId blendGraph;         // -1: none
    int blendGraphParam1, blendGraphParam2;  // border parameter and range, 0-255
    std::uint32_t brightColor;   // 0x00RRGGBB

    int maskOn;                  // the mask switch
    int maskInEffect;

    // Creation settings for new graphics.
    int createColorDepth;        // 0: the screen's
    int use3D;                   // 1: texture graphics where the device allows
    int makeDrawable;
    int createAlphaTest;
    int defaultTransparency;
    int createSystemMemory;
    std::uint32_t transparentColor;  // 0x00RRGGBB

    int transferConvertFlag;     // nothing sets it
    int drawingSuppressed;       // device being rebuilt or unusable
    int emptyDrawArea;           // the draw area has no width or no height

    Matrix4x4 worldMatrix, viewMatrix, projectionMatrix, viewportMatrix;
    Matrix4x4 combinedMatrix;       // world x view x projection x viewport
    Matrix4x4 inverseViewRotation;  // transpose of the view's upper 3 x 3
};

extern DrawState g_DrawState;

// Start values for graphics start-up. The suppression flag is kept; the
// caller then selects the front screen and its whole area.
void InitDrawState();

int SetBlendModeParam(int blendMode, int parameter);
int SetBrightColor(int red, int green, int blue);
int SetBrightColorPacked(std::uint32_t color);
int AssignBlendMaskGraph(HandleId graph, int borderParam, int borderRange);
// 0 when the blend graphic is valid and covers the given graphic, else -1.
int BlendGraphCoversGraph(const GraphRecord* graph);
int SetTextureFilterMode(int mode);
int GetTextureFilterMode();

int SetDrawViewport(int x1, int y1, int x2, int y2);
int CopyDrawAreaRect(RECT* out);
int SetDrawTargetRect(const RECT& rect);
int SelectDrawTarget(HandleId target);
HandleId GetDrawTarget();
int QueryScreenMode(int* width, int* height, int* depth);

int SetUse3DFlag(int flag);
int SetMakeDrawableGraphFlag(int flag);
int ChooseGraphMemoryPlace(int flag);
int ChooseGraphMemoryPlaceForMode(int mode);
int WouldMakeTextureGraph();
int GetTransferConvertFlag();

int StoreWorldMatrix(const Matrix4x4& matrix);
int StoreViewMatrix(const Matrix4x4& matrix);
int StoreProjectionMatrix(const Matrix4x4& matrix);
int ResetDrawMatrices();
void UpdateDrawMatrices();

// Subtraction on the Direct3D path: the rectangle is inverted before and
// after the graphic is drawn with the add blend.
int InvertRectBeforeSubtract(const RECT& rect, int parameter);
int InvertRectAfterSubtract(const RECT& rect, int parameter);

// The draw-target rectangle again: the window's client rectangle while the
// front screen is drawn straight into a window without the mask, else the
// whole target.
int ResetDrawTargetRect();

// After device loss: mask screen, mask in effect and draw-target rectangle again.
int RestoreDrawStateAfterLoss();
