// The renderer an SDL window's frames are shown through, and the window made
// for it. Left to choose, SDL tries its OpenGL renderers first and makes the
// X window anew for each whose kind the window was not made for (on an X
// server without GLX, every one of them), so that whatever had learned the
// first window (a close sent to it) is lost: here the renderer is chosen
// before the window is made, and asked for by name.
#include <SDL.h>

#include <cstring>

#include "ddraw/display_internal.h"

namespace {

// The index of SDL's render driver of that name, or -1.
int RenderDriverIndex(const char* name) {
    for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
        SDL_RendererInfo info{};
        if (SDL_GetRenderDriverInfo(i, &info) == 0 && std::strcmp(info.name, name) == 0) return i;
    }
    return -1;
}

}  // namespace

void* PlatformMakeRenderedWindow(const char* title, int x, int y, int width, int height, unsigned flags) {
    // Whether OpenGL can be had is known only once its library loads: SDL
    // then checks the display (an X server without GLX cannot give it). The
    // window made for OpenGL holds the library itself, so it is loaded here
    // once, not twice.
    SDL_Window* window = nullptr;
    if (RenderDriverIndex("opengl") >= 0 && SDL_GL_LoadLibrary(nullptr) == 0) {
        window = SDL_CreateWindow(title, x, y, width, height, flags | SDL_WINDOW_OPENGL);
        SDL_GL_UnloadLibrary();
    }
    if (window == nullptr) window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window != nullptr) PlatformMakeWindowRenderer(window);
    return window;
}

void PlatformMakeWindowRenderer(void* sdlWindow) {
    auto* window = static_cast<SDL_Window*>(sdlWindow);
    if (window == nullptr || SDL_GetRenderer(window) != nullptr) return;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    // No vertical-sync wait: the program paces itself.
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) != 0) {
        const int opengl = RenderDriverIndex("opengl");
        if (opengl >= 0 && SDL_CreateRenderer(window, opengl, 0) != nullptr) return;
    }
    // In software, into the window's own X image: left to itself SDL would
    // try to draw the window's picture through one of its OpenGL renderers.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const int software = RenderDriverIndex("software");
    if (software >= 0) SDL_CreateRenderer(window, software, 0);
}
