// The picture overlay drawn into a small offscreen frame: which picture,
// how bright, when pulses and flashes start and end. The show clock runs on
// a tick source the test sets, and the song position comes from the real
// player stepping through a module built here.

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <vector>

#include "assets/assets.h"
#include "assets/module_file.h"
#include "datagen.h"
#include "gl_context.h"
#include "load_module.h"
#include "player/player.h"
#include "shell/frame.h"
#include "shell/overlay.h"
#include "shell/shell.h"

const char* show_data_dir = "/nonexistent/";

namespace {

uint32_t fake_ms = 0;
uint32_t fake_ticks() { return fake_ms; }

// show_clock() reads (fake_ms - 1000) / 1000 s once started.
void advance_ms(uint32_t ms) { fake_ms += ms; }

// Solid 1 × 1 pictures, so that a pixel tells which one is drawn.
constexpr uint8_t kColours[kTextureCount][3] = {{60, 120, 180}, {10, 200, 10},  {0, 0, 128},
                                                {150, 100, 50}, {128, 0, 0},    {90, 90, 90},
                                                {90, 90, 90},   {255, 255, 255}};
// What a flash adds at full size: its colour squared (GL_SRC_COLOR, GL_ONE).
constexpr int kFlashAdd = 64;  // 128 * 128 / 255

class Overlay : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    set_show_clock_source(fake_ticks);
    fake_ms = 1000;
    (void)show_clock();  // starts the clock at 1000 ms
    fake_ms = 11000;     // show time 10 s: a start time of 0.0 would mean idle
    // Speed 1 and 22 orders of one empty pattern: tick n plays row n - 1.
    ModuleBuilder m;
    m.unused_samples_from(1);
    m.song_length = 22;
    m.cell(0, 0, 0, 0, 0, 0xF, 1);
    const std::vector<uint8_t> bytes = m.build();
    ASSERT_EQ(load_module_image(bytes), 1);
  }

  void SetUp() override {
    ASSERT_TRUE(gl_.ok()) << SDL_GetError();
    glGenTextures(kTextureCount, TextureTable);
    for (int i = 0; i < kTextureCount; ++i) {
      glBindTexture(GL_TEXTURE_2D, TextureTable[i]);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, kColours[i]);
    }
    glClearColor(0, 0, 0, 0);
    overlay = OverlayState{};
  }

  // Puts the player on song position p (order × 100 + row).
  static void go_to(int p) {
    pt_init();
    const int ticks = (p / 100) * 64 + p % 100 + 1;
    for (int i = 0; i < ticks; ++i) pt_play();
    ASSERT_EQ(pt_position(), p);
  }

  // One frame of the overlay alone; returns the centre pixel.
  static std::array<int, 3> frame() {
    begin_frame();
    draw_picture_overlay();
    return read_pixel(32, 24);
  }

  static double now() { return show_clock(); }

  TestGlContext gl_{64, 48};
};

void expect_rgb(std::array<int, 3> got, int r, int g, int b) {
  EXPECT_NEAR(got[0], r, 2);
  EXPECT_NEAR(got[1], g, 2);
  EXPECT_NEAR(got[2], b, 2);
}

TEST_F(Overlay, PictureOfTheHundredDimmedWhenIdle) {
  go_to(450);
  expect_rgb(frame(), 120, 80, 40);  // morvelite at 0.8
  go_to(763);
  expect_rgb(frame(), 48, 96, 144);  // funkka at 0.8
  go_to(1150);
  expect_rgb(frame(), 8, 160, 8);  // funker
  go_to(1001);
  expect_rgb(frame(), 0, 0, 0);  // no picture for 900-1099
  go_to(350);
  expect_rgb(frame(), 0, 0, 0);
  EXPECT_EQ(overlay.pulse_start, 0.0);
}

TEST_F(Overlay, FlashesAlternateAndEndAfterPointSixSeconds) {
  go_to(100);
  expect_rgb(frame(), 0, 0, 0);  // starts at size 0
  EXPECT_EQ(overlay.flash_alternate, 1);
  EXPECT_DOUBLE_EQ(overlay.flash_start, now());
  go_to(101);
  advance_ms(300);
  expect_rgb(frame(), kFlashAdd, 0, 0);  // entry 4 at its largest
  advance_ms(290);
  expect_rgb(frame(), kFlashAdd, 0, 0);  // small again, still over the centre
  advance_ms(11);
  expect_rgb(frame(), 0, 0, 0);  // over: collapsed, and idle again
  EXPECT_EQ(overlay.flash_start, 0.0);

  go_to(200);
  frame();
  EXPECT_EQ(overlay.flash_alternate, 0);
  advance_ms(300);
  expect_rgb(frame(), 0, 0, kFlashAdd);  // entry 2 this time
}

TEST_F(Overlay, PulseAndFlashTogetherAndThePulseRestartsWhileThePositionStays) {
  go_to(400);
  const double start = now();
  expect_rgb(frame(), 150, 100, 50);  // full brightness, flash still size 0
  EXPECT_EQ(overlay.pulse_direction, -1.0);
  for (int i = 0; i < 3; ++i) {
    advance_ms(16);
    frame();
  }
  // Four frames on 400: the pulse restarted in each, its direction flipped
  // four times; the flash started only in the first.
  EXPECT_EQ(overlay.pulse_direction, 1.0);
  EXPECT_DOUBLE_EQ(overlay.pulse_start, now());
  EXPECT_DOUBLE_EQ(overlay.flash_start, start);
  EXPECT_EQ(overlay.flash_alternate, 1);

  go_to(401);
  advance_ms(100);
  expect_rgb(frame(), 150 + kFlashAdd, 100, 50);  // pulsing, flash over it
  advance_ms(100);
  frame();
  EXPECT_GT(overlay.pulse_start, 0.0) << "0.2 s is still inside the pulse";
  advance_ms(1);
  const auto last = frame();
  EXPECT_EQ(overlay.pulse_start, 0.0);
  EXPECT_NEAR(last[1], 100, 2) << "the frame that ends the pulse is still at full brightness";
  advance_ms(1000);
  expect_rgb(frame(), 120, 80, 40);
}

TEST_F(Overlay, FlashPositionsDuringAFlashAreIgnoredUntilItHasEnded) {
  go_to(400);
  frame();
  const double start = overlay.flash_start;
  advance_ms(200);
  go_to(416);
  frame();
  EXPECT_EQ(overlay.flash_alternate, 1);
  EXPECT_EQ(overlay.flash_start, start);
  advance_ms(401);
  frame();  // the flash ends in this frame; 416 is still ignored in it
  EXPECT_EQ(overlay.flash_start, 0.0);
  EXPECT_EQ(overlay.flash_alternate, 1);
  advance_ms(16);
  frame();  // still on 416, now idle: a new flash starts
  EXPECT_EQ(overlay.flash_alternate, 0);
  EXPECT_DOUBLE_EQ(overlay.flash_start, now());
}

TEST_F(Overlay, LeavesTheMatricesAndBlendingAsItFoundThem) {
  go_to(432);
  begin_frame();
  GLfloat before[16], after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  advance_ms(100);
  draw_picture_overlay();  // pulse and flash both running
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0], 1.0f);
  EXPECT_EQ(colour[2], 1.0f);
}

TEST_F(Overlay, NothingAtAllFromPosition2000) {
  go_to(2000);
  overlay.pulse_start = 5.0;
  glColor3f(0.25f, 0.5f, 0.75f);
  expect_rgb(frame(), 0, 0, 0);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0], 0.25f);
  EXPECT_EQ(colour[1], 0.5f);
  EXPECT_EQ(overlay.pulse_start, 5.0);
}

// The overlay's tables, entry by entry, end marks included.
TEST(OverlayTables, PicturesPulsesAndFlashes) {
  struct Range {
    int first_hundred, last_hundred, picture;
  };
  constexpr Range kPictures[] = {{0, 3, -1},  {4, 6, 3},   {7, 8, 0},
                                 {9, 10, -1}, {11, 12, 1}, {13, 19, -1}};
  ASSERT_EQ(std::size(kPictureByHundred), 20u);
  for (const Range& r : kPictures)
    for (int h = r.first_hundred; h <= r.last_hundred; ++h)
      EXPECT_EQ(kPictureByHundred[h], r.picture) << "positions " << h * 100;
  const std::vector<int> pulses = {400,  407,  409,  416,  427,  432,  439,  441,  448,  500,  507,
                                   509,  516,  527,  700,  716,  732,  748,  800,  816,  832,  848,
                                   900,  916,  932,  948,  1000, 1016, 1032, 1048, 1100, 1116, 1132,
                                   1148, 1200, 1216, 1232, 1248, 1300, 1316, 1332, 1348, 1400, 1416,
                                   1432, 1448, 1500, 1516, 1532, 1548, 1600, 1616, 1632, 1648, 1700,
                                   1716, 1732, 1748, 1800, 1816, 1832, 1848, -1};
  const std::vector<int> flashes = {100,  200,  232,  300,  332,  400,  416,  432,  448,  500,
                                    512,  524,  600,  800,  816,  832,  848,  900,  916,  932,
                                    948,  1000, 1016, 1032, 1048, 1300, 1316, 1332, 1348, 1400,
                                    1416, 1432, 1448, 1600, 1616, 1632, 1648, 1700, 1716, 1732,
                                    1748, 1800, 1816, 1832, 1848, -1};
  EXPECT_EQ(pulses.size(), 63u);
  EXPECT_EQ(flashes.size(), 46u);
  EXPECT_EQ(std::vector<int>(std::begin(kPulsePositions), std::end(kPulsePositions)), pulses);
  EXPECT_EQ(std::vector<int>(std::begin(kFlashPositions), std::end(kFlashPositions)), flashes);
}

}  // namespace
