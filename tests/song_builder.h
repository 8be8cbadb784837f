// Builds 31-sample module files in memory, for the tests, the benchmarks and
// the fuzz seeds: a format tag, an order table, pattern cells given by raw
// period, sample number and effect, and sample data.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace song_builder {

struct SampleSpec {
  std::vector<int8_t> data;   // an even number of bytes
  uint8_t finetune = 0;       // low 4 bits as stored in the file
  uint8_t volume = 64;
  uint32_t repeat_start = 0;  // bytes, even
  uint32_t repeat_length = 2; // bytes, even; 2 marks no loop
};

class ModuleBuilder {
 public:
  ModuleBuilder(const char tag[4], int channels, int patterns)
      : channels_(channels), patterns_(patterns),
        cells_(static_cast<size_t>(patterns) * 64 * channels * 4, 0) {
    std::memcpy(tag_, tag, 4);
  }

  // The orders played; the rest of the table stays 0.
  void set_orders(const std::vector<uint8_t>& orders, uint8_t restart = 127) {
    orders_ = orders;
    restart_ = restart;
  }

  // One raw cell: period 0 gives no note, sample 0 gives no sample.
  void set_cell(int pattern, int row, int channel, int sample, int period, int effect = 0,
                int param = 0) {
    uint8_t* c = &cells_[((static_cast<size_t>(pattern) * 64 + row) * channels_ + channel) * 4];
    c[0] = static_cast<uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F));
    c[1] = static_cast<uint8_t>(period & 0xFF);
    c[2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | (effect & 0x0F));
    c[3] = static_cast<uint8_t>(param);
  }

  void set_sample(int k, SampleSpec s) { samples_[k] = std::move(s); }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out(1084, 0);
    std::memcpy(out.data(), "song builder", 12);
    for (int k = 1; k <= 31; ++k) {
      const SampleSpec& s = samples_[k];
      uint8_t* h = &out[20 + 30 * (k - 1)];
      put_be16(h + 22, static_cast<uint32_t>(s.data.size() / 2));
      h[24] = s.finetune;
      h[25] = s.volume;
      put_be16(h + 26, s.repeat_start / 2);
      put_be16(h + 28, s.repeat_length / 2);
    }
    out[950] = static_cast<uint8_t>(orders_.size());
    out[951] = restart_;
    for (size_t i = 0; i < orders_.size() && i < 128; ++i) out[952 + i] = orders_[i];
    std::memcpy(&out[1080], tag_, 4);
    out.insert(out.end(), cells_.begin(), cells_.end());
    for (int k = 1; k <= 31; ++k)
      for (int8_t b : samples_[k].data) out.push_back(static_cast<uint8_t>(b));
    return out;
  }

  int channels() const { return channels_; }
  int patterns() const { return patterns_; }

 private:
  static void put_be16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
  }

  char tag_[4];
  int channels_;
  int patterns_;
  std::vector<uint8_t> cells_;
  std::vector<uint8_t> orders_{0};
  uint8_t restart_ = 127;
  SampleSpec samples_[32];
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

// A looping instrument: a short one-shot attack followed by a looped sine.
inline SampleSpec looped_tone(uint8_t volume = 64) {
  SampleSpec s;
  s.data = sine_wave(512, 8);
  s.volume = volume;
  s.repeat_start = 128;
  s.repeat_length = 384;
  return s;
}

// The raw periods of octave 2 (C-2 to B-2), for writing melodies.
constexpr int kOctave2[12] = {428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226};

// A busy song for throughput measurements: every channel plays a looping
// sample, with a note on every other row, a mix of slides and vibrato, and
// volume changes. `patterns` patterns are played once each, in order.
inline ModuleBuilder busy_song(const char tag[4], int channel_count, int patterns) {
  ModuleBuilder m(tag, channel_count, patterns);
  SampleSpec a = looped_tone(48);
  SampleSpec b;
  b.data = sine_wave(2048, 5, 90);
  b.repeat_start = 0;
  b.repeat_length = 2048;
  b.volume = 40;
  m.set_sample(1, a);
  m.set_sample(2, b);
  std::vector<uint8_t> orders;
  for (int p = 0; p < patterns; ++p) {
    orders.push_back(static_cast<uint8_t>(p));
    for (int row = 0; row < 64; row += 2)
      for (int c = 0; c < channel_count; ++c) {
        const int period = kOctave2[(row / 2 + c * 5 + p) % 12] >> ((c / 4) % 2);
        const int effect = (row / 2 + c) % 4 == 1 ? 0x4 : ((row / 2 + c) % 4 == 3 ? 0xA : 0x0);
        const int param = effect == 0x4 ? 0x46 : (effect == 0xA ? 0x01 : 0x00);
        m.set_cell(p, row, c, 1 + (c + row / 2) % 2, period, effect, param);
      }
  }
  m.set_orders(orders, 0);
  return m;
}

}  // namespace song_builder
