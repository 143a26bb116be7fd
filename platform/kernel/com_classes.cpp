#include "kernel/com_classes.h"

#include "platform/ddraw.h"
#include "platform/dinput.h"
#include "platform/dshow.h"
#include "platform/dsound.h"

void RegisterPlatformComClasses() {
    RegisterDirectDrawStandIn();
    RegisterDirectInputStandIn();
    RegisterDirectSoundStandIn();
    RegisterDirectShowStandIn();
}
