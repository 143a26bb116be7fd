#include <atomic>
#include <cstdarg>

#include "core/core_hooks.h"
#include "core/fatal_error.h"
#include "core/framework_lock.h"
#include "core/log.h"
#include "core/utility.h"

namespace {

// A fatal error raised while the framework is ending after another one
// (a failing teardown, say) is logged and leaves at once instead of ending
// the framework a second time.
std::atomic<int> g_fatalErrorRunning{0};

}  // namespace

void FatalError(const char* text) {
    WriteLogText(text != nullptr ? text : "");
    WriteLogText("\n");
    if (g_fatalErrorRunning.exchange(1) != 0) ExitProcess(static_cast<UINT>(-1));
    g_CoreHooks.EndFramework();
    if (g_FrameworkLock.created) TeardownFrameworkLock();
    ExitProcess(static_cast<UINT>(-1));
}

void FatalErrorFormat(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    FormatStringV(text, sizeof text, format, args);
    va_end(args);
    FatalError(text);
}
