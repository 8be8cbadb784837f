// The blob field: a 16 x 16 x 16 grid of values from three moving blobs,
// drawn here as a tumbling block of lit, outlined cubes.
#include "effects/effects_internal.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

float BlobField[kBlobGridSize][kBlobGridSize][kBlobGridSize];
float field_scale[3] = {1.0f, 1.0f, 1.0f};
float iso_level = 0.5f;

void set_field_scale_x(float v) { field_scale[0] = v; }
void set_field_scale_y(float v) { field_scale[1] = v; }
void set_field_scale_z(float v) { field_scale[2] = v; }

namespace {

constexpr float kCubeThreshold = 0.8f;  // cells above this value become cubes

// Magenta from behind the block, cyan from the viewer's side; both directional.
constexpr GLfloat kLight0Diffuse[4] = {1.0f, 0.0f, 1.0f, 1.0f};
constexpr GLfloat kLight0Position[4] = {1.0f, 1.0f, -100.0f, 0.0f};
constexpr GLfloat kLight1Diffuse[4] = {0.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat kLight1Position[4] = {-1.0f, -1.0f, 100.0f, 0.0f};

// 1 inside radius sqrt(3), falling to 0 at radius sqrt(33).
float blob_contribution(float i, float j, float k, const float centre[3]) {
  const float dx = i - centre[0];
  const float dy = j - centre[1];
  const float dz = k - centre[2];
  return std::clamp(1.1f - (dx * dx + dy * dy + dz * dz) / 30.0f, 0.0f, 1.0f);
}

// One cube corner; sx, sy, sz pick the sign of the half size on each axis.
void cube_corner(float X, float Y, float Z, float h, int sx, int sy, int sz) {
  glVertex3f(field_scale[0] * (X + static_cast<float>(sx) * h),
             field_scale[1] * (Y + static_cast<float>(sy) * h),
             field_scale[2] * (Z + static_cast<float>(sz) * h));
}

}  // namespace

void clear_blob_field() {
  for (auto& plane : BlobField)
    for (auto& row : plane)
      for (float& v : row) v = 0.0f;
}

void compute_blob_field(float x) {
  iso_level = 0.1f;

  // Products of the phase stay in single precision; the sines are taken in
  // double precision and the centres stored as floats. B2 and B3 share
  // their second coordinate.
  auto s = [](float a) { return std::sin(static_cast<double>(a)); };
  auto c = [](float a) { return std::cos(static_cast<double>(a)); };
  const float b1[3] = {static_cast<float>(4 * s(x) + 8),
                       static_cast<float>(2 * c(x) + 2 * s(3 * x) + 8),
                       static_cast<float>(2 * s(4 * x) - 2 * c(2 * x) + 8)};
  const float b2[3] = {static_cast<float>(5 * s(2 * x) + 8),
                       static_cast<float>(2 * s(7 * x) + 2 * c(3 * x) + 8),
                       static_cast<float>(2 * s(6 * x) - 2 * c(x) + 8)};
  const float b3[3] = {static_cast<float>(4 * s(3 * x) + 8),
                       static_cast<float>(2 * s(7 * x) + 2 * c(3 * x) + 8),
                       static_cast<float>(2 * s(6 * x) - 2 * c(5 * x) + 8)};

  for (int i = 0; i < kBlobGridSize; ++i)
    for (int j = 0; j < kBlobGridSize; ++j)
      for (int k = 0; k < kBlobGridSize; ++k) {
        const float fi = static_cast<float>(i);
        const float fj = static_cast<float>(j);
        const float fk = static_cast<float>(k);
        const float sum = blob_contribution(fi, fj, fk, b1) + blob_contribution(fi, fj, fk, b2) +
                          blob_contribution(fi, fj, fk, b3);
        BlobField[i][j][k] = std::clamp(sum * 0.1f, 0.0f, 1.0f) * 10.0f;
      }
}

void draw_field_cube(float a, float X, float Y, float Z) {
  const float h = a > 1.0f ? 0.5f : 0.5f * a;
  // Written as "not greater" so that a NaN value draws nothing as well.
  if (!(h > 0.0f)) return;

  glEnable(GL_LIGHTING);
  glBegin(GL_QUADS);
  glNormal3f(0.0f, 0.0f, -1.0f);
  cube_corner(X, Y, Z, h, -1, -1, -1);
  cube_corner(X, Y, Z, h, +1, -1, -1);
  cube_corner(X, Y, Z, h, +1, +1, -1);
  cube_corner(X, Y, Z, h, -1, +1, -1);
  // The +z face carries the -z normal too, so it takes the magenta light
  // from behind when it faces the viewer: the block's second colour.
  glNormal3f(0.0f, 0.0f, -1.0f);
  cube_corner(X, Y, Z, h, -1, -1, +1);
  cube_corner(X, Y, Z, h, -1, +1, +1);
  cube_corner(X, Y, Z, h, +1, +1, +1);
  cube_corner(X, Y, Z, h, +1, -1, +1);
  glNormal3f(-1.0f, 0.0f, 0.0f);
  cube_corner(X, Y, Z, h, -1, -1, +1);
  cube_corner(X, Y, Z, h, -1, +1, +1);
  cube_corner(X, Y, Z, h, -1, +1, -1);
  cube_corner(X, Y, Z, h, -1, -1, -1);
  glNormal3f(1.0f, 0.0f, 0.0f);
  cube_corner(X, Y, Z, h, +1, +1, +1);
  cube_corner(X, Y, Z, h, +1, -1, +1);
  cube_corner(X, Y, Z, h, +1, -1, -1);
  cube_corner(X, Y, Z, h, +1, +1, -1);
  glNormal3f(0.0f, -1.0f, 0.0f);
  cube_corner(X, Y, Z, h, -1, -1, -1);
  cube_corner(X, Y, Z, h, -1, -1, +1);
  cube_corner(X, Y, Z, h, +1, -1, +1);
  cube_corner(X, Y, Z, h, +1, -1, -1);
  glNormal3f(0.0f, 1.0f, 0.0f);
  cube_corner(X, Y, Z, h, -1, +1, +1);
  cube_corner(X, Y, Z, h, -1, +1, -1);
  cube_corner(X, Y, Z, h, +1, +1, -1);
  cube_corner(X, Y, Z, h, +1, +1, +1);
  glEnd();

  glDisable(GL_LIGHTING);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  glLineWidth(2.0f);

  // The outline sits just outside the faces so that depth testing keeps it.
  const float e = h + 0.00001f;
  glBegin(GL_LINE_STRIP);
  cube_corner(X, Y, Z, e, -1, -1, -1);
  cube_corner(X, Y, Z, e, +1, -1, -1);
  cube_corner(X, Y, Z, e, +1, +1, -1);
  cube_corner(X, Y, Z, e, -1, +1, -1);
  cube_corner(X, Y, Z, e, -1, -1, -1);
  glEnd();
  glBegin(GL_LINE_STRIP);
  cube_corner(X, Y, Z, e, -1, -1, +1);
  cube_corner(X, Y, Z, e, -1, +1, +1);
  cube_corner(X, Y, Z, e, +1, +1, +1);
  cube_corner(X, Y, Z, e, +1, -1, +1);
  cube_corner(X, Y, Z, e, -1, -1, +1);
  glEnd();
  glBegin(GL_LINES);
  cube_corner(X, Y, Z, e, -1, +1, -1);
  cube_corner(X, Y, Z, e, -1, +1, +1);
  cube_corner(X, Y, Z, e, -1, -1, +1);
  cube_corner(X, Y, Z, e, -1, -1, -1);
  glEnd();
  glBegin(GL_LINES);
  cube_corner(X, Y, Z, e, +1, +1, +1);
  cube_corner(X, Y, Z, e, +1, +1, -1);
  cube_corner(X, Y, Z, e, +1, -1, -1);
  cube_corner(X, Y, Z, e, +1, -1, +1);
  glEnd();
}

void draw_cube_field(float x) {
  // Positions are set before the rotations, so the lights stay fixed
  // relative to the viewer while the block turns.
  glLightfv(GL_LIGHT0, GL_DIFFUSE, kLight0Diffuse);
  glLightfv(GL_LIGHT0, GL_POSITION, kLight0Position);
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, kLight1Diffuse);
  glLightfv(GL_LIGHT1, GL_POSITION, kLight1Position);
  glEnable(GL_LIGHT1);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);

  glRotatef(13.0f * x, 1.0f, 0.0f, 0.0f);
  glRotatef(17.0f * x, 0.0f, 1.0f, 0.0f);
  glRotatef(15.0f * x, 0.0f, 0.0f, 1.0f);

  for (int i = 0; i < kBlobGridSize; ++i)
    for (int j = 0; j < kBlobGridSize; ++j)
      for (int k = 0; k < kBlobGridSize; ++k)
        draw_field_cube(BlobField[i][j][k] - kCubeThreshold, static_cast<float>(i - 8),
                        static_cast<float>(j - 8), static_cast<float>(k - 8));

  glDisable(GL_LIGHTING);
}
