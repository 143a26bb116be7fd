// The hooks through which core and the window system reach the layers above
// them, bound to those layers' operations. They are constant-initialised, so
// they hold from the program's start, before anything runs.
#include "api/framework_init.h"
#include "core/core_hooks.h"
#include "graphics/d3d/direct3d.h"
#include "graphics/device/present.h"
#include "graphics/device/screen_device.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/draw_ops.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_load.h"
#include "graphics/draw/graph_record.h"
#include "graphics/image/color_format.h"
#include "graphics/movie/movie.h"
#include "graphics/text/font.h"
#include "input/char_input.h"
#include "input/input.h"
#include "net/http.h"
#include "net/network.h"
#include "sound/midi.h"
#include "sound/sound.h"
#include "window/window.h"

CoreHooks g_CoreHooks = {
    .EndFramework = EndFramework,
    .HasDirectDrawObject = HasDirectDrawObject,
    .QueryScreenSize = QueryScreenSize,
    .MakeColorCode = MakeColorCode,
    .CreateFontToHandle = CreateFontToHandle,
    .LinkFontLostFlag = LinkFontLostFlag,
    .DrawTextWithFont = DrawTextWithFont,
    .ReleaseFontHandle = ReleaseFontHandle,
};

WindowHooks g_WindowHooks = {
    .ApplyPadVibration = ApplyPadVibration,
    .UpdatePadVibration = UpdatePadVibration,
    .ResetInputCooperation = ResetInputCooperation,
    .FlagImeReopen = FlagImeReopen,
    .PushCharCode = PushCharCode,
    .ProcessKeyInput = ProcessKeyInput,
    .ReleaseAllKeyInputHandles = ReleaseAllKeyInputHandles,
    .ProcessStreamSounds = ProcessStreamSounds,
    .UpdateMidiPlayState = UpdateMidiPlayState,
    .OnMidiPlayEnd = OnMidiPlayEnd,
    .ProcessNetwork = ProcessNetwork,
    .StepAllHttpRequests = StepAllHttpRequests,
    .HasDirectDrawObject = HasDirectDrawObject,
    .IsDirectDrawInUse = IsDirectDrawInUse,
    .ReleaseDirectDrawObject = ReleaseDirectDrawObject,
    .IsDisplayModeChanged = IsDisplayModeChanged,
    .ApplyWindowModeChangeToScreen = ApplyWindowModeChangeToScreen,
    .SetupScreenColorFormat = SetupScreenColorFormat,
    .GetScreenColorDepth = GetScreenColorDepth,
    .QueryScreenSize = QueryScreenSize,
    .GetGdiSurfaceMode = GetGdiSurfaceMode,
    .GetVBlankWait = GetVBlankWait,
    .SetVBlankWait = SetVBlankWait,
    .PresentToWindow = PresentToWindow,
    .RestoreAllSurface2D = RestoreAllSurface2D,
    .RestoreLostSurface3DData = RestoreAllSurface3DData,
    .HasGraphReloadHandler = HasGraphReloadHandler,
    .RestoreAllGraphs = RestoreAllGraphs,
    .RecoverGraphicsAfterDeviceLoss = RecoverGraphicsAfterDeviceLoss,
    .ReleaseGraph = ReleaseGraph,
    .GetDrawTarget = GetDrawTarget,
    .SelectDrawTarget = SelectDrawTarget,
    .StretchBlitGraph = StretchBlitGraph,
    .PlayAllGraphMovies = PlayAllGraphMovies,
    .HoldAllGraphMovies = HoldAllGraphMovies,
    .ReleaseAllMovieObjects = ReleaseAllMovieObjects,
};
