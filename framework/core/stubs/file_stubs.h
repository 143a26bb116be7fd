// The file-function table and archive access as start-up and shut-down use
// them. Declared here until the file layer lands.
#pragma once

struct FileFunctionTable;

int InitArchiveAccess();
int TerminateArchiveAccess();
// Null installs the default (archive-aware) set.
int SelectFileFunctions(const FileFunctionTable* table);
int FileSetCurrentDir(const char* path);
int FileGetCurrentDir(char* buffer);  // MAX_PATH bytes
// Fills the file and memory StreamFunctions tables the decoders read through.
int FillStreamFunctionTables();
