// Libraries by name: the stand-ins register the functions that code looks up
// at run time, and LoadLibraryA finds them. Each load is counted, so a module
// stays loaded until as many frees.
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/kernel.h"

struct HINSTANCE__ {
    std::map<std::string, FARPROC> exports;
    int loads = 0;
};

namespace {

std::mutex g_modulesMutex;
std::map<std::string, std::unique_ptr<HINSTANCE__>>& Modules() {
    static std::map<std::string, std::unique_ptr<HINSTANCE__>> modules;
    return modules;
}

// Only modules handed out here are looked into.
bool IsKnownLocked(HMODULE module) {
    for (const auto& [name, entry] : Modules())
        if (entry.get() == module) return true;
    return false;
}

std::string Upper(LPCSTR text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

void PlatformRegisterModuleExport(LPCSTR module, LPCSTR procName, FARPROC function) {
    std::lock_guard lock(g_modulesMutex);
    auto& entry = Modules()[Upper(module)];
    if (!entry) entry = std::make_unique<HINSTANCE__>();
    entry->exports[procName] = function;
}

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr) return nullptr;
    std::lock_guard lock(g_modulesMutex);
    auto found = Modules().find(Upper(fileName));
    if (found == Modules().end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    ++found->second->loads;
    return found->second.get();
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (module == nullptr || procName == nullptr) return nullptr;
    std::lock_guard lock(g_modulesMutex);
    if (!IsKnownLocked(module)) return nullptr;
    auto found = module->exports.find(procName);
    return found == module->exports.end() ? nullptr : found->second;
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr) return FALSE;
    std::lock_guard lock(g_modulesMutex);
    if (!IsKnownLocked(module) || module->loads <= 0) return FALSE;
    --module->loads;
    return TRUE;
}
