// Which backend stands behind the platform layer: a real SDL2 window or a
// headless run with a virtual clock.
#pragma once

#include <cstdint>

enum class PlatformBackend { Sdl, Headless };

// The backend in use. On first use it is chosen from KELVO_PLATFORM
// ("sdl" or "headless"); unset means sdl when a display is available.
PlatformBackend PlatformGetBackend();
// Tests choose the backend in code before anything else runs.
void PlatformSelectBackend(PlatformBackend backend);
// Forgets the choice, so the next use chooses from the environment again as
// a program run does; for tests of that choice.
void PlatformForgetBackendChoice();
bool PlatformIsHeadless();
// True when the backend was chosen from the environment, as for a program
// run, rather than selected in code by a test.
bool PlatformIsProgramRun();

// Start and end the backend (SDL's video and event systems on sdl; nothing on
// headless). Returns false when the backend cannot start.
bool PlatformStartBackend();
void PlatformEndBackend();
bool PlatformBackendStarted();

// ---- headless virtual clock --------------------------------------------------
// The virtual clock counts microseconds. Each read of a clock on the main
// thread advances it by the read step, so a busy-wait on the clock ends; Sleep
// on the main thread advances it by the time slept.
constexpr std::uint64_t kVirtualClockReadStepMicros = 100;
std::uint64_t PlatformVirtualMicros();
// The virtual clock without advancing it (the audio output follows it so).
std::uint64_t PlatformPeekVirtualMicros();
void PlatformAdvanceVirtualClock(std::uint64_t micros);
void PlatformResetVirtualClock();
// The clock's reads made so far; for tests that bound busy-waits.
std::uint64_t PlatformVirtualClockReads();
// The machine's own steady clock in microseconds since start-up, whatever the
// backend: what a tool reports as wall time.
std::uint64_t PlatformRealMicros();
// True on the thread that started the process.
bool PlatformIsMainThread();
