// The window stand-in: per-thread queues, message filters, sending and
// posting across threads, destruction, and what the framework reads back.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/kernel.h"
#include "platform/window.h"

namespace {

std::vector<UINT> g_seen;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back(message);
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSelectBackend(PlatformBackend::Headless);
        PlatformResetWindows();
        g_seen.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "TestClass";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override { PlatformResetWindows(); }

    HWND Make(DWORD style = WS_POPUP, DWORD exStyle = 0) {
        return CreateWindowExA(exStyle, "TestClass", "t", style, 10, 20, 300, 200, nullptr, nullptr, nullptr,
                               nullptr);
    }
};

TEST_F(WindowStandIn, CreationSendsCreateAndTheFirstShowActivates) {
    HWND w = Make();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_CREATE}));
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_CREATE, WM_ACTIVATEAPP, WM_ACTIVATE}));
    EXPECT_EQ(GetForegroundWindow(), w);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 1407u);
    // The class as registered, found by any case; refused creation.
    WNDCLASSA wc{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "testclass", &wc));
    EXPECT_EQ(wc.lpfnWndProc, &RecordingProc);
    EXPECT_STREQ(wc.lpszClassName, "testclass");
    EXPECT_FALSE(GetClassInfoA(nullptr, "NoSuchClass", &wc));
    EXPECT_EQ(GetLastError(), 1411u);
    PlatformRefuseWindowCreation(true);
    EXPECT_EQ(Make(), nullptr);
    EXPECT_EQ(GetLastError(), 8u);
    PlatformRefuseWindowCreation(false);
    HWND again = Make();
    EXPECT_NE(again, nullptr);
    // Brought to the top, a window is activated.
    EXPECT_EQ(GetForegroundWindow(), w);
    EXPECT_TRUE(BringWindowToTop(again));
    EXPECT_EQ(GetForegroundWindow(), again);
    EXPECT_TRUE(BringWindowToTop(again));
    EXPECT_FALSE(BringWindowToTop(nullptr));
}

TEST_F(WindowStandIn, MessagesGoToTheQueueOfTheWindowsThread) {
    HWND w = Make();
    std::thread([w] { EXPECT_TRUE(PostMessageA(w, 0x0400, 1, 2)); }).join();
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, 0x0400);
    EXPECT_EQ(m.wParam, 1u);
    // Another thread's peek sees none of this window's messages.
    PostMessageA(w, 0x0400, 0, 0);
    std::thread([] {
        MSG n{};
        EXPECT_FALSE(PeekMessageA(&n, nullptr, 0, 0, PM_REMOVE));
    }).join();
    EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowStandIn, ThreadMessagesAndQuitAreFoundWithTheThreadFilter) {
    HWND w = Make();
    PostMessageA(w, WM_PAINT, 0, 0);
    PostQuitMessage(3);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, HWND_THREAD_MESSAGES, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_PAINT);
    // A range that excludes it still returns WM_QUIT.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowStandIn, TheDefaultProcedureDestroysOnCloseAndLeftoverMessagesAreDropped) {
    HWND w = Make();
    PostMessageA(w, WM_PAINT, 0, 0);
    MSG close{w, WM_CLOSE, 0, 0, 0, {}};
    DispatchMessageA(&close);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(g_seen.back(), WM_DESTROY);
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&close), 0);
    EXPECT_FALSE(PostMessageA(w, WM_PAINT, 0, 0));
    // Only the owner may destroy a window.
    HWND v = Make();
    std::thread([v] { EXPECT_FALSE(DestroyWindow(v)); }).join();
    EXPECT_TRUE(IsWindow(v));
}

TEST_F(WindowStandIn, ScriptedEventsBecomeMessagesAtTheNextPeek) {
    HWND w = Make();
    PlatformWindowEvent key;
    key.kind = PlatformWindowEvent::Kind::KeyDown;
    key.value = static_cast<int>(VK_RETURN);
    PlatformQueueWindowEvent(w, key);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_KEYDOWN);
    // Return has no text event, so translation adds its character.
    EXPECT_TRUE(TranslateMessage(&m));
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_CHAR);
    EXPECT_EQ(m.wParam, VK_RETURN);
    MSG letter{w, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(TranslateMessage(&letter));
}

TEST_F(WindowStandIn, DroppedNamesAreReadBackAndCutToTheBuffer) {
    HWND w = Make();
    PlatformWindowEvent drop;
    drop.kind = PlatformWindowEvent::Kind::Drop;
    drop.files = {"a.bmp", "longer_name.wav"};
    PlatformQueueWindowEvent(w, drop);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    ASSERT_EQ(m.message, WM_DROPFILES);
    auto drop0 = reinterpret_cast<HDROP>(m.wParam);
    EXPECT_EQ(DragQueryFileA(drop0, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(drop0, 1, nullptr, 0), 15u);
    char small[6];
    EXPECT_EQ(DragQueryFileA(drop0, 1, small, sizeof small), 5u);
    EXPECT_STREQ(small, "longe");
    EXPECT_EQ(DragQueryFileA(drop0, 2, small, sizeof small), 0u);
    DragFinish(drop0);
    EXPECT_EQ(DragQueryFileA(drop0, 0xFFFFFFFFu, nullptr, 0), 0u);
}

TEST_F(WindowStandIn, FramesClientAreasAndPositions) {
    RECT r{0, 0, 640, 480};
    AdjustWindowRectEx(&r, 0x80CA0000u, FALSE, 0x300u);
    EXPECT_EQ(r.right - r.left, 640 + 2 + 4);
    EXPECT_EQ(r.bottom - r.top, 480 + 22 + 4);
    HWND w = Make(0x80CA0000u, 0x300u);
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 300 - 6);
    POINT p{0, 0};
    ClientToScreen(w, &p);
    EXPECT_EQ(p.x, 10 + 3);
    EXPECT_EQ(p.y, 20 + 23);
    g_seen.clear();
    SetWindowPos(w, nullptr, 10, 20, 300, 200, SWP_NOZORDER);
    EXPECT_TRUE(g_seen.empty()) << "no change, no message";
    SetWindowPos(w, HWND_TOPMOST, 50, 20, 0, 0, SWP_NOSIZE);
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_MOVE}));
    EXPECT_TRUE(PlatformGetWindowInfo(w).topmost);
}

TEST_F(WindowStandIn, TheDesktopNeverReadsAsTwentyFourBits) {
    PlatformSetHeadlessDesktop(800, 600, 24);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    PlatformSetHeadlessDesktop(800, 600, 16);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    ReleaseDC(nullptr, dc);
    PlatformSetHeadlessDesktop(1024, 768, 32);
}

TEST_F(WindowStandIn, CursorCountAndScreenSaverSettingsAreKept) {
    int start = PlatformCursorCount();
    EXPECT_EQ(ShowCursor(FALSE), start - 1);
    EXPECT_EQ(ShowCursor(TRUE), start);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE);
    BOOL active = TRUE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    EXPECT_FALSE(active);
    EXPECT_FALSE(PlatformScreenSaverActive());
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);
    EXPECT_TRUE(PlatformScreenSaverActive());
}

}  // namespace
