// A tall square tube of 60 sections, each turned by its own angle, swaying
// sideways in a wave, with black lines along its long edges.
#include "effects/effects_internal.h"

#include <GL/gl.h>
#include <cmath>

float twist_angles[kTwistSectionCount];

namespace {

// 3.141 stands in for pi on purpose: side 3 ends at 6.282 radians, leaving a
// sliver of about 0.0012 radian before side 0 starts.
constexpr float kTubePi = 3.141f;
constexpr float kTubeRadius = 5.0f;
constexpr float kEdgeRadius = 5.001f;  // the edge lines sit just outside the faces
constexpr float kEdgeLift = 0.01f;     // and a little towards the viewer

double dsin(float a) { return std::sin(static_cast<double>(a)); }
double dcos(float a) { return std::cos(static_cast<double>(a)); }

void edge_line(float ga, float ya, float pa, float gb, float yb, float pb, float side_angle) {
  glVertex3f(static_cast<float>(ga + kEdgeRadius * dsin(side_angle + pa)), ya,
             static_cast<float>(kEdgeRadius * dcos(side_angle + pa) + kEdgeLift));
  glVertex3f(static_cast<float>(gb + kEdgeRadius * dsin(side_angle + pb)), yb,
             static_cast<float>(kEdgeRadius * dcos(side_angle + pb) + kEdgeLift));
}

}  // namespace

void clear_twist_angles() {
  for (float& a : twist_angles) a = 0.0f;
}

void compute_twist_angles(float x) {
  const float b = static_cast<float>(dsin(1.05f * x));
  const float c = static_cast<float>(dsin(x + b));
  for (int i = 0; i < kTwistSectionCount; ++i) {
    const float fi = static_cast<float>(i);
    twist_angles[i] = static_cast<float>(dcos(0.2f * fi + 2.0f * c) + (x + 0.05f * fi) + b);
  }
}

void draw_twisted_tube(float x) {
  // The caller's matrix is thrown away: the tube always stands in the same
  // place, left of and in front of the viewer.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(-3.0f, -15.0f, -20.0f);

  for (int i = 0; i < kTwistSectionCount - 1; ++i) {
    const float a = static_cast<float>(i);
    const float b = static_cast<float>(i + 1);
    const float ya = 0.5f * a;
    const float yb = 0.5f * b;
    const float ga = static_cast<float>(dsin(a / 5.0f + x));
    const float gb = static_cast<float>(dsin(x + b / 5.0f));
    const float pa = twist_angles[i];
    const float pb = twist_angles[i + 1];

    for (int j = 0; j < 4; ++j) {
      const float t1 = 2.0f * (0.25f * static_cast<float>(j) * kTubePi);
      const float t2 = 2.0f * (0.25f * static_cast<float>(j + 1) * kTubePi);
      // Negative green is clamped by the pipeline, so the green ramp
      // starts later on the sides j >= 1.
      glColor4f(a / 60.0f, a / 60.0f - 0.25f * static_cast<float>(j), 0.25f * static_cast<float>(j),
                1.0f);
      glBegin(GL_QUADS);
      glVertex3f(static_cast<float>(ga + kTubeRadius * dsin(t1 + pa)), ya,
                 static_cast<float>(kTubeRadius * dcos(t1 + pa)));
      glVertex3f(static_cast<float>(ga + kTubeRadius * dsin(t2 + pa)), ya,
                 static_cast<float>(kTubeRadius * dcos(t2 + pa)));
      glVertex3f(static_cast<float>(gb + kTubeRadius * dsin(t2 + pb)), yb,
                 static_cast<float>(kTubeRadius * dcos(t2 + pb)));
      glVertex3f(static_cast<float>(gb + kTubeRadius * dsin(t1 + pb)), yb,
                 static_cast<float>(kTubeRadius * dcos(t1 + pb)));
      glEnd();

      // Each long edge is drawn by both sides that meet there.
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      glLineWidth(2.0f);
      glBegin(GL_LINES);
      edge_line(ga, ya, pa, gb, yb, pb, t1);
      edge_line(ga, ya, pa, gb, yb, pb, t2);
      glEnd();
    }
  }
}
