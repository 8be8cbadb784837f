// The three effect entry points the show shell needs before the effects
// library is linked in: the unit tile, and the two resets that asset loading
// calls. The effects library replaces this whole file.

#include <GL/gl.h>

#include "effects/effects.h"

void draw_unit_tile() {
  // Texture row 0 is the picture's top row, so v = 0 goes at the top edge.
  glBegin(GL_POLYGON);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-1.0f, -1.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(1.0f, -1.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-1.0f, 1.0f);
  glEnd();
}

// Replaced by the effects library, which owns the state they clear.
void clear_blob_field() {}
void clear_twist_angles() {}
