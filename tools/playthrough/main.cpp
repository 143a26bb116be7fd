// Plays the game headless from the title to the ending with the player
// program, in the game's own program flow on the data set in <data folder>,
// and writes the keys it pressed as an input script:
//   playthrough <data folder> <script out> [most frames, default 400000] [start script]
// With a start script its keys are pressed first (the bot looks on and
// takes over where it ends): a quicker way to try the bot on later play.
// It plays from the saves the data set ships (a play folder of its own,
// play_folder.h), so its run does not hang on what was played in the data
// folder before. The script replays the same run: KELVO_PLATFORM=headless
// KELVO_INPUT=<it> with KELVO_FRAMES above its length, from the shipped saves
// (or with the timedemo). Exit code 0 once the ending was reached.
#include <kelvo/api.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "front/startup.h"
#include "game_run_args.h"
#include "platform/backend.h"
#include "platform/dinput.h"
#include "platform/display.h"
#include "player_bot.h"

namespace {

constexpr const char* kUsage =
    "usage: playthrough <data folder> <script out> [most frames, default 400000] [start script]\n"
    "       playthrough --help\n"
    "It plays from the saves the data set ships; the data folder's own are left alone.\n";

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path out;
    const std::filesystem::path startScript = argc > 4 ? std::filesystem::absolute(argv[4]) : std::filesystem::path();
    static PlayFolder folder;  // static: gone at any normal exit, std::exit included
    if (const int code = ReadGameRunArgs("playthrough", kUsage, argc, argv, out, folder); code >= 0) return code;
    const std::uint64_t most = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 400'000;

    // Headless as a program run is, but without its frame limit: the bot
    // ends the run itself.
    PlatformSelectBackend(PlatformBackend::Headless);
    PlatformInputReset();
    PlayerBot bot;
    std::vector<PlatformInputFrame> opening;
    if (!startScript.empty()) {
        std::ifstream file(startScript, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        int pads = 0;
        std::string error;
        if (!file || !PlatformParseInputScript(text, &opening, &pads, &error)) {
            std::fprintf(stderr, "playthrough: cannot read %s: %s\n", startScript.string().c_str(), error.c_str());
            return 1;
        }
    }
    std::vector<PlatformInputFrame> script(1);  // nothing held before the first present
    PlatformAppendInputFrame({});
    const double start = WallSeconds();
    auto write = [&] {
        std::ofstream file(out, std::ios::binary);
        file << "# keys of a headless playthrough, one line per presented frame\n"
             << PlatformFormatInputScript(script);
    };
    // Writes the script and says how the run went; the exit code.
    auto finish = [&](int code) {
        script.resize(std::min<std::size_t>(script.size(), PlatformProgramFrameCount() + 1));
        write();
        const BotProgress& p = bot.Progress();
        const double seconds = WallSeconds() - start;
        std::printf("frames %llu, virtual time %.1f s, wall time %.1f s, deaths %d, ending %s, exit %d\n",
                    static_cast<unsigned long long>(PlatformProgramFrameCount()),
                    static_cast<double>(PlatformVirtualMicros()) / 1e6, seconds, p.deaths,
                    p.endingReached ? "reached" : "not reached", code);
        std::printf("saves %d, trips back to town %d, purchases %d\n", p.saves, p.townTrips, p.purchases);
        std::printf("stages visited (%zu):", p.stagesVisited.size());
        for (std::size_t i = 0; i < p.stagesVisited.size(); ++i)
            std::printf(" %d (frame %llu)", p.stagesVisited[i], static_cast<unsigned long long>(p.arrivalFrames[i]));
        std::printf("\n");
        std::fflush(stdout);
        return p.endingReached ? 0 : 1;
    };
    PlatformSetPresentListener([&](std::uint64_t) {
        if (script.size() >= most) std::exit(finish(-1));  // gave up: the run so far is kept
        // Entry i is held while i frames have been presented: decide the next.
        while (script.size() <= PlatformProgramFrameCount()) {
            PlatformInputFrame next = bot.NextFrame();
            if (script.size() < opening.size()) next = opening[script.size()];
            PlatformAppendInputFrame(next);
            script.push_back(std::move(next));
            if (script.size() % 10000 == 0) std::fprintf(stderr, "%s\n", bot.Describe().c_str());
            // The run so far, now and then: a long run can be looked at (or
            // taken up as a start script) while it goes on.
            if (script.size() % 200000 == 0) write();
        }
    });

    static char commandLine[] = "";
    const int code = WinMain(nullptr, nullptr, commandLine, 1);
    PlatformSetPresentListener(nullptr);
    return finish(code);
}
