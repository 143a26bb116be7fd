#include "screens/sub_screen_step.h"

#include "rules/sub_screen.h"
#include "screens/equipment_shop.h"
#include "screens/status_screen.h"
#include "screens/system_menu.h"

SubScreenOutcome RunSubScreenStep() {
    if (g_SubScreenMode == kSubScreenShop) RunShopFrame();
    if (g_SubScreenMode == kSubScreenStatus) RunStatusFrame();
    if (g_SubScreenMode == kSubScreenSystemMenu) return RunSystemMenuFrame();
    return SubScreenOutcome::kPresent;
}
