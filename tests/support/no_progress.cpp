#include "support/no_progress.h"

#include <atomic>

namespace {

std::atomic<long long> g_limitMs{kNoProgressWait.count()};

}  // namespace

std::chrono::milliseconds NoProgressLimit() { return std::chrono::milliseconds(g_limitMs.load()); }

ScopedNoProgressLimit::ScopedNoProgressLimit(std::chrono::milliseconds limit) : before_(NoProgressLimit()) {
    g_limitMs = limit.count();
}

ScopedNoProgressLimit::~ScopedNoProgressLimit() { g_limitMs = before_.count(); }
