// The show's music. Four channels: drums (kick, snare, hats, crash), bass,
// lead and a chord pad that plays its chords as arpeggios. A row lasts 0.12 s
// at speed 6; four rows make a beat and sixteen a bar, one chord per bar.

#include "music/zurivovariv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

namespace {

// ---- Module layout -------------------------------------------------------

constexpr int kChannels = 4;
constexpr int kRows = 64;
constexpr int kNone = -1;

// Row-0 periods of the note indices the song uses (0..83), the same table
// the player looks notes up in.
constexpr std::array<uint16_t, 84> kPeriods = {
    3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920, 1812, 1712, 1616, 1524,
    1440, 1356, 1280, 1208, 1140, 1076, 1016, 960,  906,  856,  808,  762,  720,  678,  640,
    604,  570,  538,  508,  480,  453,  428,  404,  381,  360,  339,  320,  302,  285,  269,
    254,  240,  226,  214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120,  113,
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,   56,   53,   50,   47,
    45,   42,   40,   37,   35,   33,   31,   30,   28};

struct Cell {
  int sample = 0;
  int note = kNone;  // note index, kNone for none
  int effect = 0;
  int param = 0;
};

struct Pattern {
  Cell cells[kRows][kChannels];
  Cell& at(int row, int channel) { return cells[row][channel]; }
};

struct Sample {
  std::string name;
  std::vector<int8_t> data;
  int finetune = 0;
  int volume = 64;
  uint32_t loop_start = 0;   // bytes, even
  uint32_t loop_length = 0;  // bytes, even; 0 for none
};

// ---- Samples -------------------------------------------------------------

enum SampleId { kKick = 1, kSnare, kHat, kBass, kLead, kPad, kCrash };

// Drums are made for playback at note 36 (period 428, 8287 bytes per second),
// hats and crash at note 48 (period 214, 16574 bytes per second).
constexpr double kDrumRate = 3546836.0 / 428.0;
constexpr double kHatRate = 3546836.0 / 214.0;
constexpr double kPi = 3.14159265358979323846;

// A small deterministic noise source.
struct Noise {
  uint32_t state;
  double next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
  }
};

int8_t to_byte(double v) {
  return static_cast<int8_t>(std::clamp(static_cast<int>(std::lround(v)), -127, 127));
}

std::vector<int8_t> even(std::vector<int8_t> d) {
  if (d.size() % 2) d.push_back(0);
  return d;
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
  return Sample{"kick", even(d), 0, 64, 0, 0};
}

Sample make_snare() {
  std::vector<int8_t> d;
  Noise noise{12345};
  double phase = 0.0, low = 0.0;
  const int n = static_cast<int>(kDrumRate * 0.22);
  for (int i = 0; i < n; ++i) {
    const double t = i / kDrumRate;
    phase += 2.0 * kPi * 185.0 / kDrumRate;
    const double raw = noise.next();
    low += 0.45 * (raw - low);
    const double body = 0.55 * std::sin(phase) * std::exp(-t * 30.0);
    const double rattle = (raw - 0.5 * low) * std::exp(-t * 16.0);
    d.push_back(to_byte(90.0 * (body + rattle)));
  }
  d.back() = 0;
  return Sample{"snare", even(d), 0, 60, 0, 0};
}

Sample make_hat(const char* name, double seconds, double decay, double level, uint32_t seed) {
  std::vector<int8_t> d;
  Noise noise{seed};
  double prev = 0.0;
  const int n = static_cast<int>(kHatRate * seconds);
  for (int i = 0; i < n; ++i) {
    const double t = i / kHatRate;
    const double raw = noise.next();
    const double high = raw - prev;  // first difference: a bright, thin noise
    prev = raw;
    d.push_back(to_byte(level * 0.5 * high * std::exp(-t * decay)));
  }
  d.back() = 0;
  return Sample{name, even(d), 0, 64, 0, 0};
}

// A looped single-cycle waveform: cycle bytes per period. The mixer plays a
// loop from one byte after its start up to and including its end byte, so
// the sample carries one more cycle's first bytes after the loop: the wave
// stays continuous across the wrap and the loop does not click.
Sample make_cycle(const char* name, int cycle, int cycles_before, double level, int volume,
                  int finetune, double (*wave)(double)) {
  std::vector<int8_t> d;
  const int total = cycle * (cycles_before + 1) + 2;
  for (int i = 0; i < total; ++i) d.push_back(to_byte(level * wave(static_cast<double>(i % cycle) / cycle)));
  Sample s{name, even(d), finetune, volume, 0, 0};
  s.loop_start = static_cast<uint32_t>(cycle * cycles_before);
  s.loop_length = static_cast<uint32_t>(cycle);
  return s;
}

double bass_wave(double x) {  // a rounded saw: fundamental plus two partials
  const double w = 2.0 * kPi * x;
  return (std::sin(w) + 0.45 * std::sin(2 * w) + 0.2 * std::sin(3 * w)) / 1.25;
}
double lead_wave(double x) {  // a soft pulse
  const double w = 2.0 * kPi * x;
  return (std::sin(w) + 0.33 * std::sin(3 * w) + 0.18 * std::sin(5 * w) + 0.1 * std::sin(2 * w)) / 1.2;
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
  int root;    // semitone
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
constexpr Bar kMelodyBreak[4] = {
    Bar{{{0, N(F, 4)}, {8, N(A, 4)}, kEnd}},
    Bar{{{0, N(E, 4)}, {8, N(C, 5)}, kEnd}},
    Bar{{{0, N(A, 4)}, {8, N(F, 4)}, kEnd}},
    Bar{{{0, N(G, 4) + 1}, {8, N(B, 4)}, kEnd}},
};

// ---- Pattern writers -----------------------------------------------------

enum Drums { kNoDrums, kSparse, kHatsOnly, kBuild, kFull, kHalf };

void put(Pattern& p, int row, int channel, int sample, int note, int effect = 0, int param = 0) {
  p.at(row, channel) = Cell{sample, note, effect, param};
}

void write_drums(Pattern& p, Drums style, int rows = kRows) {
  for (int row = 0; row < rows; ++row) {
    const int beat = row % 16;
    switch (style) {
      case kNoDrums: break;
      case kSparse:
        if (row % 32 == 0) put(p, row, 0, kKick, N(C, 3));
        break;
      case kHatsOnly:
        if (row % 32 == 0) put(p, row, 0, kKick, N(C, 3));
        else if (row % 4 == 2) put(p, row, 0, kHat, N(C, 4), 0xC, 0x14);
        break;
      case kBuild:
      case kFull:
        if (beat % 4 == 0) {
          const bool snare = beat == 4 || beat == 12;
          put(p, row, 0, snare ? kSnare : kKick, N(C, 3));
        } else if (beat % 2 == 0) {
          put(p, row, 0, kHat, N(C, 4), 0xC, beat == 6 ? 0x30 : 0x20);
        } else if (style == kFull && beat == 15 && row % 32 == 31) {
          // A ghost snare from the middle of the sample.
          put(p, row, 0, kSnare, N(C, 3), 0x9, 0x02);
        }
        break;
      case kHalf:
        if (beat == 0) put(p, row, 0, kKick, N(C, 3));
        else if (beat == 8) put(p, row, 0, kSnare, N(C, 3));
        else if (beat % 4 == 2) put(p, row, 0, kHat, N(C, 4), 0xC, 0x18);
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
    if (style == 1 && beat == 0) put(p, row, 1, kBass, root);
    if (style == 2 && beat % 2 == 0) {
      const int note = (beat == 6 || beat == 14) ? root + 12 : root;
      put(p, row, 1, kBass, note, 0xE, beat % 4 == 0 ? 0x00 : 0xC4);  // short off-beats
    }
  }
}

void write_pad(Pattern& p, const Chord* chords, int volume, int rows = kRows) {
  for (int row = 0; row < rows; ++row) {
    const Chord& chord = chords[row / 16];
    const int arpeggio = chord.minor ? 0x37 : 0x47;
    if (row % 16 == 0) {
      put(p, row, 3, kPad, N(chord.root, 3), 0x0, arpeggio);
    } else if (row % 16 == 1) {
      put(p, row, 3, 0, kNone, 0xC, volume);  // settle to the section's level
    } else {
      put(p, row, 3, 0, kNone, 0x0, arpeggio);
    }
  }
}

// Lead: notes of the melody; held notes get vibrato, others end with a cut.
void write_lead(Pattern& p, const Bar* bars, int transpose = 0, int rows = kRows) {
  for (int bar = 0; bar < 4 && bar * 16 < rows; ++bar) {
    const Bar& notes = bars[bar];
    for (size_t i = 0; i < notes.size() && notes[i].row >= 0; ++i) {
      const int row = bar * 16 + notes[i].row;
      const int next = (i + 1 < notes.size() && notes[i + 1].row >= 0) ? bar * 16 + notes[i + 1].row : bar * 16 + 16;
      put(p, row, 2, kLead, notes[i].note + transpose);
      if (next - row >= 6) {
        for (int r = row + 2; r < next && r < rows; ++r) put(p, r, 2, 0, kNone, 0x4, r == row + 2 ? 0x46 : 0x00);
      } else if (next - row == 2) {
        p.at(row, 2).effect = 0xE;
        p.at(row, 2).param = 0xC5;  // staccato: cut just before the next note
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
        put(p, row, 2, kLead, m.note, 0xC, 0x28);
        first = false;
      } else {
        put(p, row, 2, 0, m.note, 0x3, 0x06);
        for (int r = row + 1; r < row + 6; ++r) put(p, r, 2, 0, kNone, 0x3, 0x00);
        put(p, row + 6, 2, 0, kNone, 0x6, 0x00);  // vibrato on, volume held
      }
    }
  }
}

// ---- The song ------------------------------------------------------------

// Song positions (order * 100 + row) where the pictures pulse or flash; the
// drums must hit on each of them.
constexpr int kPulsePositions[] = {
    400,  407,  409,  416,  427,  432,  439,  441,  448,  500,  507,  509,  516,  527,  700,  716,
    732,  748,  800,  816,  832,  848,  900,  916,  932,  948,  1000, 1016, 1032, 1048, 1100, 1116,
    1132, 1148, 1200, 1216, 1232, 1248, 1300, 1316, 1332, 1348, 1400, 1416, 1432, 1448, 1500, 1516,
    1532, 1548, 1600, 1616, 1632, 1648, 1700, 1716, 1732, 1748, 1800, 1816, 1832, 1848};
constexpr int kFlashPositions[] = {
    100,  200,  232,  300,  332,  400,  416,  432,  448,  500,  512,  524,  600,  800,  816,
    832,  848,  900,  916,  932,  948,  1000, 1016, 1032, 1048, 1300, 1316, 1332, 1348, 1400,
    1416, 1432, 1448, 1600, 1616, 1632, 1648, 1700, 1716, 1732, 1748, 1800, 1816, 1832, 1848};

bool is_drum(const Cell& c) { return (c.sample == kKick || c.sample == kSnare) && c.note != kNone; }

// Makes sure a kick or snare sounds on the row; keeps a snare that is there.
void force_hit(Pattern& p, int row) {
  if (!is_drum(p.at(row, 0))) put(p, row, 0, kKick, N(C, 3));
}

struct Song {
  std::vector<Pattern> patterns;
  std::vector<uint8_t> order;
};

Song arrange() {
  Song song;
  auto add = [&](Pattern p) {
    song.patterns.push_back(p);
    return static_cast<uint8_t>(song.patterns.size() - 1);
  };

  // 0: the pad alone, swelling bar by bar.
  Pattern intro{};
  write_pad(intro, kVerse, 0x10);
  for (int bar = 0; bar < 4; ++bar) {
    Cell& first = intro.at(bar * 16, 3);
    first.effect = 0xC;
    first.param = 0x06 + 0x06 * bar;
    intro.at(bar * 16 + 1, 3) = Cell{0, kNone, 0x0, kVerse[bar].minor ? 0x37 : 0x47};
  }
  const uint8_t p_intro = add(intro);

  // 1: kicks on the half notes, soft hats.
  Pattern intro2{};
  write_pad(intro2, kVerse, 0x20);
  write_drums(intro2, kHatsOnly);
  const uint8_t p_intro2 = add(intro2);

  // 2, 3: the bass enters in long notes, the lead answers with a slide.
  Pattern intro3 = intro2;
  write_bass(intro3, kVerse, 1);
  put(intro3, 48, 2, kLead, N(E, 4), 0xC, 0x20);
  for (int row = 49; row < 60; ++row) put(intro3, row, 2, 0, kNone, 0x1, 0x01);  // slide up
  put(intro3, 60, 2, 0, kNone, 0xA, 0x04);
  const uint8_t p_intro3 = add(intro3);

  // 4: the build: the bass drives, the drums land on the pulses.
  Pattern build{};
  write_pad(build, kVerse, 0x24);
  write_bass(build, kVerse, 2);
  write_drums(build, kHatsOnly);
  for (int row : {0, 7, 9, 16, 27, 32, 39, 41, 48}) force_hit(build, row);
  put(build, 24, 0, kSnare, N(C, 3));
  put(build, 56, 0, kSnare, N(C, 3));
  write_lead(build, kMelodyA, -12);
  const uint8_t p_build = add(build);

  // 5: the build peaks in a snare roll that retriggers faster and faster.
  Pattern build2{};
  write_pad(build2, kVerse, 0x28);
  write_bass(build2, kVerse, 2);
  write_drums(build2, kHatsOnly, 32);
  for (int row : {0, 7, 9, 12, 16, 24, 27}) force_hit(build2, row);
  for (int row = 32; row < 64; row += 4) put(build2, row, 0, kSnare, N(C, 3), 0xE, row < 48 ? 0x93 : 0x92);
  write_lead(build2, kMelodyA, -12, 32);
  put(build2, 32, 2, kLead, N(E, 4));
  for (int row = 33; row < 64; ++row) put(build2, row, 2, 0, kNone, 0x1, 0x01);  // rising
  const uint8_t p_build2 = add(build2);

  // 6: the drop, three bars long: a pattern break cuts the fourth bar.
  Pattern drop{};
  write_pad(drop, kVerse, 0x20, 48);
  write_bass(drop, kVerse, 1, 48);
  put(drop, 0, 0, kCrash, N(C, 4));
  put(drop, 16, 0, kKick, N(C, 3));
  put(drop, 32, 0, kKick, N(C, 3));
  put(drop, 40, 0, kSnare, N(C, 3), 0xE, 0xD3);  // a late snare
  put(drop, 44, 0, kSnare, N(C, 3));
  put(drop, 0, 2, kLead, N(A, 4), 0xC, 0x30);
  for (int row = 2; row < 47; ++row) put(drop, row, 2, 0, kNone, 0x4, row == 2 ? 0x34 : 0x00);
  put(drop, 44, 1, kBass, N(A, 1) + 12);
  for (int row = 45; row < 47; ++row) put(drop, row, 1, 0, kNone, 0x2, 0x06);  // the bass falls away
  put(drop, 47, 1, 0, kNone, 0xD, 0x00);
  const uint8_t p_drop = add(drop);

  // The full verse, in two melodies.
  Pattern verse_a{};
  write_pad(verse_a, kVerse, 0x1C);
  write_bass(verse_a, kVerse, 2);
  write_drums(verse_a, kFull);
  write_lead(verse_a, kMelodyA);
  put(verse_a, 0, 0, kCrash, N(C, 4));
  const uint8_t p_verse_a = add(verse_a);

  Pattern verse_b = verse_a;
  for (int row = 0; row < kRows; ++row) verse_b.at(row, 2) = Cell{};
  write_lead(verse_b, kMelodyB);
  put(verse_b, 0, 0, kKick, N(C, 3));
  const uint8_t p_verse_b = add(verse_b);

  // The breakdown: half-time drums, long bass, the lead glides.
  Pattern breakdown{};
  write_pad(breakdown, kBreak, 0x24);
  write_bass(breakdown, kBreak, 1);
  write_drums(breakdown, kHalf);
  for (int row : {16, 32, 48}) force_hit(breakdown, row);
  write_glide_lead(breakdown, kMelodyBreak);
  const uint8_t p_break = add(breakdown);

  Pattern breakdown2 = breakdown;
  write_drums(breakdown2, kFull);
  for (int row = 56; row < 64; ++row) put(breakdown2, row, 0, kSnare, N(C, 3), 0xE, 0x92);
  const uint8_t p_break2 = add(breakdown2);

  // The last verse with a fill, then the ending.
  Pattern fill = verse_b;
  for (int row = 48; row < 64; row += 2) put(fill, row, 0, kSnare, N(C, 3), 0xC, static_cast<uint8_t>(0x20 + row - 48));
  force_hit(fill, 48);
  const uint8_t p_fill = add(fill);

  Pattern ending{};
  put(ending, 0, 0, kCrash, N(C, 4));
  put(ending, 0, 1, kBass, N(A, 1));
  put(ending, 0, 2, kLead, N(A, 4), 0x4, 0x34);
  put(ending, 0, 3, kPad, N(A, 3), 0x0, 0x37);
  for (int row = 1; row < 40; ++row) {
    put(ending, row, 1, 0, kNone, 0xA, 0x01);
    put(ending, row, 2, 0, kNone, 0x6, 0x01);
    put(ending, row, 3, 0, kNone, 0x0, 0x37);
  }
  put(ending, 2, 0, kKick, N(C, 3));
  put(ending, 40, 3, 0, kNone, 0xC, 0x00);
  put(ending, 40, 2, 0, kNone, 0xC, 0x00);
  put(ending, 40, 1, 0, kNone, 0xC, 0x00);
  put(ending, 63, 0, 0, kNone, 0xB, 0x00);  // back to the start
  const uint8_t p_ending = add(ending);

  song.order = {p_intro,   p_intro2,  p_intro3,  p_intro3,  p_build,   p_build2,  p_drop,
                p_verse_a, p_verse_b, p_verse_a, p_verse_b, p_break,   p_break2,  p_verse_a,
                p_verse_b, p_verse_a, p_verse_b, p_verse_a, p_fill,    p_ending};

  // Every listed pulse and flash lands on a drum hit, whatever the patterns
  // above say. Patterns are shared between orders, so this is done per order.
  for (int position : kPulsePositions) force_hit(song.patterns[song.order[position / 100]], position % 100);
  for (int position : kFlashPositions) force_hit(song.patterns[song.order[position / 100]], position % 100);
  return song;
}

void put_be16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v & 0xFF);
}

}  // namespace

std::vector<uint8_t> compose_zurivovariv() {
  const std::vector<Sample> samples = make_samples();
  const Song song = arrange();

  std::vector<uint8_t> out(1084, 0);
  const char title[] = "zurivovariv";
  std::memcpy(out.data(), title, sizeof title - 1);
  for (size_t k = 0; k < samples.size(); ++k) {
    const Sample& s = samples[k];
    const size_t h = 20 + 30 * k;
    std::memcpy(&out[h], s.name.data(), std::min<size_t>(s.name.size(), 22));
    put_be16(out, h + 22, static_cast<uint32_t>(s.data.size() / 2));
    out[h + 24] = static_cast<uint8_t>(s.finetune & 0x0F);
    out[h + 25] = static_cast<uint8_t>(s.volume);
    put_be16(out, h + 26, s.loop_length ? s.loop_start / 2 : 0);
    put_be16(out, h + 28, s.loop_length ? s.loop_length / 2 : 1);
  }
  out[950] = static_cast<uint8_t>(song.order.size());
  out[951] = 127;
  std::copy(song.order.begin(), song.order.end(), out.begin() + 952);
  std::memcpy(&out[1080], "M.K.", 4);

  for (const Pattern& p : song.patterns) {
    for (int row = 0; row < kRows; ++row) {
      for (int ch = 0; ch < kChannels; ++ch) {
        const Cell& c = p.cells[row][ch];
        const uint32_t period = c.note == kNone ? 0 : kPeriods[static_cast<size_t>(c.note)];
        out.push_back(static_cast<uint8_t>((c.sample & 0xF0) | (period >> 8)));
        out.push_back(static_cast<uint8_t>(period & 0xFF));
        out.push_back(static_cast<uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F)));
        out.push_back(static_cast<uint8_t>(c.param));
      }
    }
  }
  for (const Sample& s : samples)
    for (int8_t b : s.data) out.push_back(static_cast<uint8_t>(b));
  return out;
}
