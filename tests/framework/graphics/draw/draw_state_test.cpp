// The draw state: clamping setters, the draw area and its clipping, draw
// target selection and what it resets, the matrices it builds.
#include <cmath>

#include "framework/graphics/graphics_fixture.h"
#include "graphics/device/screen_device.h"

namespace {

class DrawStateTest : public GraphicsTest {};

void ExpectArea(int left, int top, int right, int bottom) {
    RECT area{};
    CopyDrawAreaRect(&area);
    EXPECT_EQ(area.left, left);
    EXPECT_EQ(area.top, top);
    EXPECT_EQ(area.right, right);
    EXPECT_EQ(area.bottom, bottom);
}

TEST_F(DrawStateTest, BlendParameterIsClampedAndTheModeKept) {
    SetBlendModeParam(1, 300);
    EXPECT_EQ(g_DrawState.blendMode, 1);
    EXPECT_EQ(g_DrawState.blendParam, 255);
    SetBlendModeParam(1, -5);
    EXPECT_EQ(g_DrawState.blendParam, 0);
    SetBlendModeParam(4, 128);
    EXPECT_EQ(g_DrawState.blendMode, 4);
    EXPECT_EQ(g_DrawState.blendParam, 128);

    g_DrawState.drawingSuppressed = 1;
    EXPECT_EQ(SetBlendModeParam(2, 10), 0);
    EXPECT_EQ(g_DrawState.blendMode, 4);
    EXPECT_EQ(g_DrawState.blendParam, 128);
}

TEST_F(DrawStateTest, BrightColourChannelsAreClampedAndPacked) {
    SetBrightColor(300, -1, 128);
    EXPECT_EQ(g_DrawState.brightColor, 0x00FF0080u);
    // Not held back while drawing is suppressed.
    g_DrawState.drawingSuppressed = 1;
    SetBrightColor(1, 2, 3);
    EXPECT_EQ(g_DrawState.brightColor, 0x00010203u);
    SetBrightColorPacked(0xAB123456u);
    EXPECT_EQ(g_DrawState.brightColor, 0x00123456u);
}

TEST_F(DrawStateTest, DrawAreaIsOrderedAndClippedToTheTarget) {
    SetDrawViewport(100, 50, 20, 10);
    ExpectArea(20, 10, 100, 50);
    EXPECT_EQ(g_DrawState.emptyDrawArea, 0);
    EXPECT_FLOAT_EQ(g_DrawState.drawAreaF.right, 100.0f);

    SetDrawViewport(-30, -40, 1000, 900);
    ExpectArea(0, 0, 640, 480);
    EXPECT_EQ(g_DrawState.requestedArea.left, -30);

    const HandleId target = MakeTarget(64, 32);
    ASSERT_EQ(SelectDrawTarget(target), 0);
    SetDrawViewport(10, 10, 100, 100);
    ExpectArea(10, 10, 64, 32);
}

TEST_F(DrawStateTest, EmptyAreaIsFlaggedUntilAnAreaWithSizeIsSet) {
    SetDrawViewport(0, 0, 0, 480);
    EXPECT_EQ(g_DrawState.emptyDrawArea, 1);
    SetDrawViewport(700, 0, 800, 480);  // wholly right of the screen
    EXPECT_EQ(g_DrawState.emptyDrawArea, 1);
    ExpectArea(640, 0, 640, 480);
    SetDrawViewport(0, 0, 1, 1);
    EXPECT_EQ(g_DrawState.emptyDrawArea, 0);
}

TEST_F(DrawStateTest, AreaOfAReleasedGraphicTargetIsLeftAlone) {
    const HandleId target = MakeTarget(64, 32);
    ASSERT_EQ(SelectDrawTarget(target), 0);
    ReleaseGraph(target, 0);
    const HandleId other = MakeTarget(300, 300);  // may take the same slot
    ASSERT_NE(other, target);
    SetDrawViewport(0, 0, 200, 200);
    ExpectArea(0, 0, 64, 32);
}

TEST_F(DrawStateTest, TargetOfAnotherSizeResetsTheAreaAndOneOfTheSameSizeKeepsIt) {
    SetDrawViewport(10, 20, 30, 40);
    ASSERT_EQ(SelectDrawTarget(kBackScreenTarget), 0);
    ExpectArea(10, 20, 30, 40);

    const HandleId small = MakeTarget(100, 50);
    ASSERT_EQ(SelectDrawTarget(small), 0);
    EXPECT_EQ(GetDrawTarget(), small);
    EXPECT_EQ(g_DrawState.targetWidth, 100);
    EXPECT_EQ(g_DrawState.targetHeight, 50);
    ExpectArea(0, 0, 100, 50);

    SetDrawViewport(5, 5, 20, 20);
    const HandleId twin = MakeTarget(100, 50);
    ASSERT_EQ(SelectDrawTarget(twin), 0);
    ExpectArea(5, 5, 20, 20);

    ASSERT_EQ(SelectDrawTarget(kFrontScreenTarget), 0);
    ExpectArea(0, 0, 640, 480);
}

TEST_F(DrawStateTest, TargetChangeResetsTheWorldMatrix) {
    Matrix4x4 world = IdentityMatrix4x4();
    world.m[3][0] = 25.0f;
    StoreWorldMatrix(world);
    ASSERT_EQ(SelectDrawTarget(kBackScreenTarget), 0);
    EXPECT_EQ(g_DrawState.worldMatrix.m[3][0], 0.0f);
}

TEST_F(DrawStateTest, OnlyScreensAndLiveGraphicsAreTargets) {
    SetDrawViewport(1, 2, 3, 4);
    for (HandleId bad : {-1, -3, -5, -32768, static_cast<HandleId>(0x80000000u), 0, 5, 0x10000000}) {
        EXPECT_EQ(SelectDrawTarget(bad), -1) << bad;
        EXPECT_EQ(GetDrawTarget(), kFrontScreenTarget);
    }
    const HandleId graph = MakeTarget(10, 10);
    ReleaseGraph(graph, 0);
    EXPECT_EQ(SelectDrawTarget(graph), -1);
    EXPECT_EQ(GetDrawTarget(), kFrontScreenTarget);
    ExpectArea(1, 2, 3, 4);
}

TEST_F(DrawStateTest, TargetThatCannotBeBoundFallsBackToTheOldOne) {
    const HandleId good = MakeTarget(20, 20);
    ASSERT_EQ(SelectDrawTarget(good), 0);
    // A graphic without storage has no surface to bind.
    const HandleId bare = NewGraphHandle(30, 30, 0, nullptr, 0, 0);
    EXPECT_EQ(SelectDrawTarget(bare), -1);
    EXPECT_EQ(GetDrawTarget(), good);
    ExpectArea(0, 0, 20, 20);

    // When the old one cannot be bound any more either, the call still ends.
    LookupGraph(good)->storageCount = 0;
    EXPECT_EQ(SelectDrawTarget(bare), -1);
    EXPECT_EQ(GetDrawTarget(), good);
}

TEST_F(DrawStateTest, SelectionNeedsStartUpAndDoesNothingWhileSuppressed) {
    g_DrawState.drawingSuppressed = 1;
    EXPECT_EQ(SelectDrawTarget(kBackScreenTarget), 0);
    EXPECT_EQ(GetDrawTarget(), kFrontScreenTarget);
    g_DrawState.drawingSuppressed = 0;
    g_GraphTable.initialised = 0;
    EXPECT_EQ(SelectDrawTarget(kBackScreenTarget), -1);
    g_GraphTable.initialised = 1;
}

TEST_F(DrawStateTest, FrontScreenInWindowModeTakesTheClientRectangle) {
    SystemState& system = g_SystemState;
    system.windowMode = 1;
    system.desktopWidth = 1024;
    system.desktopHeight = 768;
    system.clientLeft = -40;
    system.clientTop = 300;
    system.clientRight = 600;
    system.clientBottom = 780;
    ASSERT_EQ(SelectDrawTarget(kBackScreenTarget), 0);
    EXPECT_EQ(g_DrawState.drawTargetRect.right, 0);

    ASSERT_EQ(SelectDrawTarget(kFrontScreenTarget), 0);
    EXPECT_EQ(g_DrawState.drawTargetRect.left, -40);
    EXPECT_EQ(g_DrawState.drawTargetRect.bottom, 780);
    // Only the part of the window on the desktop is drawn: x from 40, and
    // y up to 768 - 300.
    SetDrawViewport(0, 0, 640, 480);
    ExpectArea(40, 0, 640, 468);

    system.windowMode = 0;
    RestoreDrawStateAfterLoss();
    EXPECT_EQ(g_DrawState.drawTargetRect.left, 0);
    EXPECT_EQ(g_DrawState.drawTargetRect.right, 640);
    EXPECT_EQ(g_DrawState.drawTargetRect.bottom, 480);
}

TEST_F(DrawStateTest, BlendGraphicMustBeLiveAndItsParametersAreClamped) {
    const HandleId blend = MakeTarget(64, 64);
    EXPECT_EQ(AssignBlendMaskGraph(blend, 300, -20), 0);
    EXPECT_EQ(g_DrawState.blendGraph, blend);
    EXPECT_EQ(g_DrawState.blendGraphParam1, 255);
    EXPECT_EQ(g_DrawState.blendGraphParam2, 0);

    GraphRecord* smaller = LookupGraph(MakeTarget(64, 10));
    GraphRecord* wider = LookupGraph(MakeTarget(65, 10));
    EXPECT_EQ(BlendGraphCoversGraph(smaller), 0);
    EXPECT_EQ(BlendGraphCoversGraph(wider), -1);

    EXPECT_EQ(AssignBlendMaskGraph(-1, 0, 0), 0);
    EXPECT_EQ(g_DrawState.blendGraph, -1);
    EXPECT_EQ(BlendGraphCoversGraph(smaller), -1);

    ReleaseGraph(blend, 0);
    EXPECT_EQ(AssignBlendMaskGraph(blend, 1, 1), -1);
    EXPECT_EQ(AssignBlendMaskGraph(-2, 1, 1), -1);
    EXPECT_EQ(g_DrawState.blendGraph, -1);
}

TEST_F(DrawStateTest, CreationSettings) {
    SetUse3DFlag(0);
    EXPECT_EQ(g_DrawState.use3D, 0);
    EXPECT_EQ(GetDisable3DFlag(), 1);  // no DirectDraw object yet
    SetUse3DFlag(1);
    EXPECT_EQ(GetDisable3DFlag(), 0);
    EXPECT_EQ(WouldMakeTextureGraph(), 0);  // no Direct3D device

    // With DirectDraw in use new graphics always go to system memory.
    ChooseGraphMemoryPlace(0);
    EXPECT_EQ(g_DrawState.createSystemMemory, 1);
    g_DrawState.createSystemMemory = 0;
    ChooseGraphMemoryPlaceForMode(1);
    EXPECT_EQ(g_DrawState.createSystemMemory, 1);
}

TEST_F(DrawStateTest, SubtractSequenceLeavesTheInnerModeThenTheSubtractMode) {
    SetBrightColor(10, 20, 30);
    const RECT rect{0, 0, 8, 8};
    InvertRectBeforeSubtract(rect, 77);
    EXPECT_EQ(g_DrawState.blendMode, kBlendModeSubtractInner);
    EXPECT_EQ(g_DrawState.blendParam, 77);
    EXPECT_EQ(g_DrawState.brightColor, 0x000A141Eu);
    InvertRectAfterSubtract(rect, 77);
    EXPECT_EQ(g_DrawState.blendMode, kBlendModeSubtract);
    EXPECT_EQ(g_DrawState.blendParam, 77);
    EXPECT_EQ(g_DrawState.brightColor, 0x000A141Eu);
}

// ---- matrices --------------------------------------------------------------

void Transform(const Matrix4x4& m, float x, float y, float z, float* outX, float* outY) {
    const float w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    *outX = (x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0]) / w;
    *outY = (x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1]) / w;
}

TEST_F(DrawStateTest, ScreenTargetMatrices) {
    const DrawState& s = g_DrawState;
    // d = 240 x 1.9098593; the eye stands d - 43 in front of the plane z = 0.
    const double d = 240 * 1.9098593;
    EXPECT_NEAR(s.viewMatrix.m[3][2], d - 43, 1e-3);
    EXPECT_NEAR(s.viewMatrix.m[3][0], -320.0, 1e-4);
    EXPECT_NEAR(s.viewMatrix.m[3][1], -240.0, 1e-4);

    const double cot = 1.0 / std::tan(1.0471976 / 2);
    EXPECT_NEAR(s.projectionMatrix.m[0][0], 0.75 * cot, 1e-5);
    EXPECT_NEAR(s.projectionMatrix.m[1][1], cot, 1e-5);
    const double q = (d + 1000) / (d + 1000 - d * 0.1);
    EXPECT_NEAR(s.projectionMatrix.m[2][2], q, 1e-5);
    EXPECT_NEAR(s.projectionMatrix.m[3][2], -q * d * 0.1, 1e-3);
    EXPECT_EQ(s.projectionMatrix.m[2][3], 1.0f);

    EXPECT_EQ(s.viewportMatrix.m[0][0], 320.0f);
    EXPECT_EQ(s.viewportMatrix.m[1][1], -240.0f);
    EXPECT_EQ(s.viewportMatrix.m[3][0], 320.0f);
    EXPECT_EQ(s.viewportMatrix.m[3][1], 240.0f);

    // The centre of the target at z = 0 lands on the centre of the target,
    // and one unit there is about one pixel.
    float x = 0;
    float y = 0;
    Transform(s.combinedMatrix, 320, 240, 0, &x, &y);
    EXPECT_NEAR(x, 320.0f, 1e-3);
    EXPECT_NEAR(y, 240.0f, 1e-3);
    float x2 = 0;
    Transform(s.combinedMatrix, 420, 240, 0, &x2, &y);
    EXPECT_NEAR(x2 - x, 100.0f, 1.0f);
}

TEST_F(DrawStateTest, MatrixBuildersRefuseDegenerateInput) {
    Matrix4x4 out = IdentityMatrix4x4();
    EXPECT_EQ(BuildPerspectiveMatrix(&out, 1.0f, 10.0f, 10.005f), -1);
    EXPECT_EQ(BuildPerspectiveMatrix(&out, 0.0f, 1.0f, 100.0f), -1);
    const Vector3F eye{1, 2, 3};
    EXPECT_EQ(BuildLookAtMatrix(&out, eye, eye, Vector3F{0, 1, 0}), -1);
    EXPECT_EQ(BuildLookAtMatrix(&out, eye, Vector3F{1, 3, 3}, Vector3F{0, 1, 0}), -1);
    EXPECT_EQ(out.m[0][0], 1.0f);
    EXPECT_EQ(out.m[3][2], 0.0f);
}

TEST_F(DrawStateTest, CombinedMatrixAndInverseViewRotationFollowTheStoredMatrices) {
    ResetDrawMatrices();
    Matrix4x4 view{};
    view.m[0][1] = 1.0f;  // a rotation of the axes
    view.m[1][0] = -1.0f;
    view.m[2][2] = 1.0f;
    view.m[3][3] = 1.0f;
    view.m[3][0] = 5.0f;
    StoreViewMatrix(view);
    const DrawState& s = g_DrawState;
    EXPECT_EQ(s.inverseViewRotation.m[1][0], 1.0f);
    EXPECT_EQ(s.inverseViewRotation.m[0][1], -1.0f);
    EXPECT_EQ(s.inverseViewRotation.m[3][0], 0.0f);
    EXPECT_EQ(s.inverseViewRotation.m[3][3], 0.0f);
    EXPECT_EQ(s.combinedMatrix.m[3][0], 5.0f);

    Matrix4x4 a = IdentityMatrix4x4();
    a.m[0][1] = 2.0f;
    MultiplyMatrix4x4(&a, a, a);  // in place
    EXPECT_EQ(a.m[0][1], 4.0f);
}

}  // namespace
