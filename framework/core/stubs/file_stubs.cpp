// Stand-ins until the file layer lands: no archives; the current directory
// is the process's own, so the start directory and the log work meanwhile.
#include "core/stubs/file_stubs.h"

#include "platform/kernel.h"

int InitArchiveAccess() { return 0; }
int TerminateArchiveAccess() { return 0; }
int SelectFileFunctions(const FileFunctionTable*) { return 0; }
int FileSetCurrentDir(const char* path) { return SetCurrentDirectoryA(path) ? 0 : -1; }
int FileGetCurrentDir(char* buffer) {
    if (buffer == nullptr) return -1;
    return GetCurrentDirectoryA(MAX_PATH, buffer) != 0 ? 0 : -1;
}
int FillStreamFunctionTables() { return 0; }
