// The effect commands, tick by tick on channel 0 at speed 6: what the device
// receives on each of a row's six ticks, separated by " | ".

#include <cstdlib>

#include "recording_device.h"

namespace {

class EffectTest : public PlayerTest {
 protected:
  // Channel 0 plays the given cells, one per row from row 0, with sample 1
  // (volume sample_volume), sample 2 (finetune -8) and sample 3 (finetune +3).
  void play(std::initializer_list<ModuleBuilder::Cell> rows, uint8_t sample_volume = 64) {
    ModuleBuilder m("2CHN", 2);
    m.sample(1, std::vector<int8_t>(2048, 10), sample_volume);
    m.sample(2, std::vector<int8_t>(64, 20), 64, 8);
    m.sample(3, std::vector<int8_t>(64, 30), 64, 3);
    int r = 0;
    for (ModuleBuilder::Cell c : rows) m.cell(0, r++, 0, c.sample, c.period, c.effect, c.param);
    ASSERT_EQ(load(m), 1);
  }
  // The next row's six ticks on channel 0.
  std::string row() { return ticks(6, 0); }
};

// A cell of channel 0: sample, note index (84 for none), effect, parameter.
ModuleBuilder::Cell cell(int sample, int note, int effect = 0, int param = 0) {
  return ModuleBuilder::Cell{0, 0, 0, sample, note < 84 ? note_period(note) : 0, effect, param};
}

constexpr int kNone = 84;
const std::string kStart = "volume 64, panning 112, sample 1, period 428, offset 0";

TEST_F(EffectTest, Arpeggio) {
  play({cell(1, 36, 0x0, 0x37), cell(0, 80, 0x0, 0xFF), cell(0, kNone, 0x0, 0x00)});
  EXPECT_EQ(
      row(),
      kStart + ", period 428 | period 360 | period 285 | period 428 | period 360 | period 285");
  // Past the top of the table the highest note plays; the period stays.
  EXPECT_EQ(
      row(),
      "period 33, offset 0, period 33 | period 28 | period 28 | period 33 | period 28 | period 28");
  EXPECT_EQ(channels[0].period, 33);
  EXPECT_EQ(row(), " |  |  |  |  | ");
}

TEST_F(EffectTest, PortamentoUpAndDownStopAtTheTableLimits) {
  play({cell(1, 61, 0x1, 0xFF), cell(0, 0, 0x2, 0xFF), cell(0, kNone, 0x2, 0x00),
        cell(0, kNone, 0x1, 0x10)});
  EXPECT_EQ(row(),
            "volume 64, panning 112, sample 1, period 101, offset 0 | period 27 | period 27 | "
            "period 27 | period 27 | period 27");
  EXPECT_EQ(row(),
            "period 3424, offset 0 | period 3628 | period 3628 | period 3628 | period 3628 | "
            "period 3628");
  // No memory: 200 slides by 0.
  EXPECT_EQ(row(), " | period 3628 | period 3628 | period 3628 | period 3628 | period 3628");
  EXPECT_EQ(row(), " | period 3612 | period 3596 | period 3580 | period 3564 | period 3548");
}

TEST_F(EffectTest, TonePortamento) {
  play({cell(1, 36), cell(0, 48, 0x3, 0x64), cell(0, 36, 0x3, 0x00)});
  row();
  EXPECT_EQ(row(), " | period 328 | period 228 | period 214 | period 214 | period 214");
  // 300 keeps the speed of 100.
  EXPECT_EQ(row(), " | period 314 | period 414 | period 428 | period 428 | period 428");
  EXPECT_EQ(channels[0].note, 36);
}

TEST_F(EffectTest, GlissandoSnapsWhatIsSentButNotThePeriod) {
  play({cell(1, 36, 0xE, 0x31), cell(0, 48, 0x3, 0x64), cell(0, 36, 0x3, 0x10),
        cell(0, kNone, 0x5, 0x00)});
  EXPECT_EQ(row(), kStart + " |  |  |  |  | ");
  EXPECT_EQ(tick(0), "");
  const int sent[5] = {339, 240, 214, 214, 214};
  const int stored[5] = {328, 228, 214, 214, 214};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tick(0), "period " + std::to_string(sent[i]));
    EXPECT_EQ(channels[0].period, stored[i]);
  }
  // Upwards in period: the snapped value is the note at or below the pitch.
  EXPECT_EQ(row(), " | period 240 | period 254 | period 269 | period 285 | period 302");
  // 5xy slides on with the stored speed and never snaps.
  EXPECT_EQ(row(),
            " | period 310, volume 64 | period 326, volume 64 | period 342, volume 64 | "
            "period 358, volume 64 | period 374, volume 64");
}

TEST_F(EffectTest, VolumeSlides) {
  play({cell(1, 36, 0xA, 0x0F), cell(0, kNone, 0xA, 0xF0), cell(0, kNone, 0xC, 0x20),
        cell(0, kNone, 0xA, 0x12), cell(0, kNone, 0xC, 0x50), cell(0, kNone, 0xA, 0x01),
        cell(0, kNone, 0xA, 0x00)},
       10);
  EXPECT_EQ(row(),
            "volume 10, panning 112, sample 1, period 428, offset 0 | volume 0 | volume 0 | "
            "volume 0 | volume 0 | volume 0");
  EXPECT_EQ(row(), " | volume 15 | volume 30 | volume 45 | volume 60 | volume 64");
  EXPECT_EQ(row(), "volume 32 |  |  |  |  | ");
  EXPECT_EQ(row(), " | volume 33 | volume 34 | volume 35 | volume 36 | volume 37");  // x wins
  // Set volume stores and sends more than 64; the next slide brings it back.
  EXPECT_EQ(row(), "volume 80 |  |  |  |  | ");
  EXPECT_EQ(channels[0].volume, 80);
  EXPECT_EQ(row(), " | volume 64 | volume 63 | volume 62 | volume 61 | volume 60");
  EXPECT_EQ(row(), " | volume 60 | volume 60 | volume 60 | volume 60 | volume 60");
}

TEST_F(EffectTest, FineSlidesMoveExactlyOneStepPerRow) {
  play({cell(1, 36, 0xE, 0x1F), cell(0, kNone, 0xE, 0x10), cell(0, kNone, 0xE, 0x2F),
        cell(0, kNone, 0xE, 0xAF), cell(0, kNone, 0xE, 0xBF), cell(0, kNone, 0xE, 0xA0),
        cell(0, kNone, 0xE, 0xB0)});
  EXPECT_EQ(row(), kStart + ", period 427 |  |  |  |  | ");
  EXPECT_EQ(row(), "period 426 |  |  |  |  | ");
  EXPECT_EQ(row(), "period 427 |  |  |  |  | ");
  EXPECT_EQ(row(), " |  |  |  |  | ");  // already at 64
  EXPECT_EQ(row(), "volume 63 |  |  |  |  | ");
  EXPECT_EQ(row(), "volume 64 |  |  |  |  | ");
  EXPECT_EQ(row(), "volume 63 |  |  |  |  | ");
}

TEST_F(EffectTest, FineSlidesSendNothingAtTheirLimits) {
  play({cell(2, 0, 0xE, 0x23), cell(3, 83, 0xE, 0x11), cell(0, kNone, 0xC, 0x00),
        cell(0, kNone, 0xE, 0xB1)});
  EXPECT_EQ(tick(0), "volume 64, panning 112, sample 2, period 3628, offset 0");
  ticks(5, 0);
  EXPECT_EQ(tick(0), "volume 64, panning 112, sample 3, period 27, offset 0");
  ticks(5, 0);
  row();
  EXPECT_EQ(row(), " |  |  |  |  | ");
}

TEST_F(EffectTest, NoteCut) {
  play({cell(1, 36, 0xE, 0xC3), cell(1, 36, 0xE, 0xC9), cell(1, 36, 0xE, 0xC0), cell(0, 48)});
  EXPECT_EQ(row(), kStart + " |  |  | volume 0 |  | ");
  EXPECT_EQ(row(), kStart + " |  |  |  |  | volume 0");
  EXPECT_EQ(row(), kStart + " |  |  |  |  | ");
  // A cut keeps the stored volume; a note without a sample number sends no
  // volume, so after a cut it stays silent.
  play({cell(1, 36, 0xE, 0xC1), cell(0, 48)});
  row();
  EXPECT_EQ(row(), "period 214, offset 0 |  |  |  |  | ");
  EXPECT_EQ(channels[0].volume, 64);
  EXPECT_EQ(player_voices[0].volume, 0);
}

TEST_F(EffectTest, NoteDelay) {
  play({cell(1, 36, 0xE, 0xD2), cell(1, 48, 0xE, 0xD0), cell(0, kNone, 0xE, 0xD1),
        cell(1, 24, 0xE, 0xD9)});
  EXPECT_EQ(channels[0].note, 0);
  EXPECT_EQ(row(),
            "volume 64, panning 112, sample 1 |  | volume 64, period 428, offset 0 |  |  | ");
  EXPECT_EQ(channels[0].note, 36);
  EXPECT_EQ(row(), "volume 64, panning 112, sample 1 |  |  |  |  | ");
  EXPECT_EQ(channels[0].note, 36);
  EXPECT_EQ(row(), " |  |  |  |  | ");
  EXPECT_EQ(row(),
            "volume 64, panning 112, sample 1 |  |  |  |  | volume 64, period 856, offset 0");
}

TEST_F(EffectTest, Retrigger) {
  play({cell(1, 36, 0xE, 0x93), cell(0, kNone, 0xE, 0x93), cell(0, 48, 0xE, 0x92),
        cell(0, 36, 0xE, 0x97), cell(0, 36, 0xE, 0x90)});
  EXPECT_EQ(row(), kStart + " |  |  | volume 64, period 428, offset 0 |  | ");
  EXPECT_EQ(row(), " |  |  |  |  | ");
  EXPECT_EQ(row(),
            "period 214, offset 0 |  | volume 64, period 214, offset 0 |  | "
            "volume 64, period 214, offset 0 | ");
  EXPECT_EQ(row(), "period 428, offset 0 |  |  |  |  | ");
  EXPECT_EQ(row(), "period 428, offset 0 |  |  |  |  | ");
}

TEST_F(EffectTest, PanningCommands) {
  play({cell(1, 36, 0x8, 0xC0), cell(0, kNone, 0xE, 0x8C), cell(1, 36)});
  EXPECT_EQ(tick(0), "volume 64, sample 1, period 428, offset 0, panning 192");
  EXPECT_EQ(channels[0].panning, 192);
  ticks(5, 0);
  EXPECT_EQ(tick(0), "panning 192");
  EXPECT_EQ(channels[0].pan_setting, 12);
  ticks(5, 0);
  // The pan setting is what later sample starts take.
  EXPECT_EQ(tick(0), "volume 64, panning 192, sample 1, period 428, offset 0");
}

TEST_F(EffectTest, PanSettingOnlyChangesLaterSampleStarts) {
  play({cell(1, 36), cell(0, kNone, 0xE, 0x83)});
  row();
  EXPECT_EQ(tick(0), "panning 48");
  EXPECT_EQ(channels[0].panning, 112);
}

TEST_F(EffectTest, SampleOffset) {
  play({cell(1, 36, 0x9, 0x02), cell(0, kNone, 0x9, 0x03), cell(0, 36, 0x9, 0x00)});
  EXPECT_EQ(tick(0), "volume 64, panning 112, sample 1, period 428, offset 512");
  EXPECT_EQ(player_voices[0].position, 512u);
  ticks(5, 0);
  EXPECT_EQ(tick(0), "offset 768");
  ticks(5, 0);
  EXPECT_EQ(tick(0), "period 428, offset 0");
}

TEST_F(EffectTest, VibratoOnTheSine) {
  play({cell(1, 36, 0x4, 0x48), cell(0, kNone, 0x6, 0x00), cell(0, 36, 0x4, 0x00)});
  EXPECT_EQ(row(), kStart + " | period 428 | period 434 | period 439 | period 442 | period 444");
  EXPECT_EQ(row(),
            " | period 442, volume 64 | period 439, volume 64 | period 434, volume 64 | "
            "period 428, volume 64 | period 422, volume 64");
  EXPECT_EQ(channels[0].period, 428);
  // A new note keeps the waveform position; both parameters are remembered.
  EXPECT_EQ(tick(0), "period 428, offset 0");
  EXPECT_EQ(channels[0].vibrato_pos, 40);
  EXPECT_EQ(tick(0), "period 417");
}

TEST_F(EffectTest, VibratoWaveforms) {
  play({cell(1, 36, 0xE, 0x41), cell(0, kNone, 0x4, 0x8F), cell(0, kNone, 0x6, 0x00),
        cell(0, kNone, 0xE, 0x42), cell(0, kNone, 0x4, 0x00), cell(0, kNone, 0x4, 0x00),
        cell(0, kNone, 0xE, 0x46)});
  EXPECT_EQ(player.vibrato_waveform, 0);
  row();
  EXPECT_EQ(player.vibrato_waveform, 1);
  // Ramp down; the depth scaling truncates towards zero (-1 x 15 / 127 is 0).
  EXPECT_EQ(row(), " | period 458 | period 450 | period 443 | period 435 | period 428");
  EXPECT_EQ(row(),
            " | period 421, volume 64 | period 413, volume 64 | period 406, volume 64 | "
            "period 458, volume 64 | period 450, volume 64");
  row();
  // Square in three levels, in phase with the sine.
  EXPECT_EQ(row(), " | period 428 | period 428 | period 458 | period 458 | period 428");
  EXPECT_EQ(row(), " | period 428 | period 398 | period 398 | period 428 | period 428");
  // E46: square again, but bit 2 keeps the position.
  EXPECT_EQ(channels[0].vibrato_pos, 16);
  tick(0);
  EXPECT_EQ(channels[0].vibrato_pos, 16);
  EXPECT_EQ(player.vibrato_waveform, 2);
}

TEST_F(EffectTest, VibratoBelowPeriodZeroStandsStill) {
  play({cell(1, 83, 0x4, 0x8F), cell(0, kNone, 0x4, 0x00)});
  row();
  tick(0);
  const int sent[5] = {7, -2, 7, 28, 49};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tick(0), "period " + std::to_string(sent[i]));
    EXPECT_EQ(player_voices[0].step == 0 && player_voices[0].step_fraction == 0, sent[i] <= 0);
  }
}

TEST_F(EffectTest, Tremolo) {
  play({cell(1, 36, 0x7, 0x48), cell(0, kNone, 0x7, 0x00), cell(0, kNone, 0xE, 0x71),
        cell(0, kNone, 0x7, 0x00)},
       40);
  EXPECT_EQ(row(),
            "volume 40, panning 112, sample 1, period 428, offset 0 | volume 40 | volume 52 | "
            "volume 62 | volume 64 | volume 64");
  EXPECT_EQ(channels[0].volume, 40);
  EXPECT_EQ(row(), " | volume 64 | volume 62 | volume 52 | volume 40 | volume 28");
  EXPECT_EQ(row(), " |  |  |  |  | ");
  // Ramp down from position 0: 255, 223, 191, 159, 127 times 16 / 127.
  EXPECT_EQ(row(), " | volume 64 | volume 64 | volume 64 | volume 60 | volume 56");
}

TEST_F(EffectTest, SetFinetuneAppliesToLaterLookupsUntilTheNextNote) {
  play({cell(1, 36, 0xE, 0x58), cell(0, kNone, 0x0, 0x01), cell(0, 36)});
  EXPECT_EQ(tick(0), kStart);
  EXPECT_EQ(channels[0].finetune, 8);
  ticks(5, 0);
  EXPECT_EQ(row(), "period 453 | period 453 | period 428 | period 453 | period 453 | period 428");
  EXPECT_EQ(tick(0), "period 428, offset 0");
  EXPECT_EQ(channels[0].finetune, 0);
}

TEST_F(EffectTest, DelayPeriodsRepeatTheRunningTicks) {
  ModuleBuilder m("2CHN", 2);
  m.sample(1, std::vector<int8_t>(64, 1));
  m.cell(0, 0, 0, 1, note_period(36), 0xE, 0xC2);
  m.cell(0, 0, 1, 0, 0, 0xE, 0xE1);
  ASSERT_EQ(load(m), 1);
  std::vector<int> cuts;
  for (int t = 1; t <= 12; ++t)
    if (tick(0) == "volume 0") cuts.push_back(t);
  EXPECT_EQ(cuts, (std::vector<int>{3, 9}));
}

// The extended commands over all sixteen arguments x, one row of cells per
// x: what tick 0 sends, and the state the later rows find.
TEST_F(EffectTest, ExtendedCommandsOverEveryArgument) {
  // E4x and E7x: the waveform is x & 3, and the position restarts only when
  // bits 2 and 3 are both clear (vibrato and tremolo have moved it to 20).
  constexpr int kWaveform[16] = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
  constexpr int kPosition[16] = {0, 0, 0, 0, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20};
  // PT[x][36]: what the arpeggio's first tick sends after E5x.
  constexpr int kC2[16] = {428, 425, 422, 419, 416, 413, 410, 407,
                           453, 450, 447, 444, 441, 437, 434, 431};
  // Running ticks 1..5 on which ECx cuts and EDx starts its note, and on
  // which E9x restarts.
  constexpr const char* kEventTick[16] = {".....", "x....", ".x...", "..x..", "...x.", "....x",
                                          "....x", "....x", "....x", "....x", "....x", "....x",
                                          "....x", "....x", "....x", "....x"};
  constexpr const char* kRetrigger[16] = {".....", "xxxxx", ".x.x.", "..x..", "...x.", "....x",
                                          ".....", ".....", ".....", ".....", ".....", ".....",
                                          ".....", ".....", ".....", "....."};
  const std::string kRestart = "volume 64, period 428, offset 0";
  auto marked = [](std::string first, const char* marks, const std::string& event) {
    for (int t = 0; t < 5; ++t) first += " | " + (marks[t] == 'x' ? event : std::string());
    return first;
  };
  auto first_tick = [this] {
    const std::string sent = tick(0);
    ticks(5, 0);
    return sent;
  };
  for (int x = 0; x < 16; ++x) {
    SCOPED_TRACE("x = " + std::to_string(x));
    play({cell(1, 36, 0x4, 0x41), cell(0, kNone, 0x7, 0x41), cell(0, kNone, 0xE, 0x40 + x),
          cell(0, kNone, 0xE, 0x70 + x)});
    row();
    row();
    EXPECT_EQ(first_tick(), "");
    EXPECT_EQ(player.vibrato_waveform, kWaveform[x]);
    EXPECT_EQ(channels[0].vibrato_pos, kPosition[x]);
    EXPECT_EQ(tick(0), "");
    EXPECT_EQ(player.tremolo_waveform, kWaveform[x]);
    EXPECT_EQ(channels[0].tremolo_pos, kPosition[x]);

    // The fine slides move by one whatever x is; E8x and E5x take x itself;
    // any x but 0 turns glissando on.
    play({cell(1, 36, 0xE, 0x10 + x), cell(0, kNone, 0xE, 0x20 + x), cell(0, kNone, 0xE, 0xB0 + x),
          cell(0, kNone, 0xE, 0xA0 + x), cell(0, kNone, 0xE, 0x80 + x), cell(1, kNone),
          cell(0, kNone, 0xE, 0x50 + x), cell(0, kNone, 0x0, 0x01), cell(0, kNone, 0xE, 0x30 + x),
          cell(0, 48, 0x3, 0x64)});
    EXPECT_EQ(first_tick(), kStart + ", period 427");
    EXPECT_EQ(first_tick(), "period 428");
    EXPECT_EQ(first_tick(), "volume 63");
    EXPECT_EQ(first_tick(), "volume 64");
    EXPECT_EQ(first_tick(), "panning " + std::to_string(16 * x));
    EXPECT_EQ(first_tick(), "volume 64, panning " + std::to_string(16 * x) + ", sample 1");
    EXPECT_EQ(first_tick(), "");
    EXPECT_EQ(first_tick(), "period " + std::to_string(kC2[x]));
    EXPECT_EQ(first_tick(), "");
    EXPECT_EQ(tick(0), "");
    EXPECT_EQ(tick(0), x != 0 ? "period 339" : "period 328");

    channels[0].pan_setting = 7;  // what E8x changed for good
    play({cell(1, 36, 0xE, 0xC0 + x), cell(1, 36, 0xE, 0xD0 + x), cell(1, 36, 0xE, 0x90 + x)});
    EXPECT_EQ(row(), marked(kStart, kEventTick[x], "volume 0"));
    EXPECT_EQ(row(), marked("volume 64, panning 112, sample 1", kEventTick[x], kRestart));
    EXPECT_EQ(row(), marked(kStart, kRetrigger[x], kRestart));
  }
}

TEST_F(EffectTest, WaveformTablesAfterInit) {
  // The sine's first half; the second half is the same negated.
  constexpr int kSineHalf[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                                 224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                                 212, 197, 180, 161, 141, 120, 97,  74,  49,  24};
  // The square in quarters, in phase with the sine: zero, high, zero, low.
  constexpr int kSquare[4] = {0, 255, 0, -256};
  std::srand(1);  // where an unseeded rand starts
  play({});
  std::srand(1);
  for (int i = 0; i < 64; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(WaveformTable[0][i], i < 32 ? kSineHalf[i] : -kSineHalf[i - 32]);
    EXPECT_EQ(WaveformTable[1][i], 255 - 8 * i);
    EXPECT_EQ(WaveformTable[2][i], kSquare[i / 16]);
    EXPECT_EQ(WaveformTable[3][i], std::rand() % 511 - 256);
  }
}

}  // namespace
