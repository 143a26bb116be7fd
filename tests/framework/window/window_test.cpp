// The window system: closing, double start, the screen saver, inactivity,
// dropped files, the wheel and the message thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/memory.h"
#include "framework/framework_fixture.h"

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

    // A second start while the first window stands finds it.
    EXPECT_EQ(InitWindowSystem(), -1);
    EXPECT_NE(FindLine("二重起動されています、ソフトを終了します"), -1);
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
    bool queued = false;
    for (int i = 0; i < 500 && !queued; ++i) {
        EnterCriticalSection(&g_FrameworkLock.section);
        queued = g_FrameworkLock.queueLength == 1 &&
                 g_FrameworkLock.queue[0].threadId == g_SystemState.messageThreadId;
        LeaveCriticalSection(&g_FrameworkLock.section);
        if (!queued) std::this_thread::sleep_for(Ms(2));
    }
    EXPECT_TRUE(queued);
    LeaveFrameworkLock();
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
    EXPECT_FALSE(info.topmost);
    EXPECT_GE(info.clientRect.left, 0);
    EXPECT_EQ(info.clientRect.right - info.clientRect.left, 640);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    info = PlatformGetWindowInfo(g_SystemState.mainWindow);
    EXPECT_EQ(info.style, 0x80000000u);
    EXPECT_TRUE(info.topmost);
    EXPECT_NE(FindLine("ウインドウモードフラグが立てられました"), -1);
    EXPECT_NE(FindLine("ウインドウモードフラグが倒されました"), -1);
}

TEST_F(WindowTest, TheKeyTableEndsWithAZeroKey) {
    EXPECT_EQ(kKeyToCharTable[5].virtualKey, 0);
    EXPECT_EQ(kKeyToCharTable[0].virtualKey, 0x2E);
    EXPECT_EQ(kKeyToCharTable[0].character, 0x10);
    EXPECT_EQ(kKeyToCharTable[4].character, 0x1F);
}

}  // namespace
