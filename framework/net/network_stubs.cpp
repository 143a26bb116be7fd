// Stand-ins until the socket layer is built: it is idle in this program.
#include "net/network_stubs.h"

int ClearHttpRequestTable() { return 0; }
int DeleteAllHttpRequests() { return 0; }
int EndNetwork() { return 0; }
int ProcessNetwork() { return 0; }
int StepAllHttpRequests() { return 0; }
