// The pixel-making GL entry points of the show, passed on to the GL's own
// functions or dropped (see draw_gate.h). Being defined in the executable,
// these take the place of the GL library's functions of the same names for
// the show's code; the GL's own are found through SDL, which asks the GL
// (EGL or GLX) and never sees these.

#include "draw_gate.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

namespace {

using Vertex2Fn = void (*)(GLfloat, GLfloat);
using Vertex3Fn = void (*)(GLfloat, GLfloat, GLfloat);
using ClearFn = void (*)(GLbitfield);

Vertex2Fn gl_vertex2f;
Vertex3Fn gl_vertex3f;
ClearFn gl_clear;
bool drawing = true;

template <typename F>
bool find(F& f, const char* name, F own) {
  f = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
  // Handed back this file's own function, the call would never reach a GL.
  return f != nullptr && f != own;
}

}  // namespace

extern "C" {
void glVertex2f(GLfloat x, GLfloat y) {
  if (drawing) gl_vertex2f(x, y);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  if (drawing) gl_vertex3f(x, y, z);
}
void glClear(GLbitfield mask) {
  if (drawing) gl_clear(mask);
}
}

int draw_gate_open(char* why, int why_size) {
  drawing = true;
  if (find(gl_vertex2f, "glVertex2f", &glVertex2f) &&
      find(gl_vertex3f, "glVertex3f", &glVertex3f) && find(gl_clear, "glClear", &glClear))
    return 1;
  std::snprintf(why, static_cast<size_t>(why_size), "the GL does not offer its drawing functions");
  return 0;
}

void draw_gate_set(bool on) { drawing = on; }
