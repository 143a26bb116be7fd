#include "com_classes.h"

#include "dinput_internal.h"
#include "platform/ddraw.h"

void RegisterPlatformComClasses() {
    RegisterDirectDrawStandIn();
    RegisterDirectInputStandIn();
}
