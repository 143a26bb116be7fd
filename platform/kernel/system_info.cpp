// Version, memory, processor and code-page information, and the debugger output.
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cpuid.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/kernel.h"

namespace {

std::mutex g_versionMutex;
DWORD g_major = 5, g_minor = 1, g_build = 2600;

std::mutex g_debugMutex;
std::string g_debugText;

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
    std::lock_guard lock(g_versionMutex);
    info->dwMajorVersion = g_major;
    info->dwMinorVersion = g_minor;
    info->dwBuildNumber = g_build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", "Service Pack 2");
    return TRUE;
}

void PlatformSetVersion(DWORD major, DWORD minor, DWORD build) {
    std::lock_guard lock(g_versionMutex);
    g_major = major;
    g_minor = minor;
    g_build = build;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    struct sysinfo si {};
    std::memset(status, 0, sizeof *status);
    status->dwLength = sizeof(MEMORYSTATUS);
    if (::sysinfo(&si) == 0) {
        status->dwTotalPhys = static_cast<std::size_t>(si.totalram) * si.mem_unit;
        status->dwAvailPhys = static_cast<std::size_t>(si.freeram) * si.mem_unit;
        status->dwTotalPageFile = static_cast<std::size_t>(si.totalswap) * si.mem_unit;
        status->dwAvailPageFile = static_cast<std::size_t>(si.freeswap) * si.mem_unit;
        if (status->dwTotalPhys > 0)
            status->dwMemoryLoad =
                static_cast<DWORD>(100 - (status->dwAvailPhys * 100) / status->dwTotalPhys);
    }
    status->dwTotalVirtual = 0x7FFE0000u;
    status->dwAvailVirtual = 0x7FFE0000u;
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (info == nullptr) return;
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info->dwPageSize = static_cast<DWORD>(::sysconf(_SC_PAGESIZE));
    long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    info->dwNumberOfProcessors = cpus > 0 ? static_cast<DWORD>(cpus) : 1;
    info->dwProcessorType = 8664;
}

void PlatformGetProcessorInfo(PlatformProcessorInfo* info) {
    if (info == nullptr) return;
    std::memset(info, 0, sizeof *info);
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        std::memcpy(info->vendor + 0, &b, 4);
        std::memcpy(info->vendor + 4, &d, 4);
        std::memcpy(info->vendor + 8, &c, 4);
    }
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        info->stepping = a & 0xF;
        info->model = (a >> 4) & 0xF;
        info->family = (a >> 8) & 0xF;
        info->hasTimeStampCounter = (d >> 4) & 1;
        info->hasMMX = (d >> 23) & 1;
        info->hasSSE = (d >> 25) & 1;
        info->hasSSE2 = (d >> 26) & 1;
    }
    unsigned top = __get_cpuid_max(0x80000000u, nullptr);
    if (top >= 0x80000004u) {
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            unsigned regs[4];
            __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
            std::memcpy(info->brand + leaf * 16, regs, 16);
        }
    }
#else
    std::snprintf(info->vendor, sizeof info->vendor, "%s", "Unknown");
    info->hasTimeStampCounter = true;
#endif
    info->vendor[12] = '\0';
    info->brand[48] = '\0';
}

UINT GetOEMCP() { return 932; }
UINT GetACP() { return 932; }

void OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) return;
    {
        std::lock_guard lock(g_debugMutex);
        g_debugText += text;
        // Keep the capture bounded in a long run; tests look at recent text.
        if (g_debugText.size() > (1u << 20)) g_debugText.erase(0, g_debugText.size() - (1u << 19));
    }
    static const bool echo = [] {
        const char* v = std::getenv("KELVO_DEBUG_STDERR");
        return v != nullptr && *v == '1';
    }();
    if (echo) std::fputs(text, stderr);
}

std::string PlatformDebugOutput() {
    std::lock_guard lock(g_debugMutex);
    return g_debugText;
}

void PlatformClearDebugOutput() {
    std::lock_guard lock(g_debugMutex);
    g_debugText.clear();
}
