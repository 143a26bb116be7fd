// Replays an input script through the game headless, as fast as it goes,
// and reports the cost of its frames:
//   timedemo <data folder> <script> [most frames]
// The game runs its own program flow on the data set in <data folder>, from
// the saves the data set ships (a play folder of its own, play_folder.h), so
// every replay of a script is the same run; the 5 ms pacing waits on the
// virtual clock, so it costs a few clock reads and no time. Reports frames
// per second, the median, 99th percentile and worst frame time (from one
// present to the next; a present is only noted, no pixels are copied out)
// and the peak resident memory. Set KELVO_D3D=1 to run on the Direct3D road;
// KELVO_FRAME_HASHES=<file> writes a hash of every 100th frame.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "front/startup.h"
#include "game_run_args.h"
#include "platform/backend.h"
#include "platform/display.h"

namespace {

constexpr const char* kUsage =
    "usage: timedemo <data folder> <script> [most frames]\n"
    "       timedemo --help\n"
    "Every run starts from the saves the data set ships; the data folder's own are left alone.\n"
    "KELVO_D3D=1 runs it on the Direct3D road; KELVO_FRAME_HASHES=<file> writes a hash of every\n"
    "100th frame.\n";

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path scriptPath;
    static PlayFolder folder;  // static: gone at any normal exit
    if (const int code = ReadGameRunArgs("timedemo", kUsage, argc, argv, scriptPath, folder); code >= 0)
        return code;
    const std::string script = scriptPath.string();
    // A headless program run: it ends when the script runs out (or at the
    // frame count), closing the window as a player would.
    setenv("KELVO_PLATFORM", "headless", 1);
    setenv("KELVO_INPUT", script.c_str(), 1);
    setenv("KELVO_FRAMES", argc > 3 ? argv[3] : "100000000", 1);

    std::vector<double> frameTimes;
    frameTimes.reserve(1 << 20);
    double last = WallSeconds();
    const double start = last;
    PlatformSetPresentListener([&](std::uint64_t) {
        const double now = WallSeconds();
        frameTimes.push_back(now - last);
        last = now;
    });
    static char commandLine[] = "";
    const int code = WinMain(nullptr, nullptr, commandLine, 1);
    PlatformSetPresentListener(nullptr);
    const double total = WallSeconds() - start;
    if (frameTimes.empty()) {
        std::fprintf(stderr, "timedemo: no frame was presented\n");
        return 1;
    }

    // The loading screen's first frame carries the start-up; it is left out.
    std::vector<double> sorted(frameTimes.begin() + 1, frameTimes.end());
    if (sorted.empty()) sorted = frameTimes;
    std::sort(sorted.begin(), sorted.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("frames %zu in %.2f s: %.0f frames/s, median %.3f ms, 99th %.3f ms, worst %.3f ms, "
                "peak RSS %.1f MB, exit %d\n",
                frameTimes.size(), total, static_cast<double>(frameTimes.size()) / total,
                sorted[sorted.size() / 2] * 1e3, sorted[sorted.size() * 99 / 100] * 1e3, sorted.back() * 1e3,
                static_cast<double>(usage.ru_maxrss) / 1024.0, code);
    return code;
}
