// The tests' offscreen OpenGL context: the capture's offscreen GL target
// (gl_target.h), a hidden window drawing into a framebuffer of exactly the
// asked size with a 24-bit depth buffer, as the show's window has; no
// display needed.
#pragma once

#include <GL/gl.h>
#include <SDL.h>

#include <array>

#include "gl_target.h"

class TestGlContext {
 public:
  TestGlContext(int width, int height) {
    if (!gl_target_open(target_, width, height, why_, sizeof why_)) SDL_SetError("%s", why_);
  }
  ~TestGlContext() {
    if (ok()) gl_target_close(target_);
  }
  TestGlContext(const TestGlContext&) = delete;
  TestGlContext& operator=(const TestGlContext&) = delete;

  bool ok() const { return target_.context != nullptr; }
  SDL_Window* window() const { return target_.window; }

 private:
  GlTarget target_;
  char why_[256] = "";
};

// The colour of one pixel of the frame drawn so far.
inline std::array<int, 3> read_pixel(int x, int y) {
  glFinish();
  unsigned char p[4] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2]};
}
