// The 4:3 viewport rule and the full-screen toggle.

#include <GL/gl.h>
#include <SDL.h>

#include "shell/shell.h"

ViewRect show_view = {0, 0, 1024, 768};

namespace {
// 4/3 as the single-precision number the ratio is compared with, so that a
// 1024 × 768 rectangle compares equal and keeps its exact size.
constexpr float kAspect = 4.0f / 3.0f;
}  // namespace

void set_aspect_viewport(int x, int y, int width, int height) {
  if (height == 0) height = 1;
  const float ratio = static_cast<float>(width) / static_cast<float>(height);
  if (ratio > kAspect) {
    const int narrower = 4 * height / 3;
    x += (width - narrower) / 2;
    width = narrower;
  } else if (ratio < kAspect) {
    const int lower = static_cast<int>(width * 3 * 0.25);
    y += (height - lower) / 2;
    height = lower;
  }
  glViewport(x, y, width, height);
  show_view = ViewRect{x, y, width, height};
}

void toggle_fullscreen(SDL_Window* window) {
  const Uint32 fullscreen = SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP;
  SDL_SetWindowFullscreen(window, fullscreen == 0 ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  // Leaving full screen shows the cursor, entering it hides it. The viewport
  // follows from the resize event the change of size brings.
  SDL_ShowCursor(fullscreen != 0 ? SDL_ENABLE : SDL_DISABLE);
}
