// The system report, COM start, and the clocks of the system layer.
#pragma once

int InitCom();
int LogSystemInfo();
long long GetMicroseconds(int useTimeStampCounter);
void ReadLocalTime(int* year, int* month, int* day, int* hour, int* minute, int* second);
