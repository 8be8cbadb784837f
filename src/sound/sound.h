// Sound output: the device choice, the two sound devices and their shared
// voice operations, the software voice mixer and the pacing of player ticks.
//
// The module player drives up to 32 voices only through the operations in
// `sound_device`. The voice operations write the player voices; the mixer
// copies them into its own voices at every mix call and is the only code that
// advances a voice's position. All of this runs on one thread once the pacing
// has started (the SDL audio thread, or the SDL timer thread without sound).
#pragma once

#include <cstdint>

constexpr int kVoiceCount = 32;
constexpr int kSampleSlotCount = 32;
// The largest stretch the pacing mixes in one call: one tick at 44100 Hz.
constexpr int kMixBufferLength = 882;
// The Amiga's sound clock in Hz: a voice at period p plays this / p sample
// bytes per second.
constexpr int kAmigaClock = 3546836;

// Sound modes, as chosen at the device prompt.
constexpr int kSoundNone = 0;   // silent device, timer pacing
constexpr int kSound8Bit = 1;   // unsigned 8-bit mono at 22050 Hz
constexpr int kSound16Bit = 2;  // signed 16-bit little-endian mono at 44100 Hz

// One module sample as the loader defines it. The bytes are signed 8-bit PCM
// inside the module image, which the slot does not own.
struct SampleSlot {
  const int8_t* data;
  uint32_t length;
  uint32_t loop_start;
  uint32_t loop_end;  // the last index a looping voice still plays
  int looped;
};

// One playing sample. Position and step are 32.32 fixed point: the integer
// word indexes the sample bytes, the fraction word counts 2^-32 bytes.
struct Voice {
  const int8_t* data;
  int sample;
  int volume;  // 0..255; 64 is full volume, more plays louder
  uint32_t position_fraction;
  uint32_t position;
  uint32_t step_fraction;
  uint32_t step;
  uint32_t loop_start;
  uint32_t loop_end;
  int looped;
  uint32_t length;
  int panning;       // stored only: the mixer is mono
  int new_period;    // the mixer must take over the step
  int new_position;  // the mixer must take over the position
};

// The table of operations through which the loader and the player reach the
// sound device. Both devices share the voice operations and differ only in
// snd_close, snd_start and snd_reset.
struct SoundDevice {
  void (*snd_set_voice_count)(int n);
  void (*snd_set_master_volume)(int v);
  void (*snd_set_offset)(uint32_t offset);
  void (*snd_set_panning)(int pan);
  void (*snd_set_volume)(int v);
  void (*snd_set_period)(int period);
  void (*snd_set_sample)(int slot);
  void (*snd_select_voice)(int n);
  int (*snd_define_sample)(int slot, const int8_t* data, uint32_t length, uint32_t loop_start,
                           uint32_t loop_end, int looped);
  void (*snd_close)();
  void (*snd_start)();
  void (*snd_reset)();
};

// Device-wide state, one instance, in static storage.
struct SoundState {
  int sound_mode = kSoundNone;
  int mixing_rate = 44100;  // Hz, written when the SDL output is opened
  int step_rate = 44100;    // Hz, the rate snd_set_period computes steps for
  int voice_count = 4;
  int master_volume = 63;
  int interpolate = 0;  // 1 selects the interpolating mixer; the show never sets it
  Voice* current_voice = nullptr;
  const char* device_name = "";
  const char* error_text = "";
};

extern SoundState sound;
// Always holds a complete table: until a device is chosen it is the silent
// device's, so no operation is ever called through an empty slot.
extern SoundDevice sound_device;
extern Voice player_voices[kVoiceCount];
extern Voice mixer_voices[kVoiceCount];
extern SampleSlot sample_slots[kSampleSlotCount];

// --- Device choice and devices -------------------------------------------

// Prints the four-line device menu on standard output, reads one word from
// standard input and installs the chosen device, then resets it, sets master
// volume 64 and starts it. Returns 1 when the chosen device was installed.
// An unknown answer, no answer at all, or an SDL output that cannot be opened
// returns 0 and installs the silent device in sound mode 0 instead, so the
// player is always driven and never calls an empty table.
int snd_choose_device();
// Opens the SDL audio output (paused) at rate Hz and installs the mixing
// device. Returns 1 on success, 0 when SDL refuses (error_text is set).
int snd_open_sdl(int rate);
// Installs the silent device. Always returns 1.
int snd_open_silent();
// Installs the mixing device for sound mode 1 or 2 without opening any
// output, as the device choice would (reset, master volume 64, start): the
// caller pulls the sound through snd_audio_callback. For offline rendering.
// Returns 0 for any other mode.
int snd_open_offline(int mode);

// --- Shared voice operations (installed into sound_device) ---------------

// Sets how many voices the mixer plays, from voice 0 up (at most 32 count).
void snd_set_voice_count(int n);
void snd_set_master_volume(int v);  // stores min(v, 252)
// Ignored at or past the sample's end; an offset past the loop end also drops
// the loop, even when the position is ignored.
void snd_set_offset(uint32_t offset);
// Stores the selected voice's panning; the mono mixer does not use it.
void snd_set_panning(int pan);
// Sets the selected voice's volume, 0..64 from the player (stored as given).
void snd_set_volume(int v);
void snd_set_period(int period);  // Amiga period; 0 or less stops the voice moving
void snd_set_sample(int slot);    // takes the slot's data and bounds, keeps the position
// Selects the voice the following operations act on; n outside 0..31 is
// taken as the nearest of them.
void snd_select_voice(int n);
// Defines sample slot 0..31 (loop_end is the last index a looping voice
// plays); the data stay the caller's. Returns 1, also for a slot outside
// 0..31, which it leaves alone: the loader never asks for one.
int snd_define_sample(int slot, const int8_t* data, uint32_t length, uint32_t loop_start,
                      uint32_t loop_end, int looped);

// --- Mixer ----------------------------------------------------------------

// Refreshes the mixer voices from the player voices, mixes n samples of all
// audible voices and writes them to out: n unsigned bytes (is16 == 0) or n
// little-endian signed 16-bit values, clipped. n may be 0.
void snd_mix(uint8_t* out, int n, int is16);
// Adds the voice's next n samples times a into buffer and advances the voice.
void snd_mix_voice(Voice& voice, int32_t* buffer, int n, int a);
// The same with linear interpolation between neighbouring bytes.
void snd_mix_voice_interp(Voice& voice, int32_t* buffer, int n, int a);
// The factor a voice of this volume is mixed with at this master volume.
int snd_mix_volume(int volume, int master_volume);

// --- Pacing ---------------------------------------------------------------

struct PacingState {
  int ticks_per_second = 0;
  int tick_period = 0;     // milliseconds
  int tick_remainder = 0;  // samples of the last started tick still to mix
  int pending_byte = -1;   // high byte of a 16-bit sample cut by the last call; -1: none
};
extern PacingState pacing;

// Sets the tick rate without starting anything: for callers that pull the
// sound through snd_audio_callback themselves.
void snd_pacing_init(int ticks_per_second);
// Starts the player ticks: unpauses the SDL audio output, or without sound
// starts a timer that ticks every 1000 / ticks_per_second milliseconds.
void snd_pacing_start(int ticks_per_second);
// The SDL audio callback: runs one player tick per 882 samples (441 at
// 22050 Hz) and mixes each tick's samples right after it, carrying a partly
// mixed tick over to the next call. Any len works; the bytes produced do not
// depend on how the stream is cut into calls.
void snd_audio_callback(void* userdata, uint8_t* stream, int len);
// The SDL timer callback of sound mode 0: one player tick; returns interval.
uint32_t snd_timer_tick(uint32_t interval, void* param);
// Samples per tick in the current sound mode (0 in sound mode 0).
int snd_samples_per_tick();
// Optional observer called right after every player tick the pacing runs
// (null in the show). Used by the offline renderer to log the song position.
void snd_set_tick_observer(void (*observer)());
