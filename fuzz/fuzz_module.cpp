// Fuzz target: arbitrary bytes as the show's module file. The bytes go into
// the zero-filled module buffer exactly as the asset loader puts a file there,
// the offline mixing device takes the module, and the audio callback plays
// and mixes a few hundred ticks. Any read or write outside the buffer, a
// sample, a pattern or a table is an error under AddressSanitizer, and any
// undefined arithmetic under UndefinedBehaviorSanitizer.
//
// Byte 0 of the input (the first byte of the song title, which the loader
// never reads) picks the variant, so that seeds stay plain module files:
//   bit 0     sound mode 1 (8-bit, 22050 Hz) instead of 2 (16-bit, 44100 Hz)
//   bit 1     the interpolating mixer
//   bits 2-4  the length of the audio callback's buffers

#include <cstdint>
#include <cstring>

#include "assets/module_file.h"
#include "player/player.h"
#include "sound/sound.h"

namespace {

constexpr int kTicks = 200;
// Buffer lengths in sample frames: the show's 2048, and others that cut the
// ticks differently, including buffers shorter than one tick.
constexpr int kFrameChoices[8] = {2048, 2048, 882, 441, 1000, 4096, 100, 333};

int ticks_run = 0;
void count_tick() { ++ticks_run; }

uint8_t stream[4096 * 2];

// Puts back the state that the show starts with and that one load does not
// reset, so that every input plays the same way whatever ran before it.
void reset_engine() {
  std::memset(sample_slots, 0, sizeof sample_slots);
  pt_reset_channels();
  pacing.tick_remainder = 0;
  sound.interpolate = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t control = size > 0 ? data[0] : 0;
  const int mode = (control & 1) ? kSound8Bit : kSound16Bit;
  const int frames = kFrameChoices[(control >> 2) & 7];
  const int width = mode == kSound16Bit ? 2 : 1;

  reset_engine();
  std::memset(module_buffer, 0, kModuleBufferSize);
  std::memcpy(module_buffer, data, size < kModuleBufferSize ? size : kModuleBufferSize);

  snd_open_offline(mode);
  snd_pacing_init(50);
  if (!pt_load(module_buffer, kModuleBufferSize)) {
    // A rejected module leaves the player idle; its ticks must stay harmless.
    snd_audio_callback(nullptr, stream, 2048 * width);
    return 0;
  }
  sound.interpolate = (control & 2) ? 1 : 0;

  ticks_run = 0;
  snd_set_tick_observer(count_tick);
  while (ticks_run < kTicks) snd_audio_callback(nullptr, stream, frames * width);
  snd_set_tick_observer(nullptr);

  return 0;
}
