// snd_mix_voice is written for speed (one 64-bit position, the voice held in
// locals, stretches between the voice's ends mixed without per-sample tests,
// blocks of 16 samples picked from a byte window where the CPU has AVX2, a
// separate loop for parked voices). This checks it against the plain
// per-sample loop, one step at a time, on many voices: looping and one-shot,
// loops that run on past the sample's end, fractional and large steps,
// positions near the ends, wraps of the 32-bit position, parking in the
// middle of a call. The sums and the voice left
// behind must be identical, and no byte past the ones the voice may read is
// touched: every voice's bytes end right before an unreadable page.
//
// snd_mix itself (the first voice stores into the mix buffer, the others
// add; the clip to 8 or 16 bits) is checked against a plain mix of the same
// voices.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "noise.h"
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

// The generator's next state, kept in seed.
uint32_t next(uint32_t& seed) {
  Noise source{seed};
  return seed = source.next();
}

bool same_voice(const Voice& x, const Voice& y) {
  return x.position == y.position && x.position_fraction == y.position_fraction &&
         x.step == y.step && x.step_fraction == y.step_fraction && x.volume == y.volume &&
         x.looped == y.looped;
}

// Sample bytes placed so that they end right before a page that cannot be
// read: a read past them crashes the test instead of going unnoticed.
class GuardedBytes {
 public:
  GuardedBytes() {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_ = (kCapacity + page_ - 1) / page_ * page_ + page_;
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
    if (base_) mprotect(base_ + size_ - page_, page_, PROT_NONE);
  }
  ~GuardedBytes() {
    if (base_) munmap(base_, size_);
  }
  bool ok() const { return base_ != nullptr; }
  // Copies the first count bytes of source so that they end at the guard.
  const int8_t* place(const std::vector<int8_t>& source, size_t count) {
    uint8_t* const start = base_ + size_ - page_ - count;
    std::memcpy(start, source.data(), count);
    return reinterpret_cast<const int8_t*>(start);
  }
  // Voices reach up to 8192 bytes, and the interpolating mixer reads two more.
  static constexpr size_t kCapacity = 8192 + 64;

 private:
  uint8_t* base_ = nullptr;
  size_t size_ = 0, page_ = 0;
};

// How many bytes from data[0] on the plain loop may read for this voice: up
// to the loop end (a looping voice wraps before it reads anything past it;
// a loop whose start is not before its end restarts past it), or the
// length, and data[0] for a parked voice.
size_t readable_bytes(const Voice& v) {
  if (v.looped) return size_t{std::max(v.loop_end, v.loop_start + 1)} + 1;
  return std::max<size_t>(v.length, 1);
}

// The interpolating mixer also reads the byte after each byte it plays, and
// rests a finished one-shot voice at its length instead of at 0.
size_t interp_readable_bytes(const Voice& v) {
  return v.looped ? readable_bytes(v) + 1 : size_t{v.length} + 2;
}

// Runs the voice through snd_mix_voice and the plain loop on the same
// buffer contents and compares the sums and the voices left behind; then
// runs it through snd_mix_voice_interp, which must read no further than
// its own bytes.
::testing::AssertionResult matches_plain_loop(GuardedBytes& memory,
                                              const std::vector<int8_t>& bytes, Voice v, int n,
                                              int a) {
  v.data = memory.place(bytes, readable_bytes(v));
  std::vector<int32_t> fast(static_cast<size_t>(n) + 1), plain(fast.size());
  uint32_t seed = static_cast<uint32_t>(n) * 77u + v.position;
  for (size_t i = 0; i < fast.size(); ++i)
    fast[i] = plain[i] = static_cast<int32_t>(next(seed) % 2000) - 1000;
  Voice fv = v, pv = v;
  snd_mix_voice(fv, fast.data(), n, a);
  plain_mix_voice(pv, plain.data(), n, a);
  if (fast != plain) {
    size_t i = 0;
    while (fast[i] == plain[i]) ++i;
    return ::testing::AssertionFailure() << "sample " << i << ": " << fast[i] << " vs " << plain[i];
  }
  if (!same_voice(fv, pv))
    return ::testing::AssertionFailure()
           << "voice left at " << fv.position << "." << fv.position_fraction << " step " << fv.step
           << " vs " << pv.position << "." << pv.position_fraction << " step " << pv.step;
  Voice iv = v;
  iv.data = memory.place(bytes, interp_readable_bytes(v));
  snd_mix_voice_interp(iv, fast.data(), n, a);
  return ::testing::AssertionSuccess();
}

std::vector<int8_t> random_bytes(size_t count, uint32_t seed) {
  std::vector<int8_t> data(count);
  for (int8_t& b : data) b = static_cast<int8_t>(next(seed) >> 24);
  return data;
}

Voice looping(uint32_t loop_start, uint32_t loop_end, uint32_t position, uint32_t fraction,
              uint32_t step, uint32_t step_fraction) {
  Voice v{};
  v.volume = 64;
  v.looped = 1;
  v.length = loop_end;
  v.loop_start = loop_start;
  v.loop_end = loop_end;
  v.position = position;
  v.position_fraction = fraction;
  v.step = step;
  v.step_fraction = step_fraction;
  return v;
}

// A looping voice whose sample is shorter than its loop's reach.
Voice with_length(Voice v, uint32_t length) {
  v.length = length;
  return v;
}

Voice one_shot(uint32_t length, uint32_t position, uint32_t fraction, uint32_t step,
               uint32_t step_fraction) {
  Voice v{};
  v.volume = 64;
  v.length = length;
  v.position = position;
  v.position_fraction = fraction;
  v.step = step;
  v.step_fraction = step_fraction;
  return v;
}

TEST(MixVoiceLoop, MatchesThePlainLoopSampleForSample) {
  GuardedBytes memory;
  ASSERT_TRUE(memory.ok());
  // Sample bytes with room past the end for the byte after a closing loop.
  std::vector<int8_t> data(5000);
  uint32_t seed = 12345;
  for (int8_t& b : data) b = static_cast<int8_t>(next(seed) >> 24);

  for (int round = 0; round < 4000; ++round) {
    Voice v{};
    v.length = 1 + next(seed) % 4000;
    v.volume = 64;
    v.looped = next(seed) % 2;
    if (v.looped) {
      // Loops may run on past the sample's end, or lie wholly past it: the
      // voice then plays the bytes that follow the sample.
      v.loop_start = next(seed) % (v.length + 100);
      v.loop_end = v.loop_start + 3 + next(seed) % 300;
    }
    const uint32_t bound = v.looped ? v.loop_end + 1 : v.length + 50;
    v.position = next(seed) % bound;
    v.position_fraction = next(seed);
    switch (next(seed) % 4) {
      case 0: v.step = 0; break;                // slow: periods above 80
      case 1: v.step = next(seed) % 3; break;   // the highest notes
      case 2: v.step = next(seed) % 40; break;  // overshoots past a loop end
      default:
        v.step = 0;
        v.step_fraction = 0;
        break;  // a voice standing still
    }
    if (v.step_fraction == 0 && round % 4 != 3) v.step_fraction = next(seed);
    if (round % 97 == 0 && !v.looped) {
      v.position = 0xFFFFFFF0u;  // the integer word wraps while advancing
      v.step = 1;
    }
    const int n = static_cast<int>(next(seed) % 900);
    const int a = static_cast<int>(next(seed) % 520);
    // The plain loop reads data[0] for a one-shot voice placed past its end.
    v.data = memory.place(data, readable_bytes(v));

    std::vector<int32_t> fast(900), plain(900);
    for (int i = 0; i < 900; ++i)
      fast[i] = plain[i] = static_cast<int32_t>(next(seed) % 2000) - 1000;
    Voice fv = v, pv = v;
    snd_mix_voice(fv, fast.data(), n, a);
    plain_mix_voice(pv, plain.data(), n, a);
    ASSERT_EQ(fast, plain) << "round " << round;
    ASSERT_TRUE(same_voice(fv, pv))
        << "round " << round << ": position " << fv.position << " vs " << pv.position;
  }
}

// The places where a stretch ends, a block of 16 samples stops or the
// per-sample rules take over, one case each, at the call lengths around a
// block: 1, 15, 16, 17, 882 (one tick) and 2000. The interpolating mixer
// runs over the same voices against the guard page.
TEST(MixVoiceLoop, StretchAndBlockEdgesMatchThePlainLoop) {
  GuardedBytes memory;
  ASSERT_TRUE(memory.ok());
  const std::vector<int8_t> bytes = random_bytes(GuardedBytes::kCapacity, 99);
  const uint32_t half = 0x80000000u;
  struct Case {
    const char* what;
    Voice voice;
  };
  const Case cases[] = {
      // Half a byte per sample from 150.0 reaches exactly 200.0 and 200.5,
      // then 201.0 is past the end and wraps to 101.0.
      {"stretch ends exactly at the loop end", looping(100, 200, 150, 0, 0, half)},
      {"loop end reached on the first sample", looping(100, 200, 199, 0xFFFFFFFFu, 0, 1)},
      {"position already past the loop end", looping(100, 200, 300, 5, 0, half)},
      {"step larger than the loop", looping(100, 110, 105, 0, 37, 0x40000000u)},
      {"step exactly the loop length", looping(100, 110, 105, 0, 10, 0)},
      {"loop of one byte", looping(100, 101, 100, 0, 0, 0x12345678u)},
      {"loop start at or after its end", looping(50, 50, 10, 0, 0, half)},
      {"long loop, step just under one byte", looping(0, 8000, 7000, 0, 0, 0xFFFFFFFFu)},
      {"window would pass the loop end", looping(7000, 7990, 7960, 0x11111111u, 0, 0xF0000000u)},
      {"loop that closes at the sample's end", looping(10, 4000, 3990, 0, 0, 0x9ABCDEF0u)},
      {"loop running on past the sample's end",
       with_length(looping(160, 240, 150, 0, 0, 0xF0000000u), 200)},
      {"loop wholly past the sample's end", with_length(looping(200, 204, 0, 0, 1, half), 100)},
      {"slow step, many samples per byte", looping(1000, 1040, 1001, 0, 0, 0x01000000u)},
      {"standing still inside the loop", looping(100, 200, 150, 77, 0, 0)},
      {"one-shot parks in the middle of a call", one_shot(300, 290, 0, 0, 0x4CCCCCCDu)},
      {"one-shot parks on its first step", one_shot(300, 299, 0xFFFFFFFFu, 0, 1)},
      {"one-shot at one byte per sample", one_shot(1000, 0, 0, 1, 0)},
      {"one-shot whose window would pass its end", one_shot(8192, 8150, 0, 0, 0xE0000000u)},
      {"one-shot of one byte", one_shot(1, 0, 0, 0, half)},
      {"voice starting parked", one_shot(500, 0, 0x1234u, 0, 0)},
      {"one-shot past its end parks at once", one_shot(500, 600, 0, 0, half)},
      // The 64-bit position wraps: the integer word passes 2^32 and starts
      // again at 0, below the end, so the voice goes on from its start.
      {"one-shot position wraps past 2^32", one_shot(500, 0xFFFFFFFFu, half, 1, 0)},
      {"looping position wraps past 2^32", looping(100, 200, 0xFFFFFFFEu, 0, 3, half)},
  };
  for (const Case& c : cases) {
    for (int n : {1, 15, 16, 17, 882, 2000}) {
      for (int a : {0, 1, 129, 2032}) {
        EXPECT_TRUE(matches_plain_loop(memory, bytes, c.voice, n, a))
            << c.what << ", n " << n << ", a " << a;
      }
    }
  }
}

// Random sets of up to 8 voices, audible or not, parked or parking, at
// random master volumes, in 8-bit and 16-bit output: whichever voice comes
// first stores into the mix buffer and the rest add, so a parked first voice
// must still write its first byte into every sample.
TEST(MixCall, MatchesAPlainMixOfTheSameVoices) {
  GuardedBytes memory;
  ASSERT_TRUE(memory.ok());
  std::vector<int8_t> bytes = random_bytes(GuardedBytes::kCapacity, 7);
  snd_open_offline(kSound16Bit);
  sound.interpolate = 0;
  uint32_t seed = 2024;
  for (int round = 0; round < 600; ++round) {
    const int voices = static_cast<int>(next(seed) % 9);
    sound.voice_count = voices;
    sound.master_volume = static_cast<int>(next(seed) % 253);
    // All voices of a round share one copy of the bytes; a zero first byte
    // makes parked voices silent.
    bytes[0] = static_cast<int8_t>(next(seed) % 3 == 0 ? 0 : next(seed) >> 24);
    const int8_t* const data = memory.place(bytes, GuardedBytes::kCapacity);
    Voice expected[kVoiceCount];
    for (int v = 0; v < voices; ++v) {
      Voice voice{};
      switch (next(seed) % 5) {
        case 0:
          voice = one_shot(1 + next(seed) % 400, next(seed) % 400, next(seed), 0, next(seed));
          break;
        case 1: voice = one_shot(400, 0, next(seed), 0, 0); break;  // parked
        case 2:
          voice = looping(next(seed) % 100, 100 + next(seed) % 300, next(seed) % 400, next(seed), 0,
                          next(seed));
          break;
        case 3: voice = looping(10, 20, 15, 0, next(seed) % 30, next(seed)); break;
        default: voice = one_shot(0, 0, 0, 0, 0); break;  // no sample
      }
      voice.volume = next(seed) % 4 == 0 ? 0 : static_cast<int>(next(seed) % 256);
      voice.data = data;
      voice.new_position = 1;
      voice.new_period = 1;
      player_voices[v] = voice;
      expected[v] = voice;
      expected[v].new_position = expected[v].new_period = 0;
    }
    const int n =
        std::vector<int>{0, 1, 17, 882, 1000, static_cast<int>(next(seed) % 882)}[next(seed) % 6];
    const int is16 = static_cast<int>(next(seed) % 2);

    std::vector<int32_t> sums(static_cast<size_t>(n));
    for (int v = 0; v < voices; ++v)
      if (expected[v].length != 0 && expected[v].volume != 0)
        plain_mix_voice(expected[v], sums.data(), n,
                        snd_mix_volume(expected[v].volume, sound.master_volume));
    std::vector<uint8_t> want(static_cast<size_t>(n) * (is16 ? 2 : 1));
    for (int i = 0; i < n; ++i) {
      if (is16) {
        const uint16_t s = static_cast<uint16_t>(std::clamp(sums[i], -32768, 32767));
        want[2 * i] = static_cast<uint8_t>(s);
        want[2 * i + 1] = static_cast<uint8_t>(s >> 8);
      } else {
        want[i] = sums[i] < -65536 ? 0 : static_cast<uint8_t>(std::min(sums[i] >> 9, 127) + 128);
      }
    }
    std::vector<uint8_t> got(want.size() + 1, 0xEE);
    snd_mix(got.data(), n, is16);
    ASSERT_EQ(got.back(), 0xEE) << "round " << round << ": wrote past n samples";
    got.pop_back();
    ASSERT_EQ(got, want) << "round " << round << ", " << voices << " voices, n " << n;
    for (int v = 0; v < voices; ++v)
      ASSERT_TRUE(same_voice(mixer_voices[v], expected[v])) << "round " << round << ", voice " << v;
  }
}

}  // namespace
