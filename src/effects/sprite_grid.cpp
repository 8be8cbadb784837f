// A 20 x 20 grid of alpha-tested sprites whose sizes breathe in a wave
// running diagonally across the grid.
#include "effects/effects.h"

#include <GL/gl.h>
#include <cmath>

void draw_sprite_grid(double t, double b, int texture) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_TEXTURE_2D);
  // Strictly greater: a fragment of alpha exactly 0.5 is dropped.
  glAlphaFunc(GL_GREATER, 0.5f);
  glPushMatrix();

  for (int i = 0; i < 20; ++i) {
    for (int j = 0; j < 20; ++j) {
      glPushMatrix();
      // Centres run from -2 to 1.8: the grid sits a little below and
      // left of the view's centre.
      glTranslatef(static_cast<float>(j - 10) / 5.0f, static_cast<float>(i - 10) / 5.0f, 0.0f);
      double s = std::sin(0.5 * j + 0.5 * i + 2.0 * t) / 30.0 + (b + 0.1) + std::cos(t + i) / 30.0;
      if (s < 0.0) s = 0.0;
      const float sf = static_cast<float>(s);
      glScalef(sf, sf, 0.0f);
      draw_unit_tile();
      glPopMatrix();
    }
  }

  glDisable(GL_ALPHA_TEST);
  glPopMatrix();
}
