// The generated data set: the modules the player accepts and how far their
// songs get, and pictures that decode as distinct colour JPEG files.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include <jpeglib.h>

#include "assets/module_file.h"
#include "datagen.h"
#include "player/player.h"

namespace {

// Loads the module into module_buffer as the show does; returns the number
// of ticks until the song position passes 1920, or -1 within max_ticks.
long ticks_to_pass_1920(const datagen::Module& m, long max_ticks) {
  const std::vector<uint8_t> bytes = datagen::write_module(m);
  EXPECT_LE(bytes.size(), kModuleBufferSize);
  std::memset(module_buffer, 0, kModuleBufferSize);
  std::memcpy(module_buffer, bytes.data(), bytes.size());
  EXPECT_EQ(pt_load(module_buffer, kModuleBufferSize), 1) << song.error_text;
  EXPECT_EQ(song.channel_count, 4u);
  for (long tick = 1; tick <= max_ticks; ++tick) {
    pt_play();
    if (static_cast<uint32_t>(pt_position()) > 1920) return tick;
  }
  return -1;
}

TEST(GeneratedModules, LayoutOfTheFile) {
  const std::vector<uint8_t> bytes = datagen::write_module(datagen::show_song());
  ASSERT_GT(bytes.size(), 1084u);
  EXPECT_EQ(std::memcmp(&bytes[1080], "M.K.", 4), 0);
  EXPECT_GE(bytes[950], 20) << "fewer than 20 orders cannot reach position 1920";
  // Sample 1's length in words, big-endian, and its loop covering it all.
  const datagen::Sample first = datagen::show_song().samples[0];
  EXPECT_EQ(bytes[42] * 256 + bytes[43], static_cast<int>(first.data.size() / 2));
  EXPECT_EQ(bytes[48] * 256 + bytes[49], static_cast<int>(first.repeat_length / 2));
  // A C-1 (period 856 = 0x358) of sample 1 in the first cell of pattern 0.
  datagen::Module m;
  m.patterns.resize(1);
  m.patterns[0][0][0] = datagen::Cell{1, 24, 0xC, 0x20};
  m.orders = {0};
  const std::vector<uint8_t> one = datagen::write_module(m);
  EXPECT_EQ(one.size(), 1084u + 1024u);
  EXPECT_EQ(one[1084], 0x03);
  EXPECT_EQ(one[1085], 0x58);
  EXPECT_EQ(one[1086], 0x1C);
  EXPECT_EQ(one[1087], 0x20);
}

TEST(GeneratedModules, ShowSongPassesTheLastPosition) {
  // Order 19, row 21 is row 1237 of the song at speed 6; the first tick
  // reads row 0.
  EXPECT_EQ(ticks_to_pass_1920(datagen::show_song(), 20000), 1237 * 6 + 1);
}

TEST(GeneratedModules, FastTestSongPassesIt630TicksIn) {
  EXPECT_EQ(ticks_to_pass_1920(datagen::fast_test_song(), 20000), 630);
}

TEST(GeneratedModules, FourOrdersNeverGetThere) {
  datagen::Module m = datagen::fast_test_song();
  m.orders.resize(4);
  EXPECT_EQ(ticks_to_pass_1920(m, 5000), -1);
}

struct Decoded {
  int width, height, components;
  std::vector<uint8_t> pixels;
};

Decoded decode(const std::vector<uint8_t>& jpeg) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  Decoded d{static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height),
            cinfo.num_components, {}};
  jpeg_start_decompress(&cinfo);
  const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
  d.pixels.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &d.pixels[cinfo.output_scanline * stride];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return d;
}

TEST(GeneratedPictures, SevenDistinctColourPicturesOneWithAnOddStride) {
  std::set<std::vector<uint8_t>> seen;
  bool unaligned_width = false;
  for (int i = 0; i < 7; ++i) {
    const std::vector<uint8_t> jpeg = datagen::encode_jpeg(datagen::show_picture(i), 88);
    EXPECT_EQ(jpeg, datagen::encode_jpeg(datagen::show_picture(i), 88)) << "not deterministic";
    const Decoded d = decode(jpeg);
    EXPECT_EQ(d.components, 3) << datagen::kPictureNames[i];
    EXPECT_GE(d.width, 64);
    EXPECT_GE(d.height, 64);
    unaligned_width |= d.width % 4 != 0;
    // Colour, not gray: some pixel has unequal components.
    bool coloured = false;
    for (size_t p = 0; p + 2 < d.pixels.size() && !coloured; p += 3)
      coloured = d.pixels[p] != d.pixels[p + 1] || d.pixels[p] != d.pixels[p + 2];
    EXPECT_TRUE(coloured) << datagen::kPictureNames[i];
    seen.insert(d.pixels);
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_TRUE(unaligned_width);
}

}  // namespace
