// The game makes one X window from its start to the title, on an X server of
// its own with OpenGL (GLX) and on one without: a window made anew before it
// is shown loses whatever had learned the first (a close sent to it), and
// lives too briefly for a close test to be sure to catch it. Run with the
// window tests (under xvfb-run); skipped without a display or without Xvfb.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "integration/support/game_process.h"
#include "integration/support/x_server.h"
#include "support/temp_dir.h"

namespace {

TEST(SdlWindowCount, TheGameMakesOneWindowFromItsStartToTheTitle) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0' || std::system("command -v Xvfb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no display or no Xvfb";
    TempDir folder;
    ASSERT_EQ(std::system((std::string(KELVO_DATAGEN_PATH) + " " + folder.str() + " >/dev/null").c_str()), 0);
    const std::string counters = folder.str() + "/counters";
    for (const bool glx : {true, false}) {
        SCOPED_TRACE(glx ? "with GLX" : "without GLX");
        xserver::XServer server(glx);
        ASSERT_TRUE(server.started());
        xserver::WindowWatch watch(server.name());
        ASSERT_TRUE(watch.opened());
        std::remove(counters.c_str());
        const pid_t game = gameprocess::Start(folder.str(), server.name(), counters);
        ASSERT_GT(game, 0);
        const bool title = gameprocess::WaitForTitle(game, counters);
        const unsigned long shown = watch.MappedWindowOf(game);
        // SDL's look at the OpenGL library makes and drops a 32 x 32 window
        // of its own; every other window is one the game's could have been.
        std::vector<unsigned long> windows;
        std::string ids;
        for (const xserver::MadeWindow& w : watch.Made()) {
            char id[64];
            std::snprintf(id, sizeof id, " 0x%lx (%d x %d)", w.id, w.width, w.height);
            ids += id;
            if (w.width != 32 || w.height != 32) windows.push_back(w.id);
        }
        std::printf("%s: windows made up to the title:%s\n", glx ? "with GLX" : "without GLX", ids.c_str());
        gameprocess::WaitForEnd(game, 0);
        watch.Close();
        ASSERT_TRUE(title) << "the game reached the title";
        EXPECT_EQ(windows.size(), 1u);
        EXPECT_NE(shown, 0u);
        if (!windows.empty()) {
            EXPECT_EQ(windows.front(), shown) << "the window shown is the one made first";
        }
    }
}

}  // namespace
