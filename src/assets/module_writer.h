// Builds a 31-sample module image in code, for tests, fuzz seeds and
// benchmarks: sample headers, order table, format tag, pattern cells and
// sample data, in the file's own byte layout. Below the builder: sample
// waveforms and a busy song for whole-song tests and speed measurements.
//
//   ModuleBuilder m("M.K.", 4);
//   m.sample(1, {0, 10, 20, -10}, 64);
//   m.cell(0, 0, 0, 1, note_period(36), 0xC, 0x20);
//   std::vector<uint8_t> image = m.build();
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "player/period_table.h"

// The raw period of a note index in the finetune 0 row: the loader turns it
// back into the same note.
inline int note_period(int note) { return PeriodTable[note]; }

struct ModuleBuilder {
  struct Sample {
    std::vector<int8_t> data;   // written as the sample's bytes
    int length_words = -1;      // header length; -1: data.size() rounded up to words
    uint8_t finetune = 0;       // the whole header byte
    uint8_t volume = 64;        // the whole header byte
    uint16_t repeat_start = 0;  // words
    uint16_t repeat_length = 1; // words; 1 is the usual mark for no loop
  };
  // One raw cell: sample 0..255, raw period 0..4095 (0: no note).
  struct Cell {
    int pattern, row, channel, sample, period, effect, param;
  };

  std::string tag;
  int channels;
  uint8_t song_length = 1;
  uint8_t restart = 0;
  std::array<uint8_t, 128> orders{};
  int pattern_count = -1;  // -1: one more than the highest order entry below 128
  std::array<Sample, 32> samples{};  // 1..31
  std::vector<Cell> cells;

  ModuleBuilder(std::string format_tag = "M.K.", int channel_count = 4)
      : tag(std::move(format_tag)), channels(channel_count) {}

  ModuleBuilder& sample(int k, std::vector<int8_t> data, uint8_t volume = 64, uint8_t finetune = 0,
                        uint16_t repeat_start = 0, uint16_t repeat_length = 1) {
    samples[k] = Sample{std::move(data), -1, finetune, volume, repeat_start, repeat_length};
    return *this;
  }
  ModuleBuilder& order(std::initializer_list<uint8_t> list) {
    int i = 0;
    for (uint8_t p : list) orders[i++] = p;
    return *this;
  }
  ModuleBuilder& cell(int pattern, int row, int channel, int sample, int period, int effect = 0,
                      int param = 0) {
    cells.push_back(Cell{pattern, row, channel, sample, period, effect, param});
    return *this;
  }

  int patterns() const {
    if (pattern_count >= 0) return pattern_count;
    int highest = 0;
    for (uint8_t p : orders)
      if (p < 128 && p > highest) highest = p;
    return highest + 1;
  }

  static uint32_t sample_bytes(const Sample& s) {
    return s.length_words >= 0 ? 2u * static_cast<uint32_t>(s.length_words)
                               : static_cast<uint32_t>((s.data.size() + 1) / 2 * 2);
  }

  // Where sample k's data starts in the built image.
  uint32_t sample_offset(int k) const {
    uint32_t offset = 1084 + static_cast<uint32_t>(patterns() * channels * 256);
    for (int i = 1; i < k; ++i) offset += sample_bytes(samples[i]);
    return offset;
  }

  std::vector<uint8_t> build() const {
    std::vector<uint8_t> image(sample_offset(32), 0);
    auto put16 = [&](size_t at, uint32_t v) {
      image[at] = static_cast<uint8_t>(v >> 8);
      image[at + 1] = static_cast<uint8_t>(v);
    };
    for (int k = 1; k <= 31; ++k) {
      const Sample& s = samples[k];
      const size_t h = 20 + 30 * (k - 1);
      put16(h + 22, sample_bytes(s) / 2);
      image[h + 24] = s.finetune;
      image[h + 25] = s.volume;
      put16(h + 26, s.repeat_start);
      put16(h + 28, s.repeat_length);
      const uint32_t at = sample_offset(k);
      for (size_t i = 0; i < s.data.size() && i < sample_bytes(s); ++i)
        image[at + i] = static_cast<uint8_t>(s.data[i]);
    }
    image[950] = song_length;
    image[951] = restart;
    for (int i = 0; i < 128; ++i) image[952 + i] = orders[i];
    for (int i = 0; i < 4 && i < static_cast<int>(tag.size()); ++i) image[1080 + i] = static_cast<uint8_t>(tag[i]);
    for (const Cell& c : cells) {
      uint8_t* b = &image[1084 + static_cast<size_t>(((c.pattern * 64 + c.row) * channels + c.channel) * 4)];
      b[0] = static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F));
      b[1] = static_cast<uint8_t>(c.period);
      b[2] = static_cast<uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F));
      b[3] = static_cast<uint8_t>(c.param);
    }
    return image;
  }
};

// A sine of the given length with `periods` whole cycles, at the given peak.
inline std::vector<int8_t> sine_wave(size_t length, int periods, int peak = 100) {
  std::vector<int8_t> d(length);
  for (size_t i = 0; i < length; ++i)
    d[i] = static_cast<int8_t>(std::lround(peak * std::sin(6.283185307179586 * periods * i / length)));
  return d;
}

// A deterministic noise burst (a 32-bit linear congruential generator).
inline std::vector<int8_t> noise(size_t length, uint32_t seed) {
  std::vector<int8_t> d(length);
  for (size_t i = 0; i < length; ++i) {
    seed = seed * 1664525u + 1013904223u;
    d[i] = static_cast<int8_t>(seed >> 24);
  }
  return d;
}

// A looping instrument: a 128-byte one-shot attack, then a looped sine.
inline ModuleBuilder::Sample looped_tone(uint8_t volume = 64) {
  ModuleBuilder::Sample s;
  s.data = sine_wave(512, 8);
  s.volume = volume;
  s.repeat_start = 64;    // words
  s.repeat_length = 192;  // words
  return s;
}

// The raw periods of octave 2 (C-2 to B-2), for writing melodies.
constexpr int kOctave2[12] = {428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226};

// A busy song for throughput measurements: every channel plays a looping
// sample, with a note on every other row, a mix of slides and vibrato, and
// volume changes. `patterns` patterns are played once each, in order, and
// the song then restarts.
inline ModuleBuilder busy_song(std::string tag, int channel_count, int patterns) {
  ModuleBuilder m(std::move(tag), channel_count);
  m.pattern_count = patterns;
  m.samples[1] = looped_tone(48);
  m.samples[2].data = sine_wave(2048, 5, 90);
  m.samples[2].volume = 40;
  m.samples[2].repeat_length = 1024;  // words: the whole sample
  for (int p = 0; p < patterns; ++p) {
    m.orders[static_cast<size_t>(p)] = static_cast<uint8_t>(p);
    for (int row = 0; row < 64; row += 2)
      for (int c = 0; c < channel_count; ++c) {
        const int period = kOctave2[(row / 2 + c * 5 + p) % 12] >> ((c / 4) % 2);
        const int effect = (row / 2 + c) % 4 == 1 ? 0x4 : ((row / 2 + c) % 4 == 3 ? 0xA : 0x0);
        const int param = effect == 0x4 ? 0x46 : (effect == 0xA ? 0x01 : 0x00);
        m.cell(p, row, c, 1 + (c + row / 2) % 2, period, effect, param);
      }
  }
  m.song_length = static_cast<uint8_t>(patterns);
  m.restart = 0;
  return m;
}
