// The one thread that talks to SDL's video on the sdl backend. SDL wants its
// windows, their events and their renderers used from the thread that made
// them; that thread must not be the program's main thread, or a slow display
// would hold the program up each time it shows a frame. So this thread starts
// SDL, makes, changes and destroys the SDL windows, pumps SDL's events into an
// inbox that the main thread turns into window messages, and shows the frames
// the program presents (present.cpp hands them over).
#pragma once

#include <SDL.h>

#include <functional>
#include <vector>

// Starts the thread and SDL's video, events and timer on it; true when SDL
// started (at once when it runs already).
bool VideoThreadStart();
// Ends SDL on the thread and waits for the thread to end.
void VideoThreadStop();
bool VideoThreadRunning();
bool OnVideoThread();

// Runs `work` on the video thread and waits for it; at once when called
// there, or when the thread does not run (nothing of SDL's video is up then).
// Once the display is lost it is not run at all, and a caller still waiting
// for a call goes on without it: whatever the call was to fill in keeps the
// value it had.
void VideoThreadCall(const std::function<void()>& work);
// Queues `work` for the video thread and returns at once; dropped when the
// thread does not run or the display is lost.
void VideoThreadPost(std::function<void()> work);

// The video thread, when the display's connection breaks (its X server
// ended): marks the display lost, lets every waiting caller go and stops the
// thread for good where it is, never returning. The program sees the loss
// (VideoThreadDisplayLost) and ends by its own road while the thread stays
// parked; nothing touches the display again.
[[noreturn]] void VideoThreadParkForLostDisplay();
bool VideoThreadDisplayLost();

// The SDL events pumped since the last call, oldest first. Whoever takes
// them owns the strings some of them carry (VideoThreadFreeEvent).
std::vector<SDL_Event> VideoThreadTakeEvents();
void VideoThreadFreeEvent(SDL_Event& event);

// What the thread does on each pass besides its calls and the event pump
// (show the newest frame), and what it lets go of before SDL ends (the
// renderer). VideoThreadWake makes a waiting pass run at once.
void VideoThreadSetFrameWork(void (*work)(), void (*release)());
void VideoThreadWake();

// Starts or ends an SDL subsystem (joystick, audio) on the video thread when
// it runs: SDL's start-up and shut-down are not safe beside its event pump.
bool VideoThreadStartSubsystem(Uint32 flags);
void VideoThreadEndSubsystem(Uint32 flags);
