// The scene schedule: the fixed storyboard that maps the song position of a
// frame to a band of drawing steps. Every band starts from the frame's base
// state (model view translated to z = -3, texturing on, depth test and
// blending off) and leaves texturing on and the depth test off.
//
// Wherever a step needs the time it takes a fresh show_clock() reading, one
// per argument, so two arguments within one frame may differ by a
// millisecond. Readings are taken in statement order, never two inside one
// argument list (whose order C++ leaves open), so that the order of the
// readings is the order of the steps and of each call's arguments.

#include <GL/gl.h>

#include <cmath>

#include "assets/assets.h"
#include "effects/effects.h"
#include "shell/shell.h"

namespace {

int texture(int entry) { return static_cast<int>(TextureTable[entry]); }

// An origin is taken in the first frame that needs it and never again, so a
// return to the band (only if the song jumps back) continues its clock.
double origin_of(double& origin) {
  if (origin == 0.0) origin = show_clock();
  return origin;
}

// The tilt of the tunnels. It is not undone: the tunnel is the frame's last
// use of the model view, which the next frame loads afresh.
void tilt() {
  const double yaw = std::sin(show_clock()) * 20.0;
  glRotatef(static_cast<float>(yaw), 0.0f, 1.0f, 0.0f);
  const double pitch = std::cos(show_clock()) * 5.0;
  glRotatef(static_cast<float>(pitch), 1.0f, 0.0f, 0.0f);
}

// The untextured, depth-tested block of lit cubes 12 units behind the frame
// plane, the tile column running backward, then the overlay: the last steps
// of the three closing bands.
void closing_steps() {
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -12.0f);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  compute_blob_field(static_cast<float>(show_clock() / 7.0));
  draw_cube_field(static_cast<float>(show_clock() * 2.0));
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glPopMatrix();
  // 10000 minus the time runs the column's cycle backwards: it moves down,
  // the opposite way to band 900.
  draw_tile_column(10000.0 - show_clock(), texture(kTahti));
  draw_picture_overlay();
}

void band_opening() {
  draw_rings(show_clock());  // leaves texturing off and the colour white
  draw_dropping_strips(show_clock(), texture(kTekstit));
  draw_picture_overlay();  // no picture for these positions: only flashes
}

void band_grid(ScheduleOrigins& origins) {
  draw_picture_overlay();
  const double origin = origin_of(origins.grid_origin);
  const double d = show_clock() - origin;
  glColor3f(0.0f, 0.0f, 0.0f);
  // From -0.5 every half size is negative, so the black dots grow from
  // nothing at a third of a unit per second. The colour stays black; the
  // next frame's overlay sets its own before it draws.
  draw_sprite_grid(show_clock(), d / 3.0 - 0.5, texture(kSpriteTexture));
}

void band_tiles() {
  draw_picture_overlay();
  draw_falling_tiles(show_clock(), texture(kSkugga));
  tilt();
  draw_tile_tunnel(show_clock(), texture(kSkugga));
}

void band_iso() {
  glPushMatrix();
  glRotatef(45.0f, 0.0f, 0.0f, 1.0f);
  glColor3f(0.6f, 0.0f, 0.8f);
  const double t = show_clock();
  const double offset = std::sin(show_clock()) / 13.0 - 0.05;
  draw_sprite_grid(t, offset, texture(kSpriteTexture));
  glColor3f(1.0f, 1.0f, 1.0f);
  glPopMatrix();

  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -28.0f);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  compute_blob_field(static_cast<float>(show_clock() / 3.0));
  draw_iso_surface(static_cast<float>(show_clock() * 2.0));
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glPopMatrix();

  // The column is drawn twice, the second time over the overlay, each with
  // its own reading of the clock.
  draw_tile_column(show_clock(), texture(kTahti));
  draw_picture_overlay();
  draw_tile_column(show_clock(), texture(kTahti));
}

void band_strips(ScheduleOrigins& origins) {
  draw_picture_overlay();  // leaves the colour white for the strips
  const double origin = origin_of(origins.strips_origin);
  // The strips run on their own clock from the band's first frame, one and
  // a half times as fast as the show.
  draw_dropping_strips((show_clock() - origin) * 1.5, texture(kMiehet));
  tilt();
  draw_tile_tunnel(show_clock(), texture(kTahti));
}

void band_tube() {
  glColor3f(0.6f, 0.0f, 0.6f);
  double t = show_clock();
  double offset = std::sin(show_clock()) / 10.0;
  draw_sprite_grid(t, offset, texture(kSpriteTexture));

  glPushMatrix();
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  compute_twist_angles(static_cast<float>(show_clock()));
  // The tube loads its own model view; the pop gives the frame's back.
  draw_twisted_tube(static_cast<float>(show_clock() * 2.0));
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glPopMatrix();

  glColor3f(0.7f, 0.0f, 0.7f);
  t = show_clock();
  offset = std::sin(show_clock()) / 20.0 - 0.1;
  draw_sprite_grid(t, offset, texture(kSpriteTexture));
  draw_falling_tiles(show_clock(), texture(kSkugga));
  draw_picture_overlay();
}

// The final zoom-out: the view the show has (the 4:3 rectangle of the last
// resize, or the capture's) shrinks toward its own centre by s. A fixed
// 1024 x 768 area would put the show's last seconds off-centre on any other
// size; at 1024 x 768 the two agree exactly.
void shrink_view(ScheduleOrigins& origins) {
  const double origin = origin_of(origins.zoom_origin);
  const double u = show_clock() - origin;
  const double s = 1.0 / (15.0 * u * u + 1.0);
  const double half_w = show_view.width * 0.5;
  const double half_h = show_view.height * 0.5;
  glViewport(show_view.x + static_cast<int>(half_w - half_w * s),
             show_view.y + static_cast<int>(half_h - half_h * s),
             static_cast<int>(show_view.width * s), static_cast<int>(show_view.height * s));
}

}  // namespace

void draw_schedule(uint32_t p, ScheduleOrigins& origins) {
  // Compared unsigned: a position that would be negative as a signed number
  // lands in the final band.
  if (p < 400) {
    band_opening();
  } else if (p < 600) {
    draw_picture_overlay();  // the overlay alone on the cleared frame
  } else if (p < 700) {
    band_grid(origins);
  } else if (p < 900) {
    band_tiles();
  } else if (p < 1100) {
    band_iso();
  } else if (p < 1300) {
    band_strips(origins);
  } else if (p < 1500) {
    band_tube();
  } else if (p < 1600) {
    // The rings keep their depth, so they hide the cubes where nearer.
    draw_rings(show_clock());
    closing_steps();
  } else if (p < 1861) {
    draw_rings(show_clock());
    glClear(GL_DEPTH_BUFFER_BIT);  // the cubes are drawn over the rings
    closing_steps();
  } else {
    shrink_view(origins);
    draw_rings(show_clock());
    glClear(GL_DEPTH_BUFFER_BIT);
    closing_steps();
  }
}
