// The effect commands: what each cell's effect does on the start-of-row tick
// and on the running ticks of its row.

#include <algorithm>

#include "player/player.h"
#include "sound/sound.h"

namespace {

void tone_portamento(ChannelState& ch, bool glissando) {
  if (ch.period < ch.porta_target)
    ch.period = std::min(ch.period + ch.porta_speed, ch.porta_target);
  else if (ch.period > ch.porta_target)
    ch.period = std::max(ch.period - ch.porta_speed, ch.porta_target);
  if (!glissando || ch.glissando == 0) {
    sound_device.snd_set_period(ch.period);
    return;
  }
  // Snap to the nearest note at or below the current pitch; the stored
  // period itself keeps sliding smoothly.
  int entry = 84;
  while (entry > 0 && pt_period(ch.finetune, entry) < ch.period) --entry;
  sound_device.snd_set_period(pt_period(ch.finetune, entry));
}

void vibrato(ChannelState& ch) {
  int delta =
      WaveformTable[player.vibrato_waveform & 3][ch.vibrato_pos & 63] * ch.vibrato_depth / 127;
  // The sum is not limited; the device treats a period of 0 or less as no
  // movement, so the highest notes cannot run outside their sample.
  sound_device.snd_set_period(ch.period + delta);
  ch.vibrato_pos = (ch.vibrato_pos + ch.vibrato_speed) & 63;
}

void tremolo(ChannelState& ch) {
  int delta =
      WaveformTable[player.tremolo_waveform & 3][ch.tremolo_pos & 63] * ch.tremolo_depth / 127;
  ch.tremolo_pos = (ch.tremolo_pos + ch.tremolo_speed) & 63;
  sound_device.snd_set_volume(std::clamp(ch.volume + delta, 0, 64));
}

// x wins over y: A12 slides up by 1.
void volume_slide(ChannelState& ch, int xy) {
  int x = xy >> 4, y = xy & 15;
  ch.volume = std::clamp(x != 0 ? ch.volume + x : ch.volume - y, 0, 64);
  sound_device.snd_set_volume(ch.volume);
}

// Arpeggio past the top of the table plays the highest note.
void arpeggio(ChannelState& ch, int xy) {
  int k = 0;
  switch (player.tick % 3) {
    case 1: k = xy >> 4; break;
    case 2: k = xy & 15; break;
    default: break;
  }
  sound_device.snd_set_period(pt_period(ch.finetune, ch.note + k));
}

void restart(ChannelState& ch, int note) {
  ch.period = pt_period(ch.finetune, note);
  sound_device.snd_set_volume(ch.volume);
  sound_device.snd_set_period(ch.period);
  sound_device.snd_set_offset(0);
}

// The running tick on which ECx and EDx fire: x, or the row's last tick.
bool is_event_tick(int x) {
  uint32_t when =
      x < player.speed ? static_cast<uint32_t>(x) : static_cast<uint32_t>(player.speed - 1);
  return player.tick == when;
}

// A jump leaves the position at order × 100 + loop start - 1 for the rest
// of the row: order × 100 - 1 for a loop from row 0, order × 100 - 2 for a
// loop whose start a channel took on a row that an earlier channel's jump
// had sent to -1 (and so on down, one row for every channel chained that
// way).
void pattern_loop(ChannelState& ch, int x) {
  if (x == 0) {
    ch.loop_start_row = player.row;
  } else if (ch.loop_count == 0) {
    ch.loop_count = x;
    player.row = ch.loop_start_row - 1;
  } else if (--ch.loop_count > 0) {
    player.row = ch.loop_start_row - 1;
  }
}

void extended_start(ChannelState& ch, int sub, int x) {
  switch (sub) {
    case 0x1:  // fine portamento up: exactly one step, whatever x is
      if (ch.period > kMinPeriod) sound_device.snd_set_period(--ch.period);
      break;
    case 0x2:  // fine portamento down: exactly one step
      if (ch.period < kMaxPeriod) sound_device.snd_set_period(++ch.period);
      break;
    case 0x3: ch.glissando = x; break;
    case 0x4:
      player.vibrato_waveform = x & 3;
      if ((x & 12) == 0) ch.vibrato_pos = 0;
      break;
    case 0x5: ch.finetune = x; break;
    case 0x6: pattern_loop(ch, x); break;
    case 0x7:
      player.tremolo_waveform = x & 3;
      if ((x & 12) == 0) ch.tremolo_pos = 0;
      break;
    case 0x8:  // the channel's later sample starts take this panning too
      ch.pan_setting = x;
      sound_device.snd_set_panning(x * 16);
      break;
    case 0xA:  // fine volume up: exactly one step
      if (ch.volume <= 63) sound_device.snd_set_volume(++ch.volume);
      break;
    case 0xB:  // fine volume down: exactly one step
      if (ch.volume > 0) sound_device.snd_set_volume(--ch.volume);
      break;
    case 0xE: ch.pattern_delay = x; break;
    default: break;  // E0x, E9x, ECx, EDx, EFx: nothing on the first tick
  }
}

void extended_running(ChannelState& ch, const NoteCell& cell, int sub, int x) {
  const bool has_note = cell.note <= 83;
  switch (sub) {
    case 0x9:  // retrigger
      if (has_note && x != 0 && player.tick % static_cast<uint32_t>(x) == 0) restart(ch, cell.note);
      break;
    case 0xC:  // note cut: silences the voice, keeps the stored volume
      if (is_event_tick(x)) sound_device.snd_set_volume(0);
      break;
    case 0xD:  // note delay
      if (has_note && is_event_tick(x)) {
        ch.note = cell.note;
        restart(ch, cell.note);
      }
      break;
    default: break;
  }
}

}  // namespace

void pt_effect_start(int c, const NoteCell& cell) {
  ChannelState& ch = channels[c];
  const int xx = cell.param;
  switch (cell.effect) {
    case 0x0:
      if (xx != 0) sound_device.snd_set_period(pt_period(ch.finetune, ch.note));
      break;
    case 0x8:
      ch.panning = xx;
      sound_device.snd_set_panning(xx);
      break;
    case 0x9: sound_device.snd_set_offset(static_cast<uint32_t>(xx) * 256); break;
    case 0xB:  // the position shows (xx - 1) × 100 + 63 until the next row
      player.order = xx - 1;
      player.row = 63;
      break;
    case 0xC:  // stored and sent unchanged: volumes above 64 play louder
      ch.volume = xx;
      sound_device.snd_set_volume(xx);
      break;
    case 0xD: {
      // Decimal digits, y unchecked (D1F is row 25). A row past the end of a
      // pattern starts the next pattern at its first row instead.
      int row = 10 * (xx >> 4) + (xx & 15);
      player.break_row = row <= 63 ? row : 0;
      player.row = 63;  // the position shows order × 100 + 63 until the next row
      break;
    }
    case 0xE: extended_start(ch, xx >> 4, xx & 15); break;
    case 0xF:
      if (xx < 32) player.speed = xx;  // F00 freezes the song
      break;
    default: break;
  }
}

void pt_effect_running(int c, const NoteCell& cell) {
  ChannelState& ch = channels[c];
  const int xx = cell.param;
  switch (cell.effect) {
    case 0x0:
      if (xx != 0) arpeggio(ch, xx);
      break;
    case 0x1:
      ch.period = std::max(ch.period - xx, kMinPeriod);
      sound_device.snd_set_period(ch.period);
      break;
    case 0x2:
      ch.period = std::min(ch.period + xx, kMaxPeriod);
      sound_device.snd_set_period(ch.period);
      break;
    case 0x3:
      if (xx != 0) ch.porta_speed = xx;
      tone_portamento(ch, true);
      break;
    case 0x4:
      if ((xx & 15) != 0) ch.vibrato_depth = xx & 15;
      if ((xx >> 4) != 0) ch.vibrato_speed = xx >> 4;
      vibrato(ch);
      break;
    case 0x5:
      tone_portamento(ch, false);  // never snaps to notes: only 3xx honours glissando
      volume_slide(ch, xx);
      break;
    case 0x6:
      vibrato(ch);
      volume_slide(ch, xx);
      break;
    case 0x7:
      if ((xx & 15) != 0) ch.tremolo_depth = 2 * (xx & 15);
      if ((xx >> 4) != 0) ch.tremolo_speed = xx >> 4;
      tremolo(ch);
      break;
    case 0xA: volume_slide(ch, xx); break;
    case 0xE: extended_running(ch, cell, xx >> 4, xx & 15); break;
    default: break;
  }
}
