// The tests' offscreen OpenGL context: SDL's offscreen video driver (EGL
// pbuffer, software rendering) unless SDL_VIDEODRIVER names another, no
// display needed. A test that needs a depth buffer of a given size asks for
// it; the window can be hidden.
#pragma once

#include <GL/gl.h>
#include <SDL.h>

#include <array>
#include <cstdlib>

class TestGlContext {
 public:
  TestGlContext(int width, int height, int depth_bits = 0, Uint32 flags = 0) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
    if (depth_bits > 0) SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
    window_ = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | flags);
    if (window_) context_ = SDL_GL_CreateContext(window_);
    if (context_) glViewport(0, 0, width, height);
  }
  ~TestGlContext() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }
  TestGlContext(const TestGlContext&) = delete;
  TestGlContext& operator=(const TestGlContext&) = delete;

  bool ok() const { return context_ != nullptr; }
  SDL_Window* window() const { return window_; }

 private:
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

// The colour of one pixel of the frame drawn so far.
inline std::array<int, 3> read_pixel(int x, int y) {
  glFinish();
  unsigned char p[4] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2]};
}
