#include "kernel/com_classes.h"

#include "dinput/dinput_internal.h"
#include "platform/ddraw.h"

void RegisterPlatformComClasses() {
    RegisterDirectDrawStandIn();
    RegisterDirectInputStandIn();
}
