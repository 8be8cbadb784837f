// The voice mixer: mix volume, clipping, loops, parking and the refresh of
// the mixer voices from the player voices.

#include <gtest/gtest.h>

#include <vector>

#include "sound/sound.h"

namespace {

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    snd_open_offline(kSound16Bit);
    sound.voice_count = 1;
    sound.interpolate = 0;
    sound_device.snd_select_voice(0);
  }
  void TearDown() override { sound.interpolate = 0; }

  // Starts voice 0 on the given bytes at offset 0, one byte per output
  // sample, mixed with factor 1 (volume 1 at master volume 32).
  void start(const int8_t* data, uint32_t length, uint32_t loop_start = 0, uint32_t loop_end = 0,
             int looped = 0) {
    sound_device.snd_define_sample(1, data, length, loop_start, loop_end, looped);
    sound_device.snd_set_sample(1);
    sound_device.snd_set_master_volume(32);
    sound_device.snd_set_volume(1);
    set_step(1, 0);
    sound_device.snd_set_offset(0);
  }
  // What snd_set_period does, with a step chosen directly.
  static void set_step(uint32_t step, uint32_t fraction) {
    player_voices[0].step = step;
    player_voices[0].step_fraction = fraction;
    player_voices[0].new_period = 1;
  }
  static std::vector<int> mix16(int n) {
    std::vector<uint8_t> out(2 * static_cast<size_t>(n));
    snd_mix(out.data(), n, 1);
    std::vector<int> samples(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
      samples[i] = static_cast<int16_t>(out[2 * i] | (out[2 * i + 1] << 8));
    return samples;
  }
  static std::vector<int> mix8(int n) {
    std::vector<uint8_t> out(static_cast<size_t>(n));
    snd_mix(out.data(), n, 0);
    return std::vector<int>(out.begin(), out.end());
  }
  // Sets up voice 0 so that every mixed sum is exactly sum: a constant byte
  // times a mix volume that some volume and master volume give.
  bool make_sum(int32_t sum) {
    for (int master = 1; master <= 252; ++master)
      for (int volume = 1; volume <= 255; ++volume) {
        const int a = snd_mix_volume(volume, master);
        if (a == 0 || sum % a != 0 || sum / a < -128 || sum / a > 127) continue;
        constant.assign(64, static_cast<int8_t>(sum / a));
        start(constant.data(), 64, 0, 63, 1);
        sound_device.snd_set_master_volume(master);
        sound_device.snd_set_volume(volume);
        return true;
      }
    return false;
  }
  std::vector<int8_t> constant;
};

TEST_F(MixerTest, MixVolume) {
  EXPECT_EQ(snd_mix_volume(64, 64), 129);
  EXPECT_EQ(snd_mix_volume(64, 63), 127);
  EXPECT_EQ(snd_mix_volume(64, 252), 510);
  EXPECT_EQ(snd_mix_volume(255, 64), 516);
  EXPECT_EQ(snd_mix_volume(1, 32), 1);
  EXPECT_EQ(snd_mix_volume(0, 64), 0);
  // Through the mixer: a constant byte of 1 at volume 64.
  const int8_t ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  start(ones, 8, 0, 7, 1);
  sound_device.snd_set_master_volume(64);
  sound_device.snd_set_volume(64);
  EXPECT_EQ(mix16(3), (std::vector<int>{129, 129, 129}));
  sound_device.snd_set_volume(255);
  EXPECT_EQ(mix16(1), (std::vector<int>{516}));
}

TEST_F(MixerTest, SixteenBitClipping) {
  for (auto [sum, expected] : {std::pair{40000, 32767},
                               {-40000, -32768},
                               {32767, 32767},
                               {-32768, -32768},
                               {32768, 32767},
                               {-32769, -32768},
                               {-129, -129}}) {
    ASSERT_TRUE(make_sum(sum)) << sum;
    EXPECT_EQ(mix16(2), (std::vector<int>{expected, expected})) << sum;
  }
}

TEST_F(MixerTest, EightBitConversion) {
  const std::pair<int32_t, int> cases[] = {{0, 128},     {511, 128},   {512, 129},   {-1, 127},
                                           {-512, 127},  {-513, 126},  {-65536, 0},  {-65535, 0},
                                           {65535, 255}, {65536, 255}, {65024, 255}, {65023, 254},
                                           {-66000, 0},  {40000, 206}};
  for (auto [sum, expected] : cases) {
    ASSERT_TRUE(make_sum(sum)) << sum;
    EXPECT_EQ(mix8(2), (std::vector<int>{expected, expected})) << sum;
  }
}

TEST_F(MixerTest, NoVoicesIsSilence) {
  make_sum(1000);
  sound.voice_count = 0;
  EXPECT_EQ(mix8(5), std::vector<int>(5, 128));
  EXPECT_EQ(mix16(5), std::vector<int>(5, 0));
}

TEST_F(MixerTest, LoopPlaysFromOneAfterItsStartToItsEnd) {
  std::vector<int8_t> data(256);
  for (int i = 0; i < 256; ++i) data[i] = static_cast<int8_t>(i - 128);
  start(data.data(), 256, 100, 200, 1);
  const std::vector<int> out = mix16(500);
  std::vector<int> expected;
  for (int i = 1; i <= 200; ++i) expected.push_back(i - 128);
  while (expected.size() < 500)
    for (int i = 101; i <= 200 && expected.size() < 500; ++i) expected.push_back(i - 128);
  EXPECT_EQ(out, expected);
}

TEST_F(MixerTest, LoopOvershootDropsTheExtraBytes) {
  std::vector<int8_t> data(32);
  for (int i = 0; i < 32; ++i) data[i] = static_cast<int8_t>(i);
  start(data.data(), 32, 4, 10, 1);
  set_step(3, 0);
  // 3, 6, 9, then 12 is past 10: back to 5, then 8, 11 -> 5 ...
  EXPECT_EQ(mix16(7), (std::vector<int>{3, 6, 9, 5, 8, 5, 8}));
}

TEST_F(MixerTest, OneShotVoiceParksOnItsFirstByte) {
  const int8_t data[12] = {50, 1, 2, 3, 4, 5, 6, 7, 8, 9, 70, 71};
  start(data, 10);
  EXPECT_EQ(mix16(12), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 50, 50, 50}));
  EXPECT_EQ(mixer_voices[0].position, 0u);
  EXPECT_EQ(mixer_voices[0].step, 0u);
  // The next call takes the volume from the player voice again and goes on
  // adding the first byte.
  EXPECT_EQ(mix16(3), (std::vector<int>{50, 50, 50}));
  // A new period alone makes it advance again from position 0.
  set_step(1, 0);
  EXPECT_EQ(mix16(4), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(MixerTest, FractionalStepCarries) {
  std::vector<int8_t> data(64);
  for (int i = 0; i < 64; ++i) data[i] = static_cast<int8_t>(i);
  start(data.data(), 64, 0, 63, 1);
  set_step(0, 0x80000000u);  // half a byte per sample
  EXPECT_EQ(mix16(6), (std::vector<int>{0, 1, 1, 2, 2, 3}));
  set_step(2, 0x40000000u);  // 2.25
  EXPECT_EQ(mix16(4), (std::vector<int>{5, 7, 9, 12}));
}

TEST_F(MixerTest, SilentVoicesDoNotAdvance) {
  const int8_t data[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  start(data, 8, 0, 7, 1);
  sound_device.snd_set_volume(0);
  EXPECT_EQ(mix16(4), std::vector<int>(4, 0));
  EXPECT_EQ(mixer_voices[0].position, 0u);
  sound_device.snd_define_sample(2, data, 0, 0, 0, 0);
  sound_device.snd_set_sample(2);
  sound_device.snd_set_volume(64);
  EXPECT_EQ(mix16(4), std::vector<int>(4, 0));
  EXPECT_EQ(mixer_voices[0].position, 0u);
}

TEST_F(MixerTest, EmptyCallStillRefreshes) {
  const int8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  start(data, 8);
  sound_device.snd_set_offset(5);
  uint8_t canary[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  snd_mix(canary, 0, 1);
  EXPECT_EQ(player_voices[0].new_position, 0);
  EXPECT_EQ(player_voices[0].new_period, 0);
  EXPECT_EQ(mixer_voices[0].position, 5u);
  EXPECT_EQ(mixer_voices[0].step, 1u);
  EXPECT_EQ(canary[0], 0xAA);
  // Without new flags the mixer keeps its own position and step.
  player_voices[0].position = 0;
  player_voices[0].step = 7;
  EXPECT_EQ(mix16(2), (std::vector<int>{7, 8}));
}

TEST_F(MixerTest, VoicesAddUp) {
  const int8_t a[4] = {10, 10, 10, 10}, b[4] = {-3, -3, -3, -3};
  sound.voice_count = 3;
  start(a, 4, 0, 3, 1);
  sound_device.snd_define_sample(2, b, 4, 0, 3, 1);
  sound_device.snd_select_voice(2);
  sound_device.snd_set_sample(2);
  sound_device.snd_set_volume(2);  // factor 2 at master volume 32
  player_voices[2].step = 1;
  sound_device.snd_set_offset(0);
  EXPECT_EQ(mix16(2), (std::vector<int>{4, 4}));
  sound.voice_count = 2;  // voice 2 is no longer mixed
  EXPECT_EQ(mix16(2), (std::vector<int>{10, 10}));
}

TEST_F(MixerTest, Interpolation) {
  sound.interpolate = 1;
  const int8_t data[6] = {100, 0, -100, -100, 64, 0};
  start(data, 4, 0, 4, 1);
  sound_device.snd_set_master_volume(64);
  sound_device.snd_set_volume(64);  // factor 129
  set_step(0, 0);
  player_voices[0].position = 0;
  // f = 0: (a x s0 x 63) >> 6.
  EXPECT_EQ(mix16(1), (std::vector<int>{(129 * 100 * 63) >> 6}));
  // Arithmetic shifts on negative products.
  player_voices[0].position = 2;
  player_voices[0].new_position = 1;
  EXPECT_EQ(mix16(1), (std::vector<int>{-12699}));
  // Half way between 64 and 0: f = 32.
  player_voices[0].position = 4;
  player_voices[0].position_fraction = 0x80000000u;
  player_voices[0].new_position = 1;
  EXPECT_EQ(mix16(1), (std::vector<int>{(129 * 64 * 31) >> 6}));
}

TEST_F(MixerTest, LongCallsMatchShortOnes) {
  std::vector<int8_t> data(3000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<int8_t>(i * 7);
  start(data.data(), 2900, 100, 2900, 1);
  set_step(1, 0x30000000u);
  const std::vector<int> whole = mix16(5000);
  start(data.data(), 2900, 100, 2900, 1);
  set_step(1, 0x30000000u);
  std::vector<int> parts;
  for (int n : {882, 1, 1000, 3117}) {
    const std::vector<int> p = mix16(n);
    parts.insert(parts.end(), p.begin(), p.end());
  }
  EXPECT_EQ(whole, parts);
}

}  // namespace
