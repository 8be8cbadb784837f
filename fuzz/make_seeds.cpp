// Writes the fuzz seeds, each target's in DIR/<target>/. Usage:
// make-fuzz-seeds DIR
//
// fuzz-module: small modules built here that between them reach every
// effect command, loops, sample offsets, jumps and breaks, several format
// tags, a truncated file and a loop that would run past the module
// buffer. Byte 0 of each selects the fuzz variant (see
// fuzz_module.cpp).
//
// fuzz-picture: small pictures as the data generator paints and encodes
// them (colour, grayscale, progressive), and the damaged files the tests use
// (truncated, cut inside the headers, not a JPEG at all).

#include <cstdio>
#include <string>
#include <vector>

#include "datagen.h"
#include "test_songs.h"

namespace {

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool write(const std::string& path, std::vector<uint8_t> bytes, uint8_t variant) {
  bytes[0] = variant;
  return write_file(path, bytes);
}

ModuleBuilder::Sample one_shot(size_t length, uint32_t seed) {
  ModuleBuilder::Sample s;
  s.data = noise(length, seed);
  s.volume = 50;
  return s;
}

// Four channels, one row per effect command and its common parameters.
ModuleBuilder effects_song() {
  ModuleBuilder m("M.K.", 4);
  m.samples[1] = looped_tone();
  m.samples[2] = one_shot(300, 7);
  m.samples[3] = looped_tone(30);
  m.samples[3].finetune = 0x0B;
  const int effects[][2] = {
      {0x0, 0x37}, {0x1, 0x08}, {0x2, 0x10}, {0x3, 0x20}, {0x4, 0x8F}, {0x5, 0x21}, {0x6, 0x12},
      {0x7, 0x4F}, {0x8, 0xC0}, {0x9, 0x01}, {0xA, 0xF0}, {0xC, 0x50}, {0xE, 0x13}, {0xE, 0x2F},
      {0xE, 0x31}, {0xE, 0x42}, {0xE, 0x5A}, {0xE, 0x73}, {0xE, 0x8C}, {0xE, 0x93}, {0xE, 0xA1},
      {0xE, 0xB1}, {0xE, 0xC2}, {0xE, 0xD2}, {0xE, 0xE1}, {0xF, 0x03}, {0xF, 0x80}, {0x0, 0xFF}};
  int row = 0;
  for (const auto& e : effects) {
    m.cell(0, row, 0, 1 + row % 3, kOctave2[row % 12], e[0], e[1]);
    m.cell(0, row, 1, 0, 0, e[0], e[1]);
    m.cell(0, row, 2, 2, 113, e[0], e[1]);
    m.cell(0, row, 3, 3, 856, 0x3, 0x40);
    ++row;
  }
  m.cell(0, 40, 0, 0, 0, 0xE, 0x60);
  m.cell(0, 42, 1, 0, 0, 0xE, 0x62);
  m.cell(0, 44, 2, 0, 0, 0xD, 0x16);
  m.cell(1, 10, 0, 1, 214, 0xB, 0x00);
  m.cell(1, 5, 3, 2, 428, 0xD, 0x63);
  m.song_length = 4;
  m.restart = 1;
  m.order({0, 1, 0, 1});
  return m;
}

// Eight channels with sample offsets past the end, a loop running past its
// sample and the highest and lowest notes under vibrato and arpeggio.
ModuleBuilder edges_song() {
  ModuleBuilder m("8CHN", 8);
  m.samples[1] = looped_tone();
  m.samples[1].repeat_start = 200;   // words
  m.samples[1].repeat_length = 200;  // ends 288 bytes past the sample
  m.samples[2] = one_shot(64, 3);
  for (int c = 0; c < 8; ++c) {
    m.cell(0, 0, c, 1 + c % 2, c % 2 ? 113 : 3424, 0x9, 0x10 * c);
    m.cell(0, 1, c, 0, 0, 0x4, 0xFF);
    m.cell(0, 2, c, 0, 0, 0x0, 0xFF);
    m.cell(0, 3, c, 0, 0, 0x1, 0xFF);
    m.cell(0, 4, c, 0, 0, 0x6, 0x0F);
  }
  m.cell(0, 5, 0, 0, 0, 0xF, 0x01);
  m.song_length = 2;
  m.restart = 127;
  m.order({0, 0});
  return m;
}

// Thirty-two channels and 36 patterns put the first sample's data 4004
// bytes before the end of the module buffer; its loop starts 2000 bytes in
// and would run 60000 bytes, far past the buffer, so the loader must pull
// its end back. Only the first pattern is written: the buffer is
// zero-filled past the file, and the sample's data is all zeros there.
std::vector<uint8_t> loop_past_buffer() {
  ModuleBuilder m("32CH", 32);
  m.order({0, 35});  // the highest entry counts, played or not
  m.samples[1].length_words = 2000;
  m.samples[1].volume = 64;
  m.samples[1].repeat_start = 1000;    // words
  m.samples[1].repeat_length = 30000;  // words
  m.cell(0, 0, 0, 1, 113);
  std::vector<uint8_t> image = m.build();
  image.resize(1084 + 32 * 256);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-fuzz-seeds DIR\n", stderr);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/fuzz-module";
  bool ok = true;
  ok &= write(dir + "/effects-16bit.mod", effects_song().build(), 0x00);
  ok &= write(dir + "/effects-8bit-interp.mod", effects_song().build(), 0x03);
  ok &= write(dir + "/effects-show-ticks.mod", effects_song().build(), 0xE0);
  ok &= write(dir + "/edges-short-buffers.mod", edges_song().build(), 0x1A);
  std::vector<uint8_t> truncated = busy_song("6CHN", 6, 3).build();
  truncated.resize(1084 + 3 * 6 * 256 + 700);  // the samples are cut short
  ok &= write(dir + "/busy-truncated.mod", truncated, 0x02);
  ok &= write(dir + "/busy-32ch.mod", busy_song("32CH", 32, 1).build(), 0x10);
  ok &= write(dir + "/busy-2ch.mod", busy_song("2CHN", 2, 2).build(), 0x07);
  ok &= write(dir + "/loop-past-buffer.mod", loop_past_buffer(), 0x00);
  ok &= write(dir + "/loop-past-buffer-interp.mod", loop_past_buffer(), 0x02);

  using datagen::encode_jpeg;
  using datagen::test_picture;
  const std::string pictures = std::string(argv[1]) + "/fuzz-picture";
  for (int style = 0; style < 7; ++style) {
    // Odd sizes, so that rows are not a multiple of four bytes long.
    ok &= write_file(pictures + "/style" + std::to_string(style) + ".jpg",
                     encode_jpeg(test_picture(style, 21 + 6 * style, 17 + 4 * style, 3), 80));
  }
  ok &= write_file(pictures + "/gray.jpg", encode_jpeg(test_picture(1, 40, 30, 1), 80));
  ok &=
      write_file(pictures + "/progressive.jpg", encode_jpeg(test_picture(3, 48, 32, 3), 80, true));
  std::vector<uint8_t> cut = encode_jpeg(test_picture(3, 64, 48, 3), 80);
  cut.resize(cut.size() / 3);
  ok &= write_file(pictures + "/truncated.jpg", cut);
  cut.resize(20);  // ends inside the headers
  ok &= write_file(pictures + "/header-only.jpg", cut);
  ok &= write_file(pictures + "/not-a-jpeg.jpg", {'G', 'I', 'F', '8', '9', 'a'});
  if (!ok) std::fputs("make-fuzz-seeds: cannot write the seeds\n", stderr);
  return ok ? 0 : 1;
}
