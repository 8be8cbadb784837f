// The unit tile shared by the tile fields, the sprite grid, the overlay and
// the texture warm-up.
#include "effects/effects.h"

#include <GL/gl.h>

// Texture t = 0 is the first row of the picture, which the loader stores top
// row first, so the top edge (y = 1) takes t = 0 and the picture reads upright.
void draw_unit_tile() {
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
