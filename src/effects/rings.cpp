// Ten thick purple rings, one inside the other, whose centres wander on a
// small circle while the set sways about the vertical axis.
#include "effects/effects.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace {

constexpr int kRingCount = 10;
constexpr int kRingSteps = 31;  // 30 segments; the last step closes the ring
constexpr double kRingAngleStep = 0.20943951023931953;  // pi / 15, 12 degrees
constexpr double kRingSpacing = 0.4;                    // inner radius grows by this per ring
constexpr double kRingWidth = 0.2;
constexpr double kWanderRadius = 0.4;  // the radius of the centres' circle

// The five passes over the rings: front face, inner wall, outer wall, then
// the two front outlines.
enum class RingLayer : std::uint8_t { front, inner_wall, outer_wall, outer_edge, inner_edge };

// Sine and cosine of each step's angle; the same for every ring and layer.
struct StepAngle {
  double sin;
  double cos;
};

// x takes the sine and y the cosine, so the ring starts at its top.
void ring_vertex(double radius, const StepAngle& theta, double ox, double oy, float z) {
  glVertex3f(static_cast<float>(radius * theta.sin + ox),
             static_cast<float>(radius * theta.cos + oy), z);
}

void draw_ring_layer(RingLayer layer, double t, const StepAngle (&steps)[kRingSteps]) {
  const bool outline = layer == RingLayer::outer_edge || layer == RingLayer::inner_edge;
  double r = 0.0;
  for (int i = 0; i < kRingCount; ++i) {
    const double a = 0.5 * i + 4.0 * t;
    const double ox = kWanderRadius * std::cos(a);
    const double oy = kWanderRadius * std::sin(a);
    const double outer = r + kRingWidth;
    glBegin(outline ? GL_LINE_STRIP : GL_TRIANGLE_STRIP);
    for (const StepAngle& theta : steps) {
      switch (layer) {
        case RingLayer::front:
          ring_vertex(r, theta, ox, oy, 0.2f);
          ring_vertex(outer, theta, ox, oy, 0.2f);
          break;
        case RingLayer::inner_wall:
          ring_vertex(r, theta, ox, oy, -0.2f);
          ring_vertex(r, theta, ox, oy, 0.2f);
          break;
        case RingLayer::outer_wall:
          ring_vertex(outer, theta, ox, oy, -0.2f);
          ring_vertex(outer, theta, ox, oy, 0.2f);
          break;
        case RingLayer::outer_edge: ring_vertex(outer, theta, ox, oy, 0.2f); break;
        case RingLayer::inner_edge: ring_vertex(r, theta, ox, oy, 0.2f); break;
      }
    }
    glEnd();
    r += kRingSpacing;
  }
}

}  // namespace

void draw_rings(double t) {
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -2.0f);
  glRotatef(static_cast<float>(20.0 * std::sin(t)), 0.0f, 1.0f, 0.0f);
  // cos 2t is used as degrees without a factor: a wobble of one degree.
  glRotatef(static_cast<float>(std::cos(2.0 * t)), 1.0f, 0.0f, 0.0f);
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);

  StepAngle steps[kRingSteps];
  double theta = 0.0;
  for (StepAngle& step : steps) {
    step = {std::sin(theta), std::cos(theta)};
    // Accumulated rather than k x step: the 31st step lands on 2 pi
    // within rounding, which is what closes the ring.
    theta += kRingAngleStep;
  }

  for (RingLayer layer : {RingLayer::front, RingLayer::inner_wall, RingLayer::outer_wall,
                          RingLayer::outer_edge, RingLayer::inner_edge}) {
    glPushMatrix();
    switch (layer) {
      case RingLayer::front: glColor3f(0.8f, 0.0f, 0.8f); break;
      case RingLayer::inner_wall:
      case RingLayer::outer_wall: glColor3f(0.6f, 0.0f, 0.6f); break;
      case RingLayer::outer_edge:
      case RingLayer::inner_edge:
        // Outlines ignore depth so that the edges of hidden rings still show.
        glDisable(GL_DEPTH_TEST);
        glLineWidth(2.0f);
        glColor3f(0.0f, 0.0f, 0.0f);
        break;
    }
    draw_ring_layer(layer, t, steps);
    glPopMatrix();
  }

  glDisable(GL_DEPTH_TEST);
  glPopMatrix();
  glColor3f(1.0f, 1.0f, 1.0f);
}
