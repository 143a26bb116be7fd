#include "flow/sub_screen_step.h"

#include "flow/equipment_shop.h"
#include "flow/status_screen.h"
#include "flow/sub_screen.h"
#include "flow/system_menu.h"

SubScreenOutcome RunSubScreenStep() {
    if (g_SubScreenMode == kSubScreenShop) RunShopFrame();
    if (g_SubScreenMode == kSubScreenStatus) RunStatusFrame();
    if (g_SubScreenMode == kSubScreenSystemMenu) return RunSystemMenuFrame();
    return SubScreenOutcome::kPresent;
}
