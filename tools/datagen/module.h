// A 31-sample module described in code and written as the file image the
// loader reads: title, sample headers, order table, format tag, pattern cells
// and sample data. The one description of a module that the show's music, the
// data generator, the tests, the fuzz seeds and the benchmarks write theirs
// with; nothing in the show uses it.
//
//   ModuleBuilder m("M.K.", 4);
//   m.sample(1, {0, 10, 20, -10}, 64);
//   m.cell(0, 0, 0, 1, note_period(36), 0xC, 0x20);
//   std::vector<uint8_t> image = m.build();
//
// A sample loops when its repeat length is more than one word; a repeat of
// one word (two bytes) is the one mark of a sample that does not loop.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "player/period_table.h"
#include "player/player.h"

// The raw period of a note index (0..84) in the finetune 0 row: the loader
// turns it back into the same note.
inline int note_period(int note) { return PeriodTable[note]; }

struct ModuleBuilder {
  struct Sample {
    std::vector<int8_t> data;    // written as the sample's bytes
    int length_words = -1;       // header length; -1: data.size() rounded up to words
    uint8_t finetune = 0;        // the whole header byte
    uint8_t volume = 64;         // the whole header byte
    uint16_t repeat_start = 0;   // words
    uint16_t repeat_length = 1;  // words; 1: no loop
    std::string name;            // up to 22 bytes
  };
  // A pattern cell as a tracker shows it: sample 0 and note kNoNoteGiven
  // mean none. A whole pattern of them is written with pattern().
  struct Note {
    int sample = 0;
    int note = kNoNoteGiven;  // 0..83: index into the finetune 0 period row
    int effect = 0;
    int param = 0;
  };
  static constexpr int kNoNoteGiven = -1;
  // One pattern of a four-channel song as it is composed: 64 rows of four
  // notes.
  using Pattern = std::array<std::array<Note, 4>, kRowsPerPattern>;
  // One raw cell: sample 0..255, raw period 0..4095 (0: no note).
  struct Cell {
    int pattern, row, channel, sample, period, effect, param;
  };

  std::string tag;
  int channels;
  std::string title;  // up to 20 bytes
  uint8_t song_length = 1;
  uint8_t restart = 0;
  std::array<uint8_t, 128> orders{};
  int pattern_count = -1;            // -1: one more than the highest order entry below 128
  std::array<Sample, 32> samples{};  // 1..31
  std::vector<Cell> cells;

  ModuleBuilder(std::string format_tag = "M.K.", int channel_count = 4)
      : tag(std::move(format_tag)), channels(channel_count) {}

  ModuleBuilder& sample(int k, std::vector<int8_t> data, uint8_t volume = 64, uint8_t finetune = 0,
                        uint16_t repeat_start = 0, uint16_t repeat_length = 1) {
    samples[k] = Sample{std::move(data), -1, finetune, volume, repeat_start, repeat_length, {}};
    return *this;
  }
  // Makes samples k..31 all-zero headers, as a tracker writes the slots a
  // song leaves unused (a default slot is empty at volume 64, no loop).
  ModuleBuilder& unused_samples_from(int k) {
    for (; k <= 31; ++k) samples[k] = Sample{{}, -1, 0, 0, 0, 0, {}};
    return *this;
  }
  ModuleBuilder& order(std::initializer_list<uint8_t> list) {
    int i = 0;
    for (uint8_t p : list) orders[i++] = p;
    return *this;
  }
  ModuleBuilder& cell(int pattern, int row, int channel, int sample, int period, int effect = 0,
                      int param = 0) {
    cells.push_back(Cell{pattern, row, channel, sample, period, effect, param});
    return *this;
  }
  // A cell given by note index (0..84; negative for none) rather than period.
  ModuleBuilder& note(int pattern, int row, int channel, int sample, int note, int effect = 0,
                      int param = 0) {
    return cell(pattern, row, channel, sample, note < 0 ? 0 : note_period(note), effect, param);
  }

  // Writes a composed four-channel pattern as pattern `index`.
  ModuleBuilder& pattern(int index, const Pattern& p) {
    for (int row = 0; row < kRowsPerPattern; ++row)
      for (int c = 0; c < 4; ++c) {
        const Note& n = p[static_cast<size_t>(row)][static_cast<size_t>(c)];
        note(index, row, c, n.sample, n.note, n.effect, n.param);
      }
    return *this;
  }

  int patterns() const {
    if (pattern_count >= 0) return pattern_count;
    int highest = 0;
    for (uint8_t p : orders)
      if (p < 128 && p > highest) highest = p;
    return highest + 1;
  }

  static uint32_t sample_bytes(const Sample& s) {
    return s.length_words >= 0 ? 2u * static_cast<uint32_t>(s.length_words)
                               : static_cast<uint32_t>((s.data.size() + 1) / 2 * 2);
  }

  // Where sample k's data starts in the built image.
  uint32_t sample_offset(int k) const {
    uint32_t offset = kPatternDataOffset + static_cast<uint32_t>(patterns() * channels * 256);
    for (int i = 1; i < k; ++i) offset += sample_bytes(samples[i]);
    return offset;
  }

  std::vector<uint8_t> build() const {
    std::vector<uint8_t> image(sample_offset(32), 0);
    auto put16 = [&](size_t at, uint32_t v) {
      image[at] = static_cast<uint8_t>(v >> 8);
      image[at + 1] = static_cast<uint8_t>(v);
    };
    auto put_text = [&](size_t at, const std::string& text, size_t field) {
      std::copy_n(text.begin(), std::min(text.size(), field),
                  image.begin() + static_cast<long>(at));
    };
    put_text(0, title, 20);
    for (int k = 1; k <= 31; ++k) {
      const Sample& s = samples[k];
      const size_t h = 20 + 30 * (k - 1);
      put_text(h, s.name, 22);
      put16(h + 22, sample_bytes(s) / 2);
      image[h + 24] = s.finetune;
      image[h + 25] = s.volume;
      put16(h + 26, s.repeat_start);
      put16(h + 28, s.repeat_length);
      const uint32_t at = sample_offset(k);
      for (size_t i = 0; i < s.data.size() && i < sample_bytes(s); ++i)
        image[at + i] = static_cast<uint8_t>(s.data[i]);
    }
    image[950] = song_length;
    image[951] = restart;
    for (int i = 0; i < 128; ++i) image[952 + i] = orders[i];
    put_text(kFormatTagOffset, tag, 4);
    for (const Cell& c : cells) {
      uint8_t* b =
          &image[kPatternDataOffset +
                 static_cast<size_t>(((c.pattern * 64 + c.row) * channels + c.channel) * 4)];
      b[0] = static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F));
      b[1] = static_cast<uint8_t>(c.period);
      b[2] = static_cast<uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F));
      b[3] = static_cast<uint8_t>(c.param);
    }
    return image;
  }
};
