// Audio pacing: one player tick per 882 samples (441 at 22050 Hz), each
// tick's samples mixed right after it, whatever the lengths of the calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/offline.h"
#include "player/player.h"
#include "shell/frame.h"
#include "sound/sound.h"
#include "test_songs.h"

namespace {

int tick_count = 0;
std::vector<int32_t> tick_positions;
void count_tick() {
  ++tick_count;
  tick_positions.push_back(pt_position());
}

// A short song that keeps voices busy: a looping sample, a one-shot one that
// runs out and parks, slides, vibrato, arpeggio, retrigger, a cut, a delay and
// speed changes.
ModuleBuilder busy_song() {
  ModuleBuilder m("4CHN", 4);
  std::vector<int8_t> wave(400), blip(300);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = static_cast<int8_t>((i * 37) % 256 - 128);
  for (size_t i = 0; i < blip.size(); ++i)
    blip[i] = static_cast<int8_t>(100 - static_cast<int>(i) % 200);
  m.sample(1, wave, 64, 0, 20, 150);
  m.sample(2, blip, 48, 0x0E);
  m.song_length = 2;
  m.order({0, 1});
  m.cell(0, 0, 0, 1, note_period(24), 0x4, 0x46);
  m.cell(0, 0, 1, 2, note_period(48));
  m.cell(0, 0, 2, 1, note_period(36), 0x0, 0x47);
  m.cell(0, 0, 3, 0, 0, 0xF, 4);
  m.cell(0, 1, 1, 2, note_period(12), 0xE, 0x92);
  m.cell(0, 2, 0, 0, 0, 0xA, 0x03);
  m.cell(0, 2, 2, 2, note_period(60), 0x1, 0x08);
  m.cell(0, 3, 1, 0, note_period(40), 0xE, 0xC2);
  m.cell(0, 3, 3, 0, 0, 0xE, 0xE1);
  m.cell(0, 4, 0, 1, note_period(30), 0x3, 0x20);
  m.cell(0, 5, 2, 1, note_period(50), 0x9, 0x01);
  m.cell(0, 6, 3, 0, 0, 0xD, 0x00);
  m.cell(1, 0, 0, 2, note_period(26), 0x7, 0x3A);
  m.cell(1, 0, 3, 0, 0, 0xF, 2);
  m.cell(1, 1, 1, 1, note_period(70), 0xE, 0xD1);
  m.cell(1, 2, 3, 0, 0, 0xB, 0x00);
  return m;
}

class PacingTest : public ::testing::Test {
 protected:
  void start(int mode) {
    engine_open_offline(mode);
    tick_count = 0;
    tick_positions.clear();
    snd_set_tick_observer(count_tick);
    image = busy_song().build();
    image.resize(image.size() + 16);
    ASSERT_EQ(pt_load(image.data(), image.size()), 1);
  }
  void TearDown() override { snd_set_tick_observer(nullptr); }

  // Renders bytes of output in calls whose lengths cycle through pieces.
  std::vector<uint8_t> render(int mode, size_t bytes, std::vector<int> pieces) {
    start(mode);
    std::vector<uint8_t> out(bytes, 0xEE);
    size_t done = 0;
    for (size_t i = 0; done < bytes; ++i) {
      const size_t len =
          std::min<size_t>(static_cast<size_t>(pieces[i % pieces.size()]), bytes - done);
      snd_audio_callback(nullptr, out.data() + done, static_cast<int>(len));
      done += len;
    }
    return out;
  }
  std::vector<uint8_t> image;
};

TEST_F(PacingTest, SamplesPerTick) {
  start(kSound16Bit);
  EXPECT_EQ(pacing.tick_period, 20);
  EXPECT_EQ(snd_samples_per_tick(), 882);
  start(kSound8Bit);
  EXPECT_EQ(snd_samples_per_tick(), 441);
}

TEST_F(PacingTest, RemaindersAndTicksPerCallback) {
  start(kSound16Bit);
  std::vector<uint8_t> stream(4096);
  const int remainders16[] = {598, 314, 30, 628, 344, 60};
  for (int k = 1; k <= 40; ++k) {
    snd_audio_callback(nullptr, stream.data(), 4096);
    if (k <= 6) {
      EXPECT_EQ(pacing.tick_remainder, remainders16[k - 1]) << k;
    }
    EXPECT_EQ(tick_count, 2048 * k / 882 + 1) << k;
  }
  start(kSound8Bit);
  const int remainders8[] = {157, 314, 30, 187};
  for (int k = 1; k <= 4; ++k) {
    snd_audio_callback(nullptr, stream.data(), 2048);
    EXPECT_EQ(pacing.tick_remainder, remainders8[k - 1]) << k;
    EXPECT_EQ(tick_count, 2048 * k / 441 + 1) << k;
  }
}

TEST_F(PacingTest, BufferEndingOnATickBoundary) {
  start(kSound16Bit);
  std::vector<uint8_t> stream(4096);
  snd_audio_callback(nullptr, stream.data(), 2 * 1764);
  // Two whole ticks, and the third started with none of its samples mixed.
  EXPECT_EQ(tick_count, 3);
  EXPECT_EQ(pacing.tick_remainder, 882);
  snd_audio_callback(nullptr, stream.data(), 4096);
  EXPECT_EQ(tick_count, 5);
  EXPECT_EQ(pacing.tick_remainder, 598);
}

// The offline clock told in sound runs the ticks it tells in ticks: pulling
// the samples before each frame's time leaves exactly the ticks started by
// then, at frame rates whose frames fall on tick boundaries and between them.
TEST_F(PacingTest, PullingUpToAFrameRunsTheTicksStartedByItsTime) {
  for (const int fps : {25, 24, 30, 50, 60, 144}) {
    start(kSound16Bit);
    std::vector<uint8_t> stream(2 * 44100);
    int64_t pulled = 0;
    for (int64_t k = 0; k <= 3 * fps; ++k) {
      const int64_t target = samples_before_frame(k, fps, 44100);
      snd_audio_callback(nullptr, stream.data(), static_cast<int>(2 * (target - pulled)));
      pulled = target;
      ASSERT_EQ(tick_count, ticks_started_by_frame(k, fps)) << fps << " fps, frame " << k;
    }
  }
}

TEST_F(PacingTest, OutputDoesNotDependOnHowTheStreamIsCut) {
  for (int mode : {kSound16Bit, kSound8Bit}) {
    SCOPED_TRACE(mode);
    const int width = mode == kSound16Bit ? 2 : 1;
    const size_t bytes = static_cast<size_t>(width) * 44100 * 3;
    const std::vector<uint8_t> reference = render(mode, bytes, {2048 * width});
    const std::vector<int32_t> positions = tick_positions;
    ASSERT_GT(positions.size(), 140u);
    // The song really makes sound, in both halves of the rendering.
    EXPECT_NE(std::count(reference.begin(), reference.begin() + bytes / 2, reference[0]),
              static_cast<long>(bytes / 2));
    for (const std::vector<int>& pieces :
         {std::vector<int>{width, 7 * width, 882 * width, 3000 * width},
          {1, 7, 882, 3000},
          {441 * width, 882 * width},
          {static_cast<int>(bytes)}}) {
      const std::vector<uint8_t> cut = render(mode, bytes, pieces);
      EXPECT_TRUE(cut == reference) << "first piece " << pieces[0];
      const size_t common = std::min(positions.size(), tick_positions.size());
      EXPECT_TRUE(std::equal(positions.begin(), positions.begin() + static_cast<long>(common),
                             tick_positions.begin()));
      EXPECT_GE(common + 1, positions.size());
    }
  }
}

TEST_F(PacingTest, SilentModeTicksOnlyFromTheTimer) {
  start(kSound16Bit);
  EXPECT_EQ(snd_timer_tick(20, nullptr), 20u);
  EXPECT_EQ(tick_count, 0);
  sound.sound_mode = kSoundNone;
  uint8_t canary[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  snd_audio_callback(nullptr, canary, 8);
  EXPECT_EQ(canary[0], 1);
  EXPECT_EQ(canary[7], 8);
  EXPECT_EQ(tick_count, 0);
  EXPECT_EQ(snd_timer_tick(20, nullptr), 20u);
  EXPECT_EQ(tick_count, 1);
  EXPECT_EQ(pt_position(), 0);
}

// The offline set-up's one reset recipe: a module loaded after another plays
// exactly as when it is loaded first, whatever the first left behind: a
// channel's glissando switch and pan setting, a tick and a 16-bit sample
// half played, the interpolating mixer, the random waveform's draw, sample
// slots it defined and a tick observer.
struct Played {
  std::vector<uint8_t> sound;
  std::vector<int> pannings;
  std::vector<int32_t> positions;
};

Played play_fresh(const ModuleBuilder& m, size_t frames) {
  Played p;
  EXPECT_EQ(engine_open_offline(kSound16Bit), 1);
  std::vector<uint8_t> image = m.build();
  image.resize(image.size() + 16);
  EXPECT_EQ(pt_load(image.data(), image.size()), 1);
  p.sound.resize(frames * 2);
  for (size_t done = 0; done < frames; done += 882) {
    engine_render(p.sound.data() + done * 2, std::min<size_t>(882, frames - done));
    p.positions.push_back(pt_position());
  }
  for (int c = 0; c < 4; ++c) p.pannings.push_back(player_voices[c].panning);
  return p;
}

TEST(OfflineEngine, ASecondModulePlaysAsWhenLoadedFirst) {
  std::vector<int8_t> wave(256);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = static_cast<int8_t>((i * 29) % 256 - 128);
  ModuleBuilder second("4CHN", 4);
  second.sample(1, wave, 64, 0, 0, 128);
  second.cell(0, 0, 0, 0, 0, 0xE, 0x43);  // the random vibrato waveform
  second.cell(0, 1, 0, 1, note_period(30), 0x4, 0x8F);
  for (int row = 2; row < 12; ++row) second.cell(0, row, 0, 0, 0, 0x4, 0x00);
  second.cell(0, 0, 1, 1, note_period(20));
  second.cell(0, 2, 1, 0, note_period(27), 0x3, 0x03);  // slides by whole notes with glissando
  for (int row = 3; row < 12; ++row) second.cell(0, row, 1, 0, 0, 0x3, 0x00);
  second.cell(0, 4, 2, 1, note_period(40));

  ModuleBuilder first("4CHN", 4);
  first.sample(1, wave, 64, 0, 0, 128).sample(5, std::vector<int8_t>(3000, 90), 64, 0, 0, 1500);
  first.cell(0, 0, 1, 0, 0, 0xE, 0x31);  // glissando on
  first.cell(0, 0, 2, 0, 0, 0xE, 0x8F);  // pan setting 15
  first.cell(0, 0, 3, 5, note_period(33));
  first.cell(0, 1, 0, 1, note_period(12), 0x4, 0x44);

  constexpr size_t kFrames = 882 * 80;  // 80 ticks: 13 rows at speed 6
  const Played alone = play_fresh(second, kFrames);
  // Not silence.
  EXPECT_NE(alone.sound, std::vector<uint8_t>(alone.sound.size(), alone.sound[0]));

  // The first module, played with everything a host may change, and left
  // in the middle of a tick and of a sample.
  engine_open_offline(kSound16Bit);
  std::vector<uint8_t> image = first.build();
  image.resize(image.size() + 16);
  ASSERT_EQ(pt_load(image.data(), image.size()), 1);
  sound.interpolate = 1;
  snd_set_tick_observer(count_tick);
  std::vector<uint8_t> scrap(12345);
  snd_audio_callback(nullptr, scrap.data(), static_cast<int>(scrap.size()));
  ASSERT_GE(pacing.pending_byte, 0);
  ASSERT_GT(pacing.tick_remainder, 0);

  const int ticks_seen = tick_count;
  const Played after = play_fresh(second, kFrames);
  EXPECT_EQ(tick_count, ticks_seen) << "the first rendering's tick observer still runs";
  EXPECT_TRUE(after.sound == alone.sound) << "the sound differs";
  EXPECT_EQ(after.positions, alone.positions);
  EXPECT_EQ(after.pannings, alone.pannings);
}

}  // namespace
