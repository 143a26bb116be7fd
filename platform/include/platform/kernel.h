// The kernel services the framework calls: threads, events, critical
// sections, sleeping, clocks, files and directories, system information and
// the debugger output.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include <sys/single_threaded.h>

#include "platform/types.h"

// ---- waiting ---------------------------------------------------------------
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 0x103;

BOOL CloseHandle(HANDLE object);
// A zero time-out tests the object's state and returns at once.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// The calling thread's waits that went to sleep on an object not yet
// signalled (none does with a zero time-out), since it began; for tests.
std::uint64_t PlatformBlockingWaitCount();
// Kernel handles (files, events, threads) not yet closed, for tests that
// check nothing is left open.
int PlatformOpenKernelHandleCount();

// ---- events ----------------------------------------------------------------
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// ---- threads ---------------------------------------------------------------
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, DWORD* threadId);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
// Non-zero and unique for the life of the process; never 0xFFFFFFFF. Kept
// by the thread once it is known, so that asking again costs no call.
extern constinit thread_local DWORD t_PlatformThreadId;
DWORD AssignCurrentThreadId();
inline DWORD GetCurrentThreadId() {
    const DWORD id = t_PlatformThreadId;
    return id != 0 ? id : AssignCurrentThreadId();
}
[[noreturn]] void ExitProcess(UINT exitCode);

// ---- critical sections (recursive for their owner) ---------------------------
// As the system's own: entering a free section or one the caller holds, and
// leaving one nobody waits for, cost one atomic step or none, with no call;
// only a thread that has to wait goes to the kernel.
struct CRITICAL_SECTION {
    std::atomic<int> state{0};             // 0 free, 1 held, 2 held with threads waiting
    std::atomic<std::uintptr_t> owner{0};  // the holder's tag, 0 when free
    int recursion = 0;                     // the holder's depth
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
// The calling thread's tag: non-zero and distinct among living threads.
inline std::uintptr_t CriticalSectionThreadTag() {
    static thread_local const char tag = 0;
    return reinterpret_cast<std::uintptr_t>(&tag);
}
void WaitForCriticalSection(CRITICAL_SECTION* section);
void WakeCriticalSectionWaiter(CRITICAL_SECTION* section);
inline void EnterCriticalSection(CRITICAL_SECTION* section) {
    const std::uintptr_t me = CriticalSectionThreadTag();
    if (section->owner.load(std::memory_order_relaxed) == me) {
        ++section->recursion;
        return;
    }
    // While the process has one thread nothing can race for the section,
    // and the atomic steps (the most of its cost) can be left out.
    int free = 0;
    if (__libc_single_threaded && section->state.load(std::memory_order_relaxed) == 0)
        section->state.store(1, std::memory_order_relaxed);
    else if (!section->state.compare_exchange_strong(free, 1, std::memory_order_acquire, std::memory_order_relaxed))
        WaitForCriticalSection(section);
    section->owner.store(me, std::memory_order_relaxed);
    section->recursion = 1;
}
inline void LeaveCriticalSection(CRITICAL_SECTION* section) {
    if (--section->recursion > 0) return;
    section->owner.store(0, std::memory_order_relaxed);
    if (__libc_single_threaded) {  // a process never returns to one thread while others wait
        section->state.store(0, std::memory_order_relaxed);
        return;
    }
    if (section->state.exchange(0, std::memory_order_release) == 2) WakeCriticalSectionWaiter(section);
}

// ---- time --------------------------------------------------------------------
// On the headless backend Sleep on the main thread advances the virtual clock
// instead of waiting; on other threads it waits for real and leaves the
// virtual clock alone, so a background thread cannot make tests time-dependent.
void Sleep(DWORD milliseconds);
DWORD timeGetTime();
constexpr UINT TIMERR_NOERROR = 0;
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);  // TIMERR_NOCANDO for a period not begun
// Timer periods begun and not yet ended; for tests.
int PlatformTimerPeriodsInForce();
struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};
UINT timeGetDevCaps(TIMECAPS* caps, UINT size);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
// Test knob: the counter's frequency (0: no counter; negative: the usual
// 10 MHz). The display's clock runs on the counter, so it needs one.
void PlatformSetCounterFrequency(LONGLONG frequency);
DWORD GetTickCount();

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* time);

// ---- debugger output ---------------------------------------------------------
// Text sent to the debugger is kept so tests can read it; KELVO_DEBUG_STDERR=1
// also echoes it to standard error.
void OutputDebugStringA(LPCSTR text);
std::string PlatformDebugOutput();
void PlatformClearDebugOutput();

// ---- files -------------------------------------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;  // returns once the move is on the disk

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NO_DATA = 232;
DWORD GetLastError();
void SetLastError(DWORD error);

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL DeleteFileA(LPCSTR fileName);
BOOL MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags);
BOOL CreateDirectoryA(LPCSTR pathName, void* security);
DWORD GetFileAttributesA(LPCSTR fileName);

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR pathName);
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
HMODULE GetModuleHandleA(LPCSTR moduleName);

// ---- libraries -------------------------------------------------------------------
// The stand-in's own modules: a library is known by name (any case) once a
// stand-in has registered an export of it, and hands out what it registered.
using FARPROC = void (*)();
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
void PlatformRegisterModuleExport(LPCSTR module, LPCSTR procName, FARPROC function);

// ---- system information -----------------------------------------------------
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
BOOL GetVersionExA(OSVERSIONINFOA* info);
// The version the stand-in reports; tests may choose another (for example to
// take a newer system's road). The default is 5.1, build 2600.
void PlatformSetVersion(DWORD major, DWORD minor, DWORD build);

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    std::size_t dwTotalPhys;
    std::size_t dwAvailPhys;
    std::size_t dwTotalPageFile;
    std::size_t dwAvailPageFile;
    std::size_t dwTotalVirtual;
    std::size_t dwAvailVirtual;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    DWORD dwPageSize;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
};
constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
void GetSystemInfo(SYSTEM_INFO* info);

// Processor identification as the framework reports it: the vendor string,
// the brand string, and the feature bits of the first identification leaf.
struct PlatformProcessorInfo {
    char vendor[13];
    char brand[49];
    DWORD family;
    DWORD model;
    DWORD stepping;
    bool hasMMX;
    bool hasSSE;
    bool hasSSE2;
    bool hasTimeStampCounter;
};
void PlatformGetProcessorInfo(PlatformProcessorInfo* info);
// A time-stamp counter derived from the performance counter, so that a rate
// measured against the millisecond clock is consistent on both backends.
ULONGLONG PlatformReadTimeStampCounter();

UINT GetOEMCP();
UINT GetACP();
