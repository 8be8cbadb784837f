// The device choice, the SDL audio device, the silent device and the voice
// operations they share.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sound/sound.h"

SoundState sound;
Voice player_voices[kVoiceCount];
Voice mixer_voices[kVoiceCount];
SampleSlot sample_slots[kSampleSlotCount];

namespace {

constexpr char kSdlName[] = "SDL audio";
constexpr char kSilentName[] = "Super Quenlo NoSound Device 2.0c";
constexpr char kSdlError[] = "SDL audio error";

void do_nothing() {}

void sdl_close() { SDL_CloseAudio(); }

void reset_voice(Voice& v) {
  v = Voice{};
  v.panning = 127;
  v.new_period = 1;
  v.new_position = 1;
}

void sdl_reset() {
  sound.step_rate = sound.mixing_rate;
  for (int i = 0; i < kVoiceCount; ++i) {
    reset_voice(player_voices[i]);
    reset_voice(mixer_voices[i]);
  }
  for (SampleSlot& slot : sample_slots) {
    slot.data = nullptr;
    slot.loop_start = slot.loop_end = 0;
    slot.looped = 0;
  }
}

constexpr SoundDevice voice_operations(void (*close)(), void (*start)(), void (*reset)()) {
  return SoundDevice{snd_set_voice_count,
                     snd_set_master_volume,
                     snd_set_offset,
                     snd_set_panning,
                     snd_set_volume,
                     snd_set_period,
                     snd_set_sample,
                     snd_select_voice,
                     snd_define_sample,
                     close,
                     start,
                     reset};
}

constexpr SoundDevice kSilentDevice = voice_operations(do_nothing, do_nothing, do_nothing);
constexpr SoundDevice kMixingDevice = voice_operations(sdl_close, do_nothing, sdl_reset);

void finish_choice() {
  sound_device.snd_reset();
  sound_device.snd_set_master_volume(64);
  sound_device.snd_start();
}

}  // namespace

SoundDevice sound_device = kSilentDevice;

int snd_open_sdl(int rate) {
  sound.mixing_rate = rate;
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = rate < 44100 ? AUDIO_U8 : AUDIO_S16LSB;
  want.channels = 1;
  want.samples = 2048;
  want.callback = snd_audio_callback;
  want.userdata = nullptr;
  // No obtained spec: SDL converts to exactly this format.
  if (SDL_OpenAudio(&want, nullptr) < 0) {
    sound.error_text = kSdlError;
    return 0;
  }
  sound_device = kMixingDevice;
  sound.device_name = kSdlName;
  return 1;
}

int snd_open_silent() {
  sound_device = kSilentDevice;
  sound.device_name = kSilentName;
  return 1;
}

int snd_open_offline(int mode) {
  if (mode != kSound8Bit && mode != kSound16Bit) return 0;
  sound.sound_mode = mode;
  sound.mixing_rate = mode == kSound8Bit ? 22050 : 44100;
  sound_device = kMixingDevice;
  sound_device.snd_close = do_nothing;  // nothing was opened
  sound.device_name = kSdlName;
  finish_choice();
  return 1;
}

int snd_choose_device() {
  std::puts("Select your sound device:");
  std::puts("0 - None");
  std::puts("1 - 8-bit 22kHz");
  std::puts("2 - 16-bit 44kHz");
  std::fflush(stdout);

  char answer[100] = {};
  int opened = 0;
  if (std::scanf("%99s", answer) == 1) {
    switch (answer[0]) {
      case '1':
        sound.sound_mode = kSound8Bit;
        opened = snd_open_sdl(22050);
        break;
      case '2':
        sound.sound_mode = kSound16Bit;
        opened = snd_open_sdl(44100);
        break;
      case '0':
        sound.sound_mode = kSoundNone;
        opened = snd_open_silent();
        break;
      default: break;
    }
  }
  if (opened) {
    finish_choice();
    return 1;
  }
  // No usable answer or no audio output: play on silently, paced by the
  // timer, rather than leave the player without a device.
  sound.sound_mode = kSoundNone;
  snd_open_silent();
  finish_choice();
  return 0;
}

void snd_set_voice_count(int n) { sound.voice_count = n; }

void snd_set_master_volume(int v) { sound.master_volume = v > 252 ? 252 : v; }

void snd_select_voice(int n) {
  // Voice numbers come from the channel loop (0..31); anything else is kept
  // inside the table.
  sound.current_voice = &player_voices[std::clamp(n, 0, kVoiceCount - 1)];
}

static Voice& current() { return sound.current_voice ? *sound.current_voice : player_voices[0]; }

void snd_set_panning(int pan) { current().panning = pan; }

void snd_set_volume(int v) { current().volume = v; }

void snd_set_period(int period) {
  Voice& v = current();
  if (period <= 0) {
    v.step = 0;
    v.step_fraction = 0;
  } else {
    const int rate = sound.step_rate > 0 ? sound.step_rate : 44100;
    v.step = static_cast<uint32_t>(kAmigaClock / period / rate);
    double whole = 0.0;
    const double x = static_cast<double>(kAmigaClock) / (static_cast<double>(period) * rate);
    const double fraction = std::modf(x, &whole);
    // 24 significant bits, shifted into the top of the fraction word.
    v.step_fraction = static_cast<uint32_t>(fraction * 16777216.0) << 8;
  }
  v.new_period = 1;
}

void snd_set_offset(uint32_t offset) {
  Voice& v = current();
  if (offset > v.loop_end) v.looped = 0;  // past the loop: the voice plays to its end once
  if (offset < v.length) {
    v.position = offset;
    v.position_fraction = 0;
    v.new_position = 1;
  }
}

void snd_set_sample(int slot) {
  if (slot < 0 || slot >= kSampleSlotCount) return;
  Voice& v = current();
  const SampleSlot& s = sample_slots[slot];
  v.sample = slot;
  v.data = s.data;
  v.length = s.length;
  v.loop_start = s.loop_start;
  v.loop_end = s.loop_end;
  v.looped = s.looped;
}

int snd_define_sample(int slot, const int8_t* data, uint32_t length, uint32_t loop_start,
                      uint32_t loop_end, int looped) {
  if (slot < 0 || slot >= kSampleSlotCount) return 1;
  sample_slots[slot] = SampleSlot{data, length, loop_start, loop_end, looped};
  return 1;
}
