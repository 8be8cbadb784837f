// The module loader.

#include <cstdlib>
#include <cstring>

#include "recording_device.h"

namespace {

using LoaderTest = PlayerTest;

constexpr char kUnknownType[] = "pt_takemod error: unknown module type!";
constexpr char kTruncated[] = "pt_takemod error: module too short for its patterns!";

// Offset of the data of a defined sample from the image start.
size_t data_offset(const std::vector<uint8_t>& image, const DefineCall& d) {
  return static_cast<size_t>(reinterpret_cast<const uint8_t*>(d.data) - image.data());
}

TEST_F(LoaderTest, EveryFormatTagGivesItsChannelsAndPatternSize) {
  const std::pair<const char*, uint32_t> tags[] = {
      {"2CHN", 2},  {"4CHN", 4},  {"M.K.", 4},  {"M!K!", 4},  {"FLT4", 4},  {"FLT8", 8},
      {"OCTA", 8},  {"6CHN", 6},  {"8CHN", 8},  {"10CH", 10}, {"12CH", 12}, {"14CH", 14},
      {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22}, {"24CH", 24}, {"26CH", 26},
      {"28CH", 28}, {"30CH", 30}, {"32CH", 32}};
  for (auto [tag, n] : tags) {
    SCOPED_TRACE(tag);
    ModuleBuilder m(tag, static_cast<int>(n));
    m.order({0, 1}).sample(1, {1, 2, 3, 4});
    define_log.clear();
    ASSERT_EQ(load(m), 1);
    EXPECT_EQ(song.channel_count, n);
    ASSERT_EQ(define_log.size(), 1u);
    // Two patterns of 64 rows of n four-byte cells, then the sample data.
    EXPECT_EQ(data_offset(image, define_log[0]), 1084 + 2 * n * 256);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(song.patterns[1]) - image.data(), 1084 + n * 256);
  }
}

TEST_F(LoaderTest, UnknownTagFailsAfterReadingTheHeaders) {
  for (const char* tag : {"STOP", "m.k.", "M.k.", "M.K ", "\0\0\0\0", "33CH"}) {
    SCOPED_TRACE(tag);
    ModuleBuilder m(std::string(tag, 4), 4);
    m.sample(3, {1, 2}, 80, 0x1A);
    m.song_length = 5;
    m.restart = 2;
    m.order({9, 3});
    m.cell(0, 0, 0, 1, note_period(24));
    SetUp();
    sound.voice_count = 17;
    EXPECT_EQ(load(m), 0);
    EXPECT_STREQ(song.error_text, kUnknownType);
    EXPECT_EQ(song.channel_count, 0u);
    EXPECT_EQ(song.song_length, 5);
    EXPECT_EQ(song.restart_position, 2u);
    EXPECT_EQ(song.order_table[0], 9);
    EXPECT_EQ(song.samples[3].volume, 64u);
    EXPECT_EQ(song.samples[3].finetune, 10u);
    // Nothing defined, no pattern unpacked, the voice count left as it was.
    EXPECT_TRUE(define_log.empty());
    EXPECT_EQ(sound.voice_count, 17);
    EXPECT_EQ(image[1084], 0x03);  // raw period 856 = 0x358 still in place
    // The player stays idle at position 0.
    EXPECT_EQ(pt_position(), 0);
    EXPECT_EQ(tick(), "");
    EXPECT_EQ(pt_position(), 0);
  }
}

TEST_F(LoaderTest, HighestPatternCountsAllOrderEntries) {
  // Song length 1 with order 0, 7: patterns 0..7 are in the file.
  ModuleBuilder m("M.K.", 4);
  m.order({0, 7}).sample(1, {5, 6});
  m.cell(7, 63, 3, 2, note_period(36), 0xA, 0x12);
  ASSERT_EQ(load(m), 1);
  EXPECT_EQ(song.highest_pattern, 7);
  ASSERT_EQ(define_log.size(), 1u);
  EXPECT_EQ(data_offset(image, define_log[0]), 1084u + 8 * 1024);
  const NoteCell& last = song.patterns[7][63 * 4 + 3];
  EXPECT_EQ(last.sample, 2);
  EXPECT_EQ(last.note, 36);
  EXPECT_EQ(last.effect, 0xA);
  EXPECT_EQ(last.param, 0x12);

  // An all-zero order table: one pattern.
  ModuleBuilder one("M.K.", 4);
  one.sample(1, {5, 6});
  define_log.clear();
  ASSERT_EQ(load(one), 1);
  EXPECT_EQ(song.highest_pattern, 0);
  EXPECT_EQ(data_offset(image, define_log[0]), 1084u + 1024);
}

TEST_F(LoaderTest, SampleHeadersAndDefinitions) {
  ModuleBuilder m("M.K.", 4);
  m.sample(1, std::vector<int8_t>(20, 1), 80, 0x1A);  // volume 80, finetune byte 0x1A
  m.sample(2, std::vector<int8_t>(8, 2));             // repeat of one word: no loop
  // sample 3 has length 0
  m.sample(4, std::vector<int8_t>(600, 4), 33, 0x07, 100, 2);  // loop 200..204
  m.sample(31, std::vector<int8_t>(10, 31), 64, 0, 1, 3);      // loop 2..8
  ASSERT_EQ(load(m), 1);
  EXPECT_EQ(song.samples[1].volume, 64u);
  EXPECT_EQ(song.samples[1].finetune, 10u);
  EXPECT_EQ(song.samples[1].length, 20u);
  EXPECT_EQ(song.samples[4].repeat_start, 200u);
  EXPECT_EQ(song.samples[4].repeat_length, 4u);
  EXPECT_EQ(song.samples[4].volume, 33u);
  EXPECT_EQ(song.samples[4].finetune, 7u);

  ASSERT_EQ(define_log.size(), 4u);
  const uint32_t base = 1084 + 1024;
  const DefineCall& s1 = define_log[0];
  EXPECT_EQ(s1.slot, 1);
  EXPECT_EQ(data_offset(image, s1), base);
  EXPECT_EQ(s1.length, 20u);
  EXPECT_EQ(s1.looped, 0);
  const DefineCall& s2 = define_log[1];
  EXPECT_EQ(s2.slot, 2);
  EXPECT_EQ(data_offset(image, s2), base + 20);
  EXPECT_EQ(s2.looped, 0);
  // The empty sample 3 takes no bytes: sample 4 follows sample 2 directly.
  const DefineCall& s4 = define_log[2];
  EXPECT_EQ(s4.slot, 4);
  EXPECT_EQ(data_offset(image, s4), base + 28);
  EXPECT_EQ(s4.length, 600u);
  EXPECT_EQ(s4.loop_start, 200u);
  EXPECT_EQ(s4.loop_end, 204u);
  EXPECT_EQ(s4.looped, 1);
  const DefineCall& s31 = define_log[3];
  EXPECT_EQ(s31.slot, 31);
  EXPECT_EQ(data_offset(image, s31), base + 628);
  EXPECT_EQ(s31.loop_start, 2u);
  EXPECT_EQ(s31.loop_end, 8u);
  EXPECT_EQ(s31.looped, 1);
  // The slots hold the definitions and the voice count is the channel count.
  EXPECT_EQ(sample_slots[4].loop_end, 204u);
  EXPECT_EQ(sound.voice_count, 4);
}

TEST_F(LoaderTest, VoiceCountIsSetAfterTheSamples) {
  ModuleBuilder m("6CHN", 6);
  m.sample(1, {1, 2});
  image = m.build();
  image.resize(image.size() + 16);
  device_log.clear();
  ASSERT_EQ(pt_takemod(image.data(), image.size()), 1);
  ASSERT_FALSE(device_log.empty());
  EXPECT_EQ(device_log.back(), "voices 6");
  EXPECT_EQ(define_log.size(), 1u);
}

// Every header byte the loader limits, at its limit and one past it: the
// restart position (0..126, else 0), the song length (at most the order
// table's 128 entries), a sample's volume (at most 64) and its finetune
// (the low four bits).
TEST_F(LoaderTest, HeaderFieldsAtAndPastTheirLimits) {
  const struct {
    const char* field;
    int byte;
    uint32_t expected;
  } cases[] = {
      {"restart", 0, 0},    {"restart", 126, 126}, {"restart", 127, 0},   {"restart", 200, 0},
      {"length", 127, 127}, {"length", 128, 128},  {"length", 129, 128},  {"length", 255, 128},
      {"volume", 0, 0},     {"volume", 64, 64},    {"volume", 65, 64},    {"volume", 255, 64},
      {"finetune", 15, 15}, {"finetune", 16, 0},   {"finetune", 0xF7, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.field << " " << c.byte);
    const std::string field = c.field;
    ModuleBuilder m("M.K.", 4);
    const auto byte = static_cast<uint8_t>(c.byte);
    m.sample(1, {1, 2}, field == "volume" ? byte : 64, field == "finetune" ? byte : 0);
    if (field == "restart") m.restart = byte;
    if (field == "length") m.song_length = byte;
    ASSERT_EQ(load(m), 1);
    const uint32_t got = field == "restart"  ? song.restart_position
                         : field == "length" ? song.song_length
                         : field == "volume" ? song.samples[1].volume
                                             : song.samples[1].finetune;
    EXPECT_EQ(got, c.expected);
  }
}

TEST_F(LoaderTest, NoteSearchAndCellUnpacking) {
  const std::pair<int, int> periods[] = {{856, 24}, {855, 25}, {428, 36}, {3424, 0}, {4000, 0},
                                         {4095, 0}, {3423, 1}, {28, 83},  {29, 83},  {27, 84},
                                         {1, 84},   {0, 84},   {113, 59}, {907, 23}};
  ModuleBuilder m("M.K.", 4);
  int i = 0;
  for (auto [period, note] : periods) {
    m.cell(0, i / 4, i % 4, 0, period);
    ++i;
  }
  ASSERT_EQ(load(m), 1);
  i = 0;
  for (auto [period, note] : periods) {
    EXPECT_EQ(song.patterns[0][i].note, note) << "period " << period;
    ++i;
  }

  // A raw cell 0x10 0x00 0x3C 0x05: sample 19, no note, effect C, parameter 5.
  ModuleBuilder raw("M.K.", 4);
  std::vector<uint8_t> bytes = raw.build();
  const uint8_t cell[4] = {0x10, 0x00, 0x3C, 0x05};
  std::memcpy(&bytes[1084], cell, 4);
  const uint8_t highest[4] = {0xF3, 0x58, 0xFE,
                              0xFF};  // sample 255, period 856, effect E, param FF
  std::memcpy(&bytes[1088], highest, 4);
  image = bytes;
  ASSERT_EQ(pt_takemod(image.data(), image.size()), 1);
  const NoteCell& a = song.patterns[0][0];
  EXPECT_EQ(a.sample, 19);
  EXPECT_EQ(a.note, 84);
  EXPECT_EQ(a.effect, 12);
  EXPECT_EQ(a.param, 5);
  const NoteCell& b = song.patterns[0][1];
  EXPECT_EQ(b.sample, 255);
  EXPECT_EQ(b.note, 24);
  EXPECT_EQ(b.effect, 14);
  EXPECT_EQ(b.param, 255);
}

// What the loader does with values the file format allows but the player
// cannot use.
TEST_F(LoaderTest, OutOfRangeOrderEntriesPlayAsPatternZero) {
  ModuleBuilder m("2CHN", 2);
  m.song_length = 3;
  m.order({1, 200, 255});
  m.sample(1, {1, 2});
  m.cell(0, 0, 0, 0, note_period(30));
  m.cell(1, 0, 0, 0, note_period(40));
  ASSERT_EQ(load(m), 1);
  // Entries above 127 do not make the file hold 201 patterns.
  EXPECT_EQ(song.highest_pattern, 1);
  EXPECT_EQ(data_offset(image, define_log[0]), 1084u + 2 * 512);
  EXPECT_EQ(song.order_table[1], 0);
  EXPECT_EQ(song.order_table[2], 0);
  // Orders 1 and 2 play pattern 0.
  EXPECT_EQ(tick(0), "period 339, offset 0");  // order 0: pattern 1
  player.row = 63;                             // straight to the end of the pattern
  player.tick = 5;
  EXPECT_EQ(tick(0), "period 604, offset 0");  // order 1: pattern 0
  EXPECT_EQ(pt_position(), 100);

  // At the limit and one past it: 127 is the last pattern there can be, and
  // the file holds 128 patterns; 128 stands for none and plays pattern 0.
  ModuleBuilder last("2CHN", 2);
  last.song_length = 2;
  last.order({127, 128});
  last.sample(1, {1, 2});
  ASSERT_EQ(load(last), 1);
  EXPECT_EQ(song.highest_pattern, 127);
  EXPECT_EQ(song.order_table[0], 127);
  EXPECT_EQ(song.order_table[1], 0);
  EXPECT_EQ(data_offset(image, define_log.back()), 1084u + 128 * 512);
}

TEST_F(LoaderTest, PatternsPastTheImageAreRejected) {
  ModuleBuilder m("M.K.", 4);
  m.order({0, 3});
  m.pattern_count = 2;  // the file says four patterns but holds two
  image = m.build();
  EXPECT_EQ(pt_takemod(image.data(), image.size()), 0);
  EXPECT_EQ(song.channel_count, 0u);
  ASSERT_NE(song.error_text, nullptr);
  EXPECT_EQ(std::string(song.error_text).rfind("pt_takemod error: ", 0), 0u);
  EXPECT_TRUE(define_log.empty());

  // Shorter than the fixed header.
  std::vector<uint8_t> tiny(1083, 0);
  std::memcpy(&tiny[1076], "M.K.", 4);
  EXPECT_EQ(pt_takemod(tiny.data(), tiny.size()), 0);
  EXPECT_EQ(song.channel_count, 0u);
  EXPECT_STREQ(song.error_text, kUnknownType);

  // The patterns' last byte is the image's last: accepted; one byte less,
  // or the header alone: too short.
  ModuleBuilder two("M.K.", 4);
  two.order({0, 1});
  for (const size_t size : {size_t{1084 + 2 * 1024}, size_t{1084 + 2 * 1024 - 1}, size_t{1084}}) {
    SCOPED_TRACE(size);
    image = two.build();
    image.resize(size);
    const int accepted = size == 1084 + 2 * 1024;
    EXPECT_EQ(pt_takemod(image.data(), image.size()), accepted);
    EXPECT_EQ(song.channel_count, accepted ? 4u : 0u);
    if (!accepted) {
      EXPECT_STREQ(song.error_text, kTruncated);
    }
  }
}

TEST_F(LoaderTest, SamplesPastTheImageAreCutKeepingTwoGuardBytes) {
  ModuleBuilder m("M.K.", 4);
  m.sample(1, std::vector<int8_t>(100, 1), 64, 0, 10, 40);  // loop 20..100
  m.sample(2, std::vector<int8_t>(100, 2), 64, 0, 0, 50);   // loop 0..100
  m.sample(3, std::vector<int8_t>(100, 3));
  image = m.build();
  const size_t base = 1084 + 1024;
  // Sample 1 whole, then 60 bytes where sample 2 should have 100: it keeps
  // 58, and its loop is cut to its new end. Nothing is left for sample 3.
  image.resize(base + 100 + 60);
  ASSERT_EQ(pt_takemod(image.data(), image.size()), 1);
  ASSERT_EQ(define_log.size(), 2u);
  EXPECT_EQ(define_log[0].length, 100u);
  EXPECT_EQ(define_log[0].loop_start, 20u);
  EXPECT_EQ(define_log[0].loop_end, 100u);
  EXPECT_EQ(define_log[1].slot, 2);
  EXPECT_EQ(define_log[1].length, 58u);
  EXPECT_EQ(define_log[1].loop_start, 0u);
  EXPECT_EQ(define_log[1].loop_end, 58u);
  EXPECT_EQ(define_log[1].looped, 1);
  EXPECT_EQ(data_offset(image, define_log[1]) + define_log[1].length + 2, image.size());
}

TEST_F(LoaderTest, LoopsAreTheHeadersUpToTheEndOfTheImage) {
  // Sample 1 as the case gives it, then 100 bytes of sample 2 and the 16
  // bytes of slack after the module: 2 of them are kept as guard bytes, so
  // no loop may end past byte length + 114 of sample 1.
  const struct {
    int length, repeat_start, repeat_length;  // bytes, words, words
    uint32_t loop_start, loop_end;
    int looped;
  } cases[] = {
      {200, 80, 40, 160, 240, 1},  // into sample 2's bytes, which then sound
      {100, 100, 2, 200, 204, 1},  // wholly past the sample's own bytes
      {200, 99, 2, 198, 202, 1},   // 2 of its 4 bytes past the sample's end
      {40, 19, 2, 38, 42, 1},
      {40, 10, 100, 20, 154, 1},  // the end pulled back to the image's end
      {40, 76, 2, 152, 154, 1},   // 2 bytes left before the image's end
      {40, 77, 2, 154, 158, 0},   // starts at the image's end: plays once
      {40, 5, 1, 10, 12, 0},      // a repeat of one word is no loop
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.length << " bytes, repeat " << c.repeat_start << " / " << c.repeat_length);
    ModuleBuilder m("M.K.", 4);
    m.sample(1, std::vector<int8_t>(static_cast<size_t>(c.length), 1), 64, 0,
             static_cast<uint16_t>(c.repeat_start), static_cast<uint16_t>(c.repeat_length));
    m.sample(2, std::vector<int8_t>(100, 2));
    define_log.clear();
    ASSERT_EQ(load(m), 1);
    ASSERT_EQ(define_log.size(), 2u);
    EXPECT_EQ(define_log[0].length, static_cast<uint32_t>(c.length));
    EXPECT_EQ(define_log[0].loop_start, c.loop_start);
    EXPECT_EQ(define_log[0].loop_end, c.loop_end);
    EXPECT_EQ(define_log[0].looped, c.looped);
    EXPECT_EQ(data_offset(image, define_log[0]) + c.length + 114 + 2, image.size());
  }
}

TEST_F(LoaderTest, LoadArmsThePlayer) {
  ModuleBuilder m("M.K.", 4);
  m.sample(1, {1});
  ASSERT_EQ(load(m), 1);
  EXPECT_EQ(pt_position(), -37);
  EXPECT_EQ(player.speed, 6);
  EXPECT_EQ(player.tick, 5u);
  EXPECT_EQ(player.row, 63);
  EXPECT_EQ(player.order, -1);
}

}  // namespace
