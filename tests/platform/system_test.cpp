// System information, debugger output and the component-object base.
#include <gtest/gtest.h>

#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/com.h"
#include "platform/kernel.h"

namespace {

TEST(SystemInfo, VersionIsFixedAndCanBeChosenByTests) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u) << "as it stands before any test chooses";
    PlatformSetVersion(6, 0, 6000);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    PlatformSetVersion(5, 1, 2600);
    OSVERSIONINFOA small{};
    small.dwOSVersionInfoSize = 4;
    EXPECT_FALSE(GetVersionExA(&small));
}

TEST(SystemInfo, MemoryAndProcessorsAreReported) {
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    EXPECT_GT(status.dwTotalPhys, 0u);
    EXPECT_LE(status.dwAvailPhys, status.dwTotalPhys);
    SYSTEM_INFO sys{};
    GetSystemInfo(&sys);
    EXPECT_GE(sys.dwNumberOfProcessors, 1u);
    PlatformProcessorInfo cpu{};
    std::memset(cpu.vendor, 'x', sizeof cpu.vendor);  // ended whatever was there before
    std::memset(cpu.brand, 'x', sizeof cpu.brand);
    PlatformGetProcessorInfo(&cpu);
    EXPECT_GT(std::strlen(cpu.vendor), 0u);
    EXPECT_LE(std::strlen(cpu.vendor), 12u);
    EXPECT_LE(std::strlen(cpu.brand), 48u);
    EXPECT_EQ(GetOEMCP(), 932u);
}

// What the system reports, against what the machine says of itself: the
// kernel's memory figures, the processor count and page size, and the
// processor's own description in /proc/cpuinfo.
TEST(SystemInfo, ReportsAgreeWithTheMachine) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwMajorVersion, 5u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwBuildNumber, 2600u);
    EXPECT_EQ(version.dwPlatformId, 2u);
    EXPECT_STREQ(version.szCSDVersion, "Service Pack 2");
    EXPECT_FALSE(GetVersionExA(nullptr));

    // Free memory moves while other programs run: the report must lie
    // between the kernel's figures read just before and just after it.
    struct sysinfo si {}, after {};
    ASSERT_EQ(::sysinfo(&si), 0);
    MEMORYSTATUS status;
    std::memset(&status, 0xCD, sizeof status);
    GlobalMemoryStatus(&status);
    GlobalMemoryStatus(nullptr);
    ASSERT_EQ(::sysinfo(&after), 0);
    const std::size_t unit = si.mem_unit, slack = std::size_t{256} << 20;
    auto between = [&](std::size_t value, std::size_t a, std::size_t b) {
        return value + slack >= std::min(a, b) * unit && value <= std::max(a, b) * unit + slack;
    };
    EXPECT_EQ(status.dwLength, sizeof(MEMORYSTATUS));
    EXPECT_EQ(status.dwTotalPhys, si.totalram * unit);
    EXPECT_EQ(status.dwTotalPageFile, si.totalswap * unit);
    EXPECT_TRUE(between(status.dwAvailPhys, si.freeram, after.freeram)) << status.dwAvailPhys;
    EXPECT_TRUE(between(status.dwAvailPageFile, si.freeswap, after.freeswap)) << status.dwAvailPageFile;
    EXPECT_EQ(status.dwMemoryLoad, 100 - status.dwAvailPhys * 100 / status.dwTotalPhys) << "the share in use";
    EXPECT_EQ(status.dwTotalVirtual, 0x7FFE0000u);
    EXPECT_EQ(status.dwAvailVirtual, 0x7FFE0000u);

    SYSTEM_INFO sys;
    std::memset(&sys, 0xCD, sizeof sys);
    GetSystemInfo(&sys);
    GetSystemInfo(nullptr);
    EXPECT_EQ(sys.wProcessorArchitecture, 9u);
    EXPECT_EQ(sys.dwProcessorType, 8664u);
    EXPECT_EQ(sys.dwPageSize, static_cast<DWORD>(::sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(sys.dwNumberOfProcessors, static_cast<DWORD>(::sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_EQ(GetACP(), 932u);

    PlatformGetProcessorInfo(nullptr);
    std::ifstream in("/proc/cpuinfo");
    std::map<std::string, std::string> first;  // the first processor's fields
    for (std::string line; std::getline(in, line) && !line.empty();) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        auto trim = [](std::string t) {
            t.erase(0, t.find_first_not_of(" \t"));
            t.erase(t.find_last_not_of(" \t") + 1);
            return t;
        };
        first[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }
    if (!first.count("vendor_id") || !first.count("cpu family")) GTEST_SKIP() << "no x86 /proc/cpuinfo here";
    PlatformProcessorInfo cpu;
    std::memset(&cpu, 'x', sizeof cpu);
    PlatformGetProcessorInfo(&cpu);
    EXPECT_EQ(std::string(cpu.vendor), first["vendor_id"]);
    // The brand string is the processor's own; a virtual machine's kernel may
    // name the processor otherwise, so only its form is checked.
    std::string brand(cpu.brand);
    brand.erase(0, brand.find_first_not_of(' '));
    brand.erase(brand.find_last_not_of(' ') + 1);
    EXPECT_FALSE(brand.empty());
    EXPECT_LT(brand.size(), sizeof cpu.brand);
    for (char c : brand) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << brand;
    // The base fields of the identification leaf: the system's family
    // and model add extended bits above them.
    const DWORD family = static_cast<DWORD>(std::stoul(first["cpu family"]));
    EXPECT_EQ(cpu.family, family >= 15 ? 15u : family);
    EXPECT_EQ(cpu.model, static_cast<DWORD>(std::stoul(first["model"])) & 0xF);
    EXPECT_EQ(cpu.stepping, static_cast<DWORD>(std::stoul(first["stepping"])));
    std::istringstream flags(" " + first["flags"] + " ");
    std::map<std::string, bool> has;
    for (std::string flag; flags >> flag;) has[flag] = true;
    EXPECT_EQ(cpu.hasTimeStampCounter, has["tsc"]);
    EXPECT_EQ(cpu.hasMMX, has["mmx"]);
    EXPECT_EQ(cpu.hasSSE, has["sse"]);
    EXPECT_EQ(cpu.hasSSE2, has["sse2"]);
}

// A library is found by its name in any case, hands out what was registered
// under it and nothing else, and is freed as often as it was loaded; handles
// it never gave out are refused.
TEST(Modules, LoadedByNameCountedAndFreed) {
    static int called;
    called = 0;
    PlatformRegisterModuleExport("KelvoTest.dll", "Poke", [] { ++called; });
    PlatformRegisterModuleExport("KELVOTEST.DLL", "Other", [] {});
    HMODULE a = LoadLibraryA("kelvotest.DLL");
    HMODULE b = LoadLibraryA("KELVOTEST.dll");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b) << "one module whatever the case";
    FARPROC poke = GetProcAddress(a, "Poke");
    ASSERT_NE(poke, nullptr);
    poke();
    EXPECT_EQ(called, 1);
    EXPECT_NE(GetProcAddress(a, "Other"), nullptr);
    EXPECT_EQ(GetProcAddress(a, "poke"), nullptr) << "export names keep their case";
    EXPECT_EQ(GetProcAddress(a, nullptr), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "Poke"), nullptr);
    int notAModule = 0;
    const HMODULE forged = reinterpret_cast<HMODULE>(&notAModule);
    EXPECT_EQ(GetProcAddress(forged, "Poke"), nullptr);
    EXPECT_FALSE(FreeLibrary(forged));
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_TRUE(FreeLibrary(b));
    EXPECT_FALSE(FreeLibrary(a)) << "freed as often as loaded";
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("kelvotest"), nullptr) << "the name as registered, not a part of it";
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA("x"));
}

TEST(DebugOutput, IsCapturedInOrder) {
    PlatformClearDebugOutput();
    OutputDebugStringA("one ");
    OutputDebugStringA("two\r\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(PlatformDebugOutput(), "one two\r\n");
    // Past 1 MiB the capture drops its oldest text down to 512 KiB.
    const std::string block(256 * 1024, 'x');
    for (int i = 0; i < 3; ++i) OutputDebugStringA(block.c_str());
    EXPECT_EQ(PlatformDebugOutput().size(), 3 * block.size() + 9) << "up to 1 MiB all is kept";
    OutputDebugStringA(block.c_str());
    EXPECT_EQ(PlatformDebugOutput().size(), 512u * 1024);
    OutputDebugStringA("last");
    const std::string kept = PlatformDebugOutput();
    EXPECT_EQ(kept.size(), 512u * 1024 + 4);
    EXPECT_EQ(kept.substr(kept.size() - 4), "last");
    PlatformClearDebugOutput();
    EXPECT_EQ(PlatformDebugOutput(), "");
}

struct D_ITest : D_IUnknown {
    virtual int Value() = 0;
};
const IID IID_ITest = {0x1234, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
const CLSID CLSID_Test = {0x5678, 1, 2, {8, 7, 6, 5, 4, 3, 2, 1}};
int g_alive = 0;

class TestObject : public ComObject<D_ITest> {
public:
    TestObject() { ++g_alive; }
    ~TestObject() override { --g_alive; }
    int Value() override { return 42; }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && IsEqualGUID(riid, IID_ITest)) {
            *object = static_cast<D_ITest*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
};

HRESULT MakeTest(REFIID riid, void** object) {
    auto* made = new TestObject;
    HRESULT hr = made->QueryInterface(riid, object);
    made->Release();
    return hr;
}

// The identity of the base interface as the system numbers it, and GUIDs
// equal only when every field is.
TEST(Com, GuidsCompareFieldByField) {
    const GUID unknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_TRUE(IsEqualGUID(IID_IUnknown, unknown));
    const GUID base = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_TRUE(IsEqualGUID(base, base));
    for (int field = 0; field < 11; ++field) {
        GUID other = base;
        if (field == 0) other.Data1 ^= 0x80000000u;
        if (field == 1) other.Data2 ^= 1;
        if (field == 2) other.Data3 ^= 0x8000;
        if (field >= 3) other.Data4[field - 3] ^= 0x80;
        EXPECT_FALSE(IsEqualGUID(base, other)) << field;
        EXPECT_FALSE(IsEqualGUID(other, base)) << field;
    }
}

TEST(Com, ObjectsAreCountedCreatedByClassAndFreedOnLastRelease) {
    void* object = nullptr;
    EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &object)));  // no CoInitialize
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &object), REGDB_E_CLASSNOTREG);
    RegisterComClass(CLSID_Test, MakeTest);
    ASSERT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &object), S_OK);
    auto* test = static_cast<D_ITest*>(object);
    EXPECT_EQ(test->Value(), 42);
    EXPECT_EQ(g_alive, 1);
    void* unknown = nullptr;
    ASSERT_EQ(test->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(test->Release(), 1u);
    EXPECT_EQ(static_cast<D_IUnknown*>(unknown)->Release(), 0u);
    EXPECT_EQ(g_alive, 0);
    void* none = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
    UnregisterComClass(CLSID_Test);
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &none), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(none, nullptr);
    CoUninitialize();
    EXPECT_EQ(ComInitCount(), 0);
}

HRESULT RefuseEverything(REFIID, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
}

// Starts are counted: the first says S_OK, the rest S_FALSE, and objects
// can be made until as many ends; an end too many changes nothing. A class
// registered again takes the later maker; aggregation is refused.
TEST(Com, StartsAreCountedAndClassesReplaced) {
    const int live = PlatformLiveComObjectCount();
    const HRESULT notStarted = static_cast<HRESULT>(0x800401F0u);
    void* object = nullptr;
    const HRESULT starts[] = {S_OK, S_FALSE, S_FALSE};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(CoInitialize(nullptr), starts[i]) << i;
        EXPECT_EQ(ComInitCount(), i + 1);
    }
    RegisterComClass(CLSID_Test, MakeTest);
    for (int ends = 0; ends < 3; ++ends) {
        ASSERT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &object), S_OK) << ends;
        EXPECT_EQ(PlatformLiveComObjectCount(), live + 1);
        EXPECT_EQ(static_cast<D_IUnknown*>(object)->Release(), 0u);
        CoUninitialize();
    }
    EXPECT_EQ(ComInitCount(), 0);
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &object), notStarted);
    CoUninitialize();
    EXPECT_EQ(ComInitCount(), 0) << "never below zero";
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    RegisterComClass(CLSID_Test, RefuseEverything);
    object = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_ITest, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    auto* outer = reinterpret_cast<D_IUnknown*>(&object);
    object = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_Test, outer, CLSCTX_ALL, IID_ITest, &object), E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    UnregisterComClass(CLSID_Test);
    CoUninitialize();
    EXPECT_EQ(PlatformLiveComObjectCount(), live);
}

}  // namespace
