// The effects under a real GL context (offscreen, software rendered): what a
// viewer sees, read back with glReadPixels or GL feedback, and the GL state
// each effect leaves for the next step of the frame.
#include "effects/effects.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "gl_context.h"

namespace {

constexpr int kViewWidth = 128;
constexpr int kViewHeight = 96;

TestGlContext* gl = nullptr;
GLuint bands_texture = 0;  // RGB rows, top to bottom: red, green, blue, white
GLuint white_texture = 0;  // RGB, no alpha channel
GLuint disc_texture = 0;   // white disc, opaque inside radius 120 of 256

struct Rgb {
  int r, g, b;
};

class GlContext : public ::testing::Environment {
 public:
  void SetUp() override {
    gl = new TestGlContext(kViewWidth, kViewHeight);
    ASSERT_NE(gl->window(), nullptr) << SDL_GetError();
    ASSERT_TRUE(gl->ok()) << SDL_GetError();

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const unsigned char bands[4][4][3] = {
        {{255, 0, 0}, {255, 0, 0}, {255, 0, 0}, {255, 0, 0}},
        {{0, 255, 0}, {0, 255, 0}, {0, 255, 0}, {0, 255, 0}},
        {{0, 0, 255}, {0, 0, 255}, {0, 0, 255}, {0, 0, 255}},
        {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}},
    };
    bands_texture = make_texture(GL_RGB, 4, 4, bands, GL_NEAREST);
    const unsigned char white[3] = {255, 255, 255};
    white_texture = make_texture(GL_RGB, 1, 1, white, GL_NEAREST);
    static unsigned char disc[256][256][4];
    for (int i = 0; i < 256; ++i)
      for (int j = 0; j < 256; ++j) {
        const double d = std::sqrt((j - 128.0) * (j - 128.0) + (i - 128.0) * (i - 128.0));
        disc[i][j][0] = disc[i][j][1] = disc[i][j][2] = 255;
        disc[i][j][3] = d < 120 ? 255 : 0;
      }
    disc_texture = make_texture(GL_RGBA, 256, 256, disc, GL_LINEAR);
  }

  void TearDown() override {
    delete gl;  // the context, the window, then SDL
    gl = nullptr;
  }

 private:
  static GLuint make_texture(GLenum format, int w, int h, const void* pixels, GLint filter) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE,
                 pixels);
    return name;
  }
};

// The frame's starting state: the show's projection, the model view at
// z = -3, texturing on, depth test and blending off, cleared buffers.
void start_frame(float grey = 0.0f) {
  glViewport(0, 0, kViewWidth, kViewHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-1.33, 1.33, -1, 1, 3, 1000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -3.0f);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_LIGHTING);
  glBindTexture(GL_TEXTURE_2D, 0);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glClearColor(grey, grey, grey, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<Rgb> read_frame() {
  std::vector<unsigned char> bytes(kViewWidth * kViewHeight * 3);
  glReadPixels(0, 0, kViewWidth, kViewHeight, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
  std::vector<Rgb> out(kViewWidth * kViewHeight);
  for (std::size_t n = 0; n < out.size(); ++n)
    out[n] = {bytes[3 * n], bytes[3 * n + 1], bytes[3 * n + 2]};
  return out;
}

Rgb pixel(const std::vector<Rgb>& frame, int x, int y) { return frame[y * kViewWidth + x]; }

bool enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

int get_int(GLenum what) {
  GLint v = 0;
  glGetIntegerv(what, &v);
  return v;
}

float get_float(GLenum what) {
  GLfloat v = 0;
  glGetFloatv(what, &v);
  return v;
}

void expect_colour(float r, float g, float b, float a) {
  GLfloat c[4];
  glGetFloatv(GL_CURRENT_COLOR, c);
  EXPECT_FLOAT_EQ(c[0], r);
  EXPECT_FLOAT_EQ(c[1], g);
  EXPECT_FLOAT_EQ(c[2], b);
  EXPECT_FLOAT_EQ(c[3], a);
}

// The model view is the frame's own: identity translated to z = -3.
void expect_frame_matrix(float z = -3.0f) {
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  for (int n = 0; n < 16; ++n) {
    const float want = n == 14 ? z : (n % 5 == 0 ? 1.0f : 0.0f);
    EXPECT_NEAR(m[n], want, 1e-5) << "element " << n;
  }
  EXPECT_EQ(get_int(GL_MODELVIEW_STACK_DEPTH), 1);
}

void expect_no_gl_error() { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }

}  // namespace

TEST(RingsGl, PurpleBodiesBlackOutlinesAndStateLeft) {
  start_frame(0.2f);
  draw_rings(0.0);
  const auto frame = read_frame();
  // Ring 0's front face is a disc of radius 0.2 around (0.4, 0) at
  // z = -4.8: window pixel (76, 48).
  const Rgb centre = pixel(frame, 76, 48);
  EXPECT_NEAR(centre.r, 204, 2);
  EXPECT_EQ(centre.g, 0);
  EXPECT_NEAR(centre.b, 204, 2);
  // Its outer outline crosses about 6 pixels above that.
  bool black = false;
  for (int y = 52; y <= 56; ++y) black |= pixel(frame, 76, y).r == 0 && pixel(frame, 76, y).g == 0;
  EXPECT_TRUE(black);
  int walls = 0;
  for (const Rgb& p : frame) walls += std::abs(p.r - 153) <= 2 && p.b == p.r && p.g == 0;
  EXPECT_GT(walls, 0) << "no wall of the rings is seen";

  EXPECT_FALSE(enabled(GL_DEPTH_TEST));
  EXPECT_FALSE(enabled(GL_TEXTURE_2D));
  EXPECT_FALSE(enabled(GL_CULL_FACE));
  EXPECT_FLOAT_EQ(get_float(GL_LINE_WIDTH), 2.0f);
  expect_colour(1, 1, 1, 1);
  expect_frame_matrix();
  expect_no_gl_error();
}

TEST(DroppingStripsGl, RestingStripsShowThePictureUpright) {
  start_frame();
  draw_dropping_strips(1000.0, static_cast<int>(bands_texture));
  const auto frame = read_frame();
  // Resting centres y = 0.7, 0.22, -0.26, -0.74 at z = -3 fall on rows
  // 81, 58, 35 and 12 of the window; the top strip carries the top row.
  EXPECT_EQ(pixel(frame, 64, 81).r, 255);
  EXPECT_EQ(pixel(frame, 64, 81).g, 0);
  EXPECT_EQ(pixel(frame, 64, 58).g, 255);
  EXPECT_EQ(pixel(frame, 64, 58).r, 0);
  EXPECT_EQ(pixel(frame, 64, 35).b, 255);
  EXPECT_EQ(pixel(frame, 64, 35).g, 0);
  const Rgb bottom = pixel(frame, 64, 12);
  EXPECT_TRUE(bottom.r == 255 && bottom.g == 255 && bottom.b == 255);
  // Outside the strips (x beyond 1 at z = -3) the black frame is untouched.
  EXPECT_EQ(pixel(frame, 4, 48).r + pixel(frame, 4, 48).g + pixel(frame, 4, 48).b, 0);

  EXPECT_FALSE(enabled(GL_BLEND));
  EXPECT_TRUE(enabled(GL_TEXTURE_2D));
  EXPECT_EQ(get_int(GL_BLEND_SRC), GL_ONE);
  EXPECT_EQ(get_int(GL_BLEND_DST), GL_ONE);
  EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), static_cast<int>(bands_texture));
  expect_frame_matrix();
  expect_no_gl_error();
}

TEST(TileFieldsGl, BlendColourTextureAndMatrixLeftBehind) {
  struct Case {
    const char* name;
    void (*draw)(double, int);
    float alpha;
  };
  const Case cases[] = {{"falling tiles", draw_falling_tiles, 0.5f},
                        {"tile column", draw_tile_column, 0.8f},
                        {"tile tunnel", draw_tile_tunnel, 0.8f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start_frame();
    // A tilted caller, as the schedule leaves before the tunnel.
    glRotatef(17.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(-4.0f, 1.0f, 0.0f, 0.0f);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    c.draw(37.5, static_cast<int>(white_texture));
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int n = 0; n < 16; ++n) EXPECT_NEAR(after[n], before[n], 1e-5) << n;
    EXPECT_EQ(get_int(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_EQ(get_int(GL_BLEND_SRC), GL_SRC_COLOR);
    EXPECT_EQ(get_int(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), static_cast<int>(white_texture));
    expect_colour(1, 1, 1, c.alpha);
    // White tiles add white: something of the picture is seen.
    int lit = 0;
    for (const Rgb& p : read_frame()) lit += p.r == 255 && p.g == 255 && p.b == 255;
    EXPECT_GT(lit, 0);
    expect_no_gl_error();
  }
}

namespace {

// Window-space centres of the tile column's ten tiles, from GL feedback in a
// view wide enough to hold them all. Mesa feeds each tile back as two
// triangles; the centre of their bounding box is the tile's centre.
std::vector<std::pair<float, float>> column_tile_centres(double t) {
  start_frame();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-4.0, 4.0, -3.0, 3.0, 3, 1000);
  glMatrixMode(GL_MODELVIEW);
  static GLfloat buffer[8192];
  glFeedbackBuffer(8192, GL_2D, buffer);
  glRenderMode(GL_FEEDBACK);
  draw_tile_column(t, static_cast<int>(white_texture));
  const GLint n = glRenderMode(GL_RENDER);
  std::vector<std::vector<std::pair<float, float>>> polygons;
  for (GLint k = 0; k < n;) {
    if (buffer[k] != GL_POLYGON_TOKEN) {
      ADD_FAILURE() << "unexpected feedback token " << buffer[k];
      break;
    }
    const int count = static_cast<int>(buffer[k + 1]);
    polygons.emplace_back();
    for (int v = 0; v < count; ++v)
      polygons.back().push_back({buffer[k + 2 + 2 * v], buffer[k + 3 + 2 * v]});
    k += 2 + 2 * count;
  }
  std::vector<std::pair<float, float>> centres;
  const std::size_t per_tile = polygons.size() / 10;
  if (per_tile == 0 || polygons.size() % 10 != 0) {
    ADD_FAILURE() << polygons.size() << " polygons fed back for ten tiles";
    return centres;
  }
  for (std::size_t tile = 0; tile < 10; ++tile) {
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
    for (std::size_t p = tile * per_tile; p < (tile + 1) * per_tile; ++p)
      for (const auto& [x, y] : polygons[p]) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    centres.push_back({(x0 + x1) / 2, (y0 + y1) / 2});
  }
  return centres;
}

// The vertical window movement of the tile nearest the view's middle
// between times t and t + dt.
float column_motion(double t, double dt) {
  const auto a = column_tile_centres(t);
  const auto b = column_tile_centres(t + dt);
  EXPECT_FALSE(a.empty());
  EXPECT_FALSE(b.empty());
  if (a.empty() || b.empty()) return 0.0f;
  auto nearest = [](const std::vector<std::pair<float, float>>& c, float y) {
    std::pair<float, float> best = c[0];
    for (const auto& p : c)
      if (std::fabs(p.second - y) < std::fabs(best.second - y)) best = p;
    return best;
  };
  const auto first = nearest(a, kViewHeight / 2.0f);
  const auto second = nearest(b, first.second);
  EXPECT_GT(first.first, kViewWidth / 2.0f) << "the column stands on the right";
  return second.second - first.second;
}

}  // namespace

TEST(TileFieldsGl, ColumnMovesUpAndRunsBackwardWithTenThousandMinusTime) {
  // A quarter second of show time moves the tiles half a unit, about 1.85
  // pixels in this view (a quarter of the tiles' spacing, so the nearest
  // tile is the same one): up with the show time, down with 10000 minus it.
  const double t = 40.0;
  EXPECT_NEAR(column_motion(t, 0.25), 1.85f, 0.3f);
  EXPECT_NEAR(column_motion(10000 - t, -0.25), -1.85f, 0.3f);
}

TEST(SpriteGridGl, GrowingGridStartsFromNothing) {
  start_frame();
  glColor3f(0, 0, 0);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_TEXTURE_2D);
  draw_sprite_grid(23.0, -0.5, static_cast<int>(disc_texture));
  for (const Rgb& p : read_frame()) ASSERT_EQ(p.r, 128);

  EXPECT_FALSE(enabled(GL_ALPHA_TEST));
  EXPECT_TRUE(enabled(GL_TEXTURE_2D));
  EXPECT_EQ(get_int(GL_ALPHA_TEST_FUNC), GL_GREATER);
  EXPECT_FLOAT_EQ(get_float(GL_ALPHA_TEST_REF), 0.5f);
  EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), static_cast<int>(disc_texture));
  expect_frame_matrix();
  expect_no_gl_error();
}

TEST(SpriteGridGl, AlphaTestDecidesWhatIsDrawn) {
  auto covered = [](int texture, float alpha) {
    start_frame();
    glColor4f(0, 1, 0, alpha);
    draw_sprite_grid(0.0, 0.1, texture);
    // Count over the grid's middle, well inside its border.
    int n = 0;
    const auto frame = read_frame();
    for (int y = 30; y < 60; ++y)
      for (int x = 40; x < 80; ++x) n += pixel(frame, x, y).g > 0;
    return n;
  };
  // Alpha exactly 0.5 fails the strictly-greater test.
  EXPECT_EQ(covered(static_cast<int>(disc_texture), 0.5f), 0);
  // Half sizes near 0.2 at a spacing of 0.2: discs leave gaps where
  // squares of a picture without alpha overlap into a solid field.
  const int discs = covered(static_cast<int>(disc_texture), 1.0f);
  EXPECT_GT(discs, 0);
  EXPECT_LT(discs, 40 * 30);
  EXPECT_EQ(covered(static_cast<int>(white_texture), 0.6f), 40 * 30);
}

namespace {

void draw_cubes_like_the_closing_band(float field_phase, float angle_time) {
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -12.0f);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  compute_blob_field(field_phase);
  draw_cube_field(angle_time);
}

}  // namespace

TEST(CubeFieldGl, TwoLightColoursBlackEdgesAndStateLeft) {
  start_frame(0.5f);
  // At this angle time the block shows both its magenta (+z) faces and
  // cyan sides.
  draw_cubes_like_the_closing_band(0.0f, 3.0f);
  const auto frame = read_frame();
  int magenta = 0, cyan = 0, edges = 0;
  for (const Rgb& p : frame) {
    magenta += p.r > 80 && p.b > 80 && p.g < 40;
    cyan += p.g > 80 && p.b > 80 && p.r < 40;
    edges += p.r == 0 && p.g == 0 && p.b == 0;
  }
  EXPECT_GT(magenta, 20);
  EXPECT_GT(cyan, 20);
  EXPECT_GT(edges, 20);

  EXPECT_TRUE(enabled(GL_LIGHT0));
  EXPECT_TRUE(enabled(GL_LIGHT1));
  EXPECT_FALSE(enabled(GL_LIGHTING));
  EXPECT_TRUE(enabled(GL_DEPTH_TEST));
  EXPECT_FLOAT_EQ(get_float(GL_LINE_WIDTH), 2.0f);
  expect_colour(0, 0, 0, 1);
  GLfloat diffuse[4];
  glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
  EXPECT_FLOAT_EQ(diffuse[0], 0.0f);
  EXPECT_FLOAT_EQ(diffuse[1], 1.0f);
  glPopMatrix();
  expect_frame_matrix();
  expect_no_gl_error();
}

TEST(TwistedTubeGl, StandsLeftWhateverTheCallerMatrix) {
  compute_twist_angles(12.0f);
  auto draw = [](bool disturbed) {
    start_frame(0.5f);
    glPushMatrix();
    if (disturbed) {
      glTranslatef(4.0f, 1.0f, -9.0f);
      glRotatef(33.0f, 1.0f, 1.0f, 0.0f);
    }
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    draw_twisted_tube(24.0f);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], -3.0f);
    EXPECT_FLOAT_EQ(m[13], -15.0f);
    EXPECT_FLOAT_EQ(m[14], -20.0f);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_FLOAT_EQ(get_float(GL_LINE_WIDTH), 2.0f);
    expect_colour(0, 0, 0, 1);
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
    return read_frame();
  };
  const auto plain = draw(false);
  const auto disturbed = draw(true);
  int differing = 0;
  for (std::size_t n = 0; n < plain.size(); ++n)
    differing += plain[n].r != disturbed[n].r || plain[n].g != disturbed[n].g ||
                 plain[n].b != disturbed[n].b;
  EXPECT_EQ(differing, 0);

  // The tube covers the left of the view more than the right.
  int left = 0, right = 0;
  for (int y = 0; y < kViewHeight; ++y)
    for (int x = 0; x < kViewWidth; ++x) {
      const Rgb p = pixel(plain, x, y);
      if (p.r == 128 && p.g == 128 && p.b == 128) continue;
      (x < kViewWidth / 2 ? left : right) += 1;
    }
  EXPECT_GT(left, right);
  EXPECT_GT(left, kViewWidth * kViewHeight / 4);
  clear_twist_angles();
  expect_no_gl_error();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GlContext);
  return RUN_ALL_TESTS();
}
