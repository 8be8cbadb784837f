// The scene schedule in a real (offscreen, software) GL context: what a
// viewer sees in the bands, and the GL state every band leaves behind.
//
// The pictures are made here, not loaded: entry 3 (the overlay picture of
// positions 400 to 699) is black on its left half and white on its right,
// and every other entry is plain white, so that anything drawn besides the
// overlay shows up on the black half. The fast test song (speed 1, 32 rows
// per order) is loaded into the player and ticked to the position each test
// wants, since the overlay reads the song position itself.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "assets/module_file.h"
#include "datagen.h"
#include "effects/effects.h"
#include "gl_target.h"
#include "load_module.h"
#include "player/player.h"
#include "shell/frame.h"
#include "shell/overlay.h"
#include "shell/shell.h"

// Asset loading is not used here; its library still needs a directory.
const char* show_data_dir = DRMORVEL_DATA_DIR;

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;

uint32_t fake_ms = 0;
uint32_t fake_ticks() { return fake_ms; }

GlTarget target;

void make_texture(unsigned name, int width, int height, const std::vector<uint8_t>& rgba) {
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

class ScheduleGl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char why[256];
    ASSERT_TRUE(gl_target_open(target, kWidth, kHeight, why, sizeof why)) << why;
    glGenTextures(kTextureCount, TextureTable);
    const std::vector<uint8_t> white(4 * 4 * 4, 255);
    for (int i = 0; i < kTextureCount; ++i) make_texture(TextureTable[i], 4, 4, white);
    std::vector<uint8_t> half(4 * 4 * 4, 255);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 2; ++x) std::memset(&half[(y * 4 + x) * 4], 0, 3);
    make_texture(TextureTable[kMorvelite], 4, 4, half);
    make_disc_sprite();
    glBindTexture(GL_TEXTURE_2D, TextureTable[kSpriteTexture]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSpriteSize, kSpriteSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 sprite_pixels);

    const std::vector<uint8_t> mod = datagen::fast_test_song().build();
    ASSERT_EQ(load_module_image(mod), 1);

    begin_show_gl();
    set_show_clock_source(fake_ticks);
    fake_ms = 0;
    show_clock();
  }
  static void TearDownTestSuite() { gl_target_close(target); }

  void SetUp() override {
    set_aspect_viewport(0, 0, kWidth, kHeight);
    overlay = OverlayState{};  // no pulse or flash left over from another test
  }

  // Ticks the song from its start to position p (32 rows per order, so the
  // row must be below 32).
  static void seek(int32_t p) {
    pt_init();
    for (int i = 0; i < 5000 && pt_position() != p; ++i) pt_play();
    ASSERT_EQ(pt_position(), p);
  }

  // One frame as the show draws it, at show time `seconds`.
  void frame(double seconds) {
    fake_ms = static_cast<uint32_t>(seconds * 1000.0 + 0.5);
    (void)draw_show_frame(origins);
  }

  std::vector<uint8_t> pixels() {
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    gl_target_read(target, rgb.data());
    return rgb;
  }

  static const uint8_t* at(const std::vector<uint8_t>& rgb, int x, int y) {
    return &rgb[(y * kWidth + x) * 3];
  }

  ScheduleOrigins origins;
};

TEST_F(ScheduleGl, BandFourHundredIsBlackButForTheOverlayPicture) {
  seek(410);  // in no pulse or flash list
  frame(30.0);
  const auto rgb = pixels();
  // The picture fills the width exactly; idle, it is dimmed to 80 %.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = at(rgb, x, y);
      if (x < kWidth / 2 - 1) {
        ASSERT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
      } else if (x > kWidth / 2) {
        ASSERT_NEAR(p[0], 204, 1) << x << "," << y;
        ASSERT_EQ(p[0], p[2]);
      }
    }
  }
}

TEST_F(ScheduleGl, TheGridBandStartsAsThePlainPictureAndGrowsBlackDots) {
  seek(410);
  frame(40.0);
  const auto plain = pixels();
  seek(610);
  frame(41.0);  // the band's first frame: offset -0.5, no dot at all
  EXPECT_EQ(pixels(), plain);
  frame(42.0);  // -1/6: still below zero everywhere
  EXPECT_EQ(pixels(), plain);
  frame(44.0);  // +1/6: dots of half size about 0.27 cover most of the view
  const auto dotted = pixels();
  int darkened = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = kWidth / 2 + 1; x < kWidth; ++x) darkened += at(dotted, x, y)[0] == 0;
  EXPECT_GT(darkened, kWidth / 2 * kHeight / 4);
}

TEST_F(ScheduleGl, EveryBandLeavesTexturingOnAndDepthTestAndBlendingOff) {
  const int32_t bands[] = {10, 410, 610, 710, 910, 1110, 1310, 1510, 1610, 1910};
  double t = 50.0;
  for (int32_t p : bands) {
    seek(p);
    frame(t += 1.3);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << p;
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << p;
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << p;
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST)) << p;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << p;
    GLint mode = 0, modelview = 0, projection = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelview);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection);
    EXPECT_EQ(mode, GL_MODELVIEW) << p;
    EXPECT_EQ(modelview, 1) << p;  // every push has its pop
    EXPECT_EQ(projection, 1) << p;
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR}) << p;
  }
}

TEST_F(ScheduleGl, TheFinalViewportIs64By48At480By360ASecondIn) {
  seek(1910);
  set_aspect_viewport(0, 0, 1024, 768);
  frame(200.0);
  GLint v[4];
  glGetIntegerv(GL_VIEWPORT, v);
  EXPECT_EQ(std::vector<GLint>(v, v + 4), (std::vector<GLint>{0, 0, 1024, 768}));
  frame(201.0);
  glGetIntegerv(GL_VIEWPORT, v);
  EXPECT_EQ(std::vector<GLint>(v, v + 4), (std::vector<GLint>{480, 360, 64, 48}));
  frame(202.0);  // the origin stays where the band began: s = 1/61
  glGetIntegerv(GL_VIEWPORT, v);
  EXPECT_EQ(v[2], static_cast<int>(1024.0 / 61.0));
}

TEST_F(ScheduleGl, TheFinalBandShrinksWhatTheViewerSeesTowardTheCentre) {
  seek(1910);
  frame(300.0);
  frame(301.0);  // s = 1/16 of the 128 x 96 view: (60, 45, 8, 6)
  const auto rgb = pixels();
  int lit_inside = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = at(rgb, x, y);
      const bool inside = x >= 60 && x < 68 && y >= 45 && y < 51;
      if (inside)
        lit_inside += p[0] + p[1] + p[2] > 0;
      else
        ASSERT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
    }
  }
  EXPECT_GT(lit_inside, 0);
}

TEST_F(ScheduleGl, FromSixteenHundredTheCubesAreDrawnOverTheRings) {
  // The same instant in both closing bands: in 1500 the rings hide the
  // cubes where they are nearer, in 1600 the depth buffer is cleared first.
  // Lit cube faces are the only cyan (green and blue, no red) pixels.
  auto cyan = [&](int32_t p) {
    seek(p);
    frame(400.0);
    const auto rgb = pixels();
    int n = 0;
    for (int i = 0; i < kWidth * kHeight; ++i)
      n += rgb[3 * i] < 64 && rgb[3 * i + 1] > 128 && rgb[3 * i + 2] > 128;
    return n;
  };
  const int hidden = cyan(1510);
  const int over = cyan(1610);
  EXPECT_GT(hidden, 0);
  EXPECT_GT(over, hidden + kWidth * kHeight / 50);
}

}  // namespace
