// The music engine without an audio output: one reset recipe and one way to
// pull the sound.

#include "engine/offline.h"

#include <cstdlib>
#include <cstring>

int engine_open_offline(int mode, int ticks_per_second) {
  if (mode != kSound8Bit && mode != kSound16Bit) return 0;
  // The device's reset clears the slots' data and loops but not their
  // lengths; a fresh process has them all zero.
  std::memset(sample_slots, 0, sizeof sample_slots);
  pt_reset_channels();
  pacing.tick_remainder = 0;
  pacing.pending_byte = -1;
  sound.interpolate = 0;
  snd_set_tick_observer(nullptr);
  // pt_init builds the random waveform with std::rand: seeded as a process
  // starts, so that every load draws the same table.
  std::srand(1);
  snd_open_offline(mode);
  snd_pacing_init(ticks_per_second);
  return 1;
}

void engine_render(uint8_t* out, size_t frames) {
  const size_t width = sound.sound_mode == kSound16Bit ? 2 : 1;
  while (frames > 0) {
    const size_t count = frames < kDeviceFrames ? frames : kDeviceFrames;
    snd_audio_callback(nullptr, out, static_cast<int>(count * width));
    out += count * width;
    frames -= count;
  }
}
