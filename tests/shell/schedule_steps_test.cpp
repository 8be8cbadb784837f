// The scene schedule's step lists, checked on the record of the GL that
// draws nothing: which effect runs in which order, with which time and
// picture, and what each band does to the viewport and the depth buffer.
//
// No module is loaded, so the overlay reads song position 0: it shows no
// picture and starts no pulse or flash, and it appears in the record only
// as its plain picture scale (1.33, 1.33, 0), which marks where it ran.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "assets/assets.h"
#include "effects/effects_internal.h"
#include "shell/frame.h"
#include "shell/shell.h"
#include "shell_null_gl.h"

namespace {

uint32_t fake_ms = 0;
// How far the clock moves on after each reading; 0 holds it still.
uint32_t ms_per_reading = 0;
uint32_t fake_ticks() {
  const uint32_t now = fake_ms;
  fake_ms += ms_per_reading;
  return now;
}

// Texture names far from the entry numbers, so a bound name is unambiguous.
constexpr unsigned kNameBase = 500;

class ScheduleSteps : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    set_show_clock_source(fake_ticks);
    fake_ms = 0;
    show_clock();  // show time 0 is fake millisecond 0
    for (int i = 0; i < kTextureCount; ++i) TextureTable[i] = kNameBase + i;
  }
  void SetUp() override {
    show_view = ViewRect{0, 0, 1024, 768};
    ms_per_reading = 0;
  }

  // Draws the band of p at show time `seconds`, recording every call.
  void draw_at(uint32_t p, double seconds) {
    fake_ms = static_cast<uint32_t>(std::lround(seconds * 1000.0));
    shell_gl_reset(true);
    draw_schedule(p, origins);
    ASSERT_EQ(null_gl_log.dropped, 0u);
  }

  // The record as a string of steps: R rings, C lit cubes, I iso-surface,
  // U twisted tube, O overlay, Z depth clear, V viewport, and a digit for
  // every picture bound (its TextureTable entry).
  static std::string steps() {
    std::string s;
    uint32_t shell = 0;
    bool cubes = false;
    bool iso = false;
    auto shell_calls_until = [&](uint32_t at) {
      for (; shell < shell_gl_log.size && shell_gl_log.calls[shell].at <= at; ++shell) {
        const ShellGlCall& c = shell_gl_log.calls[shell];
        if (c.op == ShellGlOp::viewport) s += 'V';
        if (c.op == ShellGlOp::clear && c.mask == GL_DEPTH_BUFFER_BIT) s += 'Z';
      }
    };
    for (uint32_t i = 0; i < null_gl_log.size; ++i) {
      shell_calls_until(i);
      const GlCall& c = null_gl_log.calls[i];
      if (c.op == GlOp::bind_texture) s += static_cast<char>('0' + (c.e1 - kNameBase));
      if (c.op == GlOp::translate && c.v[0] == 0.0f && c.v[1] == 0.0f && c.v[2] == -2.0f) s += 'R';
      if (c.op == GlOp::translate && c.v[0] == -3.0f && c.v[1] == -15.0f && c.v[2] == -20.0f)
        s += 'U';
      if (c.op == GlOp::scale && c.v[0] == 1.33f && c.v[1] == 1.33f && c.v[2] == 0.0f) s += 'O';
      if (c.op == GlOp::light && !cubes) {
        s += 'C';
        cubes = true;
      }
      if (c.op == GlOp::begin && c.e0 == GL_TRIANGLES && !iso) {
        s += 'I';
        iso = true;
      }
    }
    shell_calls_until(~0u);
    return s;
  }

  // One component of the calls that `takes` accepts within the n-th group
  // of the record, at most `most` of them; each call that `starts` accepts
  // begins a group.
  template <class Starts, class Takes>
  static std::vector<float> in_group(int n, Starts starts, Takes takes, int component,
                                     size_t most = SIZE_MAX) {
    std::vector<float> values;
    int seen = -1;
    for (uint32_t i = 0; i < null_gl_log.size; ++i) {
      const GlCall& c = null_gl_log.calls[i];
      if (starts(c))
        ++seen;
      else if (seen == n && values.size() < most && takes(c))
        values.push_back(c.v[component]);
    }
    return values;
  }

  // The y translations of the tile column's ten tiles, in the n-th column
  // drawn in the record (each column starts with its translation to -10).
  static std::vector<float> column_heights(int n) {
    return in_group(
        n,
        [](const GlCall& c) {
          return c.op == GlOp::translate && c.v[0] == 0.0f && c.v[1] == 0.0f && c.v[2] == -10.0f;
        },
        [](const GlCall& c) { return c.op == GlOp::translate && c.v[0] == 5.0f; }, 1, 10);
  }

  // The half sizes given to the sprites of the n-th sprite grid drawn.
  static std::vector<float> sprite_sizes(int n) {
    return in_group(
        n, [](const GlCall& c) { return c.op == GlOp::alpha_func; },
        [](const GlCall& c) { return c.op == GlOp::scale && c.v[2] == 0.0f && c.v[0] != 1.33f; },
        0);
  }

  // The colour set directly before the n-th sprite grid.
  static GlCall colour_before_grid(int n) {
    GlCall last{};
    int seen = -1;
    for (uint32_t i = 0; i < null_gl_log.size; ++i) {
      const GlCall& c = null_gl_log.calls[i];
      if (c.op == GlOp::color) last = c;
      if (c.op == GlOp::alpha_func && ++seen == n) return last;
    }
    ADD_FAILURE() << "no sprite grid " << n;
    return last;
  }

  ScheduleOrigins origins;
};

// The half size the sprite grid gives its first sprite (row 0, column 0).
float first_sprite(double t, double b) {
  const double s = std::sin(2.0 * t) / 30.0 + (b + 0.1) + std::cos(t) / 30.0;
  return static_cast<float>(s < 0.0 ? 0.0 : s);
}

TEST_F(ScheduleSteps, EveryBandRunsItsStepsInOrder) {
  const struct {
    uint32_t p;
    const char* steps;
  } bands[] = {
      {0, "R5O"},
      {399, "R5O"},
      {400, "O"},
      {599, "O"},
      {600, "O7"},
      {699, "O7"},
      {700, "O22"},
      {899, "O22"},
      {900, "7I4O4"},
      {1099, "7I4O4"},
      {1100, "O64"},
      {1299, "O64"},
      {1300, "7U72O"},
      {1499, "7U72O"},
      {1500, "RC4O"},
      {1599, "RC4O"},
      {1600, "RZC4O"},
      {1860, "RZC4O"},
      {1861, "VRZC4O"},
      {1921, "VRZC4O"},
      // Compared unsigned: -37, the position before the first tick, is far
      // above every band's start and lands in the final band.
      {static_cast<uint32_t>(-37), "VRZC4O"},
  };
  double t = 10.0;
  for (const auto& band : bands) {
    draw_at(band.p, t += 1.0);
    EXPECT_EQ(steps(), band.steps) << "p = " << band.p;
  }
}

TEST_F(ScheduleSteps, AFrameClearsSetsTheFrustumAndStartsAtTheFramePlane) {
  fake_ms = 5000;
  shell_gl_reset(true);
  begin_frame();
  draw_schedule(450, origins);
  ASSERT_GE(shell_gl_log.size, 2u);
  EXPECT_EQ(shell_gl_log.calls[0].op, ShellGlOp::clear);
  EXPECT_EQ(shell_gl_log.calls[0].mask, GLbitfield{GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT});
  EXPECT_EQ(shell_gl_log.calls[1].op, ShellGlOp::frustum);
  // projection, identity, (frustum), model view, identity, z = -3
  const GlOp expected[] = {GlOp::matrix_mode, GlOp::load_identity, GlOp::matrix_mode,
                           GlOp::load_identity, GlOp::translate};
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(null_gl_log.calls[i].op, expected[i]) << i;
  EXPECT_EQ(null_gl_log.calls[0].e0, GLenum{GL_PROJECTION});
  EXPECT_EQ(null_gl_log.calls[2].e0, GLenum{GL_MODELVIEW});
  EXPECT_EQ(null_gl_log.calls[4].v[2], -3.0f);
  EXPECT_EQ(shell_gl_log.calls[1].at, 2u);  // the frustum goes to the projection
}

TEST_F(ScheduleSteps, TheClosingColumnRunsBackwardFromTenThousand) {
  // Band 900 moves the column up with the time; the closing bands pass
  // 10000 minus the time, so the same tile moves down as fast.
  draw_at(950, 100.0);
  const auto up0 = column_heights(0);
  draw_at(950, 100.25);
  const auto up1 = column_heights(0);
  draw_at(1550, 100.0);
  const auto down0 = column_heights(0);
  draw_at(1550, 100.25);
  const auto down1 = column_heights(0);
  ASSERT_EQ(up0.size(), 10u);
  ASSERT_EQ(down1.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_FLOAT_EQ(down0[i],
                    static_cast<float>(std::fmod(2.0 * i + 2.0 * (10000.0 - 100.0), 20.0) - 10.0));
    // Tile 0 wraps from -10 to +9.5 on the way down; the others fall 0.5.
    EXPECT_NEAR(std::fmod(down1[i] - down0[i] + 40.0, 20.0), 19.5, 1e-4) << i;
    EXPECT_NEAR(std::fmod(up1[i] - up0[i] + 40.0, 20.0), 0.5, 1e-4) << i;
  }
}

TEST_F(ScheduleSteps, BandNineHundredDrawsTheColumnTwiceAroundTheOverlay) {
  draw_at(1000, 33.0);
  EXPECT_EQ(steps(), "7I4O4");
  const auto first = column_heights(0);
  const auto second = column_heights(1);
  ASSERT_EQ(second.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_FLOAT_EQ(first[i], static_cast<float>(std::fmod(2.0 * i + 66.0, 20.0) - 10.0));
    EXPECT_EQ(first[i], second[i]);
  }
  // The purple grid is tilted by 45 degrees and breathes with sin(t) / 13.
  const GlCall colour = colour_before_grid(0);
  EXPECT_EQ(colour.v[0], 0.6f);
  EXPECT_EQ(colour.v[1], 0.0f);
  EXPECT_EQ(colour.v[2], 0.8f);
  EXPECT_FLOAT_EQ(sprite_sizes(0).at(0), first_sprite(33.0, std::sin(33.0) / 13.0 - 0.05));
  // The iso-surface's field is computed at a third of the time and turned
  // by twice the time.
  static float drawn[kBlobGridSize][kBlobGridSize][kBlobGridSize];
  std::copy(&BlobField[0][0][0], &BlobField[0][0][0] + 4096, &drawn[0][0][0]);
  compute_blob_field(static_cast<float>(33.0 / 3.0));
  EXPECT_TRUE(std::equal(&drawn[0][0][0], &drawn[0][0][0] + 4096, &BlobField[0][0][0]));
}

TEST_F(ScheduleSteps, EveryClockArgumentTakesItsOwnReadingInArgumentOrder) {
  // The clock moves on by a quarter second at every reading, so reading n
  // of the frame is the frame's time + n / 4: which reading each argument
  // got shows in the sprite sizes. In band 1300 the twist angles and the
  // tube take readings 2 and 3.
  ms_per_reading = 250;
  const struct {
    uint32_t p;
    int grid;     // the n-th sprite grid of the frame
    int reading;  // the reading its time argument takes; the offset takes the next
    double (*offset)(double);
  } grids[] = {
      {950, 0, 0, [](double t) { return std::sin(t) / 13.0 - 0.05; }},
      {1400, 0, 0, [](double t) { return std::sin(t) / 10.0; }},
      {1400, 1, 4, [](double t) { return std::sin(t) / 20.0 - 0.1; }},
  };
  for (const auto& g : grids) {
    draw_at(g.p, 60.0);
    const double t = 60.0 + 0.25 * g.reading;
    EXPECT_FLOAT_EQ(sprite_sizes(g.grid).at(0), first_sprite(t, g.offset(t + 0.25)))
        << "p = " << g.p << ", grid " << g.grid;
  }
}

TEST_F(ScheduleSteps, TheClosingCubesUseASeventhOfTheTimeAndTurnByTwice) {
  draw_at(1700, 77.0);
  static float drawn[kBlobGridSize][kBlobGridSize][kBlobGridSize];
  std::copy(&BlobField[0][0][0], &BlobField[0][0][0] + 4096, &drawn[0][0][0]);
  compute_blob_field(static_cast<float>(77.0 / 7.0));
  EXPECT_TRUE(std::equal(&drawn[0][0][0], &drawn[0][0][0] + 4096, &BlobField[0][0][0]));
  // The block's first turn, after the 12-unit push back: 13 x with x = 2t.
  bool pushed_back = false;
  for (uint32_t i = 0; i < null_gl_log.size; ++i) {
    const GlCall& c = null_gl_log.calls[i];
    if (c.op == GlOp::translate && c.v[2] == -12.0f) pushed_back = true;
    if (pushed_back && c.op == GlOp::rotate) {
      EXPECT_EQ(c.v[0], 13.0f * static_cast<float>(77.0 * 2.0));
      break;
    }
  }
  EXPECT_TRUE(pushed_back);
}

TEST_F(ScheduleSteps, TheGridGrowsFromNothingFromTheBandsFirstFrame) {
  draw_at(650, 40.0);
  EXPECT_EQ(origins.grid_origin, 40.0);
  const GlCall black = colour_before_grid(0);
  EXPECT_EQ(black.v[0] + black.v[1] + black.v[2], 0.0f);
  auto sizes = sprite_sizes(0);
  ASSERT_EQ(sizes.size(), 400u);
  for (float s : sizes) ASSERT_EQ(s, 0.0f);
  // A second later the offset is -1/6: the largest half size is still below 0.
  draw_at(660, 41.0);
  for (float s : sprite_sizes(0)) ASSERT_EQ(s, 0.0f);
  // At 1.5 s the offset is 0: every sprite is 0.1 give or take 1/15.
  draw_at(670, 41.5);
  sizes = sprite_sizes(0);
  EXPECT_FLOAT_EQ(sizes[0], first_sprite(41.5, 0.0));
  for (float s : sizes) ASSERT_GT(s, 0.0f);
  // Leaving and coming back continues from the first origin.
  draw_at(700, 45.0);
  draw_at(650, 50.0);
  EXPECT_EQ(origins.grid_origin, 40.0);
}

TEST_F(ScheduleSteps, TheStripsOfBandElevenHundredRunOnTheirOwnClock) {
  // Entered at 70 s: the strips start from their own time 0, strip 0 four
  // units above its place; two seconds later they have run three.
  draw_at(1100, 70.0);
  EXPECT_EQ(origins.strips_origin, 70.0);
  auto strip0_drop = [] {
    for (uint32_t i = 0; i + 1 < null_gl_log.size; ++i) {
      const GlCall& c = null_gl_log.calls[i];
      if (c.op == GlOp::translate && c.v[1] == 0.7f) return null_gl_log.calls[i + 2].v[1];
    }
    return -99.0f;
  };
  EXPECT_FLOAT_EQ(strip0_drop(), 4.0f);
  draw_at(1150, 72.0);
  const double u = 3.0 * 0.25;
  EXPECT_FLOAT_EQ(strip0_drop(), static_cast<float>(std::cos(10.0 * u) / ((u + 0.5) * (u + 0.5))));
  EXPECT_EQ(origins.strips_origin, 70.0);
}

TEST_F(ScheduleSteps, TheTubeBandFramesTheTubeWithTwoPurpleGrids) {
  draw_at(1400, 90.0);
  EXPECT_EQ(steps(), "7U72O");
  const GlCall first = colour_before_grid(0);
  const GlCall second = colour_before_grid(1);
  EXPECT_EQ(first.v[0], 0.6f);
  EXPECT_EQ(first.v[2], 0.6f);
  EXPECT_EQ(second.v[0], 0.7f);
  EXPECT_EQ(second.v[2], 0.7f);
  EXPECT_FLOAT_EQ(sprite_sizes(0).at(0), first_sprite(90.0, std::sin(90.0) / 10.0));
  EXPECT_FLOAT_EQ(sprite_sizes(1).at(0), first_sprite(90.0, std::sin(90.0) / 20.0 - 0.1));
  float drawn[kTwistSectionCount];
  std::copy(twist_angles, twist_angles + kTwistSectionCount, drawn);
  compute_twist_angles(90.0f);
  EXPECT_TRUE(std::equal(drawn, drawn + kTwistSectionCount, twist_angles));
}

TEST_F(ScheduleSteps, TheFinalBandShrinksTheViewTowardItsCentre) {
  auto viewport = [] {
    for (uint32_t i = 0; i < shell_gl_log.size; ++i)
      if (shell_gl_log.calls[i].op == ShellGlOp::viewport) return shell_gl_log.calls[i];
    ADD_FAILURE() << "no viewport set";
    return ShellGlCall{};
  };
  auto expect_rect = [&](int x, int y, int w, int h) {
    const ShellGlCall v = viewport();
    EXPECT_EQ(v.rect[0], x);
    EXPECT_EQ(v.rect[1], y);
    EXPECT_EQ(v.rect[2], w);
    EXPECT_EQ(v.rect[3], h);
  };
  draw_at(1861, 120.0);
  expect_rect(0, 0, 1024, 768);
  draw_at(1865, 120.5);  // s = 1 / 4.75
  expect_rect(static_cast<int>(512 - 512 / 4.75), static_cast<int>(384 - 384 / 4.75),
              static_cast<int>(1024 / 4.75), static_cast<int>(768 / 4.75));
  draw_at(1870, 121.0);  // s = 1/16
  expect_rect(480, 360, 64, 48);

  // In desktop full screen on a 16:9 screen the view is the centred 4:3
  // rectangle (240, 0, 1440, 1080); it shrinks toward its own centre.
  ScheduleOrigins wide;
  show_view = ViewRect{240, 0, 1440, 1080};
  fake_ms = 130000;
  draw_schedule(1861, wide);
  shell_gl_reset(true);
  fake_ms = 131000;
  draw_schedule(1900, wide);
  expect_rect(240 + 720 - 45, 506, 90, 67);  // 540 - 33.75, truncated
}

}  // namespace
