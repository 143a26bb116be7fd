#include "kernel/com_classes.h"
#include "platform/com.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool IsEqualGUID(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

namespace {

struct ClassEntry {
    CLSID clsid;
    ComClassFactory factory;
};

std::mutex g_comMutex;
std::vector<ClassEntry> g_classes;
int g_initCount = 0;

// The platform's own classes (DirectDraw and the other stand-ins) are
// registered on the first creation request.
void RegisterBuiltInClassesOnce() {
    static std::once_flag once;
    std::call_once(once, RegisterPlatformComClasses);
}

}  // namespace

HRESULT CoInitialize(void*) {
    std::lock_guard lock(g_comMutex);
    return g_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    std::lock_guard lock(g_comMutex);
    if (g_initCount > 0) --g_initCount;
}

namespace {
std::atomic<int> g_liveComObjects{0};
}  // namespace

void PlatformCountComObject(int change) { g_liveComObjects += change; }
int PlatformLiveComObjectCount() { return g_liveComObjects.load(); }

int ComInitCount() {
    std::lock_guard lock(g_comMutex);
    return g_initCount;
}

void RegisterComClass(REFCLSID clsid, ComClassFactory factory) {
    std::lock_guard lock(g_comMutex);
    for (auto& entry : g_classes) {
        if (IsEqualGUID(entry.clsid, clsid)) {
            entry.factory = factory;
            return;
        }
    }
    g_classes.push_back({clsid, factory});
}

void UnregisterComClass(REFCLSID clsid) {
    std::lock_guard lock(g_comMutex);
    std::erase_if(g_classes, [&](const ClassEntry& e) { return IsEqualGUID(e.clsid, clsid); });
}

HRESULT CoCreateInstance(REFCLSID clsid, D_IUnknown* outer, DWORD, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return E_INVALIDARG;  // aggregation is not offered
    RegisterBuiltInClassesOnce();
    ComClassFactory factory = nullptr;
    {
        std::lock_guard lock(g_comMutex);
        if (g_initCount == 0) return static_cast<HRESULT>(0x800401F0u);  // CO_E_NOTINITIALIZED
        for (const auto& entry : g_classes)
            if (IsEqualGUID(entry.clsid, clsid)) factory = entry.factory;
    }
    if (factory == nullptr) return REGDB_E_CLASSNOTREG;
    return factory(riid, object);
}
