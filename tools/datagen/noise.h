// The one source of noise of the generated data and the tests: a 32-bit
// linear congruential generator (multiplier 1664525, increment 1013904223),
// fixed so that the same seed gives the same bytes on every build.
#pragma once

#include <cstdint>

struct Noise {
  uint32_t state;
  // The next state, all 32 bits.
  uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state;
  }
  // The next state's top byte as a signed sample, -128..127.
  int8_t next_byte() { return static_cast<int8_t>(next() >> 24); }
  // The next state's top 24 bits as a number from -1 up to (not including) 1.
  double next_unit() { return static_cast<double>(next() >> 8) / 8388608.0 - 1.0; }
};
