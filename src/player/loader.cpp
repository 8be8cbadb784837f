// The module loader: takes a 31-sample module image in place.

#include <cstring>

#include "player/player.h"
#include "sound/sound.h"

Song song;

namespace {

struct FormatTag {
  char tag[5];
  uint32_t channels;
};

// Searched in this order; "STOP" ends the table and marks an unknown tag.
constexpr FormatTag kFormatTagTable[] = {
    {"2CHN", 2},  {"4CHN", 4},  {"M.K.", 4},  {"M!K!", 4},  {"FLT4", 4},  {"FLT8", 8},
    {"OCTA", 8},  {"6CHN", 6},  {"8CHN", 8},  {"10CH", 10}, {"12CH", 12}, {"14CH", 14},
    {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22}, {"24CH", 24}, {"26CH", 26},
    {"28CH", 28}, {"30CH", 30}, {"32CH", 32}, {"STOP", 0},
};

constexpr char kUnknownType[] = "pt_takemod error: unknown module type!";
constexpr char kTruncated[] = "pt_takemod error: module too short for its patterns!";

uint32_t read_be16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

uint32_t lookup_channels(const uint8_t* tag) {
  for (const FormatTag& entry : kFormatTagTable) {
    if (entry.channels == 0 || std::memcmp(entry.tag, tag, 4) == 0) return entry.channels;
  }
  return 0;
}

// The note whose row-0 period is the first at or below the raw period: an
// exact period gives its note, one between two notes the higher one.
uint8_t note_from_period(uint32_t period) {
  // Most cells hold no note (period 0): below the table's last period no
  // entry can match, so the search is skipped.
  if (period < PeriodTable[83]) return kNoNote;
  for (int j = 0; j <= 83; ++j)
    if (PeriodTable[j] <= period) return static_cast<uint8_t>(j);
  return kNoNote;
}

void unpack_pattern(uint8_t* cells, uint32_t cell_count) {
  for (uint32_t i = 0; i < cell_count; ++i) {
    uint8_t* b = cells + i * 4;
    uint32_t period = ((b[0] & 0x0Fu) << 8) | b[1];
    NoteCell cell{static_cast<uint8_t>((b[0] & 0xF0) | (b[2] >> 4)), note_from_period(period),
                  static_cast<uint8_t>(b[2] & 0x0F), b[3]};
    std::memcpy(b, &cell, 4);
  }
}

}  // namespace

int pt_takemod(uint8_t* image, size_t size) {
  // The fixed header is 1084 bytes; anything shorter cannot be a module.
  if (size < kPatternDataOffset) {
    song.channel_count = 0;
    song.error_text = kUnknownType;
    return 0;
  }
  for (int k = 1; k <= 31; ++k) {
    const uint8_t* h = image + 20 + 30 * (k - 1);
    SampleInfo& s = song.samples[k];
    s.length = read_be16(h + 22) * 2;
    s.finetune = h[24] & 0x0F;
    s.volume = h[25] > 64 ? 64 : h[25];
    s.repeat_start = read_be16(h + 26) * 2;
    s.repeat_length = read_be16(h + 28) * 2;
  }
  song.samples[0] = SampleInfo{};
  // The order table has 128 entries: a longer song length cannot be played.
  song.song_length = image[950] > 128 ? 128 : image[950];
  song.restart_position = image[951] > 126 ? 0 : image[951];
  std::memcpy(song.order_table, image + 952, 128);

  song.channel_count = lookup_channels(image + kFormatTagOffset);
  if (song.channel_count == 0) {
    song.error_text = kUnknownType;
    return 0;
  }

  // Pattern numbers above 127 have no pattern to stand for: they are played
  // as pattern 0 and do not count towards the patterns stored in the file.
  uint8_t highest = 0;
  for (uint8_t& entry : song.order_table) {
    if (entry >= kMaxPatterns) entry = 0;
    if (entry > highest) highest = entry;
  }
  song.highest_pattern = highest;

  const uint32_t pattern_bytes = song.channel_count * 256;
  const uint64_t patterns_end = kPatternDataOffset + uint64_t{pattern_bytes} * (highest + 1u);
  if (patterns_end > size) {
    song.channel_count = 0;
    song.error_text = kTruncated;
    return 0;
  }

  uint32_t offset = kPatternDataOffset;
  for (uint32_t p = 0; p <= highest; ++p) {
    song.patterns[p] = reinterpret_cast<NoteCell*>(image + offset);
    unpack_pattern(image + offset, kRowsPerPattern * song.channel_count);
    offset += pattern_bytes;
  }
  for (uint32_t p = highest + 1u; p < kMaxPatterns; ++p) song.patterns[p] = nullptr;

  for (int k = 1; k <= 31; ++k) {
    SampleInfo& s = song.samples[k];
    if (s.length == 0) continue;
    // The loop is the header's, even where it runs on past the sample's
    // own bytes into the data that follows, which then sounds. Only the end
    // of the bytes at hand bounds it: the mixer may read the guard bytes
    // from a sample's length or loop end on, so neither may come closer to
    // that end. A sample that does is cut short (one with nothing left is
    // dropped), a loop end that does is pulled back, and a loop that starts
    // there plays once instead.
    const uint64_t room =
        size > offset + uint64_t{kSampleGuardBytes} ? size - offset - kSampleGuardBytes : 0;
    const uint32_t length = s.length < room ? s.length : static_cast<uint32_t>(room);
    if (length == 0) {
      offset += s.length;
      continue;
    }
    const uint32_t loop_start = s.repeat_start;
    uint32_t loop_end = s.repeat_start + s.repeat_length;
    int looped = s.repeat_length > 2 ? 1 : 0;
    if (looped && loop_end > room) {
      if (loop_start < room)
        loop_end = static_cast<uint32_t>(room);
      else
        looped = 0;
    }
    sound_device.snd_define_sample(k, reinterpret_cast<const int8_t*>(image + offset), length,
                                   loop_start, loop_end, looped);
    offset += s.length;
    if (offset >= size) offset = static_cast<uint32_t>(size);
  }
  sound_device.snd_set_voice_count(static_cast<int>(song.channel_count));
  return 1;
}
