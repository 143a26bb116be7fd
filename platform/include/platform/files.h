// Translation of the framework's Windows-style paths to this system's paths.
#pragma once

#include <cstdio>
#include <string>

// "C:\dir\File.BMP" or "se\select.wav" -> a path here. Backslashes become
// slashes, a drive letter stands for the root, and each component that does
// not exist as written is looked up without regard to letter case. Components
// that exist in no form are kept as written (so new files can be created).
std::string PlatformTranslatePath(const char* windowsPath);

// The current directory as the framework sees it: "C:\" followed by the
// directory here with backslashes.
std::string PlatformWindowsPath(const std::string& nativePath);

// The C library's fopen for the game's data and save files, with the same
// translation. Text-mode reads behave as on the original platform only in the
// caller's hands: this opens binary and text alike.
std::FILE* PlatformFOpen(const char* windowsPath, const char* mode);

// Opens a file for reading through the checks every open for reading here
// makes (CreateFileA's and PlatformFOpen's too): only a plain file of stored
// bytes opens, never a pipe, a device, a folder or a kernel file under /proc
// or /sys, and the open never waits. The descriptor is non-blocking, so a
// read that would wait fails at once with EAGAIN. The caller owns it and
// closes it; -1 with errno (EACCES when refused) and the last error set.
int OpenPlainFileForReading(const char* nativePath);

// Flushes a stream opened by PlatformFOpen and has the system put its bytes
// on the disk, so that a file renamed over another afterwards survives a
// power loss whole. False when either step fails.
bool PlatformFlushToDisk(std::FILE* file);
