// A picture cut into four horizontal strips that drop in one after the other
// and settle with a damped bounce, added onto the frame.
#include "effects/effects.h"

#include <GL/gl.h>
#include <cmath>

namespace {

constexpr int kStripCount = 4;
constexpr float kStripHalfHeight = 0.25f;
constexpr float kStripPitch = 0.48f;  // strips are 0.5 tall: neighbours overlap by 0.02

}  // namespace

void draw_dropping_strips(double t, int texture) {
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_ONE, GL_ONE);
  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glTranslatef(0.0f, 0.7f, 0.0f);

  for (int i = 0; i < kStripCount; ++i) {
    glPushMatrix();
    // One strip every 4 seconds; the strip appears at exactly t = 4i.
    if (t * 0.25 >= i) {
      const double u = t * 0.25 - i;
      const double d = std::cos(10.0 * u) * 20.0 / (20.0 * (u + 0.5) * (u + 0.5));
      glTranslatef(0.0f, static_cast<float>(d), 0.0f);
      const float t_bottom = static_cast<float>(i + 1) / 4.0f;
      const float t_top = static_cast<float>(i) / 4.0f;
      glBegin(GL_POLYGON);
      glTexCoord2f(0.0f, t_bottom);
      glVertex2f(-1.0f, -kStripHalfHeight);
      glTexCoord2f(1.0f, t_bottom);
      glVertex2f(1.0f, -kStripHalfHeight);
      glTexCoord2f(1.0f, t_top);
      glVertex2f(1.0f, kStripHalfHeight);
      glTexCoord2f(0.0f, t_top);
      glVertex2f(-1.0f, kStripHalfHeight);
      glEnd();
    }
    glPopMatrix();
    glTranslatef(0.0f, -kStripPitch, 0.0f);
  }

  glDisable(GL_BLEND);
  glPopMatrix();
}
