#include "core/system_state.h"

SystemState g_SystemState{};

SystemState* GetSystemState() { return &g_SystemState; }
