// The generated data set: the modules the player accepts and how far their
// songs get, and pictures that decode as distinct colour JPEG files.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "art/pictures.h"
#include "assets/assets.h"
#include "assets/module_file.h"
#include "datagen.h"
#include "load_module.h"
#include "player/player.h"

namespace {

// Loads the module into module_buffer as the show does; returns the number
// of ticks until the song position passes 1920, or -1 within max_ticks.
long ticks_to_pass_1920(const std::vector<uint8_t>& bytes, long max_ticks) {
  EXPECT_LE(bytes.size(), kModuleBufferSize);
  EXPECT_EQ(load_module_image(bytes), 1) << song.error_text;
  EXPECT_EQ(song.channel_count, 4u);
  for (long tick = 1; tick <= max_ticks; ++tick) {
    pt_play();
    if (static_cast<uint32_t>(pt_position()) > 1920) return tick;
  }
  return -1;
}

long ticks_to_pass_1920(const ModuleBuilder& m, long max_ticks) {
  return ticks_to_pass_1920(m.build(), max_ticks);
}

TEST(GeneratedModules, PassPosition1920WhenTheShowAndTheTestsExpect) {
  // Order 19, row 21 is row 1221 of the show's song at speed 6 (its drop is
  // cut to three bars by a pattern break) and row 629 of the test song
  // (32 rows per order); the first tick reads row 0.
  EXPECT_EQ(ticks_to_pass_1920(datagen::show_module(), 20000), 1221 * 6 + 1);
  EXPECT_EQ(ticks_to_pass_1920(datagen::fast_test_song(), 20000), 19 * 32 + 21 + 1);  // speed 1
  // The endless test set's song: four orders, looping.
  ModuleBuilder m = datagen::fast_test_song();
  m.song_length = 4;
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
  Decoded d{static_cast<int>(cinfo.image_width),
            static_cast<int>(cinfo.image_height),
            cinfo.num_components,
            {}};
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
  std::set<std::string> seen;  // each picture's pixels
  bool unaligned_width = false;
  for (int i = 0; i < kPictureCount; ++i) {
    const std::vector<uint8_t> jpeg = datagen::encode_jpeg(paint_picture(i), 88);
    EXPECT_EQ(jpeg, datagen::encode_jpeg(paint_picture(i), 88)) << "not deterministic";
    const Decoded d = decode(jpeg);
    EXPECT_EQ(d.components, 3) << kPictureFiles[i];
    EXPECT_GE(d.width, 64);
    EXPECT_GE(d.height, 64);
    unaligned_width |= d.width % 4 != 0;
    // Colour, not gray: some pixel has unequal components.
    bool coloured = false;
    for (size_t p = 0; p + 2 < d.pixels.size() && !coloured; p += 3)
      coloured = d.pixels[p] != d.pixels[p + 1] || d.pixels[p] != d.pixels[p + 2];
    EXPECT_TRUE(coloured) << kPictureFiles[i];
    seen.insert(std::string(d.pixels.begin(), d.pixels.end()));
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_TRUE(unaligned_width);
}

}  // namespace
