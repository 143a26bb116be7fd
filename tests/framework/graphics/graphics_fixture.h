// A started graphic table and draw state for one test, with the application
// active so that nothing waits, and everything released afterwards so the
// memory tracker is left empty.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory.h"
#include "core/system_state.h"
#include "graphics/device/storage_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"

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
        // Storage the graphics could not delete without a device.
        InitSurface2DTable();
        InitSurfaceDataTable();
        SetGraphFatalHookForTest(nullptr);
        SetTrackedAllocFailures(0);
        SystemState& s = g_SystemState;
        s.windowMode = 0;
        s.clientLeft = s.clientTop = s.clientRight = s.clientBottom = 0;
        s.desktopWidth = s.desktopHeight = 0;
        s.applicationActive = 0;
        EXPECT_EQ(g_GraphTable.handles.Count(), 0);
    }

    // A plain graphic with software storage, which needs no DirectDraw
    // object, so it can be bound as a draw target.
    static HandleId MakeTarget(int width, int height) {
        static const StorageScreenOverride software{nullptr, 0, 1};
        SetStorageScreenOverrideForTest(&software);
        const HandleId handle = CreateGraphWithSurfaces(width, height, 0, 0, 0);
        SetStorageScreenOverrideForTest(nullptr);
        return handle;
    }

    static std::vector<std::string>& fatalTexts() {
        static std::vector<std::string> texts;
        return texts;
    }
    static void RecordFatal(const char* text) { fatalTexts().emplace_back(text); }
};
