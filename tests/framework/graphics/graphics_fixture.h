// A started graphic table and draw state for one test, with the application
// active so that nothing waits, and everything released afterwards so the
// memory tracker is left empty.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory.h"
#include "core/system_state.h"
#include "graphics/draw_state.h"
#include "graphics/graph_record.h"

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_SystemState.applicationActive = 1;
        g_DrawState.drawingSuppressed = 0;
        InitGraphTable();
        InitDrawState();
        ASSERT_EQ(SelectDrawTarget(kFrontScreenTarget), 0);
        fatalTexts().clear();
    }

    void TearDown() override {
        g_DrawState.drawingSuppressed = 0;
        TermGraphTable();
        SetGraphFatalHookForTest(nullptr);
        SetTrackedAllocFailures(0);
        SystemState& s = g_SystemState;
        s.windowMode = 0;
        s.clientLeft = s.clientTop = s.clientRight = s.clientBottom = 0;
        s.desktopWidth = s.desktopHeight = 0;
        s.applicationActive = 0;
        EXPECT_EQ(g_GraphTable.handles.Count(), 0);
    }

    // A plain graphic with one (pretend) storage handle, so it can be bound
    // as a draw target.
    static HandleId MakeTarget(int width, int height) {
        GraphRecord* record = nullptr;
        const HandleId handle = NewGraphHandle(width, height, 0, &record, 0, 0);
        if (record != nullptr) record->storageCount = 1;
        return handle;
    }

    static std::vector<std::string>& fatalTexts() {
        static std::vector<std::string> texts;
        return texts;
    }
    static void RecordFatal(const char* text) { fatalTexts().emplace_back(text); }
};
