// An OpenGL context for rendering without a screen: a hidden SDL window
// whose context draws into a framebuffer object of exactly the asked size,
// with a 24-bit depth buffer, whatever drawable the platform gives the
// window. Used by the offline capture, the GL tests and the benchmark.
#pragma once

#include <cstdint>

struct SDL_Window;

struct GlTarget {
  SDL_Window* window = nullptr;
  void* context = nullptr;
  int width = 0;
  int height = 0;
  unsigned int framebuffer = 0;  // 0: drawing into the window's own buffer
  unsigned int colour = 0;
  unsigned int depth = 0;
};

// Opens SDL video and a context current on this thread, and binds a
// width x height framebuffer. Without SDL_VIDEODRIVER set it tries the
// offscreen (EGL) driver first, then SDL's default. Returns 1 on success;
// on failure returns 0 with a one-line reason in `why`.
int gl_target_open(GlTarget& target, int width, int height, char* why, int why_size);
// Reads the whole target as RGB rows, top row first (width x height x 3
// bytes into rgb), after finishing all drawing.
void gl_target_read(const GlTarget& target, uint8_t* rgb);
// Deletes the framebuffer, the context and the window, and quits SDL.
void gl_target_close(GlTarget& target);
