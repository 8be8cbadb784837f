// The test songs of the generated data set. Samples are synthesised here;
// the music is deliberately plain, since the tests need only its timing, but
// uses the usual module habits: looped waveforms for the tones, one-shot
// drums, speed and pattern-break commands.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "datagen.h"
#include "music/zurivovariv.h"
#include "noise.h"

namespace datagen {

namespace {

using Sample = ModuleBuilder::Sample;
using Pattern = ModuleBuilder::Pattern;
constexpr int kRows = kRowsPerPattern;
constexpr double kPi = std::numbers::pi;

int8_t clip8(double v) { return static_cast<int8_t>(std::clamp(std::lround(v), -128L, 127L)); }

// A looped single-cycle waveform: the whole sample is the loop.
Sample looped(const char* name, std::vector<int8_t> cycle, uint8_t volume) {
  Sample s;
  s.name = name;
  s.volume = volume;
  s.repeat_start = 0;
  s.repeat_length = static_cast<uint16_t>(cycle.size() / 2);
  s.data = std::move(cycle);
  return s;
}

Sample bass() {
  std::vector<int8_t> d(32);
  for (int i = 0; i < 32; ++i) d[i] = i < 16 ? 90 : -90;
  return looped("square bass", d, 44);
}

Sample lead() {
  std::vector<int8_t> d(64);
  for (int i = 0; i < 64; ++i) {
    const double a = 2 * kPi * i / 64;
    d[i] = clip8(100 * std::sin(a) + 20 * std::sin(3 * a));
  }
  return looped("sine lead", d, 40);
}

Sample pad() {
  std::vector<int8_t> d(128);
  for (int i = 0; i < 128; ++i)
    d[i] = clip8(i < 64 ? -120 + 240.0 * i / 64 : 120 - 240.0 * (i - 64) / 64);
  return looped("triangle pad", d, 28);
}

Sample snare() {
  Sample s;
  s.name = "noise snare";
  s.volume = 48;
  s.data.resize(3000);
  Noise source{0x2545F491u};  // fixed: the same noise every build
  for (size_t i = 0; i < s.data.size(); ++i) {
    const double noise = static_cast<int>(source.next() >> 24) - 128;
    s.data[i] = clip8(noise * std::exp(-static_cast<double>(i) / 700));
  }
  return s;
}

Sample kick() {
  Sample s;
  s.name = "sine kick";
  s.volume = 64;
  s.data.resize(3200);
  double phase = 0;
  for (size_t i = 0; i < s.data.size(); ++i) {
    const double t = static_cast<double>(i) / s.data.size();
    phase += 2 * kPi * (0.05 * (1 - t) + 0.008);
    s.data[i] = clip8(120 * std::sin(phase) * (1 - t));
  }
  return s;
}

enum : uint8_t { kBass = 1, kLead = 2, kSnare = 3, kKick = 4, kPad = 5 };

std::vector<Sample> instruments() { return {bass(), lead(), snare(), kick(), pad()}; }

// Note numbers: 24 + 12 × octave + semitone (C-1 is 24).
constexpr int kC2 = 36;
constexpr int kChordRoots[4] = {0, -3, 5, 7};  // C, A, F, G
constexpr int kMelody[16] = {12, 16, 19, 16, 14, 17, 21, 17, 12, 16, 19, 24, 19, 16, 14, 12};

void set(Pattern& p, int row, int channel, uint8_t sample, int note, uint8_t effect = 0,
         uint8_t param = 0) {
  p[row][channel] = ModuleBuilder::Note{sample, note, effect, param};
}

// Drums on channel 3, the bass line on channel 0.
Pattern groove(bool snares) {
  Pattern p{};
  for (int r = 0; r < kRows; r += 8) set(p, r, 3, kKick, kC2);
  if (snares)
    for (int r = 4; r < kRows; r += 8) set(p, r, 3, kSnare, kC2 + 12);
  for (int r = 0; r < kRows; r += 4) set(p, r, 0, kBass, kC2 - 12 + kChordRoots[r / 16]);
  return p;
}

Pattern with_melody(Pattern p) {
  for (int r = 0; r < kRows; r += 4) set(p, r, 1, kLead, kC2 + kMelody[r / 4], 0xC, 40);
  return p;
}

Pattern with_pads(Pattern p) {
  for (int r = 0; r < kRows; r += 16) {
    set(p, r, 2, kPad, kC2 + 12 + kChordRoots[r / 16]);
    set(p, r + 8, 2, kPad, kC2 + 16 + kChordRoots[r / 16]);
  }
  return p;
}

}  // namespace

std::vector<uint8_t> show_module() { return compose_zurivovariv(); }

ModuleBuilder fast_test_song() {
  ModuleBuilder m;
  m.title = "zurivovariv (fast test)";
  const std::vector<Sample> samples = instruments();
  for (size_t k = 0; k < samples.size(); ++k) m.samples[k + 1] = samples[k];
  m.unused_samples_from(static_cast<int>(samples.size()) + 1);
  Pattern p = with_pads(with_melody(groove(true)));
  p[0][2] = ModuleBuilder::Note{0, ModuleBuilder::kNoNoteGiven, 0xF, 1};   // one tick per row
  p[31][2] = ModuleBuilder::Note{0, ModuleBuilder::kNoNoteGiven, 0xD, 0};  // 32 rows per order
  m.pattern(0, p);
  m.song_length = 22;  // order 0 every time
  return m;
}

}  // namespace datagen
