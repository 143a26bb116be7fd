// The system report written to the log at start-up, COM start, and the
// clocks.
#include <cstdio>

#include "core/system_info.h"
#include "core/log.h"
#include "core/system_state.h"
#include "platform/com.h"

namespace {

// The operating system's version text and code, from the version record.
struct OsVersion {
    const char* text;
    const char* suffix;
    int code;
};

OsVersion ReadOsVersion(const OSVERSIONINFOA& v) {
    if (v.dwPlatformId == 0) return {"3.1", "", 0};
    if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        unsigned char service = static_cast<unsigned char>(v.szCSDVersion[0]);
        if (v.dwMinorVersion == 0) return {"95", service == 0x43 ? "OSR2" : "", 1};
        if (v.dwMinorVersion == 10) return {"98", service == 0x41 ? "SE" : "", 2};
        if (v.dwMinorVersion == 90) return {"Me", "", 3};
        return {"", "", 0};
    }
    if (v.dwMajorVersion == 3) return {"NT 3.51", "", 0x104};
    if (v.dwMajorVersion == 4) return {"4.0", "", 0x105};
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) return {"2000", "", 0x106};
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) return {"XP", "", 0x107};
    if (v.dwMajorVersion == 6) return {"Vista", "", 0x108};
    return {"", "", 0};
}

void LogOperatingSystem(SystemState& s) {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExA(&v)) return;
    OsVersion os = ReadOsVersion(v);
    char text[32];
    std::snprintf(text, sizeof text, "%s%s", os.text, os.suffix);
    WriteLogText("ＯＳ  ");
    WriteLogText("Windows");
    v.szCSDVersion[sizeof v.szCSDVersion - 1] = '\0';
    WriteLogFormat("%s ( Build %d %s )", text, static_cast<int>(v.dwBuildNumber & 0xFFFF), v.szCSDVersion);
    s.osCode = os.code;
}

// Ticks of the time-stamp counter over 100 ms of the millisecond clock.
ULONGLONG MeasureTimeStampTicks() {
    DWORD start = timeGetTime();
    ULONGLONG first = PlatformReadTimeStampCounter();
    while (timeGetTime() - start < 100) {
    }
    return PlatformReadTimeStampCounter() - first;
}

void LogProcessor(SystemState& s) {
    PlatformProcessorInfo cpu{};
    PlatformGetProcessorInfo(&cpu);
    bool hasCpuid = cpu.vendor[0] != '\0';
    s.timeStampCounterAvailable = hasCpuid && cpu.hasTimeStampCounter ? 1 : 0;
    if (s.timeStampCounterAvailable) {
        ULONGLONG ticks = MeasureTimeStampTicks();
        double mhz = static_cast<double>(static_cast<long long>(static_cast<double>(ticks) * 0.00001));
        s.timeStampFrequency = static_cast<LONGLONG>(ticks * 10);
        WriteLogFormat("ＣＰＵ動作速度：大体%.2fGHz", mhz * 0.001);
    }
    if (!hasCpuid) {
        WriteLogText("ＣＰＵＩＤ命令は使えません\n");
        return;
    }
    if (cpu.hasMMX) {
        WriteLogText("ＭＭＸ命令を使用します\n");
        s.mmxAvailable = 1;
    } else {
        WriteLogText("ＭＭＸは使えません\n");
    }
    WriteLogFormat("ＣＰＵベンダ：%.12s", cpu.vendor);
    if (cpu.brand[0] != '\0') WriteLogFormat("ＣＰＵ名：%s", cpu.brand);
}

}  // namespace

int LogSystemInfo() {
    SystemState& s = g_SystemState;
    WriteLogText("システムの情報を出力します\n");
    IncreaseLogIndent();
    WriteLogFormat("ＫＶライブラリ Ver%s", "2.23");
    LogOperatingSystem(s);
    s.directXVersion = 0x70000;
    LogProcessor(s);
    DecreaseLogIndent();
    return 0;
}

int InitCom() {
    SystemState& s = g_SystemState;
    if (s.comStarted) return -1;
    WriteLogText("ＣＯＭの初期化... ");
    if (FAILED(CoInitialize(nullptr))) {
        WriteLogText("ＣＯＭの初期化に失敗しました\n");
        return -1;
    }
    WriteLogText("成功しました\n");
    s.comStarted = 1;
    return 0;
}

// Each road truncates toward zero from the extended (64-bit mantissa)
// precision the original worked at.
long long GetMicroseconds(int useTimeStampCounter) {
    const SystemState& s = g_SystemState;
    if (s.timeStampCounterAvailable && useTimeStampCounter == 1 && s.initialised && s.timeStampFrequency > 0) {
        long double ticks = static_cast<long double>(PlatformReadTimeStampCounter());
        return static_cast<long long>(ticks * 1000000.0L / static_cast<long double>(s.timeStampFrequency));
    }
    if (s.performanceFrequency > 0) {
        LARGE_INTEGER count{};
        QueryPerformanceCounter(&count);
        return static_cast<long long>(static_cast<long double>(count.QuadPart) /
                                      static_cast<long double>(s.performanceFrequency) * 1000000.0L);
    }
    return static_cast<long long>(timeGetTime()) * 1000;
}

void ReadLocalTime(int* year, int* month, int* day, int* hour, int* minute, int* second) {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    if (year != nullptr) *year = t.wYear;
    if (month != nullptr) *month = t.wMonth;
    if (day != nullptr) *day = t.wDay;
    if (hour != nullptr) *hour = t.wHour;
    if (minute != nullptr) *minute = t.wMinute;
    if (second != nullptr) *second = t.wSecond;
}
