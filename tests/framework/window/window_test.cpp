// The window system: closing, double start, the screen saver, inactivity,
// dropped files, the wheel and the message thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "core/memory.h"
#include "framework/framework_fixture.h"
#include "input/char_input.h"
#include "input/input.h"
#include "support/no_progress.h"

namespace {

using Ms = std::chrono::milliseconds;

using WindowTest = FrameworkTest;

void Queue(PlatformWindowEvent::Kind kind, int value = 0) {
    PlatformWindowEvent e;
    e.kind = kind;
    e.value = value;
    PlatformQueueWindowEvent(g_SystemState.mainWindow, e);
}

TEST_F(WindowTest, ClosingTheWindowMakesEveryLaterProcessMessageReportIt) {
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    EXPECT_EQ(ApiProcessMessage(), 0);
    Queue(PlatformWindowEvent::Kind::Close);
    EXPECT_NE(ApiProcessMessage(), 0);
    EXPECT_NE(ApiProcessMessage(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_SystemState.windowDestroyed, 1);
    EXPECT_NE(FindLine("ウインドウを閉じようとしています"), -1);
    EXPECT_EQ(ApiEndFramework(), 0);
}

TEST_F(WindowTest, TheWindowIsFullScreenSizedOrCentredInWindowMode) {
    ASSERT_EQ(ApiInitFramework(), 0);
    PlatformWindowInfo full = PlatformGetWindowInfo(g_SystemState.mainWindow);
    EXPECT_EQ(full.style, 0x80000000u);
    EXPECT_TRUE(full.topmost);
    EXPECT_EQ(full.clientRect.right - full.clientRect.left, 640);
    EXPECT_EQ(full.clientRect.bottom - full.clientRect.top, 480);
    EXPECT_EQ(full.title, "Kelvo");
    EXPECT_EQ(full.className, "K123987V");
    EXPECT_FALSE(full.imeEnabled);
    EXPECT_LT(PlatformCursorCount(), 0);
    ApiEndFramework();

    g_SystemState.windowMode = 1;
    g_SystemState.windowScale = 1.5;
    ASSERT_EQ(ApiInitFramework(), 0);
    PlatformWindowInfo win = PlatformGetWindowInfo(g_SystemState.mainWindow);
    EXPECT_EQ(win.style, 0x80CA0000u);
    EXPECT_EQ(win.clientRect.right - win.clientRect.left, 960);
    EXPECT_EQ(win.clientRect.bottom - win.clientRect.top, 720);
    LONG width = win.windowRect.right - win.windowRect.left;
    EXPECT_EQ(win.windowRect.left, (1024 - width) / 2);
    EXPECT_GE(PlatformCursorCount(), 0);
    // The client rectangle in screen coordinates, all four sides.
    EXPECT_EQ(g_SystemState.clientLeft, win.clientRect.left);
    EXPECT_EQ(g_SystemState.clientTop, win.clientRect.top);
    EXPECT_EQ(g_SystemState.clientRight, win.clientRect.left + 960);
    EXPECT_EQ(g_SystemState.clientBottom, win.clientRect.top + 720);
}

// The class name is taken from the title as it was set, before the title
// gets its default; a class name set is kept whatever the title.
TEST_F(WindowTest, ClassAndTitleDefaults) {
    struct Case {
        const char* title;
        const char* className;
        const char* titleAfter;
        const char* classAfter;
    };
    const Case cases[] = {
        {"", "", "Kelvo", "K123987V"},
        {"Quest", "", "Quest", "Quest"},
        {"", "MyClass", "Kelvo", "MyClass"},
        {"Quest", "MyClass", "Quest", "MyClass"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.title) + "/" + c.className);
        std::snprintf(g_SystemState.windowTitle, sizeof g_SystemState.windowTitle, "%s", c.title);
        std::snprintf(g_SystemState.windowClassName, sizeof g_SystemState.windowClassName, "%s", c.className);
        ASSERT_EQ(ApiInitFramework(), 0);
        PlatformWindowInfo info = PlatformGetWindowInfo(g_SystemState.mainWindow);
        EXPECT_EQ(info.title, c.titleAfter);
        EXPECT_EQ(info.className, c.classAfter);
        // The double-start check of a later start looks for this class.
        EXPECT_EQ(FindWindowA(c.classAfter, nullptr), g_SystemState.mainWindow);
        ApiEndFramework();
    }
}

TEST_F(WindowTest, ASecondInstanceEndsItselfUnlessDoubleStartIsAllowed) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_NE(FindLine("二重起動はされていませんでした"), -1);
    HWND first = g_SystemState.mainWindow;

    // A second start while the first window stands finds it, and goes no
    // further.
    EXPECT_EQ(InitWindowSystem(), -1);
    const int refused = FindLine("二重起動されています、ソフトを終了します");
    EXPECT_NE(refused, -1);
    EXPECT_EQ(FindLine("ウインドウクラスを登録します", refused), -1);
    EXPECT_EQ(g_SystemState.mainWindow, nullptr);
    EXPECT_EQ(GetQuitFlag(), 1);

    // Allowed, it goes on past the check (and here, in one process, then
    // finds the class already registered by the first).
    SetAllowDoubleStart(1);
    EXPECT_EQ(InitWindowSystem(), -1);
    EXPECT_NE(FindLine("二重起動されていますが続行します"), -1);
    EXPECT_NE(FindLine("ウインドウクラスの登録に失敗しました"), -1);

    // End the first as it would end itself.
    g_SystemState.mainWindow = first;
    g_SystemState.quitFlag = 0;
    EXPECT_EQ(ApiEndFramework(), 0);
    EXPECT_FALSE(IsWindow(first));
}

TEST_F(WindowTest, TheScreenSaverIsOffWhileRunningAndRefusedByTheWindow) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_FALSE(PlatformScreenSaverActive());
    EXPECT_EQ(FrameworkWindowProc(g_SystemState.mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
    Queue(PlatformWindowEvent::Kind::ScreenSave);
    EXPECT_EQ(ApiProcessMessage(), 0);
    EXPECT_EQ(PlatformPendingMessages(GetCurrentThreadId()), 0u);
    ApiEndFramework();
    EXPECT_TRUE(PlatformScreenSaverActive());
    EXPECT_GE(PlatformCursorCount(), 0) << "the cursor is shown again";
}

TEST_F(WindowTest, DroppingMoreThanAThousandFilesKeepsTheFirstThousand) {
    ASSERT_EQ(ApiInitFramework(), 0);
    PlatformWindowEvent drop;
    drop.kind = PlatformWindowEvent::Kind::Drop;
    for (int i = 0; i < 1005; ++i) drop.files.push_back("file" + std::to_string(i) + ".bmp");
    PlatformQueueWindowEvent(g_SystemState.mainWindow, drop);
    ApiProcessMessage();
    ASSERT_EQ(g_SystemState.droppedFileCount, 1000);
    EXPECT_STREQ(g_SystemState.droppedFiles[0], "file0.bmp");
    EXPECT_STREQ(g_SystemState.droppedFiles[999], "file999.bmp");
    const auto* header =
        reinterpret_cast<const TrackedAllocHeader*>(g_SystemState.droppedFiles[0] - kTrackedAllocHeaderSize);
    EXPECT_EQ(header->size, 10u) << "the name and its terminator";
    ApiEndFramework();
    EXPECT_EQ(g_SystemState.droppedFileCount, 0);
    EXPECT_EQ(FindLine("file0.bmp"), -1) << "no dropped name is left allocated at the end";
}

TEST_F(WindowTest, TheWheelCountsSteps) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Queue(PlatformWindowEvent::Kind::Wheel, 1);
    Queue(PlatformWindowEvent::Kind::Wheel, 3);
    Queue(PlatformWindowEvent::Kind::Wheel, -1);
    ApiProcessMessage();
    EXPECT_EQ(g_SystemState.wheelCounter, 1);
}

TEST_F(WindowTest, WhileInactiveTheMainThreadWaitsUntilActiveAgain) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Queue(PlatformWindowEvent::Kind::Deactivate);
    HWND window = g_SystemState.mainWindow;
    std::atomic<bool> returned{false};
    std::thread user([&] {
        std::this_thread::sleep_for(Ms(50));
        EXPECT_FALSE(returned.load()) << "ProcessMessage came back while inactive";
        PlatformWindowEvent e;
        e.kind = PlatformWindowEvent::Kind::Activate;
        PlatformQueueWindowEvent(window, e);
    });
    EXPECT_EQ(ApiProcessMessage(), 0);
    returned = true;
    user.join();
    EXPECT_EQ(g_SystemState.applicationActive, 1);
    EXPECT_EQ(g_SystemState.inactiveSinceValid, 1);
}

TEST_F(WindowTest, WhileInactiveAClosedWindowEndsTheWait) {
    ASSERT_EQ(ApiInitFramework(), 0);
    Queue(PlatformWindowEvent::Kind::Minimize);
    Queue(PlatformWindowEvent::Kind::Close);
    EXPECT_NE(ApiProcessMessage(), 0);
}

TEST_F(WindowTest, OnTheMessageThreadAnInactivePassReturnsAtOnce) {
    ASSERT_EQ(ApiInitFramework(), 0);
    g_SystemState.applicationActive = 0;
    int result = 1;
    std::thread([&] { result = ProcessMessage(); }).join();
    EXPECT_EQ(result, 0);
    g_SystemState.applicationActive = 1;
}

TEST_F(WindowTest, TheMessageThreadRunsAndEndsWithTheFramework) {
    SetUseMessageThread(1);
    ASSERT_EQ(ApiInitFramework(), 0);
    ASSERT_NE(g_SystemState.messageThread, nullptr);
    // While the game holds the lock the thread queues for it.
    EnterFrameworkLock();
    // However long the thread waits for the processor on a busy machine.
    bool queued = false;
    const auto until = std::chrono::steady_clock::now() + NoProgressLimit();
    while (!queued && std::chrono::steady_clock::now() < until) {
        EnterCriticalSection(&g_FrameworkLock.section);
        queued = g_FrameworkLock.queueLength == 1 &&
                 g_FrameworkLock.queue[0].threadId == g_SystemState.messageThreadId;
        LeaveCriticalSection(&g_FrameworkLock.section);
        if (!queued) std::this_thread::sleep_for(Ms(2));
    }
    EXPECT_TRUE(queued);
    LeaveFrameworkLock();
    // Let go, it goes on handling messages until the end.
    std::this_thread::sleep_for(Ms(20));
    EXPECT_EQ(std::atomic_ref<int>(g_SystemState.messageThreadEnded).load(), 0);
    EXPECT_EQ(ApiEndFramework(), 0);
    EXPECT_EQ(g_SystemState.messageThreadEnded, 1);
    EXPECT_EQ(g_SystemState.messageThread, nullptr);
}

// A message thread that could not be started is not waited for at the end.
TEST_F(WindowTest, NoMessageThreadMeansNoWaitAtTheEnd) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_SystemState.messageThread, nullptr);
    EXPECT_EQ(ApiEndFramework(), 0);
}

TEST_F(WindowTest, ActivationStepsRunTheCallbackButNotWhileTheWindowIsMade) {
    static int calls = 0;
    static int lastActive = -1;
    calls = 0;
    g_SystemState.activationCallback = [](int active, void*) {
        ++calls;
        lastActive = active;
    };
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(calls, 0) << "the window's first activation comes while it is made";
    Queue(PlatformWindowEvent::Kind::Deactivate);
    Queue(PlatformWindowEvent::Kind::Activate);
    ApiProcessMessage();
    EXPECT_GE(calls, 2);
    EXPECT_EQ(lastActive, 1);
    g_SystemState.activationCallback = nullptr;
}

TEST_F(WindowTest, ChangingTheModeRestylesTheWindow) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(ChangeWindowMode(1), 0);
    PlatformWindowInfo info = PlatformGetWindowInfo(g_SystemState.mainWindow);
    EXPECT_EQ(info.style, 0x80CA0000u);
    EXPECT_EQ(info.exStyle, 0x300u);
    EXPECT_FALSE(info.topmost);
    EXPECT_GE(info.clientRect.left, 0);
    EXPECT_EQ(info.clientRect.right - info.clientRect.left, 640);
    EXPECT_EQ(g_SystemState.cursorShown, 1);
    WNDCLASSA other{};
    other.lpfnWndProc = DefWindowProcA;
    other.lpszClassName = "Other";
    RegisterClassA(&other);
    HWND elsewhere = CreateWindowExA(0, "Other", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(elsewhere);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    info = PlatformGetWindowInfo(g_SystemState.mainWindow);
    EXPECT_EQ(info.style, 0x80000000u);
    EXPECT_EQ(info.exStyle, 0x8u);
    EXPECT_TRUE(info.topmost);
    EXPECT_EQ(info.windowRect.left, 0);
    EXPECT_EQ(info.windowRect.top, 0);
    EXPECT_EQ(info.windowRect.right, 640);
    EXPECT_EQ(info.windowRect.bottom, 480);
    EXPECT_EQ(g_SystemState.cursorShown, 0);
    EXPECT_EQ(GetForegroundWindow(), g_SystemState.mainWindow) << "made the active window";
    DestroyWindow(elsewhere);
    EXPECT_NE(FindLine("ウインドウモードフラグが立てられました"), -1);
    EXPECT_NE(FindLine("ウインドウモードフラグが倒されました"), -1);
}

TEST_F(WindowTest, TheKeyTableEndsWithAZeroKey) {
    EXPECT_EQ(kKeyToCharTable[5].virtualKey, 0);
    EXPECT_EQ(kKeyToCharTable[0].virtualKey, 0x2E);
    EXPECT_EQ(kKeyToCharTable[0].character, 0x10);
    EXPECT_EQ(kKeyToCharTable[4].character, 0x1F);
}

// The window procedure's steps on activation and on a display change, seen
// through the hooks it calls. Each hook writes its name; the ones that
// answer a question answer what the case says.
struct HookAnswers {
    int modeChanged = 0, directDrawInUse = 1, hasObject = 1, reloadHandler = 1, screenDepth = 16;
    int applyResult = 0;
};
HookAnswers g_answers;
std::string g_calls;
int g_changingSeen = -1, g_windowModeSeen = -1;

void Called(const char* name) {
    if (!g_calls.empty()) g_calls += ",";
    g_calls += name;
}

WindowHooks RecordingHooks() {
    WindowHooks h = g_WindowHooks;
    h.FlagImeReopen = [] { return Called("ime"), 0; };
    h.RestoreAllSurface2D = [] { return Called("surfaces"), 0; };
    h.RestoreLostSurface3DData = [] { return Called("textures"), 0; };
    h.RecoverGraphicsAfterDeviceLoss = [] { return Called("recover"), 0; };
    h.PlayAllGraphMovies = [] { return Called("play"), 0; };
    h.HoldAllGraphMovies = [] { return Called("hold"), 0; };
    h.ReleaseAllMovieObjects = [] { return Called("movies"), 0; };
    h.ResetInputCooperation = [] { return Called("input"), 0; };
    h.ApplyPadVibration = [] { return Called("vibration"), 0; };
    h.ReleaseDirectDrawObject = [] { return Called("release"), 0; };
    h.SetupScreenColorFormat = [] { return Called("format"), 0; };
    h.IsDisplayModeChanged = [] { return g_answers.modeChanged; };
    h.IsDirectDrawInUse = [] { return g_answers.directDrawInUse; };
    h.HasDirectDrawObject = [] { return g_answers.hasObject; };
    h.HasGraphReloadHandler = [] { return g_answers.reloadHandler; };
    h.GetScreenColorDepth = [] { return g_answers.screenDepth; };
    h.QueryScreenSize = [](int* w, int* h) {
        *w = 640;
        *h = 480;
        return 0;
    };
    h.StretchBlitGraph = [](int, int, int, int, HandleId, int) { return Called("picture"), 0; };
    h.PresentToWindow = [] { return Called("present"), 0; };
    h.ApplyWindowModeChangeToScreen = [] {
        Called("apply");
        g_changingSeen = g_SystemState.windowModeChanging;
        g_windowModeSeen = g_SystemState.windowMode;
        return g_answers.applyResult;
    };
    return h;
}

class WindowHookTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        saved_ = g_WindowHooks;
        g_answers = HookAnswers{};
        g_calls.clear();
    }
    void TearDown() override {
        g_WindowHooks = saved_;
        FrameworkTest::TearDown();
    }
    WindowHooks saved_{};
};

TEST_F(WindowHookTest, ActivationAndDeactivationRunTheirSteps) {
    static int callbackActive = -1;
    g_SystemState.activationCallback = [](int active, void*) { callbackActive = active; };
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    g_WindowHooks = RecordingHooks();
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        int windowMode, initialised, modeChanged, directDrawInUse, hasObject;
        const char* calls;
        int lostAfter, callback;
    } cases[] = {
        {"active, full screen", WM_ACTIVATE, 1, 0, 1, 1, 1, 1, "ime,surfaces,textures,recover,input,vibration", 0, 1},
        {"active, full screen, minimised", WM_ACTIVATE, 0x10001, 0, 1, 1, 1, 1, "ime,surfaces,textures,input,vibration",
         0, 1},
        {"active by a click", WM_ACTIVATE, 2, 0, 1, 1, 1, 1, "ime,surfaces,textures,recover,input,vibration", 0, 1},
        {"active, window", WM_ACTIVATE, 1, 1, 1, 0, 1, 1, "ime,surfaces,textures,play,input,vibration", 1, 1},
        {"active, not yet started", WM_ACTIVATE, 1, 0, 0, 1, 1, 1, "ime,surfaces,textures,play,input,vibration", 1, 1},
        {"inactive, window", WM_ACTIVATE, 0, 1, 1, 1, 1, 1, "hold,input,vibration", 1, 0},
        {"inactive, full screen, mode kept", WM_ACTIVATE, 0, 0, 1, 0, 1, 1, "hold,input,vibration", 1, 0},
        {"inactive, full screen, device lost", WM_ACTIVATE, 0, 0, 1, 1, 1, 1, "vibration", 1, 0},
        {"the application inactive", WM_ACTIVATEAPP, 0, 1, 1, 1, 1, 1, "hold,input,vibration", 1, 0},
        {"the application active", WM_ACTIVATEAPP, 1, 1, 1, 1, 1, 1, "", 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_SystemState.windowMode = c.windowMode;
        g_SystemState.initialised = c.initialised;
        g_SystemState.lostWhileInactive = 1;
        g_answers.modeChanged = c.modeChanged;
        g_answers.directDrawInUse = c.directDrawInUse;
        g_answers.hasObject = c.hasObject;
        g_calls.clear();
        callbackActive = -1;
        FrameworkWindowProc(window, c.message, c.wParam, 0);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(g_SystemState.lostWhileInactive, c.lostAfter);
        EXPECT_EQ(callbackActive, c.callback);
        if (c.callback >= 0) {
            EXPECT_EQ(g_SystemState.applicationActive, c.callback);
        }
    }
    // A window picture is shown while the application is inactive.
    g_SystemState.windowMode = 1;
    g_SystemState.windowPicture = 0x10000;
    g_calls.clear();
    FrameworkWindowProc(window, WM_ACTIVATE, 0, 0);
    EXPECT_EQ(g_calls, "hold,input,picture,present,vibration");
    EXPECT_EQ(g_SystemState.paintingWindowPicture, 0);
    g_SystemState.windowPicture = 0;
    // Software full screen gives the display back and minimises the window
    // (whose own messages come back here meanwhile).
    g_SystemState.windowMode = 0;
    g_answers = HookAnswers{1, 0, 0, 1, 16, 0};
    g_calls.clear();
    FrameworkWindowProc(window, WM_ACTIVATE, 0, 0);
    const std::string tail = "hold,input,vibration";
    EXPECT_EQ(g_calls.substr(0, 8), "release,");
    ASSERT_GE(g_calls.size(), tail.size());
    EXPECT_EQ(g_calls.substr(g_calls.size() - tail.size()), tail);
    g_answers = HookAnswers{};
    g_SystemState.windowMode = 0;
    g_SystemState.initialised = 1;
    g_SystemState.activationCallback = nullptr;
    EXPECT_EQ(g_SystemState.closePosted, 0);

    // Losing the device with no way to reload the graphics ends the program.
    g_answers.modeChanged = 1;
    g_answers.reloadHandler = 0;
    g_calls.clear();
    FrameworkWindowProc(window, WM_ACTIVATE, 0, 0);
    EXPECT_EQ(g_calls, "");
    EXPECT_EQ(g_SystemState.closePosted, 1);
    EXPECT_NE(FindLine("復元関数が登録されていないため終了します"), -1);
    g_WindowHooks = saved_;
    EXPECT_NE(ApiProcessMessage(), 0);
    EXPECT_FALSE(IsWindow(window));
}

// A display change in window mode rebuilds the graphics when the program can
// live with the new mode, and ends it when it cannot.
TEST_F(WindowHookTest, ADisplayChangeRebuildsOrEnds) {
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    g_WindowHooks = RecordingHooks();
    const char* rebuild = "movies,format,recover,play";
    const struct {
        int bits, width, height, reloadHandler, screenDepth, windowMode, changing;
        const char* calls;
    } cases[] = {
        {16, 1024, 768, 0, 16, 1, 0, rebuild},   {32, 1024, 768, 1, 16, 1, 0, rebuild},
        {16, 640, 480, 0, 16, 1, 0, rebuild},    {8, 1024, 768, 1, 8, 1, 0, rebuild},
        {32, 1024, 768, 0, 16, 1, 0, nullptr},   {24, 1024, 768, 1, 24, 1, 0, nullptr},
        {8, 1024, 768, 1, 16, 1, 0, nullptr},    {16, 639, 768, 1, 16, 1, 0, nullptr},
        {16, 1024, 479, 1, 16, 1, 0, nullptr},   {16, 1024, 768, 0, 32, 0, 0, ""},
        {16, 1024, 768, 0, 32, 1, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits " << c.width << "x" << c.height << " reload "
                                        << c.reloadHandler << " screen " << c.screenDepth << " window "
                                        << c.windowMode << " changing " << c.changing);
        g_SystemState.windowMode = c.windowMode;
        g_SystemState.windowModeChanging = c.changing;
        g_SystemState.closePosted = 0;
        g_answers.reloadHandler = c.reloadHandler;
        g_answers.screenDepth = c.screenDepth;
        g_calls.clear();
        const int logLines = static_cast<int>(LogLines().size());
        FrameworkWindowProc(window, WM_DISPLAYCHANGE, static_cast<WPARAM>(c.bits),
                            static_cast<LPARAM>(c.width | (c.height << 16)));
        if (c.calls != nullptr) {
            EXPECT_EQ(g_calls, c.calls);
            EXPECT_EQ(g_SystemState.closePosted, 0);
        } else {
            EXPECT_EQ(g_calls, "");
            EXPECT_EQ(g_SystemState.closePosted, 1);
            EXPECT_GE(FindLine("画面が２４ビットカラーに変更されたため終了します", logLines), logLines);
        }
    }
    g_SystemState.windowMode = 0;
    g_SystemState.windowModeChanging = 0;
    g_WindowHooks = saved_;
    EXPECT_NE(ApiProcessMessage(), 0) << "the close posted ends the program";
}

// A mode change marks itself while the screen follows, so the window's own
// move and display messages of the change are not taken as the user's; the
// screen's result is the change's.
TEST_F(WindowHookTest, ChangingTheWindowModeMarksTheChange) {
    g_WindowHooks = RecordingHooks();
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_EQ(g_calls, "") << "before start-up only the flag is stored";
    EXPECT_EQ(g_SystemState.windowMode, 1);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    g_WindowHooks = saved_;
    ASSERT_EQ(ApiInitFramework(), 0);
    g_WindowHooks = RecordingHooks();
    const struct {
        int flag, result, calls;
    } steps[] = {{1, 0, 1}, {1, 0, 0}, {0, -1, 1}, {0, 0, 0}};
    for (const auto& step : steps) {
        g_calls.clear();
        g_changingSeen = g_windowModeSeen = -1;
        g_answers.applyResult = step.result;
        EXPECT_EQ(ChangeWindowMode(step.flag), step.result) << step.flag;
        EXPECT_EQ(g_calls, step.calls ? "apply" : "") << step.flag;
        if (step.calls) {
            EXPECT_EQ(g_changingSeen, 1);
            EXPECT_EQ(g_windowModeSeen, step.flag);
        }
        EXPECT_EQ(g_SystemState.windowModeChanging, 0);
        EXPECT_EQ(g_SystemState.windowMode, step.flag);
    }
    // While a change is under way the window's moves are not followed.
    g_SystemState.windowMode = 1;
    g_SystemState.windowModeChanging = 1;
    g_SystemState.clientLeft = -7;
    FrameworkWindowProc(g_SystemState.mainWindow, WM_MOVE, 0, static_cast<LPARAM>(30 | (40 << 16)));
    EXPECT_EQ(g_SystemState.clientLeft, -7);
    g_SystemState.windowModeChanging = 0;
    FrameworkWindowProc(g_SystemState.mainWindow, WM_MOVE, 0, static_cast<LPARAM>(30 | (40 << 16)));
    EXPECT_EQ(g_SystemState.clientLeft, 30);
    EXPECT_EQ(g_SystemState.clientTop, 40);
    EXPECT_EQ(g_SystemState.clientRight, 30 + 640);
    EXPECT_EQ(g_SystemState.clientBottom, 40 + 480);
    g_SystemState.windowMode = 0;
    // Asked to close, the procedure destroys the window itself and answers 0.
    HWND window = g_SystemState.mainWindow;
    EXPECT_EQ(FrameworkWindowProc(window, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(window));
}

// Typed characters and the editing keys reach the character queue through
// the window's messages; other keys do not.
TEST_F(WindowTest, CharactersAndEditingKeysReachTheCharacterQueueAsMessages) {
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    const struct {
        UINT message;
        WPARAM wParam;
        int code;  // -1: nothing queued
    } cases[] = {
        {WM_CHAR, 'a', 'a'},        {WM_CHAR, 0x1A5, 0xA5},     {WM_CHAR, 0x0D, 0x0D},
        {WM_KEYDOWN, 0x2E, 0x10},   {WM_KEYDOWN, 0x25, 0x1D},   {WM_KEYDOWN, 0x27, 0x1C},
        {WM_KEYDOWN, 0x26, 0x1E},   {WM_KEYDOWN, 0x28, 0x1F},   {WM_KEYDOWN, 0x41, -1},
        {WM_KEYDOWN, 0x24, -1},
    };
    std::uint8_t out[2] = {};
    while (PopCharCode(out, 1) != 0) {
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.message << " " << c.wParam);
        ASSERT_TRUE(PostMessageA(window, c.message, c.wParam, 0));
        EXPECT_EQ(ApiProcessMessage(), 0);
        out[0] = out[1] = 0;
        if (c.code < 0) {
            out[0] = 0xFF;
            EXPECT_EQ(PopCharCode(out, 1), 0);
            EXPECT_EQ(out[0], 0);
        } else {
            EXPECT_EQ(PopCharCode(out, 1), 1);
            EXPECT_EQ(out[0], c.code);
        }
    }
}

// The clock is chosen at start-up: the performance counter (10 MHz here)
// changes at least as often as the millisecond timer; one that changes less
// often (100 Hz) gives way to the timer.
TEST_F(WindowTest, ThePerformanceCounterIsChosenAtStartUp) {
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(g_SystemState.usePerformanceCounter, 1);
    EXPECT_EQ(g_SystemState.performanceFrequency, 10'000'000);
    EXPECT_NE(FindLine("パフォーマンスカウンターを使用します タイマー分解能 : 10000.000000 KHz"), -1);
    EXPECT_EQ(FindLine("マルチメディアタイマーを使用します"), -1);
    ApiEndFramework();
    const struct {
        LONGLONG frequency;
        int use;
        const char* line;  // null: no measurement
    } cases[] = {{100, 0, " マルチメディアタイマーを使用します タイマー分解能 : 1.00 ms "}};
    struct UsualCounter {
        ~UsualCounter() { PlatformSetCounterFrequency(-1); }
    } usual;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frequency);
        PlatformSetCounterFrequency(c.frequency);
        ASSERT_EQ(ApiInitFramework(), 0);  // the log starts again with each start
        EXPECT_EQ(g_SystemState.usePerformanceCounter, c.use);
        EXPECT_EQ(g_SystemState.performanceFrequency, c.frequency);
        EXPECT_EQ(g_SystemState.timerPeriodMin, 1u);
        const int at = FindLine("精度結果 更新回数 マルチメディアタイマー：60");
        if (c.line != nullptr) {
            ASSERT_GE(at, 0);
            EXPECT_EQ(LogLines()[at + 1], c.line);
        } else {
            EXPECT_EQ(at, -1);
            EXPECT_EQ(FindLine("タイマーの精度を検査します"), -1);
        }
        ApiEndFramework();
    }
}

// The program has no window menu or tool-bar: the menu look-ups find
// nothing and clear the name, the tool-bar is 0 pixels high.
TEST_F(WindowTest, WithoutAMenuTheLookUpsFindNothing) {
    char name[8] = "stale";
    EXPECT_EQ(LookupMenuItemName(3, name), -1);
    EXPECT_EQ(name[0], '\0');
    EXPECT_EQ(LookupMenuItemName(3, nullptr), -1);
    MenuItemRecord item{};
    EXPECT_EQ(ReadMenuItemInfo(nullptr, 0, &item), -1);
    EXPECT_EQ(LookupToolBarButton(1), -1);
    EXPECT_EQ(QueryToolBarHeight(), 0);
    EXPECT_EQ(CollectMenuItems(nullptr), 0);
    g_SystemState.toolBarButtonCount = 3;
    EXPECT_EQ(ClearToolBarButtons(), 0);
    EXPECT_EQ(g_SystemState.toolBarButtonCount, 0);
    EXPECT_EQ(IsMenuEnabled(), 0);
    EXPECT_EQ(SetMenuVisible(1), 0);
    EXPECT_EQ(ShouldShowMenu(), 0) << "visible, but there is no menu";
    EXPECT_EQ(UpdateFullScreenMenu(), 0);
    SetMenuVisible(0);
}

// Before the window exists the window operations only store what they are
// given.
TEST_F(WindowTest, BeforeTheWindowExistsNothingIsMoved) {
    ASSERT_EQ(g_SystemState.mainWindow, nullptr);
    EXPECT_EQ(ResizeWindowToScreen(), 0);
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_EQ(g_SystemState.windowMode, 1);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(g_SystemState.windowMode, 0);
    EXPECT_EQ(SetMouseCursorVisible(1), 0);
    EXPECT_EQ(g_SystemState.cursorShown, 1);
    EXPECT_EQ(SetMouseCursorVisible(0), 0);
    EXPECT_EQ(g_SystemState.cursorShown, 0);
    EXPECT_EQ(g_SystemState.cursorRequest, 0);
}


// The window start clears the window system's own fields, whatever an
// earlier run left in them.
TEST_F(WindowTest, TheStartClearsWhatAnEarlierRunLeft) {
    SystemState& s = g_SystemState;
    s.quitFlag = 1;
    s.inactiveSinceValid = 1;
    s.inactiveSince = 5;
    s.painting = 1;
    s.paintingWindowPicture = 1;
    s.messageThreadEnded = 1;
    s.windowModeChanging = 1;
    s.lostWhileInactive = 1;
    s.wheelCounter = 5;
    s.keyInputRunning = 1;
    s.clientLeft = s.clientTop = s.clientRight = s.clientBottom = 9;
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_EQ(s.quitFlag, 0);
    EXPECT_EQ(s.inactiveSinceValid, 0);
    EXPECT_EQ(s.inactiveSince, 0xFFFFFFFFu);
    EXPECT_EQ(s.painting, 0);
    EXPECT_EQ(s.paintingWindowPicture, 0);
    EXPECT_EQ(s.messageThread, nullptr);
    EXPECT_EQ(s.messageThreadId, 0u);
    EXPECT_EQ(s.messageThreadEnded, 0);
    EXPECT_EQ(s.windowModeChanging, 0);
    EXPECT_EQ(s.lostWhileInactive, 0);
    EXPECT_EQ(s.wheelCounter, 0);
    EXPECT_EQ(s.keyInputRunning, 0);
    EXPECT_EQ(s.windowPicture, 0);
    EXPECT_EQ(s.clientLeft + s.clientTop + s.clientRight + s.clientBottom, 0) << "full screen keeps no client rectangle";
    ApiEndFramework();

    // The window system chooses its clock by itself, whatever was set.
    s.performanceFrequency = 0;
    s.usePerformanceCounter = 0;
    ASSERT_EQ(InitWindowSystem(), 0);
    EXPECT_EQ(s.performanceFrequency, 10'000'000);
    EXPECT_EQ(s.usePerformanceCounter, 1);
    EXPECT_EQ(TerminateWindowSystem(), 0);
    EXPECT_EQ(s.mainWindow, nullptr);
}

// What the running window system holds of the platform, and gives back at
// the end: the window class, the timer period, the screen saver, the cursor
// and the foreground; and the window's parts the end lets go of.
TEST_F(WindowTest, WhatTheWindowSystemHoldsAndGivesBack) {
    const int periods = PlatformTimerPeriodsInForce();
    g_SystemState.iconId = 101;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ASSERT_EQ(ApiInitFramework(), 0);
    const SystemState& s = g_SystemState;
    WNDCLASSA wc{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "K123987V", &wc));
    EXPECT_EQ(wc.style, 3u);
    EXPECT_EQ(wc.lpfnWndProc, &FrameworkWindowProc);
    EXPECT_NE(s.moduleInstance, nullptr);
    EXPECT_EQ(s.moduleInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(wc.hInstance, s.moduleInstance);
    EXPECT_EQ(wc.hIcon, LoadIconA(s.moduleInstance, MAKEINTRESOURCEA(101)));
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
    EXPECT_EQ(wc.hbrBackground, GetStockObject(5));
    EXPECT_EQ(s.mainThreadId, GetCurrentThreadId());
    EXPECT_EQ(s.desktopWidth, 1024);
    EXPECT_EQ(s.desktopHeight, 768);
    EXPECT_EQ(s.desktopColorBits, 32);
    EXPECT_EQ(s.timerPeriodMin, 1u);
    EXPECT_EQ(PlatformTimerPeriodsInForce(), periods + 1);
    EXPECT_EQ(s.codePageKind, 1);
    EXPECT_EQ(GetCursor(), nullptr) << "no cursor over the full screen";
    EXPECT_EQ(GetForegroundWindow(), s.mainWindow);
    EXPECT_TRUE(PlatformGetWindowInfo(s.mainWindow).visible);
    UINT lockTimeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lockTimeout, 0);
    EXPECT_EQ(lockTimeout, 200000u) << "the foreground lock put back after taking the foreground";
    // Parts a program may have added are let go of at the end.
    g_SystemState.messageHook = reinterpret_cast<HHOOK>(static_cast<std::uintptr_t>(0x77));
    g_SystemState.windowRegion = reinterpret_cast<HRGN>(static_cast<std::uintptr_t>(0x78));
    g_SystemState.menu = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(0x79));
    g_SystemState.toolBarButtonCount = 2;
    ApiEndFramework();
    EXPECT_EQ(s.messageHook, nullptr);
    EXPECT_EQ(s.windowRegion, nullptr);
    EXPECT_EQ(s.menu, nullptr);
    EXPECT_EQ(s.toolBarButtonCount, 0);
    EXPECT_FALSE(GetClassInfoA(nullptr, "K123987V", &wc)) << "the class is unregistered";
    EXPECT_EQ(PlatformTimerPeriodsInForce(), periods);
    EXPECT_EQ(PlatformCursorCount(), 0);

    // In window mode the cursor stays and the client rectangle is kept.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    g_SystemState.iconId = 0;
    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    EXPECT_NE(GetCursor(), nullptr);
    ASSERT_TRUE(GetClassInfoA(nullptr, "K123987V", &wc));
    EXPECT_EQ(wc.hIcon, LoadIconA(s.moduleInstance, MAKEINTRESOURCEA(32512)));
    EXPECT_GT(s.clientRight, s.clientLeft);
}

// A window system that cannot register its class or make its window stops
// the start: -1, the quit flag, the class and the timer period given back;
// a later start works.
TEST_F(WindowTest, AClassOrWindowThatCannotBeMadeStopsTheStart) {
    const int periods = PlatformTimerPeriodsInForce();
    WNDCLASSA taken{};
    taken.lpfnWndProc = DefWindowProcA;
    taken.lpszClassName = "K123987V";
    ASSERT_NE(RegisterClassA(&taken), 0);
    EXPECT_EQ(ApiInitFramework(), -1);
    EXPECT_EQ(GetQuitFlag(), 1);
    EXPECT_NE(FindLine("ウインドウクラスの登録に失敗しました"), -1);
    EXPECT_EQ(PlatformTimerPeriodsInForce(), periods);
    ASSERT_TRUE(UnregisterClassA("K123987V", nullptr));

    PlatformRefuseWindowCreation(true);
    EXPECT_EQ(InitWindowSystem(), -1);
    EXPECT_EQ(GetQuitFlag(), 1);
    EXPECT_EQ(g_SystemState.mainWindow, nullptr);
    EXPECT_EQ(g_SystemState.creatingWindow, 0);
    EXPECT_NE(FindLine("ウインドウの作成に失敗しました"), -1);
    WNDCLASSA wc{};
    EXPECT_FALSE(GetClassInfoA(nullptr, "K123987V", &wc)) << "the class goes with the window";
    EXPECT_EQ(PlatformTimerPeriodsInForce(), periods);
    PlatformRefuseWindowCreation(false);
    EXPECT_EQ(TerminateWindowSystem(), 0);
    EXPECT_EQ(ApiInitFramework(), 0);
}

// Start-up measures both clocks: 60 changes of the counter come before the
// millisecond timer's; the memory line gives the total in MB.
TEST_F(WindowTest, TheClockMeasurementAndTheMemoryAreLogged) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const std::vector<std::string> lines = LogLines();
    const int at = FindLine("精度結果 更新回数 マルチメディアタイマー：");
    ASSERT_GE(at, 0);
    int mm = -1, counter = -1;
    const std::string head = "精度結果 更新回数 マルチメディアタイマー：";
    const std::string middle = "  パフォーマンスカウンター：";
    const std::string& line = lines[at];
    ASSERT_EQ(line.find(head), 0u);
    std::size_t split = line.find(middle);
    ASSERT_NE(split, std::string::npos);
    mm = std::stoi(line.substr(head.size(), split - head.size()));
    counter = std::stoi(line.substr(split + middle.size()));
    EXPECT_EQ(counter, 60);
    // Each pass reads the clocks three times or more at 100 us a read: the
    // 60 passes span 18 ms or more, and the millisecond changes once a ms.
    EXPECT_GE(mm, 15);
    EXPECT_LE(mm, 30);
    ASSERT_LT(at + 2, static_cast<int>(lines.size()));
    EXPECT_EQ(lines[at + 1], " パフォーマンスカウンターを使用します タイマー分解能 : 10000.000000 KHz ");
    EXPECT_EQ(lines[at + 2].substr(0, 3), " ソ") << "the next step's line starts after a space";

    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    char total[64];
    std::snprintf(total, sizeof total, "メモリ総量:%.2fMB  空きメモリ領域:", status.dwTotalPhys / 1048576.0);
    EXPECT_NE(FindLine(total), -1);
    const std::string debug = PlatformDebugOutput();
    EXPECT_NE(debug.find("MB\n"), std::string::npos) << "the free memory goes to the debugger";
}

// The cursor shows when asked or while a menu is shown; the window hides it
// again at its cursor messages unless it is to show.
TEST_F(WindowTest, TheCursorFollowsTheRequestAndTheMenu) {
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    const HMENU menu = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(0x79));
    const struct {
        int flag;
        bool menu;
        int menuVisible, shown;
    } cases[] = {{0, false, 1, 0}, {1, false, 0, 1}, {0, true, 1, 1}, {0, true, 0, 0}, {1, true, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flag << " menu " << c.menu << " visible " << c.menuVisible);
        g_SystemState.menu = c.menu ? menu : nullptr;
        g_SystemState.menuVisible = c.menuVisible;
        const std::size_t pending = PlatformPendingMessages(GetCurrentThreadId());
        EXPECT_EQ(SetMouseCursorVisible(c.flag), 0);
        EXPECT_EQ(g_SystemState.cursorRequest, c.flag);
        EXPECT_EQ(g_SystemState.cursorShown, c.shown);
        EXPECT_EQ(PlatformCursorCount() >= 0, c.shown == 1);
        EXPECT_EQ(PlatformPendingMessages(GetCurrentThreadId()), pending + 1) << "a cursor message to the window";
        EXPECT_EQ(ShouldShowMenu(), c.menu && c.menuVisible ? 1 : 0);
        EXPECT_EQ(IsMenuEnabled(), c.menu ? 1 : 0);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        FrameworkWindowProc(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), 1);
        EXPECT_EQ(GetCursor() == nullptr, c.shown == 0);
        EXPECT_EQ(PlatformCursorCount() >= 0, c.shown == 1);
    }
    // Over the full screen a menu keeps the cursor in step with the request.
    g_SystemState.menu = menu;
    g_SystemState.menuVisible = 1;
    g_SystemState.cursorRequest = 0;
    g_SystemState.cursorShown = 0;
    EXPECT_EQ(UpdateFullScreenMenu(), 0);
    EXPECT_EQ(g_SystemState.cursorShown, 1);
    g_SystemState.windowMode = 1;
    g_SystemState.cursorShown = 0;
    EXPECT_EQ(UpdateFullScreenMenu(), 0);
    EXPECT_EQ(g_SystemState.cursorShown, 0) << "not in window mode";
    g_SystemState.windowMode = 0;
    g_SystemState.menu = nullptr;
    g_SystemState.menuVisible = 0;
}

// A window larger than the desktop is moved so its client area starts at
// the desktop's corner; a smaller one is centred.
TEST_F(WindowTest, AWindowLargerThanTheDesktopKeepsItsClientAreaOnIt) {
    ASSERT_EQ(ApiInitFramework(), 0);
    const struct {
        double scale;
        bool centred;
    } cases[] = {{1.0, true}, {2.0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        g_SystemState.windowScale = c.scale;
        ASSERT_EQ(ChangeWindowMode(1), 0);
        PlatformWindowInfo info = PlatformGetWindowInfo(g_SystemState.mainWindow);
        const LONG width = info.windowRect.right - info.windowRect.left;
        const LONG height = info.windowRect.bottom - info.windowRect.top;
        EXPECT_EQ(info.clientRect.right - info.clientRect.left, static_cast<LONG>(640 * c.scale));
        if (c.centred) {
            EXPECT_EQ(info.windowRect.left, (1024 - width) / 2);
            EXPECT_EQ(info.windowRect.top, (768 - height) / 2);
        } else {
            EXPECT_EQ(info.clientRect.left, 0);
            EXPECT_EQ(info.clientRect.top, 0);
        }
        // A size message fits the window to the screen again, unless the
        // window was maximised.
        g_SystemState.windowScale = 1.5;
        FrameworkWindowProc(g_SystemState.mainWindow, WM_SIZE, SIZE_MAXIMIZED, 0);
        info = PlatformGetWindowInfo(g_SystemState.mainWindow);
        EXPECT_EQ(info.windowRect.right - info.windowRect.left, width);
        g_SystemState.windowScale = c.scale;
        EXPECT_EQ(ResizeWindowToScreen(), 0);
        info = PlatformGetWindowInfo(g_SystemState.mainWindow);
        EXPECT_EQ(info.windowRect.right - info.windowRect.left, width);
        EXPECT_EQ(info.windowRect.bottom - info.windowRect.top, height);
        g_SystemState.windowScale = 1.5;
        FrameworkWindowProc(g_SystemState.mainWindow, WM_SIZE, SIZE_RESTORED, 0);
        EXPECT_EQ(g_SystemState.clientRight - g_SystemState.clientLeft, 960);
        g_SystemState.windowScale = c.scale;
        EXPECT_EQ(ResizeWindowToScreen(), 0);
        EXPECT_EQ(g_SystemState.clientRight - g_SystemState.clientLeft, static_cast<LONG>(640 * c.scale));
        ASSERT_EQ(ChangeWindowMode(0), 0);
    }
    g_SystemState.windowScale = 0.0;
}

// Painting in window mode shows the screen without waiting for a blank and
// puts the wait back; while inactive it shows the window picture instead.
TEST_F(WindowHookTest, PaintingShowsTheScreenWithoutABlankWait) {
    ASSERT_EQ(ApiInitFramework(), 0);
    static int wait = 1;
    WindowHooks h = RecordingHooks();
    h.GetDrawTarget = [] { return HandleId{-2}; };
    h.GetVBlankWait = [] { return wait; };
    h.SetVBlankWait = [](int flag) {
        wait = flag;
        Called(flag ? "wait" : "nowait");
        return 0;
    };
    h.PresentToWindow = [] { return Called(wait ? "present waiting" : "present"), 0; };
    g_WindowHooks = h;
    HWND window = g_SystemState.mainWindow;
    const struct {
        int windowMode, active, picture;
        const char* calls;
    } cases[] = {
        {1, 1, 0, "nowait,present,wait"},
        {1, 0, 0x10000, "picture,present waiting"},
        {0, 1, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls);
        g_SystemState.windowMode = c.windowMode;
        g_SystemState.applicationActive = c.active;
        g_SystemState.windowPicture = c.picture;
        g_calls.clear();
        FrameworkWindowProc(window, WM_PAINT, 0, 0);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(g_SystemState.painting, 0);
        EXPECT_EQ(wait, 1);
    }
    g_SystemState.windowMode = 0;
    g_SystemState.applicationActive = 1;
    g_SystemState.windowPicture = 0;
}

// While the application is inactive, message processing keeps the network,
// HTTP and streamed sound going until it is active again; the wait for
// activation gives the graphics back afterwards, and returns at once when
// painting, for an outside window, or off the main thread.
TEST_F(WindowHookTest, WhileInactiveTheBackgroundWorkGoesOn) {
    ASSERT_EQ(ApiInitFramework(), 0);
    static int networkCalls = 0;
    WindowHooks h = RecordingHooks();
    h.ProcessNetwork = [] {
        Called("net");
        if (++networkCalls == 2) g_SystemState.applicationActive = 1;
        return 0;
    };
    h.StepAllHttpRequests = [] { return Called("http"), 0; };
    h.ProcessStreamSounds = [] { return Called("sound"), 0; };
    h.RestoreAllGraphs = [] { return Called("graphs"), 0; };
    g_WindowHooks = h;
    networkCalls = 0;
    g_SystemState.applicationActive = 0;
    g_SystemState.inactiveSinceValid = 0;
    g_SystemState.inactiveSince = 0;
    const DWORD before = timeGetTime();
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(g_calls, "net,http,sound,net,http,sound,sound,net,http");
    EXPECT_EQ(g_SystemState.inactiveSinceValid, 1);
    EXPECT_GE(g_SystemState.inactiveSince, before);
    EXPECT_LE(g_SystemState.inactiveSince, timeGetTime());

    // Nothing at all while a key-input pass is under way.
    g_calls.clear();
    g_SystemState.keyInputRunning = 1;
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(g_calls, "");
    g_SystemState.keyInputRunning = 0;

    const struct {
        int painting, external, pictureWindowMode, otherThread;
        const char* calls;
    } cases[] = {
        {0, 0, 0, 0, "net,http,sound,net,http,sound,sound,net,http,graphs"},
        {1, 0, 0, 0, ""},
        {0, 1, 0, 0, ""},
        {0, 0, 1, 0, ""},
        {0, 0, 0, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls);
        networkCalls = 0;
        g_calls.clear();
        g_SystemState.applicationActive = 0;
        g_SystemState.painting = c.painting;
        g_SystemState.externalWindow = c.external;
        g_SystemState.paintingWindowPicture = c.pictureWindowMode;
        g_SystemState.windowMode = c.pictureWindowMode;
        if (c.otherThread)
            std::thread(WaitWhileInactive).join();
        else
            WaitWhileInactive();
        EXPECT_EQ(g_calls, c.calls);
    }
    g_SystemState.painting = g_SystemState.externalWindow = g_SystemState.paintingWindowPicture = 0;
    g_SystemState.windowMode = 0;
    g_SystemState.applicationActive = 1;
    // The end of a MIDI play reaches its hook.
    g_calls.clear();
    g_WindowHooks.OnMidiPlayEnd = [] { return Called("midi"), 0; };
    FrameworkWindowProc(g_SystemState.mainWindow, MM_MCINOTIFY, 0, 0);
    EXPECT_EQ(g_calls, "midi");
}


// The mouse in client coordinates, scaled back to the screen's pixels in
// window mode; in screen coordinates over the full screen.
TEST_F(WindowTest, TheMousePositionIsReadInTheScreensPixels) {
    const struct {
        int windowMode;
        double scale;
        int x, y;
    } cases[] = {{0, 0.0, 100, 60}, {1, 2.0, 50, 30}, {1, 1.0, 100, 60}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windowMode);
        g_SystemState.windowMode = c.windowMode;
        g_SystemState.windowScale = c.scale;
        ASSERT_EQ(ApiInitFramework(), 0);
        PlatformWindowEvent move;
        move.kind = PlatformWindowEvent::Kind::MouseMove;
        move.value = 100;
        move.value2 = 60;
        PlatformQueueWindowEvent(g_SystemState.mainWindow, move);
        ApiProcessMessage();
        int x = -1, y = -1;
        EXPECT_EQ(QueryMousePosition(&x, &y), 0);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(QueryMousePosition(nullptr, &y), 0);
        EXPECT_EQ(QueryMousePosition(&x, nullptr), 0);
        ApiEndFramework();
    }
}

// Input set up late (after it was ended) brings the window to the top.
TEST_F(WindowTest, InputSetUpLateBringsTheWindowToTheTop) {
    ASSERT_EQ(ApiInitFramework(), 0);
    WNDCLASSA other{};
    other.lpfnWndProc = DefWindowProcA;
    other.lpszClassName = "Other";
    ASSERT_NE(RegisterClassA(&other), 0);
    HWND window = CreateWindowExA(0, "Other", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    TerminateInput();
    SetActiveWindow(window);
    ASSERT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(ApiIsKeyDown(0x2C), 0);
    EXPECT_EQ(GetForegroundWindow(), g_SystemState.mainWindow);
    DestroyWindow(window);
}


// What a pass of message processing does besides dispatching: an
// application activation read off the queue in window mode, nothing
// dispatched once quitting, and a full-screen menu's cursor kept in step on
// the main thread only.
TEST_F(WindowTest, TheMessagePassReadsActivationQuitsAndKeepsTheMenuCursor) {
    g_SystemState.windowMode = 1;
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    g_SystemState.applicationActive = 0;
    ASSERT_TRUE(PostMessageA(window, WM_ACTIVATEAPP, 1, 0));
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(g_SystemState.applicationActive, 1);
    ApiEndFramework();

    g_SystemState.windowMode = 0;
    ASSERT_EQ(ApiInitFramework(), 0);
    window = g_SystemState.mainWindow;
    g_SystemState.menu = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(0x79));
    g_SystemState.menuVisible = 1;
    g_SystemState.cursorShown = 0;
    std::thread([] { ProcessMessage(); }).join();
    EXPECT_EQ(g_SystemState.cursorShown, 0) << "not off the main thread";
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(g_SystemState.cursorShown, 1);
    g_SystemState.menu = nullptr;
    g_SystemState.menuVisible = 0;

    std::uint8_t out[2];
    while (PopCharCode(out, 1) != 0) {
    }
    ASSERT_TRUE(PostMessageA(window, WM_CHAR, 'x', 0));
    g_SystemState.quitFlag = 1;
    EXPECT_EQ(ProcessMessage(), -1);
    EXPECT_EQ(PopCharCode(out, 1), 0) << "not dispatched once quitting";
    g_SystemState.quitFlag = 0;
}


// The region a program set is given to the window as it is made; only the
// screen-save command is refused; a move follows the front screen's area.
TEST_F(WindowHookTest, TheRegionOtherCommandsAndMovesWithTheFrontScreen) {
    const HRGN region = reinterpret_cast<HRGN>(static_cast<std::uintptr_t>(0x78));
    g_SystemState.windowRegion = region;
    ASSERT_EQ(ApiInitFramework(), 0);
    HWND window = g_SystemState.mainWindow;
    EXPECT_EQ(PlatformGetWindowInfo(window).region, region);
    EXPECT_EQ(FrameworkWindowProc(window, WM_SYSCOMMAND, 0xF020, 0), 0) << "minimise goes on to the system";
    static HandleId target = -2;
    WindowHooks h = RecordingHooks();
    h.GetDrawTarget = [] { return target; };
    h.SelectDrawTarget = [](HandleId t) { return Called(t == -4 ? "select front" : "select"), 0; };
    g_WindowHooks = h;
    g_SystemState.windowMode = 1;
    for (HandleId t : {HandleId{-2}, HandleId{-4}}) {
        target = t;
        g_calls.clear();
        FrameworkWindowProc(window, WM_MOVE, 0, static_cast<LPARAM>(30 | (40 << 16)));
        EXPECT_EQ(g_calls, t == -4 ? "select front" : "");
    }
    g_SystemState.windowMode = 0;
}

}  // namespace
