// The replayer: tick machinery, note triggering and the song position.

#include <atomic>
#include <cstdlib>

#include "player/player.h"
#include "sound/sound.h"

PlayerState player;

namespace {
// Channel pan settings start at 7, 9, 9, 7, repeated over all channels; the
// rest of the channel state starts at zero.
constexpr std::array<ChannelState, kMaxChannels> initial_channels() {
  std::array<ChannelState, kMaxChannels> all{};
  constexpr int32_t kPattern[4] = {7, 9, 9, 7};
  for (int c = 0; c < kMaxChannels; ++c) all[c].pan_setting = kPattern[c % 4];
  return all;
}
}  // namespace

std::array<ChannelState, kMaxChannels> channels = initial_channels();

void pt_reset_channels() { channels = initial_channels(); }

// Sine and square are fixed; ramp and random are built by pt_init.
int16_t WaveformTable[4][64] = {
    {0,    24,   49,   74,   97,   120,  141,  161,  180,  197,  212,  224,  235,  244,  250,  253,
     255,  253,  250,  244,  235,  224,  212,  197,  180,  161,  141,  120,  97,   74,   49,   24,
     0,    -24,  -49,  -74,  -97,  -120, -141, -161, -180, -197, -212, -224, -235, -244, -250, -253,
     -255, -253, -250, -244, -235, -224, -212, -197, -180, -161, -141, -120, -97,  -74,  -49,  -24},
    {},
    // Three levels in quarters, in phase with the sine: zero, high, zero, low.
    {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
     0,    0,    0,    255,  255,  255,  255,  255,  255,  255,  255,  255,  255,
     255,  255,  255,  255,  255,  255,  0,    0,    0,    0,    0,    0,    0,
     0,    0,    0,    0,    0,    0,    0,    0,    0,    -256, -256, -256, -256,
     -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256},
    {},
};

namespace {

// order × 100 + row as one value, so a reader on another thread never sees
// a torn value or a row of one order paired with another order. Besides the
// steady positions (row 0..63 of one of the song's orders, or of any of the
// 128 after a position jump and a pattern loop on the same row, which no
// pattern change checks) it shows the transients that pt_init and the
// position commands leave until the next row starts:
//   -37 after pt_init until the first tick (order -1, row 63);
//   (xx - 1) × 100 + 63 after Bxx: from -37 (B00) to 25463 (BFF);
//   order × 100 + 63 after Dxy;
//   order × 100 + loop start - 1 after an E6x jump (see pattern_loop);
//   with Bxx before E6x on the same row, the order of the jump: -101 for
//   B00 with E61 on a loop from row 0.
std::atomic<int32_t> published_position{0};

void publish_position() {
  published_position.store(player.order * 100 + player.row, std::memory_order_release);
}

const NoteCell* pattern_row(int32_t order, int32_t row) {
  const NoteCell* pattern = song.patterns[song.order_table[order]];
  return pattern + row * static_cast<int32_t>(song.channel_count);
}

// Moves to the next row, or holds the row while a pattern delay runs.
// Returns false when the tick is one of a delay's idle ticks.
bool next_row() {
  player.tick = 0;
  bool delayed = false;
  for (uint32_t c = 0; c < song.channel_count; ++c) {
    if (channels[c].pattern_delay > 0) {
      --channels[c].pattern_delay;
      delayed = true;
    }
  }
  if (delayed) return false;

  ++player.row;
  // A pattern loop aims one row before its start. When a channel takes its
  // start from a row that an earlier channel's loop has already sent back
  // to -1, its own loop aims at -2, and the row would land before the
  // pattern: such a row starts the pattern at its first row instead.
  if (player.row < 0) player.row = 0;
  if (player.row > 63) {
    player.row = player.break_row;
    player.break_row = 0;
    ++player.order;
    // The song's end is looked for only here, at the pattern change.
    if (player.order >= song.song_length) player.order = song.restart_position;
  }
  // A position jump followed by a pattern loop on the same row moves to
  // another order without a pattern change: that order is played as it
  // stands, even past the song's length, unless it lies outside the order
  // table (B00 aims at order -1, Bxx at up to 254).
  if (player.order < 0 || player.order >= kOrderTableLength) player.order = song.restart_position;
  player.row_cells = pattern_row(player.order, player.row);
  return true;
}

void start_of_row(int c, const NoteCell& cell) {
  ChannelState& ch = channels[c];
  // Sample numbers above 31 name no sample header; they count as none.
  const int s = cell.sample <= 31 ? cell.sample : 0;
  if (s != 0) {
    ch.sample = s;
    ch.volume = static_cast<int32_t>(song.samples[s].volume);
    ch.panning = ch.pan_setting * 16;
    // Cxx and 8xx send their own volume or panning on this row: the default is not sent first.
    if (cell.effect == 0xC) {
      sound_device.snd_set_panning(ch.panning);
    } else if (cell.effect == 0x8) {
      sound_device.snd_set_volume(ch.volume);
    } else {
      sound_device.snd_set_volume(ch.volume);
      sound_device.snd_set_panning(ch.panning);
    }
    sound_device.snd_set_sample(s);
  }
  if (cell.note <= 83) {
    ch.finetune = static_cast<int32_t>(song.samples[ch.sample].finetune);
    ch.porta_target = pt_period(ch.finetune, cell.note);
    if (cell.effect == 0x3 || cell.effect == 0x5) {
      // Tone portamento: the note only sets the target.
    } else if (cell.effect == 0xE && (cell.param >> 4) == 0xD) {
      return;  // note delay: the running ticks start it
    } else {
      ch.period = ch.porta_target;
      sound_device.snd_set_period(ch.period);
      if (cell.effect != 0x9) sound_device.snd_set_offset(0);
      ch.note = cell.note;
    }
  }
  pt_effect_start(c, cell);
}

}  // namespace

int pt_load(uint8_t* image, size_t size) {
  player.order = 0;
  player.row = 0;
  publish_position();
  if (!pt_takemod(image, size)) return 0;
  pt_init();
  return 1;
}

void pt_init() {
  player.order = -1;  // with row 63 below: position -37 until the first tick
  player.break_row = 0;
  for (ChannelState& ch : channels) {
    ch.porta_target = ch.porta_speed = 0;
    ch.sample = ch.volume = ch.note = ch.period = ch.finetune = 0;
    ch.tremolo_pos = ch.tremolo_depth = ch.tremolo_speed = 0;
    ch.vibrato_pos = ch.vibrato_depth = ch.vibrato_speed = 0;
    ch.loop_start_row = ch.loop_count = ch.pattern_delay = 0;
  }
  player.speed = 6;
  player.tick = 5;  // one below the speed: the first tick reads the first row
  player.row = 63;
  player.vibrato_waveform = 0;
  player.tremolo_waveform = 0;
  for (int i = 0; i < 64; ++i) {
    WaveformTable[3][i] = static_cast<int16_t>(std::rand() % 511 - 256);
    WaveformTable[1][i] = static_cast<int16_t>(255 - 8 * i);
  }
  publish_position();
}

void pt_play() {
  if (song.channel_count == 0) return;
  if (player.speed != 0) {
    ++player.tick;
    if (player.tick >= static_cast<uint32_t>(player.speed) && !next_row()) {
      publish_position();
      return;
    }
  }
  if (player.row_cells == nullptr) return;
  const NoteCell* cells = player.row_cells;
  for (uint32_t c = 0; c < song.channel_count; ++c) {
    sound_device.snd_select_voice(static_cast<int>(c));
    if (player.tick == 0)
      start_of_row(static_cast<int>(c), cells[c]);
    else
      pt_effect_running(static_cast<int>(c), cells[c]);
  }
  publish_position();
}

int32_t pt_position() { return published_position.load(std::memory_order_acquire); }
