// Audio pacing: who calls pt_play, and when. With sound the audio stream is
// the clock (one tick per 882 samples at 44100 Hz, 441 at 22050 Hz); without
// it a 20 ms timer ticks the player.

#include <SDL.h>

#include "player/player.h"
#include "sound/sound.h"

PacingState pacing;

namespace {
void (*tick_observer)() = nullptr;

void player_tick() {
  pt_play();
  if (tick_observer) tick_observer();
}
}  // namespace

void snd_set_tick_observer(void (*observer)()) { tick_observer = observer; }

int snd_samples_per_tick() {
  if (pacing.ticks_per_second <= 0) return 0;
  switch (sound.sound_mode) {
    case kSound8Bit: return 22050 / pacing.ticks_per_second;
    case kSound16Bit: return 44100 / pacing.ticks_per_second;
    default: return 0;
  }
}

void snd_pacing_init(int ticks_per_second) {
  pacing.ticks_per_second = ticks_per_second;
  pacing.tick_period = ticks_per_second > 0 ? 1000 / ticks_per_second : 0;
}

void snd_pacing_start(int ticks_per_second) {
  snd_pacing_init(ticks_per_second);
  if (sound.sound_mode != kSoundNone) {
    SDL_PauseAudio(0);
  } else {
    SDL_Init(SDL_INIT_TIMER);
    SDL_AddTimer(static_cast<Uint32>(pacing.tick_period), snd_timer_tick, nullptr);
  }
}

uint32_t snd_timer_tick(uint32_t interval, void*) {
  if (sound.sound_mode == kSoundNone) player_tick();
  return interval;
}

namespace {

// Fills n samples of the stream: first the rest of the tick the previous
// call started, then one tick per spt samples, each mixed right after it.
void fill(uint8_t* stream, int n, int is16, int spt) {
  const int width = is16 ? 2 : 1;
  int done = 0;
  // Finish the tick the previous call started. A stream shorter than that
  // remainder takes only part of it and leaves the rest for the next call.
  if (pacing.tick_remainder > 0) {
    const int m = pacing.tick_remainder < n ? pacing.tick_remainder : n;
    snd_mix(stream, m, is16);
    done = m;
    pacing.tick_remainder -= m;
    if (pacing.tick_remainder > 0) return;
  }
  while (done + spt <= n) {
    player_tick();
    snd_mix(stream + done * width, spt, is16);
    done += spt;
  }
  // Start one more tick and mix what fits of it (possibly nothing).
  player_tick();
  snd_mix(stream + done * width, n - done, is16);
  pacing.tick_remainder = spt - (n - done);
}

}  // namespace

void snd_audio_callback(void*, uint8_t* stream, int len) {
  const int is16 = sound.sound_mode == kSound16Bit;
  if (sound.sound_mode != kSound8Bit && !is16) return;
  const int spt = snd_samples_per_tick();
  if (spt <= 0 || len <= 0) return;
  if (!is16) {
    fill(stream, len, 0, spt);
    return;
  }
  // SDL asks for whole samples, but a caller cutting the stream at odd
  // bytes gets the same bytes: a sample split between two calls is mixed
  // once, and its high byte waits for the next call.
  if (pacing.pending_byte >= 0) {
    *stream++ = static_cast<uint8_t>(pacing.pending_byte);
    pacing.pending_byte = -1;
    if (--len == 0) return;
  }
  if (len >= 2) fill(stream, len / 2, 1, spt);
  if (len % 2 != 0) {
    uint8_t split[2];
    fill(split, 1, 1, spt);
    stream[len - 1] = split[0];
    pacing.pending_byte = split[1];
  }
}
