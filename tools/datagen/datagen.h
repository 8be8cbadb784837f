// The generated data set: a description of 31-sample "M.K." modules, the
// songs and pictures the show and its tests play, and a JPEG encoder.
// Everything is computed, nothing is read or downloaded, so the same build
// always writes the same files. The show's own music and pictures come from tools/music
// and tools/art; the test songs and pictures are made here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

constexpr int kRows = 64;
constexpr int kChannels = 4;

// One pattern cell as a tracker shows it: sample 0 and note -1 mean none.
struct Cell {
  uint8_t sample = 0;
  int note = -1;  // 0..83: index into the finetune 0 period row (24 is C-1, period 856)
  uint8_t effect = 0;
  uint8_t param = 0;
};

using Pattern = std::array<std::array<Cell, kChannels>, kRows>;

struct Sample {
  std::string name;
  std::vector<int8_t> data;  // even length, at most 131070 bytes
  uint8_t volume = 64;
  uint8_t finetune = 0;
  uint32_t repeat_start = 0;   // bytes, even
  uint32_t repeat_length = 2;  // bytes, even; 2 means no loop
};

struct Module {
  std::string title;
  std::vector<Sample> samples;  // at most 31, numbered from 1
  std::vector<Pattern> patterns;
  std::vector<uint8_t> orders;  // 1..128 entries
  uint8_t restart = 0;
};

// The module file's bytes: 1084 bytes of headers and order table with the
// tag "M.K." at offset 1080, the patterns, then the sample data.
std::vector<uint8_t> write_module(const Module& m);

// The show's module file: the song composed in tools/music.
std::vector<uint8_t> show_module();
// A fast module for the tests: speed 1 and 32 rows per order (a pattern
// break ends every pattern), so it passes 1920 after 630 ticks (12.6 s).
Module fast_test_song();

// An 8-bit picture, rows top first, `components` bytes per pixel (3 or 1).
struct Picture {
  int width = 0;
  int height = 0;
  int components = 3;
  std::vector<uint8_t> pixels;
};

// The picture of TextureTable entry `index` (kFunkka to kMiehet) for the
// show: the art painted in tools/art.
Picture show_picture(int index);
// A small picture of the given size and component count, distinct per seed.
Picture test_picture(int seed, int width, int height, int components);

// Encodes a picture as a baseline JPEG at the given quality, or as a
// progressive one (every coefficient kept until the last scan).
std::vector<uint8_t> encode_jpeg(const Picture& p, int quality, bool progressive = false);
// Encodes width x height RGBA pixels (rows top first) as a PNG file's bytes;
// empty if libpng fails.
std::vector<uint8_t> encode_png_rgba(int width, int height, const std::vector<uint8_t>& rgba);

// The sizes of the program's icon, each written as
// <size>x<size>/apps/drmorvel.png under an icon theme directory.
constexpr std::array<int, 2> kIconSizes = {256, 48};

}  // namespace datagen
