// System information, debugger output and the component-object base.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/com.h"
#include "platform/kernel.h"

namespace {

TEST(SystemInfo, VersionIsFixedAndCanBeChosenByTests) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
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

TEST(DebugOutput, IsCapturedInOrder) {
    PlatformClearDebugOutput();
    OutputDebugStringA("one ");
    OutputDebugStringA("two\r\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(PlatformDebugOutput(), "one two\r\n");
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

}  // namespace
