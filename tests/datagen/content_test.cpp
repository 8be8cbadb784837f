// The show's own music and pictures: properties the storyboard relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "art/pictures.h"
#include "assets/module_file.h"
#include "engine/offline.h"
#include "load_module.h"
#include "music/zurivovariv.h"
#include "player/player.h"
#include "shell/overlay.h"
#include "sound/sound.h"

namespace {

class Music : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes = compose_zurivovariv();
    ASSERT_LE(bytes.size(), kModuleBufferSize);
    ASSERT_EQ(engine_open_offline(kSound16Bit), 1);
    ASSERT_EQ(load_module_image(bytes), 1);
  }

  // Cells of the row the song plays at this position (order * 100 + row).
  const NoteCell* row_at(int position) const {
    const NoteCell* pattern = song.patterns[song.order_table[position / 100]];
    return pattern + (position % 100) * 4;
  }

  std::vector<uint8_t> bytes;
};

TEST_F(Music, IsAFourChannelModuleLongEnoughForTheShow) {
  EXPECT_EQ(0, std::memcmp(bytes.data() + 1080, "M.K.", 4));
  EXPECT_EQ(song.channel_count, 4u);
  EXPECT_GE(song.song_length, 20);
  EXPECT_EQ(bytes, compose_zurivovariv()) << "the composition must be deterministic";
}

TEST_F(Music, PassesTheLastPositionAfterAboutTwoAndAHalfMinutes) {
  long ticks = 0;
  while (pt_position() <= 1920 && ticks < 50 * 600) {
    pt_play();
    ++ticks;
  }
  const double seconds = ticks / 50.0;
  EXPECT_GT(seconds, 135.0);
  EXPECT_LT(seconds, 165.0);
  EXPECT_EQ(player.speed, 6) << "the song keeps speed 6: a row is 0.12 s";
}

TEST_F(Music, EveryPulseAndFlashLandsOnADrumHit) {
  auto is_drum = [](const NoteCell& c) { return (c.sample == 1 || c.sample == 2) && c.note <= 83; };
  for (const int16_t* p = kPulsePositions; *p != -1; ++p)
    EXPECT_TRUE(std::any_of(row_at(*p), row_at(*p) + 4, is_drum)) << "pulse at " << *p;
  for (const int16_t* p = kFlashPositions; *p != -1; ++p)
    EXPECT_TRUE(std::any_of(row_at(*p), row_at(*p) + 4, is_drum)) << "flash at " << *p;
}

TEST_F(Music, UsesTheReplayersEffectsAsMusiciansDo) {
  std::set<int> used;  // effect number, or 0xE0 + sub-command
  for (int order = 0; order < song.song_length; ++order)
    for (int i = 0; i < 64 * 4; ++i) {
      const NoteCell& c = song.patterns[song.order_table[order]][i];
      if (c.effect == 0xE)
        used.insert(0xE0 + (c.param >> 4));
      else if (c.effect != 0 || c.param != 0)
        used.insert(c.effect);
    }
  for (int effect : {0x0, 0x1, 0x2, 0x3, 0x4, 0xA, 0xC, 0x9})
    EXPECT_TRUE(used.count(effect)) << "effect " << std::hex << effect;
  EXPECT_TRUE(used.count(0xE9) || used.count(0xED)) << "retrigger or note delay";
  EXPECT_TRUE(used.count(0xB) || used.count(0xD)) << "position jump or pattern break";
  EXPECT_FALSE(used.count(0xF)) << "no speed changes: the show keeps a fixed pace";
}

TEST_F(Music, LoopsContinueTheWaveAcrossTheWrap) {
  int looped = 0;
  for (int k = 1; k <= 31; ++k) {
    const SampleSlot& s = sample_slots[k];
    if (!s.looped) continue;
    ++looped;
    // The mixer wraps from the loop end back to one byte after the start, so
    // the byte at the end must carry on from the one at the start.
    EXPECT_EQ(s.data[s.loop_end], s.data[s.loop_start]) << "sample " << k;
    EXPECT_LE(s.loop_end, s.length);
  }
  EXPECT_GE(looped, 3) << "bass, lead and pad loop";
}

TEST_F(Music, NeverClipsTheOutput) {
  uint8_t stream[4096];
  long clipped = 0, longest = 0, run = 0;
  for (int call = 0; call < 44100 * 150 / 2048; ++call) {
    engine_render(stream, sizeof stream / 2);
    for (size_t i = 0; i < sizeof stream; i += 2) {
      const int16_t s = static_cast<int16_t>(stream[i] | (stream[i + 1] << 8));
      if (s == 32767 || s == -32768) {
        ++clipped;
        longest = std::max(longest, ++run);
      } else {
        run = 0;
      }
    }
  }
  EXPECT_EQ(clipped, 0) << "longest clipped run " << longest;
}

TEST(Pictures, SevenDistinctPicturesInTableOrder) {
  const std::vector<Picture> pictures = paint_pictures();
  ASSERT_EQ(pictures.size(), 7u);
  bool odd_width = false;
  for (size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_EQ(pictures[i].name, kPictureFiles[i]);
    EXPECT_EQ(pictures[i].pixels.size(),
              static_cast<size_t>(pictures[i].width) * pictures[i].height * 3);
    odd_width = odd_width || (pictures[i].width * 3) % 4 != 0;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(pictures[i].pixels, pictures[j].pixels);
  }
  EXPECT_TRUE(odd_width) << "one picture's rows must not be a multiple of four bytes";
}

double mean_brightness(const Picture& p, int y0, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < p.width * 3; ++x) sum += p.pixels[static_cast<size_t>(y) * p.width * 3 + x];
  return sum / ((y1 - y0) * p.width * 3.0 * 255.0);
}

TEST(Pictures, FlashesAreBrightShapesOnBlackAndFullFramesFillTheFrame) {
  const std::vector<Picture> pictures = paint_pictures();
  for (int flash : {kSkugga, kTahti}) {  // added onto the frame: mostly black, with a bright core
    const Picture& p = pictures[flash];
    EXPECT_LT(mean_brightness(p, 0, p.height), 0.35) << p.name;
    EXPECT_LT(mean_brightness(p, 0, 4), 0.05) << p.name << " top edge is black";
  }
  for (int full : {kFunkka, kFunker, kMorvelite})
    EXPECT_GT(mean_brightness(pictures[full], 0, pictures[full].height), 0.2);
}

TEST(Pictures, TextCarriesOneLineInEachQuarter) {
  const std::vector<Picture> pictures = paint_pictures();
  const Picture& text = pictures[kTekstit];
  for (int quarter = 0; quarter < 4; ++quarter) {
    const int y0 = quarter * text.height / 4;
    EXPECT_GT(mean_brightness(text, y0, y0 + text.height / 4), 0.04) << "quarter " << quarter;
    EXPECT_LT(mean_brightness(text, y0, y0 + 2), 0.02) << "quarter " << quarter << " starts black";
  }
}

// The program's icon: a tile with transparent corners and the emblem at its
// centre, painted alike at every size.
TEST(Icon, IsAnOpaqueTileWithClearCornersAndTheSameEmblemAtEverySize) {
  const Picture big = paint_icon(256), small = paint_icon(48);
  for (const Picture* icon : {&big, &small}) {
    const int s = icon->width;
    ASSERT_EQ(icon->pixels.size(), static_cast<size_t>(s) * s * 4);
    auto at = [&](int x, int y, int c) {
      return icon->pixels[(static_cast<size_t>(y) * s + x) * 4 + c];
    };
    for (int corner : {0, s - 1}) {
      EXPECT_EQ(at(corner, 0, 3), 0) << s;
      EXPECT_EQ(at(corner, s - 1, 3), 0) << s;
    }
    EXPECT_EQ(at(s / 2, s / 2, 3), 255) << s;
    EXPECT_EQ(at(s / 2, s / 10, 3), 255) << s << " the tile reaches near the edge";
    EXPECT_EQ(at(s / 2, 0, 3), 0) << s << " inside a margin";
    EXPECT_GT(at(s / 2, s / 2, 0) + at(s / 2, s / 2, 1) + at(s / 2, s / 2, 2), 3 * 220)
        << s << " bright core";
  }
  // The big icon shrunk to 48 pixels by averaging looks like the small one.
  double diff = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x)
      for (int c = 0; c < 4; ++c) {
        double sum = 0;
        int n = 0;
        for (int yy = y * 256 / 48; yy < (y + 1) * 256 / 48; ++yy)
          for (int xx = x * 256 / 48; xx < (x + 1) * 256 / 48; ++xx, ++n)
            sum += big.pixels[(static_cast<size_t>(yy) * 256 + xx) * 4 + c];
        diff += std::abs(sum / n - small.pixels[(static_cast<size_t>(y) * 48 + x) * 4 + c]);
      }
  EXPECT_LT(diff / (48 * 48 * 4), 12.0);
}

}  // namespace
