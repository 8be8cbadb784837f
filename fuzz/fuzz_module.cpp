// Fuzz target: arbitrary bytes as the show's module file. The bytes go into
// the zero-filled module buffer exactly as the asset loader puts a file there,
// the offline mixing device takes the module, and the audio callback plays
// and mixes 200 ticks. Any read or write outside the buffer, a sample, a
// pattern or a table is an error under AddressSanitizer, and any undefined
// arithmetic under UndefinedBehaviorSanitizer.
//
// Byte 0 of the input (the first byte of the song title, which the loader
// never reads) picks the variant, so that seeds stay plain module files:
//   bit 0     sound mode 1 (8-bit, 22050 Hz) instead of 2 (16-bit, 44100 Hz)
//   bit 1     the interpolating mixer
//   bits 2-4  the length of the audio callback's buffers
//   bits 5-7  all set: the show's 50 ticks per second (882 or 441 samples
//             a tick); otherwise 1000 (44 or 22 samples a tick)
//
// Why the short ticks lose nothing: the player's work per tick does not
// depend on the tick's length, and the mixer's rules (stretches without a
// loop end or the sample's end in them, the blocks of 16 samples, the wrap
// at a loop end, the parking at a sample's end, interpolation, clipping)
// are decided per sample, so a tick of 44 samples takes every branch a tick
// of 882 does at a twentieth of the cost. What a short tick no longer does
// is run far into a long sample within 200 ticks (8,800 samples, about
// 6,200 bytes at period 113); shorter samples, and the sample offset
// command, which puts a voice anywhere up to 65,280 bytes in, still reach
// every end. One input in eight keeps the show's own tick length, which is
// also the length at which one tick fills the mixer's buffer exactly.

#include <cstdint>
#include <cstring>

#include "assets/module_file.h"
#include "engine/offline.h"

namespace {

constexpr int kTicks = 200;
constexpr int kFuzzTicksPerSecond = 1000;
// Buffer lengths in sample frames: the show's 2048, and others that cut the
// ticks differently, including buffers shorter than one tick at either rate.
constexpr int kFrameChoices[8] = {2048, 2048, 882, 441, 1000, 87, 100, 33};

int ticks_run = 0;
void count_tick() { ++ticks_run; }

uint8_t stream[2048 * 2];

// The bytes of module_buffer that the last input may have left non-zero:
// its own bytes and the patterns the loader unpacked in place, which may
// reach past them into the zeros. Clearing only those keeps the buffer all
// zero after the input without clearing 300,000 bytes every time.
size_t dirty = kModuleBufferSize;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t control = size > 0 ? data[0] : 0;
  const int mode = (control & 1) ? kSound8Bit : kSound16Bit;
  const int frames = kFrameChoices[(control >> 2) & 7];
  const int width = mode == kSound16Bit ? 2 : 1;
  const int ticks_per_second = (control >> 5) == 7 ? kShowTicksPerSecond : kFuzzTicksPerSecond;

  std::memset(module_buffer, 0, dirty);
  const size_t copied = size < kModuleBufferSize ? size : kModuleBufferSize;
  std::memcpy(module_buffer, data, copied);

  // Every input plays the same way whatever ran before it.
  engine_open_offline(mode, ticks_per_second);
  const int loaded = pt_load(module_buffer, kModuleBufferSize);
  dirty = copied;
  if (loaded) {
    const size_t patterns_end =
        kPatternDataOffset + size_t{song.channel_count} * 256 * (song.highest_pattern + 1u);
    if (patterns_end > dirty) dirty = patterns_end;
  }
  if (!loaded) {
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
