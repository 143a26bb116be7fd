#include "com_classes.h"

#include "platform/ddraw.h"

void RegisterPlatformComClasses() { RegisterDirectDrawStandIn(); }
