#include "graphics/draw/draw_state.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/log.h"
#include "core/system_state.h"
#include "graphics/d3d/d3d_texture_draw.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/graph_record.h"
#include "graphics/draw/mask.h"
#include "softrender/soft_draw_settings.h"
#include "window/window.h"

DrawState g_DrawState{};

namespace {

// White in any pixel format: every channel's bits set.
constexpr std::uint32_t kWhiteColorCode = 0xFFFFFFFFu;

int ClampByte(int value) { return std::clamp(value, 0, 255); }

bool IsScreenTarget(HandleId target) {
    return target == kBackScreenTarget || target == kFrontScreenTarget;
}

// The client rectangle when the front screen is drawn straight into the
// window; the fallback in every other case.
RECT DrawTargetRectFor(const RECT& fallback) {
    const SystemState& system = g_SystemState;
    if (g_DrawState.drawTarget == kFrontScreenTarget && g_DrawState.maskInEffect == 0 &&
        GetScreenSurfaceModeFlag() == 0 && system.windowMode != 0 &&
        (IsScreenMemImg() == 0 || GetScreenColorDepth() == 8)) {
        return {system.clientLeft, system.clientTop, system.clientRight, system.clientBottom};
    }
    return fallback;
}

const char* TargetName(HandleId target) {
    if (target == kFrontScreenTarget) return "Front Buffer";
    if (target == kBackScreenTarget) return "Back Buffer";
    return "Image Buffer";
}

// Drawing white with the inverting blend turns the rectangle into its negative.
void InvertRect(const RECT& rect) {
    const std::uint32_t bright = g_DrawState.brightColor;
    SetBrightColorPacked(0xFFFFFF);
    SetBlendModeParam(kBlendModeSubtract, 255);
    FillBox3D(rect.left, rect.top, rect.right, rect.bottom, kWhiteColorCode);
    SetBrightColorPacked(bright);
}

int SelectDrawTargetOnce(HandleId target, bool fallBackOnFailure);

}  // namespace

void InitDrawState() {
    const int suppressed = g_DrawState.drawingSuppressed;
    g_DrawState = DrawState{};
    DrawState& s = g_DrawState;
    s.drawingSuppressed = suppressed;

    s.drawTarget = kBackScreenTarget;
    s.zEnable = 0;
    s.zWrite = 0;
    s.zFunction = 4;
    s.drawZ = 0.2f;
    s.filterMode = kFilterPoint;
    s.blendMode = kBlendModeNone;
    s.blendParam = 0;
    s.blendGraph = kNoHandle;
    s.brightColor = 0xFFFFFF;
    s.maskOn = 1;
    s.maskInEffect = GetMaskScreenFlag() != 0 ? 1 : 0;
    s.createColorDepth = 0;
    s.use3D = 1;
    s.makeDrawable = 0;
    s.createAlphaTest = 1;
    s.defaultTransparency = 0;
    s.createSystemMemory = 0;
    s.transparentColor = 0;
    ResetDrawMatrices();

    // Always: a Direct3D layer started just before holds no colour word yet,
    // whatever the bright colour was.
    if (IsDirect3DUp()) UpdateDrawColorState();
}

int SetBlendModeParam(int blendMode, int parameter) {
    if (g_DrawState.drawingSuppressed) return 0;
    const int clamped = ClampByte(parameter);
    if (blendMode == g_DrawState.blendMode && clamped == g_DrawState.blendParam) return 0;
    WaitWhileInactive();
    // The mode is kept as given; the drawing paths decide what they support.
    g_DrawState.blendMode = blendMode;
    g_DrawState.blendParam = clamped;
    UpdateDrawColorState();
    return 0;
}

int SetBrightColor(int red, int green, int blue) {
    // Deliberately not held back while drawing is suppressed: the colour is
    // pure state and must be right when drawing resumes.
    const std::uint32_t color = (static_cast<std::uint32_t>(ClampByte(red)) << 16) |
                                (static_cast<std::uint32_t>(ClampByte(green)) << 8) |
                                static_cast<std::uint32_t>(ClampByte(blue));
    if (color == g_DrawState.brightColor) return 0;
    g_DrawState.brightColor = color;
    if (IsDirect3DUp()) UpdateDrawColorState();
    return 0;
}

int SetBrightColorPacked(std::uint32_t color) {
    color &= 0xFFFFFFu;
    if (color == g_DrawState.brightColor) return 0;
    g_DrawState.brightColor = color;
    UpdateDrawColorState();
    return 0;
}

int AssignBlendMaskGraph(HandleId graph, int borderParam, int borderRange) {
    if (g_DrawState.drawingSuppressed) return 0;
    const int param = ClampByte(borderParam);
    const int range = ClampByte(borderRange);
    if (graph == g_DrawState.blendGraph && param == g_DrawState.blendGraphParam1 &&
        range == g_DrawState.blendGraphParam2) {
        return 0;
    }
    GraphRecord* record = nullptr;
    if (graph != kNoHandle) {
        record = LookupGraph(graph);
        if (record == nullptr) return -1;
    }
    g_DrawState.blendGraph = graph;
    WaitWhileInactive();
    g_DrawState.blendGraphParam1 = param;
    g_DrawState.blendGraphParam2 = range;
    if (IsDirect3DUp()) SetBlendMaskTextureOnDevice(record, param, range);
    BuildBlendMaskTable(param, range);
    return 0;
}

int BlendGraphCoversGraph(const GraphRecord* graph) {
    const GraphRecord* blend = LookupGraph(g_DrawState.blendGraph);
    if (graph == nullptr || blend == nullptr) return -1;
    return blend->width >= graph->width && blend->height >= graph->height ? 0 : -1;
}

int SetTextureFilterMode(int mode) {
    if (g_DrawState.drawingSuppressed || mode == g_DrawState.filterMode) return 0;
    g_DrawState.filterMode = mode;
    if (IsDirect3DUp()) ApplyFilterModeToDevice(mode);
    return 0;
}

int GetTextureFilterMode() { return g_DrawState.filterMode; }

int SetDrawViewport(int x1, int y1, int x2, int y2) {
    DrawState& s = g_DrawState;
    if (s.drawingSuppressed) return 0;
    s.requestedArea = {x1, y1, x2, y2};

    int width = 0;
    int height = 0;
    if (IsScreenTarget(s.drawTarget)) {
        QueryScreenSize(&width, &height);
    } else {
        const GraphRecord* graph = LookupGraph(s.drawTarget);
        if (graph == nullptr) return 0;
        width = graph->width;
        height = graph->height;
    }

    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);

    if (s.drawTarget == kFrontScreenTarget) {
        // Only the part of the window that lies on the desktop can be drawn.
        const SystemState& system = g_SystemState;
        const int left = system.clientLeft;
        const int top = system.clientTop;
        if (left < 0) x1 = std::max(x1, -left);
        if (top < 0) y1 = std::max(y1, -top);
        if (system.desktopWidth > 0 && left + width >= system.desktopWidth) width = system.desktopWidth - left;
        if (system.desktopHeight > 0 && top + height >= system.desktopHeight) height = system.desktopHeight - top;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);

    x1 = std::clamp(x1, 0, width);
    x2 = std::clamp(x2, 0, width);
    y1 = std::clamp(y1, 0, height);
    y2 = std::clamp(y2, 0, height);

    s.drawArea = {x1, y1, x2, y2};
    s.drawAreaF = {static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                   static_cast<float>(y2)};

    if (x1 == x2 || y1 == y2) {
        s.emptyDrawArea = 1;
        return 0;
    }
    s.emptyDrawArea = 0;
    if (IsDirect3DUp() && ApplyViewport3D(s.drawArea) < 0) {
        char text[96];
        std::snprintf(text, sizeof text, "ビューポートの設定に失敗しました %s", TargetName(s.drawTarget));
        WriteLogText(text);
    }
    return 0;
}

int CopyDrawAreaRect(RECT* out) {
    if (out == nullptr) return -1;
    *out = g_DrawState.drawArea;
    return 0;
}

int SetDrawTargetRect(const RECT& rect) {
    g_DrawState.drawTargetRect = rect;
    return 0;
}

namespace {

int SelectDrawTargetOnce(HandleId target, bool fallBackOnFailure) {
    DrawState& s = g_DrawState;
    if (!g_GraphTable.initialised) return -1;
    if (s.drawingSuppressed) return 0;
    WaitWhileInactive();

    // Only the two screens and live graphics are targets; any other value,
    // negative ones included, is refused before anything changes.
    if (!IsScreenTarget(target) && LookupGraph(target) == nullptr) return -1;

    const int maskWasOn = s.maskOn;
    SetMaskActive(0);

    const HandleId oldTarget = s.drawTarget;
    const RECT oldTargetRect = s.drawTargetRect;
    s.drawTarget = target;
    s.drawTargetRect = DrawTargetRectFor({0, 0, 0, 0});

    bool failed;
    if (IsDirect3DUp()) {
        const int onDevice = SetDrawTargetOnDevice(target);
        const int onSurface = BindDrawTargetSurface(target, oldTarget);
        failed = onDevice < 0 && onSurface < 0;
    } else {
        failed = BindDrawTargetSurface(target, oldTarget) < 0;
    }
    if (failed) {
        // Back to the old target, once: if that cannot be bound either, a
        // second fallback would bounce between the two for ever.
        s.drawTarget = oldTarget;
        s.drawTargetRect = oldTargetRect;
        if (fallBackOnFailure) SelectDrawTargetOnce(oldTarget, false);
        SetMaskActive(maskWasOn);
        return -1;
    }

    int width = 0;
    int height = 0;
    QueryGraphSize(target, &width, &height);
    const bool sizeChanged = width != s.targetWidth || height != s.targetHeight;
    s.targetWidth = width;
    s.targetHeight = height;
    if (sizeChanged) {
        SetDrawViewport(0, 0, width, height);
    } else {
        SetDrawViewport(s.drawArea.left, s.drawArea.top, s.drawArea.right, s.drawArea.bottom);
    }

    const float halfWidth = static_cast<float>(width) / 2.0f;
    const float halfHeight = static_cast<float>(height) / 2.0f;

    StoreWorldMatrix(IdentityMatrix4x4());
    BuildViewportMatrix(&s.viewportMatrix, halfWidth, halfHeight, static_cast<float>(width),
                        static_cast<float>(height));
    UpdateDrawMatrices();

    // A camera placed so that one unit at z = 0 is one pixel of the target.
    const float d = static_cast<float>(height / 2) * 1.9098593f;
    const Vector3F eye{halfWidth, halfHeight, -(d - 43.0f)};
    const Vector3F lookAt{eye.x, eye.y, eye.z + 1.0f};
    Matrix4x4 view;
    if (BuildLookAtMatrix(&view, eye, lookAt, Vector3F{0.0f, 1.0f, 0.0f}) == 0) StoreViewMatrix(view);

    Matrix4x4 projection;
    if (BuildPerspectiveMatrix(&projection, 1.0471976f, d * 0.1f, d + 1000.0f) == 0) {
        StoreProjectionMatrix(projection);
    }

    SetMaskActive(maskWasOn);
    return 0;
}

}  // namespace

int SelectDrawTarget(HandleId target) { return SelectDrawTargetOnce(target, true); }

HandleId GetDrawTarget() { return g_DrawState.drawTarget; }

int QueryScreenMode(int* width, int* height, int* depth) {
    QueryScreenSize(width, height);
    if (depth != nullptr) *depth = GetScreenColorDepth();
    return 0;
}

int SetUse3DFlag(int flag) {
    g_DrawState.use3D = flag;
    if (!HasDirectDrawObject()) SetDisable3DFlag(flag == 0 ? 1 : 0);
    return 0;
}

int SetMakeDrawableGraphFlag(int flag) {
    g_DrawState.makeDrawable = flag;
    return 0;
}

int ChooseGraphMemoryPlace(int flag) {
    const bool softwareOnly = IsDirectDrawInUse() == 0;
    g_DrawState.createSystemMemory = softwareOnly ? flag : 1;
    return 0;
}

int ChooseGraphMemoryPlaceForMode(int mode) {
    const bool softwareOnly = IsDirectDrawInUse() == 0;
    g_DrawState.createSystemMemory = softwareOnly ? (mode != 1 ? 1 : 0) : 1;
    return 0;
}

int WouldMakeTextureGraph() {
    return g_DrawState.use3D == 1 && IsDirect3DUp() && IsScreenMemImg() == 0 && HasDevice3DInterface()
               ? 1
               : 0;
}

int GetTransferConvertFlag() { return g_DrawState.transferConvertFlag; }

int StoreWorldMatrix(const Matrix4x4& matrix) {
    g_DrawState.worldMatrix = matrix;
    UpdateDrawMatrices();
    if (IsDirect3DUp()) SetDeviceWorldTransform(matrix);
    return 0;
}

int StoreViewMatrix(const Matrix4x4& matrix) {
    g_DrawState.viewMatrix = matrix;
    UpdateDrawMatrices();
    if (IsDirect3DUp()) SetDeviceViewTransform(matrix);
    return 0;
}

int StoreProjectionMatrix(const Matrix4x4& matrix) {
    g_DrawState.projectionMatrix = matrix;
    UpdateDrawMatrices();
    if (IsDirect3DUp()) SetDeviceProjectionTransform(matrix);
    return 0;
}

int ResetDrawMatrices() {
    DrawState& s = g_DrawState;
    s.worldMatrix = IdentityMatrix4x4();
    s.viewMatrix = IdentityMatrix4x4();
    s.projectionMatrix = IdentityMatrix4x4();
    s.viewportMatrix = IdentityMatrix4x4();
    UpdateDrawMatrices();
    return 0;
}

void UpdateDrawMatrices() {
    DrawState& s = g_DrawState;
    Matrix4x4 combined;
    MultiplyMatrix4x4(&combined, s.worldMatrix, s.viewMatrix);
    MultiplyMatrix4x4(&combined, combined, s.projectionMatrix);
    MultiplyMatrix4x4(&s.combinedMatrix, combined, s.viewportMatrix);

    Matrix4x4 inverse{};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) inverse.m[row][column] = s.viewMatrix.m[column][row];
    }
    s.inverseViewRotation = inverse;
}

int InvertRectBeforeSubtract(const RECT& rect, int parameter) {
    InvertRect(rect);
    SetBlendModeParam(kBlendModeSubtractInner, parameter);
    return 0;
}

int InvertRectAfterSubtract(const RECT& rect, int parameter) {
    InvertRect(rect);
    SetBlendModeParam(kBlendModeSubtract, parameter);
    return 0;
}

int ResetDrawTargetRect() {
    DrawState& s = g_DrawState;
    s.drawTargetRect = DrawTargetRectFor({0, 0, s.targetWidth, s.targetHeight});
    return 0;
}

int RestoreDrawStateAfterLoss() {
    DrawState& s = g_DrawState;
    if (HasMaskBuffer()) MakeMaskWorkScreen(0, 1);
    if (s.maskOn && HasMaskBuffer()) s.maskInEffect = GetMaskScreenFlag() != 0 ? 1 : 0;
    ResetDrawTargetRect();
    if (IsDirect3DUp()) ApplyDrawTargetToDevice(s.maskInEffect);
    return 0;
}

SoftDrawSettings CurrentSoftDrawSettings() {
    const DrawState& state = g_DrawState;
    SoftDrawSettings s;
    s.drawArea = state.drawArea;
    // The mode is compared unsigned: a negative mode is above 4 and draws
    // nothing. The setter clamps the parameter; a stray value is clamped too,
    // since it indexes the tables.
    s.blendMode = static_cast<std::uint32_t>(state.blendMode);
    s.blendParam = static_cast<std::uint32_t>(std::clamp(state.blendParam, 0, 255));
    s.brightColor = state.brightColor;
    return s;
}
