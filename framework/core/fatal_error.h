// The fatal-error exit: the text is logged, the framework ended (through the
// shut-down hook in core_hooks.h) and the process left.
#pragma once

[[noreturn]] void FatalError(const char* text);
[[noreturn]] void FatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
