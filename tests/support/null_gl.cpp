// The GL that draws nothing (see null_gl.h).
#include "null_gl.h"

#include <GL/gl.h>

NullGlLog null_gl_log;

namespace {

inline void note(GlOp op, std::uint32_t e0 = 0, std::uint32_t e1 = 0, float a = 0.0f,
                 float b = 0.0f, float c = 0.0f, float d = 0.0f) {
  NullGlLog& log = null_gl_log;
  ++log.counts[static_cast<int>(op)];
  if (!log.recording) return;
  if (log.size == kNullGlCapacity) {
    ++log.dropped;
    return;
  }
  log.calls[log.size++] = GlCall{op, e0, e1, {a, b, c, d}};
}

}  // namespace

void null_gl_reset(bool record) {
  for (std::uint64_t& c : null_gl_log.counts) c = 0;
  null_gl_log.size = 0;
  null_gl_log.dropped = 0;
  null_gl_log.recording = record;
}

std::uint64_t null_gl_count(GlOp op) { return null_gl_log.counts[static_cast<int>(op)]; }

extern "C" {

void glBegin(GLenum mode) { note(GlOp::begin, mode); }
void glEnd() { note(GlOp::end); }
void glVertex2f(GLfloat x, GLfloat y) { note(GlOp::vertex, 0, 0, x, y, 0.0f, 1.0f); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { note(GlOp::vertex, 0, 0, x, y, z, 1.0f); }
void glTexCoord2f(GLfloat s, GLfloat t) { note(GlOp::tex_coord, 0, 0, s, t); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { note(GlOp::color, 0, 0, r, g, b, 1.0f); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { note(GlOp::color, 0, 0, r, g, b, a); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { note(GlOp::normal, 0, 0, x, y, z); }
void glPushMatrix() { note(GlOp::push_matrix); }
void glPopMatrix() { note(GlOp::pop_matrix); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { note(GlOp::translate, 0, 0, x, y, z); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  note(GlOp::rotate, 0, 0, angle, x, y, z);
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) { note(GlOp::scale, 0, 0, x, y, z); }
void glMatrixMode(GLenum mode) { note(GlOp::matrix_mode, mode); }
void glLoadIdentity() { note(GlOp::load_identity); }
void glEnable(GLenum cap) { note(GlOp::enable, cap); }
void glDisable(GLenum cap) { note(GlOp::disable, cap); }
void glBlendFunc(GLenum src, GLenum dst) { note(GlOp::blend_func, src, dst); }
void glBindTexture(GLenum target, GLuint texture) { note(GlOp::bind_texture, target, texture); }
void glAlphaFunc(GLenum func, GLclampf ref) { note(GlOp::alpha_func, func, 0, ref); }
void glLineWidth(GLfloat width) { note(GlOp::line_width, 0, 0, width); }
void glLightfv(GLenum light, GLenum pname, const GLfloat* p) {
  note(GlOp::light, light, pname, p[0], p[1], p[2], p[3]);
}
}
