// The module player: the loader that takes a 31-sample module in place, the
// replayer that advances it one tick at a time, and the song position that the
// show is keyed on. The player reaches the sound output only through
// `sound_device`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "player/period_table.h"

constexpr int kMaxChannels = 32;
constexpr int kMaxPatterns = 128;
constexpr int kOrderTableLength = 128;
constexpr int kRowsPerPattern = 64;
constexpr int kNoNote = 84;
constexpr int kMinPeriod = 27;
constexpr int kMaxPeriod = 3628;
constexpr uint32_t kFormatTagOffset = 1080;
constexpr uint32_t kPatternDataOffset = 1084;
// Bytes the mixer may read from a sample's length or loop end on: a loop
// plays its end byte and the interpolating mixer reads the one after it; a
// finished one-shot voice of the interpolating mixer rests at its length and
// reads that byte and the next. The loader keeps every sample and loop this
// far from the end of the image; a host whose image is followed by this many
// zero bytes counts them in, so that a sample ending the file keeps its end.
constexpr uint32_t kSampleGuardBytes = 2;

// A pattern cell after unpacking; written over the raw cell, in its 4 bytes.
struct NoteCell {
  uint8_t sample;  // 0: none given
  uint8_t note;    // 0..83 into the PeriodTable, 84 for no note
  uint8_t effect;  // 0..15
  uint8_t param;
};
static_assert(sizeof(NoteCell) == 4);

struct SampleInfo {
  uint32_t length;         // bytes
  uint32_t finetune;       // PeriodTable row 0..15
  uint32_t volume;         // 0..64
  uint32_t repeat_start;   // bytes
  uint32_t repeat_length;  // bytes
};

struct Song {
  uint32_t channel_count;  // 0: no module loaded
  uint8_t song_length;
  uint32_t restart_position;
  uint8_t order_table[kOrderTableLength];
  uint8_t highest_pattern;
  NoteCell* patterns[kMaxPatterns];
  SampleInfo samples[32];  // index 1..31
  const char* error_text;
};

struct PlayerState {
  int32_t speed;
  uint32_t tick;
  int32_t row;
  int32_t order;
  int32_t break_row;
  const NoteCell* row_cells;
  int vibrato_waveform;
  int tremolo_waveform;
};

struct ChannelState {
  int32_t sample, note, finetune, period, volume, panning, pan_setting;
  int32_t porta_target, porta_speed, glissando;
  int32_t vibrato_pos, vibrato_depth, vibrato_speed;
  int32_t tremolo_pos, tremolo_depth, tremolo_speed;
  int32_t loop_start_row, loop_count, pattern_delay;
};

extern Song song;
extern PlayerState player;
extern std::array<ChannelState, kMaxChannels> channels;
// Sine, ramp down, square (three levels) and random, 64 entries each.
extern int16_t WaveformTable[4][64];

// Takes the module image: reads the headers, unpacks the patterns in place,
// defines the samples on the sound device and sets its voice count. size is
// the number of readable bytes at image (the show: its whole zero-filled
// buffer; drmorvel-modrender: the bytes of the file and the guard bytes
// after them), which bounds every pattern and sample. Returns 1 when the module is accepted, 0
// when its format tag is unknown or its patterns do not fit (error_text says
// which).
int pt_takemod(uint8_t* image, size_t size);
// Sets the song position to order 0, row 0 and takes the module; on success
// resets the player with pt_init. Returns pt_takemod's result.
int pt_load(uint8_t* image, size_t size);
// Resets the player: the next pt_play reads the first row of the song.
// Each channel keeps its pan setting and glissando switch.
void pt_init();
// Puts every channel back as the process starts: pan settings 7, 9, 9, 7
// repeated over the channels, everything else zero. For hosts that play one
// module after another and want each to start alike.
void pt_reset_channels();
// One player tick. Called only by the pacing, 50 times per second of output.
void pt_play();
// The song position, order × 100 + row, published as one value at the end
// of every tick, so a reader never sees a pair from the middle of one. Safe
// to call from any thread. It is 0 before any module is loaded (and for good
// when one was refused), order × 100 + row in steady play, and for the rest
// of a row whose commands move the position (Bxx, Dxy, E6x), and after
// pt_init until the first tick, a transient that can be negative; each is
// listed where the replayer makes it. Readers compare it as an unsigned
// number: every negative value then lies above every steady one.
int32_t pt_position();

// Start-of-row and running-tick parts of a channel's effect command.
void pt_effect_start(int c, const NoteCell& cell);
void pt_effect_running(int c, const NoteCell& cell);
