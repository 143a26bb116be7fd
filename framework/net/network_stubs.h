// The socket and HTTP layer as start-up, shut-down and message processing
// reach it. Declared here until that layer is built.
#pragma once

int ClearHttpRequestTable();
int DeleteAllHttpRequests();
int EndNetwork();
int ProcessNetwork();  // one pump of the socket layer
int StepAllHttpRequests();
