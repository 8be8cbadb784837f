// The replayer: ticks and rows, note triggering, pattern delays, song
// looping and the position changes of B, D and E6x.

#include <algorithm>

#include "recording_device.h"

namespace {

using ReplayerTest = PlayerTest;

// Two channels, sample 1 at volume 50, sample 2 at volume 20.
ModuleBuilder two_channels() {
  ModuleBuilder m("2CHN", 2);
  m.sample(1, std::vector<int8_t>(64, 10), 50);
  m.sample(2, std::vector<int8_t>(32, 20), 20, 3);
  return m;
}

TEST_F(ReplayerTest, FirstTickReadsTheFirstRow) {
  ModuleBuilder m = two_channels();
  m.cell(0, 0, 0, 1, note_period(36));
  m.cell(0, 0, 1, 2, note_period(24));
  ASSERT_EQ(load(m), 1);
  EXPECT_EQ(pt_position(), -37);
  // Finetune 3 (sample 2) looks its note up in row 3 of the table.
  EXPECT_EQ(tick(),
            "voice 0, volume 50, panning 112, sample 1, period 428, offset 0, "
            "voice 1, volume 20, panning 144, sample 2, period 838, offset 0");
  EXPECT_EQ(pt_position(), 0);
  EXPECT_EQ(tick(), "voice 0, voice 1");
}

TEST_F(ReplayerTest, RowsFollowTheSpeed) {
  ModuleBuilder m = two_channels();
  m.cell(0, 1, 1, 0, 0, 0xF, 3);     // speed 3 from row 1 on
  m.cell(0, 3, 1, 0, 0, 0xF, 0x20);  // F20 is no speed: stays 3
  m.cell(0, 4, 1, 0, 0, 0xF, 0x1F);  // F1F: speed 31
  ASSERT_EQ(load(m), 1);
  const std::vector<int32_t> expected = {0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4};
  EXPECT_EQ(positions(16), expected);
  EXPECT_EQ(player.speed, 31);
  for (int i = 0; i < 30; ++i) pt_play();
  EXPECT_EQ(pt_position(), 4);
  pt_play();
  EXPECT_EQ(pt_position(), 5);
}

TEST_F(ReplayerTest, SpeedZeroFreezesTheRowAndRestartsItsNotes) {
  ModuleBuilder m = two_channels();
  m.cell(0, 1, 0, 0, note_period(36));
  m.cell(0, 1, 1, 0, 0, 0xF, 0);
  ASSERT_EQ(load(m), 1);
  for (int i = 0; i < 6; ++i) pt_play();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tick(0), "period 428, offset 0");
    EXPECT_EQ(pt_position(), 1);
  }
  EXPECT_EQ(player.tick, 0u);
}

TEST_F(ReplayerTest, PatternDelayHoldsTheRowForTheLargestCount) {
  ModuleBuilder m("4CHN", 4);
  m.sample(1, std::vector<int8_t>(64, 10), 10);
  m.cell(0, 0, 0, 0, 0, 0xE, 0xE2);
  m.cell(0, 0, 1, 0, 0, 0xE, 0xE4);
  m.cell(0, 0, 2, 1, note_period(36), 0xA, 0x10);  // slides on through the delay
  ASSERT_EQ(load(m), 1);
  int idle = 0, starts = 0;
  for (int t = 1; t <= 30; ++t) {
    tick();
    if (last.empty()) ++idle;
    if (channel_events(last, 2).find("sample 1") != std::string::npos) ++starts;
    EXPECT_EQ(pt_position(), 0) << "tick " << t;
  }
  // 1 normal period plus 4 delay periods of 6 ticks, each delay period
  // opening with one tick on which nothing happens at all.
  EXPECT_EQ(idle, 4);
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(channels[2].volume, 10 + 5 * 5);
  pt_play();
  EXPECT_EQ(pt_position(), 1);
}

TEST_F(ReplayerTest, SongLoopsToItsRestartPosition) {
  ModuleBuilder m = two_channels();
  m.song_length = 2;
  m.restart = 1;
  m.order({0, 1});
  m.cell(0, 0, 0, 0, 0, 0xD, 0x01);  // order 0 row 0: on to order 1 row 1
  m.cell(1, 1, 0, 0, 0, 0xD, 0x02);  // order 1 row 1: on to order 2 row 2
  ASSERT_EQ(load(m), 1);
  std::vector<int32_t> at_rows;
  for (int r = 0; r < 4; ++r) {
    const std::vector<int32_t> p = positions(6);
    at_rows.push_back(p[0]);
  }
  // Order 2 is past the song: it plays order 1 (restart position), row 2.
  const std::vector<int32_t> expected = {63, 163, 102, 103};
  EXPECT_EQ(at_rows, expected);
}

TEST_F(ReplayerTest, SongStartsOverAfterItsLastRow) {
  ModuleBuilder m = two_channels();
  m.cell(0, 0, 1, 0, 0, 0xF, 1);
  m.cell(0, 0, 0, 1, note_period(36));
  ASSERT_EQ(load(m), 1);
  const std::vector<int32_t> p = positions(65);
  EXPECT_EQ(p[63], 63);
  EXPECT_EQ(p[64], 0);
  EXPECT_EQ(channel_events(device_log, 0),
            "volume 50, panning 112, sample 1, period 428, offset 0");
}

TEST_F(ReplayerTest, NoteAndSampleNumberOnTheirOwn) {
  ModuleBuilder m = two_channels();
  m.cell(0, 0, 0, 1, note_period(36));
  m.cell(0, 1, 0, 0, note_period(48));   // note alone: same sample, no volume
  m.cell(0, 2, 0, 2, 0);                 // sample alone: no note started
  m.cell(0, 3, 0, 40, note_period(36));  // sample 40 names no sample: counts as none
  ASSERT_EQ(load(m), 1);
  tick();
  for (int i = 0; i < 5; ++i) tick();
  EXPECT_EQ(tick(0), "period 214, offset 0");
  EXPECT_EQ(channels[0].volume, 50);
  for (int i = 0; i < 5; ++i) tick();
  player_voices[0].position = 7;
  EXPECT_EQ(tick(0), "volume 20, panning 112, sample 2");
  EXPECT_EQ(player_voices[0].position, 7u);
  EXPECT_EQ(player_voices[0].length, 32u);
  EXPECT_EQ(channels[0].note, 48);
  for (int i = 0; i < 5; ++i) tick();
  // Sample 2's finetune 3 still applies: row 3, entry 36.
  EXPECT_EQ(tick(0), "period 419, offset 0");
  EXPECT_EQ(channels[0].sample, 2);
}

TEST_F(ReplayerTest, TonePortamentoNoteOnlySetsTheTarget) {
  ModuleBuilder m = two_channels();
  m.cell(0, 0, 0, 1, note_period(36));
  m.cell(0, 1, 0, 0, note_period(48), 0x3, 0);
  m.cell(0, 2, 0, 1, note_period(24), 0x5, 0);
  ASSERT_EQ(load(m), 1);
  for (int i = 0; i < 6; ++i) tick();
  EXPECT_EQ(tick(0), "");
  EXPECT_EQ(channels[0].porta_target, 214);
  EXPECT_EQ(channels[0].period, 428);
  EXPECT_EQ(channels[0].note, 36);
  for (int i = 0; i < 5; ++i) tick();
  EXPECT_EQ(tick(0), "volume 50, panning 112, sample 1");
  EXPECT_EQ(channels[0].porta_target, 856);
}

TEST_F(ReplayerTest, EveryChannelIsSelectedInOrderOnEveryTick) {
  ModuleBuilder m("8CHN", 8);
  ASSERT_EQ(load(m), 1);
  for (int t = 0; t < 7; ++t)
    EXPECT_EQ(tick(), "voice 0, voice 1, voice 2, voice 3, voice 4, voice 5, voice 6, voice 7");
}

TEST_F(ReplayerTest, SetPanningAndSetVolumeReplaceTheSampleDefaults) {
  ModuleBuilder m = two_channels();
  m.cell(0, 0, 0, 1, note_period(36), 0x8, 0xC0);
  m.cell(0, 0, 1, 1, note_period(36), 0xC, 0x20);
  ASSERT_EQ(load(m), 1);
  tick();
  EXPECT_EQ(channel_events(last, 0), "volume 50, sample 1, period 428, offset 0, panning 192");
  EXPECT_EQ(channel_events(last, 1), "panning 144, sample 1, period 428, offset 0, volume 32");
}

// ---- Position jumps and pattern breaks ----------------------------------

TEST_F(ReplayerTest, PositionJumpToTheStart) {
  ModuleBuilder m = two_channels();
  m.song_length = 2;
  m.order({0, 1});
  m.cell(0, 0, 0, 0, 0, 0xD, 0x01);
  m.cell(0, 0, 1, 1, note_period(36));
  m.cell(1, 1, 0, 0, 0, 0xB, 0x00);  // B00 on the last order
  ASSERT_EQ(load(m), 1);
  EXPECT_EQ(positions(6), std::vector<int32_t>(6, 63));
  EXPECT_EQ(positions(6), std::vector<int32_t>(6, -37));
  EXPECT_EQ(tick(1), "volume 50, panning 144, sample 1, period 428, offset 0");
}

TEST_F(ReplayerTest, JumpsAndBreaksChooseTheNextRow) {
  struct Case {
    int effect_0, param_0, effect_1, param_1;
    int32_t during, next;
  };
  const Case cases[] = {
      {0xD, 0x32, 0, 0, 63, 132},  // D32: row 32 of the next order
      {0xD, 0x1F, 0, 0, 63, 125},  // D1F: decimal digits, y unchecked
      {0xD, 0x70, 0, 0, 63, 100},  // a break row past the pattern: row 0
      {0xD, 0x99, 0, 0, 63, 100},
      {0xB, 0x02, 0xD, 0x10, 163, 210},  // B and D together: order 2, row 10
      {0xB, 0x05, 0, 0, 463, 100},       // past the song: restart position 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.effect_0 << c.param_0);
    ModuleBuilder m = two_channels();
    m.song_length = 3;
    m.restart = 1;
    m.order({0, 1, 1});
    m.cell(0, 0, 0, 0, 0, c.effect_0, c.param_0);
    m.cell(0, 0, 1, 0, 0, c.effect_1, c.param_1);
    SetUp();
    ASSERT_EQ(load(m), 1);
    EXPECT_EQ(positions(6), std::vector<int32_t>(6, c.during));
    pt_play();
    EXPECT_EQ(pt_position(), c.next);
  }
}

TEST_F(ReplayerTest, PatternLoopPlaysItsStretchAgain) {
  ModuleBuilder m = two_channels();
  m.cell(0, 0, 1, 0, 0, 0xF, 1);  // one tick per row
  m.cell(0, 4, 0, 0, 0, 0xE, 0x60);
  m.cell(0, 10, 0, 0, 0, 0xE, 0x62);
  ASSERT_EQ(load(m), 1);
  std::vector<int32_t> expected;
  for (int r = 0; r <= 9; ++r) expected.push_back(r);
  for (int pass = 0; pass < 2; ++pass) {
    expected.push_back(3);  // the jump shows at once as the row before the start
    for (int r = 4; r <= 9; ++r) expected.push_back(r);
  }
  expected.push_back(10);
  expected.push_back(11);
  EXPECT_EQ(positions(static_cast<int>(expected.size())), expected);
}

TEST_F(ReplayerTest, PatternLoopsOfTwoChannelsNeverLeaveThePattern) {
  // Channel 1 takes its loop start on a row that channel 0 has just sent
  // back before row 0; its own loop then aims before the pattern.
  ModuleBuilder m("4CHN", 4);
  m.cell(0, 0, 2, 0, 0, 0xF, 1);
  m.cell(0, 0, 3, 0, note_period(36));
  m.cell(0, 2, 1, 0, 0, 0xE, 0x61);
  m.cell(0, 5, 0, 0, 0, 0xE, 0x61);
  m.cell(0, 5, 1, 0, 0, 0xE, 0x60);
  ASSERT_EQ(load(m), 1);
  const std::vector<int32_t> p = positions(13);
  const std::vector<int32_t> expected = {0, 1, -1, 0, 1, 2, 3, 4, -1, 0, 1, -2, 0};
  EXPECT_EQ(p, expected);
  // What follows is row 0 itself, not whatever lies before the pattern.
  EXPECT_EQ(channel_events(device_log, 3), "period 428, offset 0");
}

TEST_F(ReplayerTest, LoopAndDelayCountsOverEveryArgument) {
  for (int x = 0; x < 16; ++x) {
    SCOPED_TRACE("x = " + std::to_string(x));
    // One tick per row. E60 on row 0 and E6x on row 1: row 0 plays x + 1 times.
    ModuleBuilder loop = two_channels();
    loop.cell(0, 0, 1, 0, 0, 0xF, 1);
    loop.cell(0, 0, 0, 0, 0, 0xE, 0x60);
    loop.cell(0, 1, 0, 0, 0, 0xE, 0x60 + x);
    ASSERT_EQ(load(loop), 1);
    std::vector<int32_t> p = positions(40);
    EXPECT_EQ(std::count(p.begin(), p.end(), 0), x + 1);
    EXPECT_EQ(std::count(p.begin(), p.end(), 2), 1);
    // EEx on row 0: the row lasts 1 + x ticks.
    ModuleBuilder delay = two_channels();
    delay.cell(0, 0, 1, 0, 0, 0xF, 1);
    delay.cell(0, 0, 0, 0, 0, 0xE, 0xE0 + x);
    ASSERT_EQ(load(delay), 1);
    p = positions(20);
    EXPECT_EQ(std::count(p.begin(), p.end(), 0), x + 1);
  }
}

TEST_F(ReplayerTest, AJumpWithALoopOnTheSameRowPlaysItsOrderAsItStands) {
  // Song length 2 over the order table 0 1 2 3, restart position 1. Bxx on
  // row 1 of channel 0 sets the order and E61 on channel 1 sends the row
  // back to -1, so no pattern change follows: the song's length is not
  // looked at, and only an order outside the 128-entry table restarts.
  const struct {
    int jump;
    int32_t during, next;
    const char* note;  // channel 1 on the next row
  } cases[] = {
      {0x03, 199, 200, "period 856, offset 0"},  // past the song: pattern 2 as it stands
      {0x02, 99, 100, "period 214, offset 0"},   // order 1, inside the song
      {0x80, 12699, 12700,
       "volume 50, panning 144, sample 1, period 428, offset 0"},  // order 127: pattern 0
      {0x81, 12799, 100, "period 214, offset 0"},                  // order 128: restart position
      {0xFF, 25399, 100, "period 214, offset 0"},                  // order 254, the furthest
      {0x00, -101, 100, "period 214, offset 0"},                   // order -1: restart position
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "B" << std::hex << c.jump);
    ModuleBuilder m = two_channels();
    m.song_length = 2;
    m.restart = 1;
    m.order({0, 1, 2, 3});
    m.cell(0, 0, 1, 1, note_period(36), 0xE, 0x60);
    m.cell(0, 1, 0, 0, 0, 0xB, c.jump);
    m.cell(0, 1, 1, 0, 0, 0xE, 0x61);
    m.cell(1, 0, 1, 0, note_period(48));
    m.cell(2, 0, 1, 0, note_period(24));
    SetUp();
    ASSERT_EQ(load(m), 1);
    const std::vector<int32_t> p = positions(12);
    EXPECT_EQ(p[6], c.during);
    EXPECT_EQ(tick(1), c.note);
    EXPECT_EQ(pt_position(), c.next);
  }
}

TEST(ReplayerPositionTest, PositionIsZeroWithoutAModule) {
  std::vector<uint8_t> junk(2000, 0);
  EXPECT_EQ(pt_load(junk.data(), junk.size()), 0);
  for (int i = 0; i < 10; ++i) pt_play();
  EXPECT_EQ(pt_position(), 0);
}

}  // namespace
