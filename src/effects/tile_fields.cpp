// Three fields of spinning picture tiles, added onto the frame with a
// brightening blend: falling tiles, a column on the right, and a tunnel.
#include "effects/effects.h"

#include <GL/gl.h>
#include <cmath>

// All three use the blend (GL_SRC_COLOR, GL_ONE): each colour channel adds
// its own square (texel times colour, squared) to the frame, so dark parts of
// the picture fade out and bright parts light the frame up.

void draw_falling_tiles(double t, int texture) {
  // No push here: the three +4 steps below bring the matrix back.
  glTranslatef(0.0f, 0.0f, -12.0f);
  glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_COLOR, GL_ONE);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));

  // spin runs on across all 36 tiles: tile (i, j) turns 50t + 10 (12i + j).
  double spin = 50.0 * t;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 12; ++j) {
      glPushMatrix();
      // The 100000 keeps the remainder's argument positive for any
      // show time below 50000 seconds, so tiles wrap from -7 to +7.
      glTranslatef(
          static_cast<float>(std::fmod(7.0 * i + j, 12.0) - 6.0),
          static_cast<float>(std::fmod(3.0 * j + 100000.0 - 2.0 * t + 5.0 * i, 14.0) - 7.0), 0.0f);
      glRotatef(static_cast<float>(j % 2 == 1 ? spin : -spin), 0.0f, 0.0f, 1.0f);
      draw_unit_tile();
      glPopMatrix();
      spin += 10.0;
    }
    glTranslatef(0.0f, 0.0f, 4.0f);
  }

  glDisable(GL_BLEND);
}

namespace {

// The column and the tunnel: the blend at 0.8, the picture bound, and a
// pushed matrix moved back by depth; end_tile_field undoes them.
void begin_tile_field(int texture, float depth) {
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 0.8f);
  glBlendFunc(GL_SRC_COLOR, GL_ONE);
  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glTranslatef(0.0f, 0.0f, -depth);
}

void end_tile_field() {
  glPopMatrix();
  glDisable(GL_BLEND);
}

}  // namespace

void draw_tile_column(double t, int texture) {
  begin_tile_field(texture, 10.0f);

  for (int i = 0; i < 10; ++i) {
    glPushMatrix();
    // A negative t gives a negative remainder: the tile then sits below
    // y = -10 instead of wrapping. The show only passes t >= 0.
    glTranslatef(5.0f, static_cast<float>(std::fmod(2.0 * i + 2.0 * t, 20.0) - 10.0), 0.0f);
    glRotatef(static_cast<float>(240.0 * std::sin(t + i) + 10.0 * i), 0.0f, 0.0f, 1.0f);
    const float s = static_cast<float>(1.0 + std::sin(t + 3.0 * i) / 3.0);
    glScalef(s, s, 1.0f);
    draw_unit_tile();
    glPopMatrix();
  }

  end_tile_field();
}

void draw_tile_tunnel(double t, int texture) {
  begin_tile_field(texture, 60.0f);
  glRotatef(static_cast<float>(20.0 * t), 0.0f, 0.0f, 1.0f);

  for (int i = 0; i < 6; ++i) {
    // Not undone between rings: ring i turns by the sum of the first
    // i + 1 of these, so neighbouring rings turn against each other.
    // i / 2 halves in integers on purpose: rings 0-1, 2-3 and 4-5 share a phase.
    glRotatef(static_cast<float>(20.0 * std::sin(2.0 * t + i / 2)), 0.0f, 0.0f, 1.0f);
    for (int j = 0; j < 10; ++j) {
      glPushMatrix();
      glRotatef(static_cast<float>(j * 360 / 10), 0.0f, 0.0f, 1.0f);
      glTranslatef(2.0f, 0.0f, static_cast<float>(std::fmod(10.0 * t + 10.0 * i, 60.0)));
      glScalef(0.5f, 0.5f, 1.0f);
      glRotatef(static_cast<float>(180.0 * std::sin(t + i)), 0.0f, 0.0f, 1.0f);
      draw_unit_tile();
      glPopMatrix();
    }
  }

  end_tile_field();
}
