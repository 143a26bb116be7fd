#include "kernel/video_thread.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "kernel/display_loss.h"

namespace {

// With nothing to show the thread still pumps SDL's events this often, so a
// key or a close reaches the program's message queue without delay.
constexpr auto kPumpInterval = std::chrono::milliseconds(2);

struct VideoThreadState {
    std::mutex mutex;
    std::condition_variable wake;  // the thread waits on it
    std::condition_variable done;  // callers wait on it for their call
    std::deque<std::function<void()>> calls;
    std::uint64_t callsQueued = 0, callsDone = 0;
    std::vector<SDL_Event> inbox;
    std::thread thread;
    std::thread::id id;
    bool running = false;
    bool stopping = false;
    bool woken = false;
    bool displayLost = false;  // the thread is parked for good
    void (*frameWork)() = nullptr;
    void (*releaseWork)() = nullptr;
};

// Never destroyed: the thread may still run while the process exits, and
// must not find its state gone.
VideoThreadState& State() {
    static VideoThreadState* state = new VideoThreadState;
    return *state;
}

// Runs the queued calls in order; false once the thread is to end.
bool RunCalls(VideoThreadState& v) {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(v.mutex);
            if (v.calls.empty()) return !v.stopping;
            call = std::move(v.calls.front());
            v.calls.pop_front();
        }
        call();
        {
            std::lock_guard lock(v.mutex);
            ++v.callsDone;
        }
        v.done.notify_all();
    }
}

void PumpEvents(VideoThreadState& v) {
    SDL_PumpEvents();
    SDL_Event events[64];
    for (;;) {
        const int n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (n <= 0) return;
        std::lock_guard lock(v.mutex);
        v.inbox.insert(v.inbox.end(), events, events + n);
    }
}

void Loop(VideoThreadState& v) {
    for (;;) {
        if (!RunCalls(v)) return;
        void (*frameWork)() = nullptr;
        {
            std::lock_guard lock(v.mutex);
            frameWork = v.frameWork;
        }
        if (frameWork != nullptr) frameWork();
        PumpEvents(v);
        std::unique_lock lock(v.mutex);
        if (v.calls.empty() && !v.woken && !v.stopping) v.wake.wait_for(lock, kPumpInterval);
        v.woken = false;
    }
}

// SDL falls back on its invisible drivers when no display answers: the
// program would run on in a window no one could see or close. They are used
// only when asked for by name.
bool OnInvisibleDriverUnasked() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver == nullptr || (asked != nullptr && *asked != '\0')) return false;
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

// Set once the process exits, with the status it exits with.
std::atomic<bool> g_exiting{false};
std::atomic<int> g_exitStatus{0};

// Ends the thread when the program exits without ending SDL itself. Once the
// display is lost the process ends here, having ended in order up to now:
// the libraries' own ends (OpenGL's, say) would wait for the display the
// parked thread holds.
void EndAtExit(int status, void*) {
    g_exitStatus = status;
    g_exiting = true;
    VideoThreadStop();
    if (!VideoThreadDisplayLost()) return;
    std::fflush(nullptr);
    _exit(status);
}

}  // namespace

bool VideoThreadStart() {
    VideoThreadState& v = State();
    std::unique_lock lock(v.mutex);
    if (v.running) return true;
    // A thread parked on a lost display never ends, and holds SDL's video.
    if (v.displayLost) return false;
    static const bool registered = [] { return on_exit(EndAtExit, nullptr) == 0; }();
    (void)registered;
    bool started = false, answered = false;
    v.stopping = false;
    v.thread = std::thread([&v, &started, &answered] {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // Compositions longer than SDL's 32-byte event come whole.
        SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
        // Watched from the start: the display may go while SDL sets up.
        WatchForLostDisplay();
        bool ok = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
        if (ok && OnInvisibleDriverUnasked()) {
            std::fputs("kelvo: no display answers; no window can be made\n", stderr);
            SDL_Quit();
            ok = false;
        }
        {
            // Told under the lock: the starter's locals live until it has it.
            std::lock_guard lock(v.mutex);
            started = ok;
            answered = true;
            v.done.notify_all();
        }
        if (ok) Loop(v);
        // SDL keeps per-thread data (its error text, pumped events) that it
        // frees only for threads it made itself.
        SDL_TLSCleanup();
    });
    v.id = v.thread.get_id();
    // Told on `done`, as a display lost while SDL starts is.
    v.done.wait(lock, [&] { return answered || v.displayLost; });
    if (v.displayLost) return false;
    if (!started) {
        lock.unlock();
        v.thread.join();
        return false;
    }
    v.running = true;
    return true;
}

void VideoThreadStop() {
    VideoThreadState& v = State();
    if (OnVideoThread()) return;  // the thread cannot wait for its own end
    {
        std::lock_guard lock(v.mutex);
        if (!v.running) return;
    }
    // Not run once the display is lost: the parked thread is left where it is.
    VideoThreadCall([&v] {
        void (*release)() = nullptr;
        {
            std::lock_guard lock(v.mutex);
            release = v.releaseWork;
            v.frameWork = nullptr;
        }
        if (release != nullptr) release();
        SDL_Quit();
    });
    {
        std::lock_guard lock(v.mutex);
        v.stopping = true;
        v.running = false;
        for (SDL_Event& e : v.inbox) VideoThreadFreeEvent(e);
        v.inbox.clear();
        // The display was lost while SDL ended: the thread is parked.
        if (v.displayLost) return;
    }
    v.wake.notify_all();
    v.thread.join();
    std::lock_guard lock(v.mutex);
    v.id = std::thread::id{};
}

void VideoThreadParkForLostDisplay() {
    VideoThreadState& v = State();
    {
        std::lock_guard lock(v.mutex);
        v.displayLost = true;
        v.calls.clear();
    }
    // Callers waiting for their calls go on without them.
    v.done.notify_all();
    std::fputs("kelvo: the display is gone; the program ends as when its window is closed\n", stderr);
    // Lost while the process exits: its own end is done, the libraries'
    // would wait for this thread.
    if (g_exiting) {
        std::fflush(nullptr);
        _exit(g_exitStatus);
    }
    // Never back into the library that found the loss out: it would end the
    // process there and then, beside the program still running.
    for (;;) pause();
}

bool VideoThreadDisplayLost() {
    VideoThreadState& v = State();
    std::lock_guard lock(v.mutex);
    return v.displayLost;
}

bool VideoThreadRunning() {
    VideoThreadState& v = State();
    std::lock_guard lock(v.mutex);
    return v.running;
}

bool OnVideoThread() {
    VideoThreadState& v = State();
    std::lock_guard lock(v.mutex);
    return v.id == std::this_thread::get_id();
}

void VideoThreadCall(const std::function<void()>& work) {
    VideoThreadState& v = State();
    std::unique_lock lock(v.mutex);
    if (v.displayLost) return;  // nothing of SDL's video may run any more
    if (!v.running || v.id == std::this_thread::get_id()) {
        lock.unlock();
        work();
        return;
    }
    v.calls.push_back(work);
    const std::uint64_t ticket = ++v.callsQueued;
    v.wake.notify_all();
    v.done.wait(lock, [&] { return v.callsDone >= ticket || v.displayLost; });
}

void VideoThreadPost(std::function<void()> work) {
    VideoThreadState& v = State();
    {
        std::lock_guard lock(v.mutex);
        if (!v.running || v.displayLost) return;
        v.calls.push_back(std::move(work));
        ++v.callsQueued;
    }
    v.wake.notify_all();
}

std::vector<SDL_Event> VideoThreadTakeEvents() {
    VideoThreadState& v = State();
    std::vector<SDL_Event> events;
    std::lock_guard lock(v.mutex);
    events.swap(v.inbox);
    return events;
}

void VideoThreadSetFrameWork(void (*work)(), void (*release)()) {
    VideoThreadState& v = State();
    std::lock_guard lock(v.mutex);
    v.frameWork = work;
    v.releaseWork = release;
}

void VideoThreadFreeEvent(SDL_Event& event) {
    switch (event.type) {
        case SDL_DROPFILE:
        case SDL_DROPTEXT: SDL_free(event.drop.file); event.drop.file = nullptr; break;
        case SDL_TEXTEDITING_EXT: SDL_free(event.editExt.text); event.editExt.text = nullptr; break;
        default: break;
    }
}

void VideoThreadWake() {
    VideoThreadState& v = State();
    {
        std::lock_guard lock(v.mutex);
        v.woken = true;
    }
    v.wake.notify_all();
}

bool VideoThreadStartSubsystem(Uint32 flags) {
    bool ok = false;
    VideoThreadCall([&] { ok = SDL_InitSubSystem(flags) == 0; });
    return ok;
}

void VideoThreadEndSubsystem(Uint32 flags) {
    VideoThreadCall([flags] { SDL_QuitSubSystem(flags); });
}
