#include "kernel/com_classes.h"

#include "dinput/dinput_internal.h"
#include "platform/ddraw.h"
#include "platform/dshow.h"
#include "platform/dsound.h"

void RegisterPlatformComClasses() {
    RegisterDirectDrawStandIn();
    RegisterDirectInputStandIn();
    RegisterDirectSoundStandIn();
    RegisterDirectShowStandIn();
}
