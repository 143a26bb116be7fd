// Input devices: the keyboard, the pad bit mask, joypads, vibration and the
// Win32 fall-backs, on the headless backend's scripted input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "framework/framework_fixture.h"
#include "input/input.h"
#include "input/input_tables.h"
#include "platform/dinput.h"

namespace {

class InputTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformInputReset();
        g_InputState.useWin32Input = 0;
    }
    void TearDown() override {
        FrameworkTest::TearDown();
        PlatformInputReset();
    }

    static PlatformPadState Pad(LONG x, LONG y, std::initializer_list<int> buttons = {}) {
        PlatformPadState pad;
        pad.axes[0] = x * 32767 / 1000;
        pad.axes[1] = y * 32767 / 1000;
        for (int b : buttons) pad.buttons[b - 1] = true;
        return pad;
    }
    static void Hold(std::vector<int> keys, std::vector<PlatformPadState> pads = {}) {
        PlatformSetInputScript({PlatformInputFrame{std::move(keys), std::move(pads), {}}});
        // A new millisecond, so pads (which have no event) are read again too.
        Sleep(1);
    }
};

TEST_F(InputTest, EveryKeyboardSourceSetsItsBit) {
    ASSERT_EQ(ApiInitFramework(), 0);
    for (const PadKeySource& source : kPadKeySources) {
        Hold({source.scanCode});
        EXPECT_EQ(static_cast<std::uint32_t>(ApiGetPadState(0x1000)), source.bit) << int{source.scanCode};
        EXPECT_EQ(ApiIsKeyDown(source.scanCode), 1);
    }
    Hold({D_DIK_LEFT, D_DIK_NUMPAD4, D_DIK_F1});
    EXPECT_EQ(ApiGetPadState(0x1000), 0x2);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_ESCAPE), 0);
    EXPECT_EQ(ApiIsKeyDown(-1), 0);
    EXPECT_EQ(ApiIsKeyDown(256), 0);
}

TEST_F(InputTest, InputTypesChooseThePadAndTheKeyboard) {
    ASSERT_EQ(ApiInitFramework(), 0);  // no joypad attached
    Hold({D_DIK_Z, D_DIK_UP});
    EXPECT_EQ(ApiGetPadState(0x1001), 0x18);
    EXPECT_EQ(ApiGetPadState(1), 0);
    EXPECT_EQ(ApiGetPadState(0x1000), 0x18);
    EXPECT_EQ(ApiGetPadState(0x1008), 0x18);
    for (int odd : {-5, 0, 9, 0x7FFFFFFF, static_cast<int>(0x80001001u)}) ApiGetPadState(odd);  // no overrun
}

TEST_F(InputTest, ThePadAndTheKeyboardMergeIntoOneMask) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(g_InputState.padCount, 1);
    Hold({D_DIK_Z}, {Pad(0, 0, {1})});
    EXPECT_EQ(ApiGetPadState(0x1001), 0x10);
    Hold({}, {Pad(-1000, 1000, {2, 10, 24, 25})});
    EXPECT_EQ(static_cast<std::uint32_t>(ApiGetPadState(1)), 0x2u | 0x1u | 0x20u | 0x2000u | 0x8000000u);
    Hold({}, {Pad(1000, -1000)});
    EXPECT_EQ(ApiGetPadState(1), 0x4 | 0x8);
    Hold({}, {Pad(200, -200)});  // inside the dead zone
    EXPECT_EQ(ApiGetPadState(1), 0);
    // A pad that is not there: nothing, or the keyboard alone.
    Hold({D_DIK_X}, {Pad(1000, 0)});
    EXPECT_EQ(ApiGetPadState(2), 0);
    EXPECT_EQ(ApiGetPadState(0x1002), 0x20);
    EXPECT_EQ(RefreshPadState(8), -1);
    EXPECT_EQ(RefreshPadState(-1), -1);
}

TEST_F(InputTest, TheKeyboardIsReadAtMostOncePerTickUnlessItSignals) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({D_DIK_Z});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    PlatformInputStatsRef().keyboardStateReads = 0;
    DWORD start = timeGetTime();
    for (int i = 0; i < 50; ++i) ApiIsKeyDown(D_DIK_Z);
    DWORD ticks = timeGetTime() - start;
    EXPECT_LE(PlatformInputStatsRef().keyboardStateReads, static_cast<int>(ticks) + 1);
    EXPECT_LT(PlatformInputStatsRef().keyboardStateReads, 50);
    // New keys signal the event: the next call sees them at once.
    PlatformSetInputScript({PlatformInputFrame{{D_DIK_X}, {}, {}}});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_X), 1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 0);
}

TEST_F(InputTest, ALostKeyboardKeepsItsLastStateUntilAcquiredAgain) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({D_DIK_Z});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    PlatformInputKnobsRef().refuseAcquire = true;
    Hold({});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    PlatformInputKnobsRef().refuseAcquire = false;
    Sleep(1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 0);
}

TEST_F(InputTest, ALostPadKeepsItsLastStateWhileAWin32JoystickThatFailsReadsAtRest) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({}, {Pad(1000, 0)});
    EXPECT_EQ(ApiGetPadState(1), 0x4);
    PlatformInputKnobsRef().refuseAcquire = true;
    Hold({}, {Pad(-1000, 0)});
    EXPECT_EQ(ApiGetPadState(1), 0x4);
    PlatformInputKnobsRef().refuseAcquire = false;
    Sleep(1);
    EXPECT_EQ(ApiGetPadState(1), 0x2);
    ApiEndFramework();

    g_InputState.useWin32Input = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({}, {Pad(-1000, 0)});
    EXPECT_EQ(ApiGetPadState(1), 0x2);
    PlatformSetHeadlessPads({});  // unplugged
    Sleep(1);
    EXPECT_EQ(ApiGetPadState(1), 0);
    ApiEndFramework();
    g_InputState.useWin32Input = 0;
}

TEST_F(InputTest, InputIsSetUpLazilyAndTheFirstCallReportsNothing) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({D_DIK_Z});
    TerminateInput();
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 0);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 0);  // the set-up call
    EXPECT_TRUE(InputInDirectInputMode());
    Sleep(1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    // With a close posted nothing is set up and nothing is read.
    TerminateInput();
    g_SystemState.closePosted = 1;
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 0);
    EXPECT_EQ(ApiGetPadState(0x1001), 0);
    EXPECT_EQ(CancelPadVibration(1), 0);
    EXPECT_FALSE(InputSetUp());
    g_SystemState.closePosted = 0;
}

TEST_F(InputTest, AKeyboardEventThatCannotBeSetUpLeavesAWorkingKeyboard) {
    PlatformInputKnobsRef().failKeyboardAt = "event";
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_NE(FindLine("キーボードイベントのセットアップが失敗しました"), -1);
    EXPECT_NE(FindLine("DirectInput 関連の初期化は正常に終了しました"), -1);
    EXPECT_EQ(g_InputState.keyboardEvent, nullptr);
    Hold({D_DIK_SPACE});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_SPACE), 1);  // acquired, read once per tick
    EXPECT_EQ(g_SystemState.logIndent, 0u);
}

TEST_F(InputTest, PadsThatCannotBeSetUpAreSkippedAndReleased) {
    PlatformSetHeadlessPads({{}, {}});
    PlatformInputKnobsRef().failPadAt = "rangex";
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_InputState.padCount, 0);
    EXPECT_NE(FindLine("ジョイパッドデバイスのＸ軸関係の設定に失敗しました"), -1);
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 2);  // mouse and keyboard
    ApiEndFramework();

    PlatformInputKnobsRef().failPadAt = "event";
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_InputState.padCount, 0);
    EXPECT_NE(FindLine("ジョイパッドイベントのセットアップが失敗しました"), -1);
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 2);
    EXPECT_EQ(PlatformInputStatsRef().liveEffects, 0);
    ApiEndFramework();
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 0);
}

TEST_F(InputTest, EndingInputReleasesEveryDeviceAndEffect) {
    PlatformSetHeadlessPads({{"One", false, true}, {"Two", false, true}});
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_InputState.padCount, 2);
    EXPECT_STREQ(g_InputState.pads[1].productName, "Two");
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 4);
    EXPECT_EQ(PlatformInputStatsRef().liveEffects, 4);
    StartPadVibration(1, 10000, -1);
    ApiEndFramework();
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 0);
    EXPECT_EQ(PlatformInputStatsRef().liveEffects, 0);
    int low = 1, high = 1;
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(low + high, 0);
    EXPECT_EQ(g_InputState.padCount, 0);
    EXPECT_NE(FindLine("DirectInput 関連の終了処理... 完了"), -1);
}

TEST_F(InputTest, VibrationStopsAfterItsTimeAndWhileInactive) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    int low = 0, high = 0;
    ASSERT_EQ(StartPadVibration(1, 4000, 100), 0);
    PlatformPadRumble(0, &low, &high);
    EXPECT_GT(low, 0);
    EXPECT_EQ(high, 0);  // the sine only above power 5000
    CancelPadVibration(1);
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(low, 0);

    ASSERT_EQ(StartPadVibration(1, 8000, 100), 0);
    PlatformPadRumble(0, &low, &high);
    EXPECT_GT(high, 0);
    Sleep(60);
    ApiProcessMessage();
    EXPECT_EQ(g_InputState.pads[0].vibrationWanted, 1);
    Sleep(60);
    ApiProcessMessage();
    EXPECT_EQ(g_InputState.pads[0].vibrationWanted, 0);
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(low + high, 0);

    // Endless vibration stops while the application is inactive and comes back.
    ASSERT_EQ(StartPadVibration(1, 10000, -1), 0);
    g_SystemState.applicationActive = 0;
    ApplyPadVibration();
    PlatformPadRumble(0, &low, &high);
    EXPECT_EQ(low + high, 0);
    g_SystemState.applicationActive = 1;
    Sleep(5000);
    UpdatePadVibration();
    PlatformPadRumble(0, &low, &high);
    EXPECT_GT(low, 0);
    EXPECT_EQ(StartPadVibration(2, 10000, -1), -1);  // no such pad
}

TEST_F(InputTest, TheTimedStopDoesNotWaitForTheApplicationToBecomeActive) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(StartPadVibration(1, 10000, 100), 0);
    g_SystemState.applicationActive = 0;
    Sleep(200);
    UpdatePadVibration();  // runs inside message processing: it must not wait there
    EXPECT_EQ(g_InputState.pads[0].vibrationWanted, 0);
    g_SystemState.applicationActive = 1;
}

TEST_F(InputTest, AClockThatGoesBackAddsNoVibrationTime) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(StartPadVibration(1, 10000, 100), 0);
    PadRecord& pad = g_InputState.pads[0];
    pad.vibrationLastTick = timeGetTime() + 1000;  // as after a wrap of the clock
    UpdatePadVibration();
    EXPECT_EQ(pad.vibrationElapsed, 0);
    EXPECT_EQ(pad.vibrationWanted, 1);
}

TEST_F(InputTest, CooperationFollowsActivation) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    g_SystemState.applicationActive = 0;
    ResetInputCooperation();
    EXPECT_EQ(PlatformInputStatsRef().lastPadCooperation, D_DISCL_NONEXCLUSIVE | D_DISCL_BACKGROUND);
    g_SystemState.applicationActive = 1;
    ResetInputCooperation();
    EXPECT_EQ(PlatformInputStatsRef().lastPadCooperation, D_DISCL_EXCLUSIVE | D_DISCL_FOREGROUND);
}

TEST_F(InputTest, DirectInput8TakesOverWhenVersion7IsMissing) {
    PlatformInputKnobsRef().refuseDirectInput7 = true;
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_InputState.directInput8, 1);
    EXPECT_EQ(g_InputState.padCount, 1);
    EXPECT_NE(FindLine("DirectInput8 の取得を試みます"), -1);
    Hold({D_DIK_C}, {Pad(0, 1000)});
    EXPECT_EQ(ApiGetPadState(0x1001), 0x41);
}

TEST_F(InputTest, WithoutDirectInputTheWin32KeyboardAndJoysticksServe) {
    PlatformInputKnobsRef().refuseDirectInput7 = true;
    PlatformInputKnobsRef().refuseDirectInput8 = true;
    PlatformSetHeadlessPads({{"Plain", false, true}, {"Full", true, true}});
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_TRUE(g_InputState.win32Mode);
    EXPECT_FALSE(InputInDirectInputMode());
    EXPECT_EQ(g_InputState.useWin32Input, 1);
    EXPECT_EQ(g_InputState.padCount, 2);
    EXPECT_EQ(g_InputState.pads[1].hasZAndR, 1);
    EXPECT_NE(FindLine("DirectInput を使用しません。"), -1);
    EXPECT_NE(FindLine("パッドの数は 2 個です"), -1);
    EXPECT_EQ(g_SystemState.logIndent, 0u);

    Hold({D_DIK_Z, 0x58, D_DIK_NUMPADENTER}, {Pad(-1000, 0, {3})});
    EXPECT_EQ(ApiGetPadState(0x1001), 0x2 | 0x40 | 0x10);
    EXPECT_EQ(ApiIsKeyDown(0x58), 1);  // F12: second run of the table
    EXPECT_EQ(ApiIsKeyDown(D_DIK_RETURN), 1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_NUMPADENTER), 1);  // both from the one RETURN key
    Hold({}, {Pad(100, 0)});
    EXPECT_EQ(ApiGetPadState(1), 0);

    // Vibration and cooperation are DirectInput's alone.
    EXPECT_EQ(StartPadVibration(1, 10000, -1), -1);
    EXPECT_EQ(ResetInputCooperation(), 0);
    ApiEndFramework();
    EXPECT_NE(FindLine("入力関連の終了処理... 完了"), -1);
    g_InputState.useWin32Input = 0;
}

TEST(InputConversion, JoystickPositionsScaleOutsideTheDeadBand) {
    EXPECT_EQ(ConvertJoystickPosition(0), -1000);
    EXPECT_EQ(ConvertJoystickPosition(20000), -186);
    EXPECT_EQ(ConvertJoystickPosition(24576), 0);
    EXPECT_EQ(ConvertJoystickPosition(30000), 0);
    EXPECT_EQ(ConvertJoystickPosition(32767), 0);
    EXPECT_EQ(ConvertJoystickPosition(40960), 0);
    EXPECT_EQ(ConvertJoystickPosition(50000), 367);
    EXPECT_EQ(ConvertJoystickPosition(65535), 999);
    // An eighth of the way out on either side: exactly 125.
    EXPECT_EQ(ConvertJoystickPosition(44032), 125);
    EXPECT_EQ(ConvertJoystickPosition(21504), -125);
}

TEST(InputTables, TheVirtualKeyTableHasItsTwoRuns) {
    int firstEnd = -1, secondEnd = -1;
    for (int i = 0; i < static_cast<int>(std::size(kVirtualKeyTable)); ++i) {
        if (kVirtualKeyTable[i].virtualKey == 0xFFFE) firstEnd = i;
        if (kVirtualKeyTable[i].virtualKey == 0xFFFF) secondEnd = i;
    }
    EXPECT_EQ(firstEnd, 72);
    EXPECT_EQ(secondEnd - firstEnd - 1, 27);
    EXPECT_EQ(secondEnd, static_cast<int>(std::size(kVirtualKeyTable)) - 1);
    EXPECT_EQ(kVirtualKeyTable[secondEnd].scanCode, 0xFFFF);
    unsigned sum = 0;
    for (int i = 0; i < firstEnd; ++i) sum += kVirtualKeyTable[i].scanCode;
    // Samples: A, Z, '0', RIGHT, the Japanese '@' key, DIVIDE; numeric Enter, F12.
    auto scan = [&](unsigned vk, int from) {
        for (int i = from; i < secondEnd; ++i)
            if (kVirtualKeyTable[i].virtualKey == vk) return static_cast<int>(kVirtualKeyTable[i].scanCode);
        return -1;
    };
    EXPECT_EQ(scan(0x41, 0), 0x1E);
    EXPECT_EQ(scan(0x5A, 0), 0x2C);
    EXPECT_EQ(scan(0x30, 0), 0x0B);
    EXPECT_EQ(scan(0x27, 0), 0xCD);
    EXPECT_EQ(scan(0xC0, 0), 0x91);
    EXPECT_EQ(scan(0x6F, 0), 0xB5);
    EXPECT_EQ(scan(0x0D, firstEnd + 1), 0x9C);
    EXPECT_EQ(scan(0x7B, firstEnd + 1), 0x58);
    EXPECT_EQ(sum, 4003u);

    std::uint32_t bits = 0;
    for (const PadKeySource& source : kPadKeySources) bits |= source.bit;
    EXPECT_EQ(bits, 0x3FFFu);
}

using InputDeathTest = InputTest;

TEST_F(InputDeathTest, AKeyboardOrMouseThatCannotBeSetUpIsFatal) {
    ::testing::FLAGS_gtest_death_test_style = "fast";
    const struct {
        bool keyboard;
        const char* step;
        const char* line;
    } cases[] = {
        {true, "create", "キーボードデバイスの取得に失敗しました"},
        {true, "format", "キーボードデバイスのデータ形式の設定に失敗しました"},
        {true, "cooperate", "キーボードデバイスの協調レベルの設定に失敗しました"},
        {true, "acquire", "キーボードデバイスの取得に失敗しました"},
        {false, "create", "マウスデバイスの取得に失敗しました"},
        {false, "format", "マウスデバイスのデータ形式の設定に失敗しました"},
        {false, "cooperate", "マウスデバイスの協調レベルの設定に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        PlatformInputKnobsRef() = PlatformInputKnobs{};
        (c.keyboard ? PlatformInputKnobsRef().failKeyboardAt : PlatformInputKnobsRef().failMouseAt) = c.step;
        EXPECT_EXIT(ApiInitFramework(), ::testing::ExitedWithCode(255), "");
        EXPECT_NE(FindLine(c.line), -1);
    }
}

// Power is held to 0..10000; names of any length are cut to 259 bytes and
// ended.
TEST_F(InputTest, PowerIsClampedAndPadNamesAreCutToTheirBuffers) {
    const std::string longName(300, 'P');
    PlatformSetHeadlessPads({{longName, false, true}});
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(g_InputState.padCount, 1);
    const PadRecord& pad = g_InputState.pads[0];
    EXPECT_EQ(std::strlen(pad.productName), 259u);
    EXPECT_EQ(std::strlen(pad.instanceName), 259u);
    EXPECT_EQ(std::string(pad.productName), longName.substr(0, 259));
    // Nothing else of the record is left from before: no vibration wanted.
    EXPECT_EQ(pad.vibrationWanted, 0);
    EXPECT_EQ(pad.vibrationDuration, 0);
    EXPECT_EQ(pad.vibrationElapsed, 0);
    EXPECT_EQ(pad.vibrationLastTick, 0u);
    EXPECT_EQ(pad.hasZAndR, 0);
    EXPECT_EQ(pad.vibrationPower, 10000);
    const struct {
        int power, kept;
    } cases[] = {{-1, 0}, {0, 0}, {1, 1}, {9999, 9999}, {10000, 10000}, {10001, 10000}, {0x7FFFFFFF, 10000}};
    for (const auto& c : cases) {
        ASSERT_EQ(StartPadVibration(1, c.power, -1), 0) << c.power;
        EXPECT_EQ(pad.vibrationPower, c.kept) << c.power;
        EXPECT_EQ(pad.vibrationWanted, 1) << c.power;
    }
    EXPECT_EQ(CancelPadVibration(1), 0);
    EXPECT_EQ(pad.vibrationWanted, 0);
    EXPECT_EQ(pad.vibrationPower, 10000);
    EXPECT_EQ(ApplyPadVibration(), 0);
    EXPECT_EQ(UpdatePadVibration(), 0);
    EXPECT_EQ(ResetInputCooperation(), 0);
    // The stand-in refuses malformed properties and effects: none was.
    EXPECT_EQ(FindLine("キーボードのプロパティ設定に失敗しました"), -1);
    EXPECT_EQ(FindLine("周期的エフェクトの作成に失敗しました"), -1);
    EXPECT_NE(FindLine("ジョイパッドの追加は正常に終了しました"), -1);
    // Ending input twice: the second finds nothing set up.
    EXPECT_EQ(TerminateInput(), 0);
    EXPECT_EQ(g_InputState.padCount, 0);
    EXPECT_EQ(TerminateInput(), 0);
}


// Tabs at the head of the first log line holding `text`; -1 if none.
int IndentOf(const std::string& log, const std::string& text) {
    std::size_t at = log.find(text);
    if (at == std::string::npos) return -1;
    std::size_t start = log.rfind("\r\n", at);
    start = start == std::string::npos ? 0 : start + 2;
    std::size_t p = log.find(':', start) + 1;
    int tabs = 0;
    while (p < at && log[p] == '\t') ++tabs, ++p;
    return tabs;
}

// What the framework asks of each device, as the devices keep it: the
// keyboard and mouse shared and in the background with a 100-entry buffer,
// pads exclusive in the foreground with X, Y, Z and Rz at -1000..1000 and a
// 25% dead zone, and two effects; and what the end lets go of.
TEST_F(InputTest, DevicesAreSetUpAsAskedAndLetGoAtTheEnd) {
    PlatformSetHeadlessPads({{"Full", true, true}});
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_EQ(g_InputState.padCount, 1);
    const PlatformDeviceRequests keyboard = PlatformInputRequests(kPlatformKeyboardDevice);
    const PlatformDeviceRequests mouse = PlatformInputRequests(kPlatformMouseDevice);
    const PlatformDeviceRequests pad = PlatformInputRequests(0);
    EXPECT_TRUE(keyboard.acquired && keyboard.notifying);
    EXPECT_EQ(keyboard.cooperationInForce, 10u);
    EXPECT_EQ(keyboard.bufferSize, 100u);
    EXPECT_TRUE(mouse.acquired);
    EXPECT_FALSE(mouse.notifying);
    EXPECT_EQ(mouse.cooperationInForce, 10u);
    EXPECT_TRUE(pad.acquired && pad.notifying);
    EXPECT_EQ(pad.cooperationInForce, 5u);
    const LONG rangeMin[6] = {-1000, -1000, -1000, 0, 0, -1000}, rangeMax[6] = {1000, 1000, 1000, 65535, 65535, 1000};
    const DWORD dead[6] = {2500, 2500, 2500, 0, 0, 2500};
    for (int axis = 0; axis < 6; ++axis) {
        EXPECT_EQ(pad.rangeMin[axis], rangeMin[axis]) << axis;
        EXPECT_EQ(pad.rangeMax[axis], rangeMax[axis]) << axis;
        EXPECT_EQ(pad.deadZone[axis], dead[axis]) << axis;
    }
    // The sine: polar on X and Y, endless, full gain, no trigger, shaped by
    // its envelope; the constant force: cartesian, no envelope.
    for (const PlatformEffectRequest* e : {&pad.sine, &pad.constantForce}) {
        EXPECT_TRUE(e->made);
        EXPECT_EQ(e->duration, 0xFFFFFFFFu);
        EXPECT_EQ(e->gain, 10000u);
        EXPECT_EQ(e->triggerButton, 0xFFFFFFFFu);
        EXPECT_EQ(e->startDelay, 0u);
        EXPECT_EQ(e->axisCount, 2u);
        EXPECT_EQ(e->axes[0], 0u);
        EXPECT_EQ(e->axes[1], 4u);
        EXPECT_EQ(e->direction[0], 0);
        EXPECT_EQ(e->direction[1], 0);
    }
    EXPECT_EQ(pad.sine.flags, 0x22u);
    ASSERT_TRUE(pad.sine.hasEnvelope);
    EXPECT_EQ(pad.sine.envelope.dwSize, 20u);
    EXPECT_EQ(pad.sine.envelope.dwAttackLevel, 0u);
    EXPECT_EQ(pad.sine.envelope.dwAttackTime, 500000u);
    EXPECT_EQ(pad.sine.envelope.dwFadeLevel, 0u);
    EXPECT_EQ(pad.sine.envelope.dwFadeTime, 1000000u);
    EXPECT_EQ(pad.sine.periodic.dwMagnitude, 10000u);
    EXPECT_EQ(pad.sine.periodic.lOffset, 0);
    EXPECT_EQ(pad.sine.periodic.dwPhase, 0u);
    EXPECT_EQ(pad.sine.periodic.dwPeriod, 1500000u);
    EXPECT_EQ(pad.constantForce.flags, 0x12u);
    EXPECT_FALSE(pad.constantForce.hasEnvelope);
    EXPECT_EQ(pad.constantForce.magnitude, 10000);
    // Names and steps in the log, the device's lines one step further in.
    EXPECT_NE(FindLine("デバイスの登録名:Full 1"), -1);
    EXPECT_NE(FindLine("デバイスの製品登録名:Full"), -1);
    const std::string log = Log();
    EXPECT_EQ(IndentOf(log, "デバイスの登録名"), IndentOf(log, "入力装置を見つけました") + 1);
    EXPECT_EQ(IndentOf(log, "引き続き初期化処理"), IndentOf(log, "DirectInput7 の取得中") + 1);
    EXPECT_EQ(IndentOf(log, "DirectInput 関連の初期化は正常に終了しました"), 0);

    // A second set-up finds input set up and makes nothing.
    const int devices = PlatformInputStatsRef().liveDevices;
    EXPECT_EQ(InitInput(), 0);
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, devices);

    EXPECT_EQ(TerminateInput(), 0);
    EXPECT_FALSE(PlatformInputRequests(kPlatformKeyboardDevice).acquired);
    EXPECT_FALSE(PlatformInputRequests(kPlatformMouseDevice).acquired);
    EXPECT_FALSE(PlatformInputRequests(0).acquired);
    EXPECT_FALSE(PlatformInputRequests(0).notifying);
    EXPECT_EQ(PlatformInputStatsRef().liveDevices, 0);
    EXPECT_EQ(g_InputState.keyboardEvent, nullptr);
    EXPECT_EQ(g_InputState.pads[0].event, nullptr);
}

// A change of activation takes every device again with the level that
// suits it: pads exclusive in the foreground only while active.
TEST_F(InputTest, CooperationTakesEffectWhenTheDevicesAreTakenAgain) {
    PlatformSetHeadlessPads({{}, {}});
    ASSERT_EQ(ApiInitFramework(), 0);
    for (int active : {0, 1}) {
        g_SystemState.applicationActive = active;
        const int acquires = PlatformInputStatsRef().acquires;
        EXPECT_EQ(ResetInputCooperation(), 0);
        EXPECT_EQ(PlatformInputStatsRef().acquires, acquires + 3) << "two pads and the keyboard";
        for (int pad : {0, 1}) {
            EXPECT_TRUE(PlatformInputRequests(pad).acquired);
            EXPECT_EQ(PlatformInputRequests(pad).cooperationInForce, active ? 5u : 10u) << active;
        }
        EXPECT_TRUE(PlatformInputRequests(kPlatformKeyboardDevice).acquired);
    }
}

// Each step of a pad's set-up that fails: the pad is left out and released,
// or (Z and Rz are optional) kept.
TEST_F(InputTest, EveryFailingStepOfAPadIsLoggedAndTheRestGoesOn) {
    const struct {
        const char* step;
        const char* line;
        int pads;
    } cases[] = {
        {"create", "入力装置の取得に失敗しました", 0},
        {"format", "ジョイパッドデバイスではありませんでした、又は設定に失敗しました", 0},
        {"cooperate", "ジョイパッドデバイスの協調レベルの設定に失敗しました", 0},
        {"rangex", "ジョイパッドデバイスのＸ軸関係の設定に失敗しました", 0},
        {"rangey", "ジョイパッドデバイスのＹ軸関係の設定に失敗しました", 0},
        {"deadx", "ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました", 0},
        {"deady", "ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました", 0},
        {"event", "ジョイパッドイベントのセットアップが失敗しました", 0},
        {"rangez", "ジョイパッドの追加は正常に終了しました", 1},
        {"deadrz", "ジョイパッドの追加は正常に終了しました", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        PlatformInputReset();
        PlatformSetHeadlessPads({{"Full", true, true}});
        PlatformInputKnobsRef().failPadAt = c.step;
        ASSERT_EQ(ApiInitFramework(), 0);
        EXPECT_EQ(g_InputState.padCount, c.pads);
        EXPECT_NE(FindLine(c.line), -1);
        EXPECT_EQ(PlatformInputStatsRef().liveDevices, 2 + c.pads);
        EXPECT_EQ(PlatformInputStatsRef().liveEffects, 2 * c.pads);
        EXPECT_NE(FindLine("DirectInput 関連の初期化は正常に終了しました"), -1);
        ApiEndFramework();
    }
    // A pad without force feedback is kept, without vibration.
    PlatformInputReset();
    PlatformSetHeadlessPads({{"Still", false, false}});
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_InputState.padCount, 1);
    EXPECT_NE(FindLine("周期的エフェクトの作成に失敗しました"), -1);
    EXPECT_EQ(StartPadVibration(1, 10000, -1), -1);
    EXPECT_EQ(CancelPadVibration(1), 0);
}

// DirectInput 7 that cannot be initialised gives way to 8, and 8 that cannot
// to the Win32 functions; nothing of a refused version is kept.
TEST_F(InputTest, AVersionThatCannotBeInitialisedIsLetGo) {
    const struct {
        bool refuse7, fail7, refuse8, fail8;
        int directInput8, win32;
        const char* line;
    } cases[] = {
        {false, true, false, false, 1, 0, "初期化に失敗。"},
        {true, false, false, true, 0, 1, "エラーコード 0x80040154"},
        {false, true, false, true, 0, 1, "DirectInput を使用しません。"},
        {false, true, true, false, 0, 1, "DirectInput8 の取得を試みます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.refuse7 << c.fail7 << c.refuse8 << c.fail8);
        PlatformInputReset();
        PlatformSetHeadlessPads({{}});
        PlatformInputKnobsRef().refuseDirectInput7 = c.refuse7;
        PlatformInputKnobsRef().failInitialise7 = c.fail7;
        PlatformInputKnobsRef().refuseDirectInput8 = c.refuse8;
        PlatformInputKnobsRef().failInitialise8 = c.fail8;
        ASSERT_EQ(ApiInitFramework(), 0);
        EXPECT_EQ(g_InputState.directInput8, c.directInput8);
        EXPECT_EQ(g_InputState.win32Mode, c.win32);
        EXPECT_EQ(InputInDirectInputMode(), c.win32 == 0);
        EXPECT_EQ(g_InputState.padCount, 1);
        EXPECT_NE(FindLine(c.line), -1);
        EXPECT_EQ(g_SystemState.logIndent, 0u);
        EXPECT_EQ(PlatformInputStatsRef().liveDevices, c.win32 ? 0 : 3);
        // Ending input: 0, and nothing is left set up.
        EXPECT_EQ(TerminateInput(), 0);
        EXPECT_EQ(g_InputState.padCount, 0);
        EXPECT_EQ(g_InputState.win32Mode, 0);
        EXPECT_FALSE(InputSetUp());
        EXPECT_EQ(TerminateInput(), 0);
        ApiEndFramework();
        g_InputState.useWin32Input = 0;
    }
}

// The keyboard's state: read once per millisecond unless it signals, the
// main thread's Win32 view merged in (numeric Enter also holds RETURN there),
// and nothing read while quitting or when the system will not give it.
TEST_F(InputTest, KeyboardReadsAreCountedMergedAndRefused) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({D_DIK_NUMPADENTER, D_DIK_Z});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_NUMPADENTER), 1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_RETURN), 1) << "the Win32 view of the main thread";
    // Another thread sees no Win32 keys, so its reads are not merged; its
    // clock stands still, so a second read in the same millisecond is none.
    int first = -1, second = -1;
    bool z = false;
    std::thread([&] {
        g_InputState.lastKeyTick = 0;
        first = RefreshKeyState();
        z = (g_InputState.keyState[D_DIK_Z] & 0x80) != 0;
        second = RefreshKeyState();
    }).join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_TRUE(z);
    // Quitting: nothing read.
    g_InputState.lastKeyTick = 0;
    g_SystemState.quitFlag = 1;
    EXPECT_EQ(RefreshKeyState(), 0);
    g_SystemState.quitFlag = 0;
    // Without the Win32 view the DirectInput state stands alone.
    PlatformInputKnobsRef().refuseKeyboardState = true;
    Hold({D_DIK_NUMPADENTER});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_NUMPADENTER), 1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_RETURN), 0);
    ApiEndFramework();

    // Win32 input alone: the state kept when the system refuses it.
    PlatformInputKnobsRef() = PlatformInputKnobs{};
    g_InputState.useWin32Input = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    Hold({D_DIK_Z});
    g_InputState.lastKeyTick = 0;
    EXPECT_EQ(RefreshKeyState(), 1);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    PlatformInputKnobsRef().refuseKeyboardState = true;
    Hold({});
    g_InputState.lastKeyTick = 0;
    EXPECT_EQ(RefreshKeyState(), 0);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    PlatformInputKnobsRef().refuseKeyboardState = false;
    g_InputState.lastKeyTick = 0;
    g_SystemState.quitFlag = 1;
    EXPECT_EQ(RefreshKeyState(), 0);
    g_SystemState.quitFlag = 0;
    std::thread([&] {
        g_InputState.lastKeyTick = 0;
        first = RefreshKeyState();
        second = RefreshKeyState();
    }).join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 0);
    ApiEndFramework();
    g_InputState.useWin32Input = 0;
}

// A pad's axes as read, through DirectInput (polled once per millisecond)
// and through the Win32 joystick functions (Z and R only where the pad has
// them, 24 buttons).
TEST_F(InputTest, PadAxesAndButtonsAreReadOncePerTick) {
    PlatformPadState full;
    full.axes[0] = -32767;
    full.axes[1] = 32767;
    full.axes[2] = 32767;
    full.axes[5] = -32767;
    full.buttons[0] = full.buttons[23] = full.buttons[24] = true;
    PlatformPadState half;  // half way: a third of the range, past the dead zone or the centre band
    half.axes[0] = 16384;
    half.axes[2] = -16384;
    for (int win32 : {0, 1}) {
        SCOPED_TRACE(win32 ? "Win32" : "DirectInput");
        PlatformInputReset();
        g_InputState.useWin32Input = win32;
        PlatformSetHeadlessPads({{"Full", true, true}, {"Plain", false, true}});
        ASSERT_EQ(ApiInitFramework(), 0);
        ASSERT_EQ(g_InputState.padCount, 2);
        Hold({}, {full, full});
        EXPECT_EQ(RefreshPadState(0), 0);
        EXPECT_EQ(RefreshPadState(1), 0);
        const D_DIJOYSTATE& a = g_InputState.pads[0].state;
        const D_DIJOYSTATE& b = g_InputState.pads[1].state;
        EXPECT_EQ(a.lX, win32 ? -999 : -1000);
        EXPECT_EQ(a.lY, win32 ? 999 : 1000);
        EXPECT_EQ(a.lZ, win32 ? 999 : 1000);
        EXPECT_EQ(a.lRz, win32 ? -999 : -1000);
        EXPECT_EQ(b.lZ, win32 ? 0 : 1000) << "Win32 reads Z only of a pad that has it";
        EXPECT_EQ(a.rgbButtons[0], 0x80);
        EXPECT_EQ(a.rgbButtons[23], 0x80);
        EXPECT_EQ(a.rgbButtons[24], win32 ? 0 : 0x80);
        EXPECT_EQ(static_cast<std::uint32_t>(ApiGetPadState(1)), 0x2u | 0x1u | 0x10u | 0x8000000u);
        Hold({}, {half});
        RefreshPadState(0);
        EXPECT_EQ(a.lX, 333);
        EXPECT_EQ(a.lZ, -333);
        // Read once per millisecond: on a thread whose clock stands still a
        // second read finds the first.
        const int polls = PlatformInputRequests(0).polls;
        LONG x1 = 7, x2 = 7;
        int r1 = -2, r2 = -2;
        std::thread([&] {
            g_InputState.pads[0].lastPollTick = 0;
            Hold({}, {full});
            r1 = RefreshPadState(0);
            x1 = a.lX;
            Hold({}, {half});
            r2 = RefreshPadState(0);
            x2 = a.lX;
        }).join();
        EXPECT_EQ(r1, 0);
        EXPECT_EQ(r2, 0);
        EXPECT_EQ(x1, win32 ? -999 : -1000);
        EXPECT_EQ(x2, x1);
        if (!win32) {
            EXPECT_EQ(PlatformInputRequests(0).polls, polls + 1);
        }
        ApiEndFramework();
    }
    g_InputState.useWin32Input = 0;
}

// A pad that is lost while quitting is not taken again.
TEST_F(InputTest, ALostPadIsNotTakenAgainWhileQuitting) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    PlatformInputKnobsRef().refuseAcquire = true;
    g_InputState.pads[0].lastPollTick = 0;
    g_SystemState.quitFlag = 1;
    EXPECT_EQ(RefreshPadState(0), -1);
    g_SystemState.quitFlag = 0;
    g_InputState.pads[0].lastPollTick = 0;
    EXPECT_EQ(RefreshPadState(0), 0);
    PlatformInputKnobsRef().refuseAcquire = false;
}


// The smallest deflection past the dead zone (an axis value of 1) sets the
// direction's bit; one inside it sets none.
TEST_F(InputTest, TheSmallestDeflectionSetsItsBit) {
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    const struct {
        LONG x, y;
        LONG readX, readY;
        int bits;
    } cases[] = {
        {8230, 0, 1, 0, 0x4}, {-8230, 0, -1, 0, 0x2}, {0, 8230, 0, 1, 0x1}, {0, -8230, 0, -1, 0x8}, {8190, -8190, 0, 0, 0},
    };
    for (const auto& c : cases) {
        PlatformPadState pad;
        pad.axes[0] = c.x;
        pad.axes[1] = c.y;
        Hold({}, {pad});
        EXPECT_EQ(ApiGetPadState(1), c.bits) << c.x << "," << c.y;
        EXPECT_EQ(g_InputState.pads[0].state.lX, c.readX);
        EXPECT_EQ(g_InputState.pads[0].state.lY, c.readY);
    }
}


// A keyboard that will not take its buffer size still works; vibration
// starts its effects once, with the sine above half power, and keeps its
// time; a cancel sets input up again when it was ended.
TEST_F(InputTest, BufferRefusalVibrationStartAndCancelSetUp) {
    PlatformInputKnobsRef().failKeyboardAt = "buffer";
    PlatformSetHeadlessPads({{}});
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_NE(FindLine("キーボードのプロパティ設定に失敗しました"), -1);
    Hold({D_DIK_Z});
    EXPECT_EQ(ApiIsKeyDown(D_DIK_Z), 1);
    const PadRecord& pad = g_InputState.pads[0];
    const struct {
        int power, high;
    } cases[] = {{5000, 0}, {5001, 1}, {10000, 1}};
    for (const auto& c : cases) {
        CancelPadVibration(1);
        ASSERT_EQ(StartPadVibration(1, c.power, 250), 0);
        int low = 0, high = 0;
        PlatformPadRumble(0, &low, &high);
        EXPECT_GT(low, 0) << c.power;
        EXPECT_EQ(high > 0, c.high == 1) << c.power;
        EXPECT_EQ(PlatformInputStatsRef().lastStartIterations, 1u);
        EXPECT_EQ(PlatformInputStatsRef().lastStartFlags, 0u);
        EXPECT_EQ(pad.vibrationDuration, 250);
        EXPECT_EQ(pad.vibrationElapsed, 0);
        EXPECT_LE(timeGetTime() - pad.vibrationLastTick, 2u);
    }
    // Time past the largest count is held there, and stops the longest.
    ASSERT_EQ(StartPadVibration(1, 10000, 0x7FFFFFFF), 0);
    g_InputState.pads[0].vibrationElapsed = 0x7FFFFFF0;
    Sleep(100);
    UpdatePadVibration();
    EXPECT_EQ(pad.vibrationWanted, 0);
    EXPECT_EQ(pad.vibrationElapsed, 0x7FFFFFFF);
    TerminateInput();
    EXPECT_EQ(CancelPadVibration(1), 0);
    EXPECT_TRUE(InputSetUp());
}

}  // namespace
