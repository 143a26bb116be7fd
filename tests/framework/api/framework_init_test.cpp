// Start-up and shut-down: the order of the steps, each failure path, and the
// fatal-error exit.
#include <gtest/gtest.h>

#include "core/fatal_error.h"
#include "core/log.h"
#include "core/system_info.h"
#include "graphics/draw/graph_record.h"
#include "framework/framework_fixture.h"
#include "platform/com.h"

namespace {

std::vector<std::string> g_calls;
int g_failAt = -1;  // index into the recorded start calls that fails

int Record(const char* name, int result) {
    g_calls.push_back(name);
    return result;
}

FrameworkSubsystems Recording() {
    FrameworkSubsystems r{};
    r.initCom = [] {
        g_calls.push_back("InitCom");
        return g_failAt == 0 ? -1 : InitCom();
    };
    r.initWindowSystem = [] {
        g_calls.push_back("InitWindowSystem");
        return g_failAt == 1 ? -1 : InitWindowSystem();
    };
    r.initInput = [] { return Record("InitInput", g_failAt == 2 ? -1 : 0); };
    r.initSound = [] { return Record("InitSound", -1); };
    r.initGraphicsDevice = [](HWND) { return Record("InitGraphicsDevice", g_failAt == 3 ? -1 : 0); };
    r.initCharCodeBuffer = [] { return Record("InitCharCodeBuffer", 0); };
    r.termGraphicsDevice = [] { return Record("TermGraphicsDevice", 0); };
    r.terminateInput = [] { return Record("TerminateInput", 0); };
    r.terminateSound = [] { return Record("TerminateSound", 0); };
    r.terminateWindowSystem = [] {
        g_calls.push_back("TerminateWindowSystem");
        return TerminateWindowSystem();
    };
    r.endNetwork = [] { return Record("EndNetwork", 0); };
    r.stopMusic = [] { return Record("StopMusic", 0); };
    return r;
}

class StartUp : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        g_calls.clear();
        g_failAt = -1;
        g_FrameworkSubsystems = Recording();
    }
};

const std::vector<std::string> kEndOrder = {"EndNetwork", "StopMusic", "TermGraphicsDevice", "TerminateInput",
                                            "TerminateSound", "TerminateWindowSystem"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(StartUp, StartsAndEndsInTheGivenOrder) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"InitCom", "InitWindowSystem", "InitInput", "InitSound",
                                                  "InitGraphicsDevice", "InitCharCodeBuffer"}));
    EXPECT_EQ(g_SystemState.initialised, 1);
    EXPECT_EQ(g_SystemState.initialising, 0);
    EXPECT_EQ(ComInitCount(), 1);
    HWND window = g_SystemState.mainWindow;
    ASSERT_NE(window, nullptr);

    g_calls.clear();
    EXPECT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(g_calls, kEndOrder);
    EXPECT_EQ(g_SystemState.mainWindow, nullptr);
    EXPECT_EQ(g_SystemState.initialised, 0);
    EXPECT_EQ(g_SystemState.ending, 1);
    EXPECT_EQ(ComInitCount(), 0);
    EXPECT_FALSE(IsWindow(window));

    // The log tells the same story, in the same order.
    int report = FindLine("システムの情報を出力します");
    int com = FindLine("ＣＯＭの初期化... 成功しました");
    int window_ = FindLine("フルスクリーンモード用のウインドウを作成します");
    int destroy = FindLine("ウインドウが破棄されようとしています");
    int comEnd = FindLine("ＣＯＭを終了... 完了");
    int dump = FindLine("Alloc memory dump");
    EXPECT_GE(report, 0);
    EXPECT_LT(report, com);
    EXPECT_LT(com, window_);
    EXPECT_LT(window_, destroy);
    EXPECT_LT(destroy, comEnd);
    EXPECT_LT(comEnd, dump);
}

TEST_F(StartUp, EachFailurePathReturnsMinusOneAndEndsWhatWasStarted) {
    struct Case {
        int failAt;
        std::vector<std::string> started;
    };
    const std::vector<Case> cases = {
        {0, {"InitCom"}},
        {1, {"InitCom", "InitWindowSystem"}},
        {2, {"InitCom", "InitWindowSystem", "InitInput"}},
        {3, {"InitCom", "InitWindowSystem", "InitInput", "InitSound", "InitGraphicsDevice"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failAt);
        g_calls.clear();
        g_failAt = c.failAt;
        EXPECT_EQ(ApiInitFramework(), -1);
        EXPECT_EQ(g_calls, Concat(c.started, kEndOrder));
        EXPECT_EQ(g_SystemState.initialising, 0);
        EXPECT_EQ(g_SystemState.initialised, 0);
        EXPECT_EQ(g_SystemState.mainWindow, nullptr);
        EXPECT_EQ(ComInitCount(), 0) << "COM is ended again";
        EXPECT_EQ(g_FrameworkLock.owned, 0);
        PlatformResetWindows();
    }
    // After all those failures a start still works.
    g_failAt = -1;
    EXPECT_EQ(ApiInitFramework(), 0);
}

TEST_F(StartUp, ASoundFailureIsIgnored) {
    // The recorder's sound start always fails.
    EXPECT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_SystemState.initialised, 1);
}

TEST_F(StartUp, ComAlreadyStartedFailsTheStart) {
    g_FrameworkSubsystems = DefaultFrameworkSubsystems();
    g_SystemState.comStarted = 1;
    EXPECT_EQ(InitCom(), -1);
    EXPECT_EQ(ApiInitFramework(), -1);
    EXPECT_EQ(g_SystemState.comStarted, 0);
}

// A failure before any window exists must not leave shut-down waiting for a
// quit message that can never come.
TEST_F(StartUp, EndingWithoutAWindowReturns) {
    g_failAt = 0;
    g_SystemState.quitFlag = 0;
    EXPECT_EQ(ApiInitFramework(), -1);
    EXPECT_EQ(GetQuitFlag(), 0);
    EXPECT_EQ(g_SystemState.mainWindow, nullptr);
    EXPECT_EQ(EndFramework(), 0);
}

TEST_F(StartUp, WindowModeOnATwentyFourBitDesktopStillStarts) {
    // The stand-in reports such a desktop as 32 bits, so the refusal meant
    // for real 24-bit displays does not stop a run here.
    PlatformSetHeadlessDesktop(1024, 768, 24);
    g_SystemState.windowMode = 1;
    EXPECT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_SystemState.desktopColorBits, 32);
    EXPECT_EQ(FindLine("２４ビットカラーモードに対応していません"), -1);
}

// A screen depth of 24 stored behind the setter's back is refused at the
// start, which then is over: nothing started, not initialising.
TEST_F(StartUp, ADepthOfTwentyFourStopsTheStart) {
    g_ScreenDevice.depthSetting = 24;
    EXPECT_EQ(ApiInitFramework(), -1);
    EXPECT_EQ(g_SystemState.initialising, 0);
    EXPECT_EQ(g_SystemState.mainWindow, nullptr);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_NE(FindLine("ＫＶライブラリは２４ビットカラーモードに対応していません"), -1);
    g_ScreenDevice.depthSetting = 0;
}

// What start-up set before the window starts survives the window start's
// clearing of its own state.
TEST_F(StartUp, WindowStartKeepsWhatStartUpSetBefore) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const SystemState& s = g_SystemState;
    EXPECT_NE(s.startDirectory[0], '\0');
    EXPECT_EQ(s.comStarted, 1);
    EXPECT_EQ(s.directXVersion, 0x70000);
    EXPECT_EQ(s.osCode, 0x107);
    EXPECT_GT(s.timeStampFrequency, 0);
    EXPECT_GT(s.performanceFrequency, 0);
    EXPECT_EQ(s.logOff, 0);
    EXPECT_NE(FindLine("ＣＰＵ動作速度"), -1);
    EXPECT_NE(FindLine("WindowsXP ( Build 2600 Service Pack 2 )"), -1);
}

TEST_F(StartUp, TheStartDirectoryIsCurrentAgainAfterTheEnd) {
    ASSERT_EQ(ApiInitFramework(), 0);
    std::string start = g_SystemState.startDirectory;
    SetCurrentDirectoryA(previousDirectory_.c_str());
    ApiEndFramework();
    char now[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_EQ(start, now);
}

TEST_F(FrameworkTest, WindowScaleReadsOneInFullScreenAndForAStoredZero) {
    g_SystemState.windowMode = 0;
    g_SystemState.windowScale = 2.0;
    EXPECT_EQ(GetWindowScale(), 1.0);
    g_SystemState.windowMode = 1;
    EXPECT_EQ(GetWindowScale(), 2.0);
    g_SystemState.windowScale = 0.0;
    EXPECT_EQ(GetWindowScale(), 1.0);
    g_SystemState.windowMode = 0;
}

TEST_F(FrameworkTest, MicrosecondsFollowTheClockThatIsThere) {
    SystemState& s = g_SystemState;
    s.performanceFrequency = 0;
    s.timeStampCounterAvailable = 0;
    long long a = GetMicroseconds(0);
    EXPECT_EQ(a % 1000, 0) << "the millisecond clock only";
    s.performanceFrequency = 10'000'000;
    long long b = GetMicroseconds(0);
    long long c = GetMicroseconds(0);
    EXPECT_GE(b, a);
    EXPECT_GT(c, b);
    // The time-stamp road needs a measured frequency: without one it falls
    // back instead of dividing by zero.
    s.timeStampCounterAvailable = 1;
    s.timeStampFrequency = 0;
    s.initialised = 1;
    EXPECT_GE(GetMicroseconds(1), c);
    s.timeStampFrequency = 1'000'000'000;
    long long d = GetMicroseconds(1);
    EXPECT_GT(d, c - 1000);
    s.initialised = 0;
    s.timeStampCounterAvailable = 0;
    s.performanceFrequency = 0;
}

TEST_F(FrameworkTest, SystemReportNamesEachSystemOfTheTable) {
    struct Row {
        DWORD major, minor;
        int code;
        const char* text;
    };
    GetCurrentDirectoryA(MAX_PATH, g_SystemState.startDirectory);
    InitLogFile();
    const Row rows[] = {{4, 0, 0x105, "Windows4.0"}, {5, 0, 0x106, "Windows2000"},
                        {5, 1, 0x107, "WindowsXP"},  {6, 0, 0x108, "WindowsVista"},
                        {3, 51, 0x104, "WindowsNT 3.51"}};
    for (const Row& r : rows) {
        PlatformSetVersion(r.major, r.minor, 1234);
        LogSystemInfo();
        EXPECT_EQ(g_SystemState.osCode, r.code);
        EXPECT_NE(Log().find(r.text), std::string::npos) << r.text;
    }
    PlatformSetVersion(5, 1, 2600);
    EXPECT_EQ(g_SystemState.logIndent, 0u);
}

using FatalErrorDeathTest = FrameworkTest;

TEST_F(FatalErrorDeathTest, LogsEndsTheFrameworkAndExitsWithMinusOne) {
    ::testing::FLAGS_gtest_death_test_style = "fast";
    EXPECT_EXIT(
        {
            ApiInitFramework();
            EnterFrameworkLock();
            FatalError("致命的な誤り");
        },
        ::testing::ExitedWithCode(255), "");
    // The child wrote the text and ended the window (same start directory).
    EXPECT_NE(FindLine("致命的な誤り"), -1);
    EXPECT_NE(FindLine("ソフトを終了する準備が整いました"), -1);
}

TEST_F(FatalErrorDeathTest, AFormattedTextOf1023CharactersIsLoggedWhole) {
    ::testing::FLAGS_gtest_death_test_style = "fast";
    std::string longText(1023, 'x');
    GetCurrentDirectoryA(MAX_PATH, g_SystemState.startDirectory);
    InitLogFile();
    EXPECT_EXIT(FatalErrorFormat("%s", longText.c_str()), ::testing::ExitedWithCode(255), "");
    EXPECT_NE(Log().find(longText), std::string::npos);
}

// A fatal error raised while shutting down for another one leaves at once
// rather than ending the framework a second time.
TEST_F(FatalErrorDeathTest, AFatalErrorDuringTheEndDoesNotRecurse) {
    ::testing::FLAGS_gtest_death_test_style = "fast";
    EXPECT_EXIT(
        {
            ApiInitFramework();
            g_FrameworkSubsystems.termGraphicsDevice = []() -> int { FatalError("二度目"); };
            FatalError("一度目");
        },
        ::testing::ExitedWithCode(255), "");
    std::string log = Log();
    EXPECT_NE(log.find("一度目"), std::string::npos);
    EXPECT_NE(log.find("二度目"), std::string::npos);
    EXPECT_EQ(log.find("ウインドウが破棄されようとしています"), std::string::npos);
}

}  // namespace

namespace {

int g_initialisingSeen = -1, g_endingSeen = -1;

// The steps see the start and the end under way; a framework ended and
// started again is not ending.
TEST_F(StartUp, TheStepsSeeTheStartAndTheEndUnderWay) {
    g_FrameworkSubsystems.initInput = [] {
        g_initialisingSeen = g_SystemState.initialising;
        return Record("InitInput", 0);
    };
    g_FrameworkSubsystems.endNetwork = [] {
        g_endingSeen = g_SystemState.ending;
        return Record("EndNetwork", 0);
    };
    for (int run = 0; run < 2; ++run) {
        g_initialisingSeen = g_endingSeen = -1;
        ASSERT_EQ(ApiInitFramework(), 0);
        EXPECT_EQ(g_initialisingSeen, 1);
        EXPECT_EQ(g_SystemState.ending, 0);
        EXPECT_EQ(g_SystemState.initialising, 0);
        EXPECT_EQ(ApiEndFramework(), 0);
        EXPECT_EQ(g_endingSeen, 1);
    }
}

// With 3D switched off before the start, the framework starts in software.
TEST_F(FrameworkTest, ThreeDSwitchedOffStartsInSoftware) {
    for (int off : {0, 1}) {
        SetDisable3DFlag(off);
        ASSERT_EQ(ApiInitFramework(), 0);
        EXPECT_EQ(g_ScreenDevice.softwareOnly, off);
        ApiEndFramework();
        g_ScreenDevice = saved_.screen;
    }
}


// The start puts the default reload handler back, and starts with the
// screen-surface mode off on this system.
TEST_F(FrameworkTest, TheStartForgetsTheReloadHandler) {
    const GraphReloadHandler mine = [] {};
    SetGraphReloadHandler(mine);
    ASSERT_EQ(g_GraphTable.reloadHandler, mine);
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_NE(g_GraphTable.reloadHandler, mine);
    EXPECT_EQ(GetScreenSurfaceModeFlag(), 0);
}

}  // namespace
