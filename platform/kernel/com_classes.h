// Registers every component class the platform layer offers.
#pragma once

void RegisterPlatformComClasses();
