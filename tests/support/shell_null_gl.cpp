// The shell's frame-level GL calls for the GL that draws nothing, and the
// TextureTable that asset loading would otherwise define: without a real GL
// there is nothing to load, so the table holds fixed names that a test or
// the benchmark may set.

#include "shell_null_gl.h"

#include <GL/gl.h>

#include "assets/assets.h"

ShellGlLog shell_gl_log;
unsigned int TextureTable[kTextureCount] = {1, 2, 3, 4, 5, 6, 7, 8};

namespace {
void note(ShellGlOp op, uint32_t mask, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  if (!null_gl_log.recording || shell_gl_log.size == kShellGlCapacity) return;
  shell_gl_log.calls[shell_gl_log.size++] = ShellGlCall{op, null_gl_log.size, mask, {a, b, c, d}};
}
}  // namespace

void shell_gl_reset(bool record) {
  shell_gl_log.size = 0;
  null_gl_reset(record);
}

extern "C" {
void glClear(GLbitfield mask) { note(ShellGlOp::clear, mask); }
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  note(ShellGlOp::viewport, 0, x, y, width, height);
}
void glFrustum(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {
  note(ShellGlOp::frustum, 0);
}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
}
