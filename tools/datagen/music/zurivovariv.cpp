// The show's music. Four channels: drums (kick, snare, hats, crash), bass,
// lead and a chord pad that plays its chords as arpeggios. A row lasts 0.12 s
// at speed 6; four rows make a beat and sixteen a bar, one chord per bar.

#include "music/zurivovariv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "module.h"
#include "noise.h"
#include "shell/overlay.h"
#include "sound/sound.h"

namespace {

// ---- Module layout -------------------------------------------------------

constexpr int kChannels = 4;
constexpr int kRows = kRowsPerPattern;
constexpr int kNone = ModuleBuilder::kNoNoteGiven;

using Cell = ModuleBuilder::Note;
using Pattern = ModuleBuilder::Pattern;
using Sample = ModuleBuilder::Sample;

Cell& at(Pattern& p, int row, int channel) {
  return p[static_cast<size_t>(row)][static_cast<size_t>(channel)];
}

// ---- Samples -------------------------------------------------------------

enum SampleId { kKick = 1, kSnare, kHat, kBass, kLead, kPad, kCrash };

// Drums are made for playback at note 36 (period 428, 8287 bytes per second),
// hats and crash at note 48 (period 214, 16574 bytes per second).
constexpr double kDrumRate = static_cast<double>(kAmigaClock) / PeriodTable[36];
constexpr double kHatRate = static_cast<double>(kAmigaClock) / PeriodTable[48];
constexpr double kPi = std::numbers::pi;

int8_t to_byte(double v) {
  return static_cast<int8_t>(std::clamp(static_cast<int>(std::lround(v)), -127, 127));
}

std::vector<int8_t> even(std::vector<int8_t> d) {
  if (d.size() % 2) d.push_back(0);
  return d;
}

// A sample that plays once.
Sample one_shot(const char* name, const std::vector<int8_t>& d, int volume) {
  Sample s;
  s.name = name;
  s.data = even(d);
  s.volume = static_cast<uint8_t>(volume);
  return s;
}

Sample make_kick() {
  std::vector<int8_t> d;
  double phase = 0.0;
  const int n = static_cast<int>(kDrumRate * 0.30);
  for (int i = 0; i < n; ++i) {
    const double t = i / kDrumRate;
    const double freq = 48.0 + 110.0 * std::exp(-t * 28.0);  // pitch drop
    phase += 2.0 * kPi * freq / kDrumRate;
    const double amp = std::exp(-t * 9.0) * (t < 0.002 ? t / 0.002 : 1.0);
    d.push_back(to_byte(112.0 * amp * std::sin(phase)));
  }
  d.back() = 0;
  return one_shot("kick", d, 64);
}

Sample make_snare() {
  std::vector<int8_t> d;
  Noise noise{12345};
  double phase = 0.0, low = 0.0;
  const int n = static_cast<int>(kDrumRate * 0.22);
  for (int i = 0; i < n; ++i) {
    const double t = i / kDrumRate;
    phase += 2.0 * kPi * 185.0 / kDrumRate;
    const double raw = noise.next_unit();
    low += 0.45 * (raw - low);
    const double body = 0.55 * std::sin(phase) * std::exp(-t * 30.0);
    const double rattle = (raw - 0.5 * low) * std::exp(-t * 16.0);
    d.push_back(to_byte(90.0 * (body + rattle)));
  }
  d.back() = 0;
  return one_shot("snare", d, 60);
}

Sample make_hat(const char* name, double seconds, double decay, double level, uint32_t seed) {
  std::vector<int8_t> d;
  Noise noise{seed};
  double prev = 0.0;
  const int n = static_cast<int>(kHatRate * seconds);
  for (int i = 0; i < n; ++i) {
    const double t = i / kHatRate;
    const double raw = noise.next_unit();
    const double high = raw - prev;  // first difference: a bright, thin noise
    prev = raw;
    d.push_back(to_byte(level * 0.5 * high * std::exp(-t * decay)));
  }
  d.back() = 0;
  return one_shot(name, d, 64);
}

// A looped single-cycle waveform: cycle bytes per period. The mixer plays a
// loop from one byte after its start up to and including its end byte, so
// the sample carries one more cycle's first bytes after the loop: the wave
// stays continuous across the wrap and the loop does not click.
Sample make_cycle(const char* name, int cycle, int cycles_before, double level, int volume,
                  int finetune, double (*wave)(double)) {
  std::vector<int8_t> d;
  const int total = cycle * (cycles_before + 1) + 2;
  for (int i = 0; i < total; ++i)
    d.push_back(to_byte(level * wave(static_cast<double>(i % cycle) / cycle)));
  Sample s = one_shot(name, d, volume);
  s.finetune = static_cast<uint8_t>(finetune & 0x0F);
  s.repeat_start = static_cast<uint16_t>(cycle * cycles_before / 2);  // words
  s.repeat_length = static_cast<uint16_t>(cycle / 2);
  return s;
}

double bass_wave(double x) {  // a rounded saw: fundamental plus two partials
  const double w = 2.0 * kPi * x;
  return (std::sin(w) + 0.45 * std::sin(2 * w) + 0.2 * std::sin(3 * w)) / 1.25;
}
double lead_wave(double x) {  // a soft pulse
  const double w = 2.0 * kPi * x;
  return (std::sin(w) + 0.33 * std::sin(3 * w) + 0.18 * std::sin(5 * w) + 0.1 * std::sin(2 * w)) /
         1.2;
}
double pad_wave(double x) {  // mellow: fundamental, octave and a little fifth
  const double w = 2.0 * kPi * x;
  return (std::sin(w) + 0.3 * std::sin(2 * w) + 0.12 * std::sin(3 * w)) / 1.2;
}

std::vector<Sample> make_samples() {
  std::vector<Sample> s;
  s.push_back(make_kick());
  s.push_back(make_snare());
  s.push_back(make_hat("hat", 0.07, 60.0, 70.0, 777));
  s.push_back(make_cycle("bass", 64, 1, 80.0, 48, 0, bass_wave));
  // The lead sits a hair sharp of the pad (finetune +1) so the two blend.
  s.push_back(make_cycle("lead", 64, 1, 72.0, 40, 1, lead_wave));
  s.push_back(make_cycle("pad", 32, 2, 72.0, 30, 0, pad_wave));
  s.push_back(make_hat("crash", 0.9, 4.5, 80.0, 4242));
  return s;
}

// ---- Harmony -------------------------------------------------------------

// Note indices: octave * 12 + semitone (C = 0).
constexpr int N(int semitone, int octave) { return octave * 12 + semitone; }
constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11;

struct Chord {
  int root;  // semitone
  bool minor;
};

constexpr Chord kVerse[4] = {{A, true}, {F, false}, {C, false}, {G, false}};
constexpr Chord kBreak[4] = {{D, true}, {A, true}, {F, false}, {E, false}};

// Melodies: per bar, (row in bar, note) pairs; -1 ends a bar.
struct MelodyNote {
  int row;
  int note;
};
using Bar = std::array<MelodyNote, 8>;
constexpr MelodyNote kEnd = {-1, 0};

// One bar to a line.
// clang-format off
constexpr Bar kMelodyA[4] = {
    Bar{{{0, N(A, 4)}, {4, N(C, 5)}, {6, N(E, 5)}, {8, N(D, 5)}, {12, N(C, 5)}, {14, N(B, 4)}, kEnd}},
    Bar{{{0, N(C, 5)}, {4, N(A, 4)}, {6, N(F, 4)}, {8, N(A, 4)}, {12, N(C, 5)}, kEnd}},
    Bar{{{0, N(G, 4)}, {4, N(E, 4)}, {6, N(G, 4)}, {8, N(C, 5)}, {12, N(E, 5)}, {14, N(D, 5)}, kEnd}},
    Bar{{{0, N(D, 5)}, {12, N(B, 4)}, {14, N(G, 4)}, kEnd}},
};
constexpr Bar kMelodyB[4] = {
    Bar{{{0, N(E, 5)}, {2, N(E, 5)}, {4, N(D, 5)}, {6, N(C, 5)}, {8, N(E, 5)}, {12, N(A, 5)}, kEnd}},
    Bar{{{0, N(A, 5)}, {4, N(G, 5)}, {6, N(F, 5)}, {8, N(E, 5)}, {10, N(F, 5)}, {12, N(C, 5)}, kEnd}},
    Bar{{{0, N(E, 5)}, {4, N(G, 5)}, {8, N(C, 6)}, {12, N(B, 5)}, {14, N(G, 5)}, kEnd}},
    Bar{{{0, N(B, 5)}, {8, N(A, 5)}, {10, N(G, 5)}, {12, N(B, 5)}, kEnd}},
};
// clang-format on
constexpr Bar kMelodyBreak[4] = {
    Bar{{{0, N(F, 4)}, {8, N(A, 4)}, kEnd}},
    Bar{{{0, N(E, 4)}, {8, N(C, 5)}, kEnd}},
    Bar{{{0, N(A, 4)}, {8, N(F, 4)}, kEnd}},
    Bar{{{0, N(G, 4) + 1}, {8, N(B, 4)}, kEnd}},
};

// ---- Pattern writers -----------------------------------------------------

// The channels' parts.
constexpr int kDrumChannel = 0;
constexpr int kBassChannel = 1;
constexpr int kLeadChannel = 2;
constexpr int kPadChannel = 3;

// The notes the drums and the cymbals are made for (see kDrumRate).
constexpr int kDrumNote = N(C, 3);
constexpr int kCymbalNote = N(C, 4);

// The effect commands the song uses.
enum Effect {
  kArpeggio = 0x0,
  kSlideUp = 0x1,
  kSlideDown = 0x2,
  kTonePortamento = 0x3,
  kVibrato = 0x4,
  kVibratoVolumeSlide = 0x6,
  kSampleOffset = 0x9,
  kVolumeSlide = 0xA,
  kPositionJump = 0xB,
  kSetVolume = 0xC,
  kPatternBreak = 0xD,
  kExtended = 0xE,  // the parameter's high digit chooses: 9 retrigger, C cut, D delay
};

// The pad's arpeggio: root, third and fifth.
constexpr int kMinorArpeggio = 0x37;
constexpr int kMajorArpeggio = 0x47;
int arpeggio(const Chord& chord) { return chord.minor ? kMinorArpeggio : kMajorArpeggio; }

enum Drums { kNoDrums, kSparse, kHatsOnly, kBuild, kFull, kHalf };

void put(Pattern& p, int row, int channel, int sample, int note, int effect = 0, int param = 0) {
  at(p, row, channel) = Cell{sample, note, effect, param};
}

void put_drum(Pattern& p, int row, int sample, int effect = 0, int param = 0) {
  put(p, row, kDrumChannel, sample, sample == kHat || sample == kCrash ? kCymbalNote : kDrumNote,
      effect, param);
}

void write_drums(Pattern& p, Drums style, int rows = kRows) {
  for (int row = 0; row < rows; ++row) {
    const int beat = row % 16;
    switch (style) {
      case kNoDrums: break;
      case kSparse:
        if (row % 32 == 0) put_drum(p, row, kKick);
        break;
      case kHatsOnly:
        if (row % 32 == 0)
          put_drum(p, row, kKick);
        else if (row % 4 == 2)
          put_drum(p, row, kHat, kSetVolume, 0x14);
        break;
      case kBuild:
      case kFull:
        if (beat % 4 == 0) {
          const bool snare = beat == 4 || beat == 12;
          put_drum(p, row, snare ? kSnare : kKick);
        } else if (beat % 2 == 0) {
          put_drum(p, row, kHat, kSetVolume, beat == 6 ? 0x30 : 0x20);
        } else if (style == kFull && beat == 15 && row % 32 == 31) {
          // A ghost snare from the middle of the sample.
          put_drum(p, row, kSnare, kSampleOffset, 0x02);
        }
        break;
      case kHalf:
        if (beat == 0)
          put_drum(p, row, kKick);
        else if (beat == 8)
          put_drum(p, row, kSnare);
        else if (beat % 4 == 2)
          put_drum(p, row, kHat, kSetVolume, 0x18);
        break;
    }
  }
}

// Bass: 0 none, 1 long notes, 2 driving eighths with octave jumps.
void write_bass(Pattern& p, const Chord* chords, int style, int rows = kRows) {
  for (int row = 0; row < rows; ++row) {
    const Chord& chord = chords[row / 16];
    const int root = N(chord.root, 1) + (chord.root >= F ? -12 : 0) + 12;
    const int beat = row % 16;
    if (style == 1 && beat == 0) put(p, row, kBassChannel, kBass, root);
    if (style == 2 && beat % 2 == 0) {
      const int note = (beat == 6 || beat == 14) ? root + 12 : root;
      // The off-beats are cut short on their fourth tick.
      put(p, row, kBassChannel, kBass, note, kExtended, beat % 4 == 0 ? 0x00 : 0xC4);
    }
  }
}

void write_pad(Pattern& p, const Chord* chords, int volume, int rows = kRows) {
  for (int row = 0; row < rows; ++row) {
    const Chord& chord = chords[row / 16];
    if (row % 16 == 0) {
      put(p, row, kPadChannel, kPad, N(chord.root, 3), kArpeggio, arpeggio(chord));
    } else if (row % 16 == 1) {
      put(p, row, kPadChannel, 0, kNone, kSetVolume, volume);  // settle to the section's level
    } else {
      put(p, row, kPadChannel, 0, kNone, kArpeggio, arpeggio(chord));
    }
  }
}

// Lead: notes of the melody; held notes get vibrato, others end with a cut.
void write_lead(Pattern& p, const Bar* bars, int transpose = 0, int rows = kRows) {
  for (int bar = 0; bar < 4 && bar * 16 < rows; ++bar) {
    const Bar& notes = bars[bar];
    for (size_t i = 0; i < notes.size() && notes[i].row >= 0; ++i) {
      const int row = bar * 16 + notes[i].row;
      const int next = (i + 1 < notes.size() && notes[i + 1].row >= 0) ? bar * 16 + notes[i + 1].row
                                                                       : bar * 16 + 16;
      put(p, row, kLeadChannel, kLead, notes[i].note + transpose);
      if (next - row >= 6) {
        for (int r = row + 2; r < next && r < rows; ++r)
          put(p, r, kLeadChannel, 0, kNone, kVibrato, r == row + 2 ? 0x46 : 0x00);
      } else if (next - row == 2) {
        at(p, row, kLeadChannel).effect = kExtended;
        at(p, row, kLeadChannel).param = 0xC5;  // staccato: cut just before the next note
      }
    }
  }
}

// Breakdown lead: long notes that glide into one another.
void write_glide_lead(Pattern& p, const Bar* bars) {
  bool first = true;
  for (int bar = 0; bar < 4; ++bar) {
    for (const MelodyNote& m : bars[bar]) {
      if (m.row < 0) break;
      const int row = bar * 16 + m.row;
      if (first) {
        put(p, row, kLeadChannel, kLead, m.note, kSetVolume, 0x28);
        first = false;
      } else {
        put(p, row, kLeadChannel, 0, m.note, kTonePortamento, 0x06);
        for (int r = row + 1; r < row + 6; ++r)
          put(p, r, kLeadChannel, 0, kNone, kTonePortamento, 0x00);
        put(p, row + 6, kLeadChannel, 0, kNone, kVibratoVolumeSlide,
            0x00);  // vibrato on, volume held
      }
    }
  }
}

bool is_drum(const Cell& c) { return (c.sample == kKick || c.sample == kSnare) && c.note != kNone; }

// Makes sure a kick or snare sounds on the row; keeps a snare that is there.
void force_hit(Pattern& p, int row) {
  if (!is_drum(at(p, row, kDrumChannel))) put_drum(p, row, kKick);
}

// ---- The sections --------------------------------------------------------

// The chords on the pad at the section's volume, the bass in the given style
// and the drums, over the first `rows` rows.
Pattern backing(const Chord* chords, int pad_volume, int bass_style, Drums drums,
                int rows = kRows) {
  Pattern p{};
  write_pad(p, chords, pad_volume, rows);
  write_bass(p, chords, bass_style, rows);
  write_drums(p, drums, rows);
  return p;
}

// The pad alone, swelling bar by bar.
Pattern intro_pad() {
  Pattern p{};
  write_pad(p, kVerse, 0x10);
  for (int bar = 0; bar < 4; ++bar) {
    Cell& first = at(p, bar * 16, kPadChannel);
    first.effect = kSetVolume;
    first.param = 0x06 + 0x06 * bar;
    at(p, bar * 16 + 1, kPadChannel) = Cell{0, kNone, kArpeggio, arpeggio(kVerse[bar])};
  }
  return p;
}

// Kicks on the half notes, soft hats.
Pattern intro_hats() { return backing(kVerse, 0x20, 0, kHatsOnly); }

// The bass enters in long notes, the lead answers with a slide.
Pattern intro_bass(Pattern p) {
  write_bass(p, kVerse, 1);
  put(p, 48, kLeadChannel, kLead, N(E, 4), kSetVolume, 0x20);
  for (int row = 49; row < 60; ++row) put(p, row, kLeadChannel, 0, kNone, kSlideUp, 0x01);
  put(p, 60, kLeadChannel, 0, kNone, kVolumeSlide, 0x04);
  return p;
}

// The build: the bass drives, the drums land on the pulses.
Pattern build() {
  Pattern p = backing(kVerse, 0x24, 2, kHatsOnly);
  for (int row : {0, 7, 9, 16, 27, 32, 39, 41, 48}) force_hit(p, row);
  put_drum(p, 24, kSnare);
  put_drum(p, 56, kSnare);
  write_lead(p, kMelodyA, -12);
  return p;
}

// The build peaks in a snare roll that retriggers faster and faster (every
// third tick, then every second) while the lead rises.
Pattern build_peak() {
  Pattern p = backing(kVerse, 0x28, 2, kNoDrums);
  write_drums(p, kHatsOnly, 32);
  for (int row : {0, 7, 9, 12, 16, 24, 27}) force_hit(p, row);
  for (int row = 32; row < 64; row += 4)
    put_drum(p, row, kSnare, kExtended, row < 48 ? 0x93 : 0x92);
  write_lead(p, kMelodyA, -12, 32);
  put(p, 32, kLeadChannel, kLead, N(E, 4));
  for (int row = 33; row < 64; ++row) put(p, row, kLeadChannel, 0, kNone, kSlideUp, 0x01);
  return p;
}

// The drop, three bars long: a pattern break cuts the fourth bar.
Pattern drop() {
  Pattern p = backing(kVerse, 0x20, 1, kNoDrums, 48);
  put_drum(p, 0, kCrash);
  put_drum(p, 16, kKick);
  put_drum(p, 32, kKick);
  put_drum(p, 40, kSnare, kExtended, 0xD3);  // a late snare: delayed three ticks
  put_drum(p, 44, kSnare);
  put(p, 0, kLeadChannel, kLead, N(A, 4), kSetVolume, 0x30);
  for (int row = 2; row < 47; ++row)
    put(p, row, kLeadChannel, 0, kNone, kVibrato, row == 2 ? 0x34 : 0x00);
  put(p, 44, kBassChannel, kBass, N(A, 1) + 12);
  // The bass falls away.
  for (int row = 45; row < 47; ++row) put(p, row, kBassChannel, 0, kNone, kSlideDown, 0x06);
  put(p, 47, kBassChannel, 0, kNone, kPatternBreak, 0x00);
  return p;
}

// The full verse with the first melody.
Pattern verse_a() {
  Pattern p = backing(kVerse, 0x1C, 2, kFull);
  write_lead(p, kMelodyA);
  put_drum(p, 0, kCrash);
  return p;
}

// The same verse with the second melody.
Pattern verse_b(Pattern p) {
  for (int row = 0; row < kRows; ++row) at(p, row, kLeadChannel) = Cell{};
  write_lead(p, kMelodyB);
  put_drum(p, 0, kKick);
  return p;
}

// The breakdown: half-time drums, long bass, the lead glides.
Pattern breakdown() {
  Pattern p = backing(kBreak, 0x24, 1, kHalf);
  for (int row : {16, 32, 48}) force_hit(p, row);
  write_glide_lead(p, kMelodyBreak);
  return p;
}

// Its second half: full drums and a snare roll into the verse.
Pattern breakdown_roll(Pattern p) {
  write_drums(p, kFull);
  for (int row = 56; row < 64; ++row) put_drum(p, row, kSnare, kExtended, 0x92);
  return p;
}

// The last verse's fill: snares rising in volume.
Pattern fill(Pattern p) {
  for (int row = 48; row < 64; row += 2) put_drum(p, row, kSnare, kSetVolume, 0x20 + row - 48);
  force_hit(p, 48);
  return p;
}

// The ending: one chord that fades, then back to the start.
Pattern ending() {
  Pattern p{};
  put_drum(p, 0, kCrash);
  put(p, 0, kBassChannel, kBass, N(A, 1));
  put(p, 0, kLeadChannel, kLead, N(A, 4), kVibrato, 0x34);
  put(p, 0, kPadChannel, kPad, N(A, 3), kArpeggio, kMinorArpeggio);
  for (int row = 1; row < 40; ++row) {
    put(p, row, kBassChannel, 0, kNone, kVolumeSlide, 0x01);
    put(p, row, kLeadChannel, 0, kNone, kVibratoVolumeSlide, 0x01);
    put(p, row, kPadChannel, 0, kNone, kArpeggio, kMinorArpeggio);
  }
  put_drum(p, 2, kKick);
  put(p, 40, kPadChannel, 0, kNone, kSetVolume, 0x00);
  put(p, 40, kLeadChannel, 0, kNone, kSetVolume, 0x00);
  put(p, 40, kBassChannel, 0, kNone, kSetVolume, 0x00);
  put(p, 63, kDrumChannel, 0, kNone, kPositionJump, 0x00);
  return p;
}

// ---- The song ------------------------------------------------------------

struct Arrangement {
  std::vector<Pattern> patterns;
  std::vector<uint8_t> order;

  uint8_t add(const Pattern& p) {
    patterns.push_back(p);
    return static_cast<uint8_t>(patterns.size() - 1);
  }
};

// Every pulse and flash of the picture overlay lands on a drum hit, whatever
// the patterns say. Patterns are shared between orders, so this is done per
// order.
void land_cues_on_drums(Arrangement& arrangement) {
  for (const int16_t* cues : {kPulsePositions, kFlashPositions})
    for (const int16_t* p = cues; *p != -1; ++p)
      force_hit(arrangement.patterns[arrangement.order[*p / 100]], *p % 100);
}

Arrangement arrange() {
  Arrangement arrangement;
  const uint8_t p_intro = arrangement.add(intro_pad());
  const Pattern hats = intro_hats();
  const uint8_t p_intro2 = arrangement.add(hats);
  const uint8_t p_intro3 = arrangement.add(intro_bass(hats));
  const uint8_t p_build = arrangement.add(build());
  const uint8_t p_build2 = arrangement.add(build_peak());
  const uint8_t p_drop = arrangement.add(drop());
  const Pattern verse = verse_a();
  const uint8_t p_verse_a = arrangement.add(verse);
  const uint8_t p_verse_b = arrangement.add(verse_b(verse));
  const Pattern half_time = breakdown();
  const uint8_t p_break = arrangement.add(half_time);
  const uint8_t p_break2 = arrangement.add(breakdown_roll(half_time));
  const uint8_t p_fill = arrangement.add(fill(verse_b(verse)));
  const uint8_t p_ending = arrangement.add(ending());

  arrangement.order = {p_intro,   p_intro2,  p_intro3,  p_intro3,  p_build, p_build2, p_drop,
                       p_verse_a, p_verse_b, p_verse_a, p_verse_b, p_break, p_break2, p_verse_a,
                       p_verse_b, p_verse_a, p_verse_b, p_verse_a, p_fill,  p_ending};
  land_cues_on_drums(arrangement);
  return arrangement;
}

}  // namespace

std::vector<uint8_t> compose_zurivovariv() {
  const std::vector<Sample> samples = make_samples();
  const Arrangement arrangement = arrange();

  ModuleBuilder m("M.K.", kChannels);
  m.title = "zurivovariv";
  for (size_t k = 0; k < samples.size(); ++k) m.samples[k + 1] = samples[k];
  m.unused_samples_from(static_cast<int>(samples.size()) + 1);
  m.song_length = static_cast<uint8_t>(arrangement.order.size());
  m.restart = 127;
  std::copy(arrangement.order.begin(), arrangement.order.end(), m.orders.begin());
  m.pattern_count = static_cast<int>(arrangement.patterns.size());
  for (size_t p = 0; p < arrangement.patterns.size(); ++p)
    m.pattern(static_cast<int>(p), arrangement.patterns[p]);
  return m.build();
}
