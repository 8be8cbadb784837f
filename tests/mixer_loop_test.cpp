// snd_mix_voice is written for speed (one 64-bit position, the voice held in
// locals, a separate loop for parked voices). This checks it against the
// plain per-sample loop, one step at a time, on many voices: looping and
// one-shot, fractional and large steps, positions near the ends, wraps of
// the 32-bit position, parking in the middle of a call. The sums and the
// voice left behind must be identical.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "sound/sound.h"

namespace {

// The straightforward loop, sample by sample, as the mixer is defined.
void plain_mix_voice(Voice& v, int32_t* buffer, int n, int a) {
  for (int i = 0; i < n; ++i) {
    const uint64_t fraction = uint64_t{v.position_fraction} + v.step_fraction;
    v.position_fraction = static_cast<uint32_t>(fraction);
    v.position += v.step + static_cast<uint32_t>(fraction >> 32);
    int32_t s;
    if (v.looped) {
      if (v.position > v.loop_end) v.position = v.loop_start + 1;
      s = v.data[v.position];
    } else if (v.position < v.length) {
      s = v.data[v.position];
    } else {
      v.position = 0;
      v.step = 0;
      v.step_fraction = 0;
      v.volume = 0;
      s = v.data[0];
    }
    buffer[i] += s * a;
  }
}

uint32_t next(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed;
}

bool same_voice(const Voice& x, const Voice& y) {
  return x.position == y.position && x.position_fraction == y.position_fraction &&
         x.step == y.step && x.step_fraction == y.step_fraction && x.volume == y.volume &&
         x.looped == y.looped;
}

TEST(MixVoiceLoop, MatchesThePlainLoopSampleForSample) {
  // Sample bytes with room past the end for the byte after a closing loop.
  std::vector<int8_t> data(5000);
  uint32_t seed = 12345;
  for (int8_t& b : data) b = static_cast<int8_t>(next(seed) >> 24);

  for (int round = 0; round < 4000; ++round) {
    Voice v{};
    v.data = data.data();
    v.length = 1 + next(seed) % 4000;
    v.volume = 64;
    v.looped = next(seed) % 2;
    if (v.looped) {
      v.loop_start = next(seed) % v.length;
      v.loop_end = v.loop_start + 3 + next(seed) % (v.length - v.loop_start);
      if (v.loop_end > v.length) v.loop_end = v.length;  // the byte after the sample at most
    }
    const uint32_t bound = v.looped ? v.loop_end + 1 : v.length + 50;
    v.position = next(seed) % bound;
    v.position_fraction = next(seed);
    switch (next(seed) % 4) {
      case 0: v.step = 0; break;                        // slow: periods above 80
      case 1: v.step = next(seed) % 3; break;           // the highest notes
      case 2: v.step = next(seed) % 40; break;          // overshoots past a loop end
      default: v.step = 0; v.step_fraction = 0; break;  // a voice standing still
    }
    if (v.step_fraction == 0 && round % 4 != 3) v.step_fraction = next(seed);
    if (round % 97 == 0 && !v.looped) {
      v.position = 0xFFFFFFF0u;  // the integer word wraps while advancing
      v.step = 1;
    }
    const int n = static_cast<int>(next(seed) % 900);
    const int a = static_cast<int>(next(seed) % 520);

    std::vector<int32_t> fast(900), plain(900);
    for (int i = 0; i < 900; ++i) fast[i] = plain[i] = static_cast<int32_t>(next(seed) % 2000) - 1000;
    Voice fv = v, pv = v;
    snd_mix_voice(fv, fast.data(), n, a);
    plain_mix_voice(pv, plain.data(), n, a);
    ASSERT_EQ(fast, plain) << "round " << round;
    ASSERT_TRUE(same_voice(fv, pv)) << "round " << round << ": position " << fv.position << " vs "
                                    << pv.position;
  }
}

}  // namespace
