// The windowing services the framework calls: window classes and windows,
// per-thread message queues, the cursor, the screen saver, display metrics,
// the few GDI calls the window itself needs, dropped files and the IME
// switch. On the sdl backend the window is a real SDL window and the main
// thread turns SDL's events into window messages; on the headless backend the
// window is virtual and tests script its events.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/imm.h"
#include "platform/types.h"

using UINT_PTR = std::uintptr_t;

// ---- messages ------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_IME_STARTCOMPOSITION = 0x010D;
constexpr UINT WM_IME_ENDCOMPOSITION = 0x010E;
constexpr UINT WM_IME_COMPOSITION = 0x010F;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_IME_NOTIFY = 0x0282;
constexpr UINT WM_IME_SETCONTEXT = 0x0281;
constexpr UINT MM_MCINOTIFY = 0x03B9;

constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr int WHEEL_DELTA = 120;

// Virtual keys the framework names.
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_CONTROL = 0x11;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_DELETE = 0x2E;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
// The window argument of PeekMessageA that asks for the thread's own messages
// (those posted with no window).
#define HWND_THREAD_MESSAGES (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))

constexpr LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>((static_cast<DWORD>(high & 0xFFFF) << 16) | static_cast<DWORD>(low & 0xFFFF));
}
constexpr WPARAM MAKEWPARAM(int low, int high) {
    return static_cast<WPARAM>((static_cast<DWORD>(high & 0xFFFF) << 16) | static_cast<DWORD>(low & 0xFFFF));
}
constexpr short GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<short>(HIWORD(w)); }

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Looks at the calling thread's queue. `window` null: any message of the
// thread; HWND_THREAD_MESSAGES: messages posted with no window (WM_QUIT among
// them); a window: that window's messages. On the sdl backend the main thread
// first turns pending SDL events into messages.
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// Called by every PeekMessageA before it looks at the queue (the headless
// audio output catches up with the clock there, so what its sources post
// is found in the same look). Null: none.
void PlatformSetMessagePumpHook(void (*hook)());
// Adds the character messages a key press gives that no text event reports
// (backspace, tab, return, escape); printable characters come from the
// backend's text input. TRUE when it posted one.
BOOL TranslateMessage(const MSG* message);
// A WM_TIMER message with a timer procedure in its lParam calls that
// procedure instead of the window's.
LRESULT DispatchMessageA(const MSG* message);

// Timers: a due timer becomes a WM_TIMER message at the owner thread's next
// PeekMessageA (one at a time, never queued twice).
constexpr UINT WM_TIMER = 0x0113;
using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// The key's state: negative while it is held. Only the Shift key is known
// here (a display knob holds it), for the video-card report at start-up.
short GetKeyState(int virtualKey);
// Queues the message on the queue of the thread that made the window.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Calls the window procedure at once; only on the window's own thread (from
// another thread it is posted instead and 0 returned).
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Default handling: WM_CLOSE destroys the window; everything else gives 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
struct HACCEL__;
using HACCEL = HACCEL__*;
int TranslateAcceleratorA(HWND window, HACCEL table, MSG* message);  // no tables: always 0

// ---- window classes and windows -----------------------------------------------------
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

struct HICON__;
using HICON = HICON__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HMENU__;
using HMENU = HMENU__*;
struct HRGN__;
using HRGN = HRGN__*;
struct HDC__;
using HDC = HDC__*;
using HGDIOBJ = void*;
struct HHOOK__;
using HHOOK = HHOOK__*;
struct HDROP__;
using HDROP = HDROP__*;

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
using ATOM = WORD;
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
// The class as registered (its name as asked for); FALSE for an unknown class.
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* windowClass);
// A window of that class (title ignored when null) made by any process on this
// machine: the sdl and headless backends both see the windows of this process
// and, through a lock file per class, those of other running processes.
HWND FindWindowA(LPCSTR className, LPCSTR title);

constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100u;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200u;

// The parent that makes a message-only window: it has no picture, is never
// shown and is found by no FindWindowA; it only receives messages.
#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-3)))

// Sends WM_CREATE before it returns. The window belongs to the calling thread.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter);
// Sends WM_DESTROY before it returns; later calls with the handle fail.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;
// The first show activates the window: WM_ACTIVATEAPP and WM_ACTIVATE are sent.
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL IsIconic(HWND window);
BOOL IsZoomed(HWND window);
BOOL BringWindowToTop(HWND window);
HWND SetActiveWindow(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
// A fixed handle standing for the desktop; no window procedure stands behind it.
HWND GetDesktopWindow();
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
BOOL AttachThreadInput(DWORD attach, DWORD attachTo, BOOL doAttach);

#define HWND_TOP (reinterpret_cast<HWND>(static_cast<std::intptr_t>(0)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2)))
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
LONG SetWindowLongA(HWND window, int index, LONG value);
LONG GetWindowLongA(HWND window, int index);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// The frame around a client area for the style. The stand-in's windows have a
// caption of 20 pixels and 1-pixel edges when the style has a caption, and
// a further 2 pixels per side for the client edge.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL SetWindowTextA(HWND window, LPCSTR text);

// ---- cursor, metrics, system settings ------------------------------------------------
#define IDC_ARROW (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(32512)))
#define IDI_APPLICATION (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(32512)))
inline LPCSTR MAKEINTRESOURCEA(int id) { return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(id)); }
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Keeps the display count as the real call does; the cursor shows while it is 0 or more.
int ShowCursor(BOOL show);
BOOL GetCursorPos(POINT* point);

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
int GetSystemMetrics(int index);

constexpr UINT SPI_GETSCREENSAVEACTIVE = 0x0010;
constexpr UINT SPI_SETSCREENSAVEACTIVE = 0x0011;
constexpr UINT SPI_GETFOREGROUNDLOCKTIMEOUT = 0x2000;
constexpr UINT SPI_SETFOREGROUNDLOCKTIMEOUT = 0x2001;
constexpr UINT SPIF_SENDCHANGE = 0x0002;
BOOL SystemParametersInfoA(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni);

// ---- GDI: what the window needs -------------------------------------------------------
// Device contexts, GetDC, GetDeviceCaps and the rest of GDI: platform/gdi.h.
// BITSPIXEL of the desktop is 8, 16 or 32: a desktop of 24 bits reports 32,
// since the framework refuses to run on 24 bits and every display here
// converts.
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
HGDIOBJ GetStockObject(int index);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);

// ---- menus and hooks: this program makes none; the calls only succeed ------------------
BOOL DestroyMenu(HMENU menu);
BOOL UnhookWindowsHookEx(HHOOK hook);

// ---- dropped files (SHELL32) ------------------------------------------------------------
// Index 0xFFFFFFFF gives the count; otherwise the name's length, copied into
// the buffer (cut to fit) when one is given.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
void DragFinish(HDROP drop);

// ---- what the stand-in offers besides the Win32 names ---------------------------------------

// Events a test (headless) or a tool (either backend) puts before the window,
// as a user would cause them. They become window messages on the window's
// thread at its next PeekMessageA.
struct PlatformWindowEvent {
    enum class Kind { Close, Activate, Deactivate, Minimize, KeyDown, KeyUp, Char, Wheel, Drop, Expose,
                      ScreenSave, MouseMove, DisplayChange, Message, Text, Compose };
    Kind kind = Kind::Close;
    int value = 0;                   // virtual key, character, wheel steps (+ up), x;
                                     // Compose: the cursor in characters (-1 or beyond: the end)
    int value2 = 0;                  // y
    std::string text;                // Text: typed (committed) text; Compose: the composition,
                                     // empty to end it (both UTF-8; see platform/imm.h)
    std::vector<std::string> files;  // Drop
    UINT message = 0;                // Message: sent as it stands
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
void PlatformQueueWindowEvent(HWND window, const PlatformWindowEvent& event);

// The state the stand-in keeps that a user would see, for tests and tools.
struct PlatformWindowInfo {
    bool exists = false;
    bool visible = false;
    bool topmost = false;
    bool minimized = false;
    bool imeEnabled = true;
    bool sdlWindow = false;   // a real SDL window stands behind it
    unsigned sdlWindowId = 0;
    DWORD ownerThread = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT windowRect{};
    RECT clientRect{};        // screen coordinates
    HRGN region = nullptr;    // SetWindowRgn's
    std::string title;
    std::string className;
};
PlatformWindowInfo PlatformGetWindowInfo(HWND window);

// Headless program runs end by themselves: after each program present the
// stand-in closes every visible window, as a user would, once the presents
// reach the frame limit (KELVO_FRAMES, default 2000) or the input script
// from KELVO_INPUT has run out. Nothing happens when a test chose the
// backend.
std::uint64_t PlatformHeadlessFrameLimit();
void PlatformEndHeadlessRunIfDue(std::uint64_t programFrames);
bool PlatformScreenSaverActive();
int PlatformCursorCount();     // ShowCursor's display count
// Headless desktop: size and depth (default 1024 x 768, 32 bits). A depth of
// 24 still reads as 32 through GetDeviceCaps.
void PlatformSetHeadlessDesktop(int width, int height, int bits);
// Number of messages waiting on a thread's queue.
std::size_t PlatformPendingMessages(DWORD threadId);
// Forgets every class, window and queue (between tests), and sets the knob
// below back.
void PlatformResetWindows();
// Test knob: CreateWindowExA fails (ERROR_NOT_ENOUGH_MEMORY) while set.
void PlatformRefuseWindowCreation(bool refuse);
