// The offscreen GL target. The offscreen SDL driver gives an EGL pbuffer
// whose size and depth precision (16 bits) are the platform's choice, so
// the frame is drawn into a framebuffer object of the asked size with a
// 24-bit depth buffer instead, as the show's window has.

#include "gl_target.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

PFNGLGENFRAMEBUFFERSPROC gen_framebuffers;
PFNGLBINDFRAMEBUFFERPROC bind_framebuffer;
PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers;
PFNGLGENRENDERBUFFERSPROC gen_renderbuffers;
PFNGLBINDRENDERBUFFERPROC bind_renderbuffer;
PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers;
PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage;
PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer;
PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status;

template <typename F>
bool find(F& f, const char* name) {
  f = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
  return f != nullptr;
}

// Looks every one up, also after one is missing, and counts those found.
bool load_framebuffer_functions() {
  const int found = find(gen_framebuffers, "glGenFramebuffers") +
                    find(bind_framebuffer, "glBindFramebuffer") +
                    find(delete_framebuffers, "glDeleteFramebuffers") +
                    find(gen_renderbuffers, "glGenRenderbuffers") +
                    find(bind_renderbuffer, "glBindRenderbuffer") +
                    find(delete_renderbuffers, "glDeleteRenderbuffers") +
                    find(renderbuffer_storage, "glRenderbufferStorage") +
                    find(framebuffer_renderbuffer, "glFramebufferRenderbuffer") +
                    find(check_framebuffer_status, "glCheckFramebufferStatus");
  return found == 9;
}

// One try with the video driver SDL currently selects.
bool open_context(GlTarget& t, char* why, int why_size) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::snprintf(why, why_size, "SDL video: %s", SDL_GetError());
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  t.window = SDL_CreateWindow("drmorvel offscreen", 0, 0, t.width, t.height,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (t.window) t.context = SDL_GL_CreateContext(t.window);
  if (!t.context) {
    std::snprintf(why, why_size, "no OpenGL context (%s driver): %s",
                  SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "no", SDL_GetError());
    if (t.window) SDL_DestroyWindow(t.window);
    t.window = nullptr;
    SDL_Quit();
    return false;
  }
  return true;
}

bool bind_target(GlTarget& t, char* why, int why_size) {
  if (!load_framebuffer_functions()) {
    // Without framebuffer objects only a drawable of the exact size serves.
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(t.window, &w, &h);
    if (w == t.width && h == t.height) return true;
    std::snprintf(why, why_size, "no framebuffer objects and a %dx%d drawable", w, h);
    return false;
  }
  gen_framebuffers(1, &t.framebuffer);
  bind_framebuffer(GL_FRAMEBUFFER, t.framebuffer);
  gen_renderbuffers(1, &t.colour);
  bind_renderbuffer(GL_RENDERBUFFER, t.colour);
  renderbuffer_storage(GL_RENDERBUFFER, GL_RGBA8, t.width, t.height);
  framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, t.colour);
  gen_renderbuffers(1, &t.depth);
  bind_renderbuffer(GL_RENDERBUFFER, t.depth);
  renderbuffer_storage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, t.width, t.height);
  framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t.depth);
  if (check_framebuffer_status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::snprintf(why, why_size, "the %dx%d framebuffer is incomplete", t.width, t.height);
    return false;
  }
  glViewport(0, 0, t.width, t.height);
  return true;
}

}  // namespace

int gl_target_open(GlTarget& t, int width, int height, char* why, int why_size) {
  t = GlTarget{};
  t.width = width;
  t.height = height;
  bool opened;
  if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
    // The offscreen driver needs no display server; SDL's own choice (a
    // hidden X window, say) is the fallback.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    opened = open_context(t, why, why_size);
    unsetenv("SDL_VIDEODRIVER");
    if (!opened) opened = open_context(t, why, why_size);
  } else {
    opened = open_context(t, why, why_size);
  }
  if (!opened) return 0;
  if (!bind_target(t, why, why_size)) {
    gl_target_close(t);
    return 0;
  }
  return 1;
}

void gl_target_read(const GlTarget& t, uint8_t* rgb) {
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, t.width, t.height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  // GL rows run bottom up; pictures are stored top row first.
  const size_t stride = static_cast<size_t>(t.width) * 3;
  uint8_t row[3 * 4096];
  for (int y = 0; y < t.height / 2; ++y) {
    uint8_t* a = rgb + y * stride;
    uint8_t* b = rgb + (t.height - 1 - y) * stride;
    for (size_t done = 0; done < stride; done += sizeof row) {
      const size_t n = stride - done < sizeof row ? stride - done : sizeof row;
      std::memcpy(row, a + done, n);
      std::memcpy(a + done, b + done, n);
      std::memcpy(b + done, row, n);
    }
  }
}

void gl_target_close(GlTarget& t) {
  if (t.context) {
    if (t.framebuffer) {
      bind_framebuffer(GL_FRAMEBUFFER, 0);
      delete_framebuffers(1, &t.framebuffer);
      delete_renderbuffers(1, &t.colour);
      delete_renderbuffers(1, &t.depth);
    }
    SDL_GL_DeleteContext(t.context);
  }
  if (t.window) SDL_DestroyWindow(t.window);
  SDL_Quit();
  t = GlTarget{};
}
