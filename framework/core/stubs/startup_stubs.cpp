// Stand-ins for framework start-up and shut-down until they are built.
#include <cstdlib>

#include "core/fatal_error.h"
#include "core/log.h"

void FatalError(const char* text) {
    WriteLogText(text);
    WriteLogText("\n");
    std::_Exit(-1);
}
