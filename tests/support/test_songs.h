// Sample waveforms and a busy song for the tests, the fuzz seeds and the
// benchmarks, written with the module builder.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "module.h"
#include "noise.h"

// A sine of the given length with `periods` whole cycles, at the given peak.
inline std::vector<int8_t> sine_wave(size_t length, int periods, int peak = 100) {
  std::vector<int8_t> d(length);
  for (size_t i = 0; i < length; ++i)
    d[i] = static_cast<int8_t>(
        std::lround(peak * std::sin(2 * std::numbers::pi * periods * i / length)));
  return d;
}

// A deterministic noise burst.
inline std::vector<int8_t> noise(size_t length, uint32_t seed) {
  std::vector<int8_t> d(length);
  Noise source{seed};
  for (int8_t& b : d) b = source.next_byte();
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
