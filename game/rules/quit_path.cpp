#include "rules/quit_path.h"

#include "rules/save_data.h"

std::uint8_t g_ReturnedFromGameFlag = 0;

bool TakeQuitPath() {
    g_ReturnedFromGameFlag = 1;
    return SaveGameFile();
}
