// Picture decoding, the disc sprite and load_assets, with a real (offscreen)
// GL context and a data directory the test writes itself.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "assets/module_file.h"
#include "assets/picture.h"
#include "datagen.h"
#include "gl_context.h"
#include "player/player.h"
#include "sound/sound.h"

const char* show_data_dir = ASSETS_TEST_DIR;

namespace {

std::string data_path(const char* name) { return std::string(show_data_dir) + name; }

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  std::fclose(f);
}

// A picture in bands of 16 rows, red, green, blue, white, top to bottom:
// bands as tall as a JPEG macroblock keep the colours pure.
Picture striped(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.pixels.resize(static_cast<size_t>(width) * height * 3);
  constexpr uint8_t kRows[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::memcpy(&p.pixels[(static_cast<size_t>(y) * width + x) * 3], kRows[(y / 16) % 4], 3);
  return p;
}

void expect_near_rgb(const uint8_t* px, int r, int g, int b, const char* where) {
  EXPECT_NEAR(px[0], r, 40) << where;
  EXPECT_NEAR(px[1], g, 40) << where;
  EXPECT_NEAR(px[2], b, 40) << where;
}

TEST(LoadJpegRgb, OddWidthGivesTightRowsTopFirst) {
  // 5 pixels wide: a row of 15 bytes, no padding between rows.
  write_bytes(data_path("odd.jpg"), datagen::encode_jpeg(striped(5, 64), 100));
  int w = -5, h = -5;
  uint8_t* block = load_jpeg_rgb(data_path("odd.jpg").c_str(), &w, &h);
  ASSERT_NE(block, nullptr) << jpeg_message();
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 64);
  EXPECT_STREQ(jpeg_message(), "");
  // Row r starts at r * 15; within a row all pixels share the row's colour.
  expect_near_rgb(block + 4 * 15 + 4 * 3, 255, 0, 0, "row 4");
  expect_near_rgb(block + 24 * 15 + 0 * 3, 0, 255, 0, "row 24");
  expect_near_rgb(block + 40 * 15 + 2 * 3, 0, 0, 255, "row 40");
  expect_near_rgb(block + 60 * 15 + 4 * 3, 255, 255, 255, "row 60");
  std::free(block);
}

TEST(LoadJpegRgb, GrayscaleBecomesThreeEqualComponents) {
  write_bytes(data_path("gray.jpg"), datagen::encode_jpeg(datagen::test_picture(2, 9, 7, 1), 95));
  int w = 0, h = 0;
  uint8_t* block = load_jpeg_rgb(data_path("gray.jpg").c_str(), &w, &h);
  ASSERT_NE(block, nullptr) << jpeg_message();
  ASSERT_EQ(w, 9);
  ASSERT_EQ(h, 7);
  bool any_bright = false;
  for (int i = 0; i < 9 * 7; ++i) {
    ASSERT_EQ(block[3 * i], block[3 * i + 1]) << "pixel " << i;
    ASSERT_EQ(block[3 * i], block[3 * i + 2]) << "pixel " << i;
    any_bright |= block[3 * i] > 20;
  }
  EXPECT_TRUE(any_bright) << "the last row of the picture must be filled too";
  std::free(block);
}

// A real picture's bytes with the size in its frame header (SOF0 or SOF2)
// replaced: a header that claims far more pixels than the file holds.
std::vector<uint8_t> claiming(std::vector<uint8_t> jpeg, int width, int height) {
  for (size_t i = 2; i + 9 <= jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

TEST(LoadJpegRgb, FaultyFilesReturnNullAndLeaveTheSizeAlone) {
  const std::vector<uint8_t> garbage = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
  write_bytes(data_path("garbage.jpg"), garbage);
  write_bytes(data_path("empty.jpg"), {});
  std::vector<uint8_t> header_only = datagen::encode_jpeg(striped(16, 16), 90);
  header_only.resize(20);  // ends inside the headers: no image at all
  write_bytes(data_path("header.jpg"), header_only);
  // Valid, but wider than any texture may be.
  write_bytes(data_path("wide.jpg"),
              datagen::encode_jpeg(datagen::test_picture(0, 16385, 8, 1), 50));
  // Within the side limit, but the block alone (192 MiB) is over the budget.
  write_bytes(data_path("huge.jpg"),
              claiming(datagen::encode_jpeg(striped(16, 16), 90), 8192, 8192));
  // The block (103 MiB) fits, the coefficients a progressive file keeps
  // (another 103 MiB at 4:2:0) do not.
  write_bytes(data_path("progressive.jpg"),
              claiming(datagen::encode_jpeg(striped(16, 16), 90, true), 6000, 6000));

  for (const auto& [name, reason] :
       {std::pair{"garbage.jpg", ""}, std::pair{"empty.jpg", ""}, std::pair{"header.jpg", ""},
        std::pair{"wide.jpg", "16385 x 8 pixels is too large"},
        std::pair{"huge.jpg", "8192 x 8192 pixels is too large"},
        std::pair{"progressive.jpg", "6000 x 6000 pixels needs more than 128 MiB"}}) {
    int w = -5, h = -7;
    EXPECT_EQ(load_jpeg_rgb(data_path(name).c_str(), &w, &h), nullptr) << name;
    EXPECT_STRNE(jpeg_message(), "") << name << " failed without a reason";
    EXPECT_NE(std::string(jpeg_message()).find(reason), std::string::npos)
        << name << ": " << jpeg_message();
    EXPECT_EQ(w, -5) << name;
    EXPECT_EQ(h, -7) << name;
  }

  int w = -5, h = -7;
  errno = 0;
  EXPECT_EQ(load_jpeg_rgb(data_path("no-such-file.jpg").c_str(), &w, &h), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_STREQ(jpeg_message(), "") << "a stale message survived";
  EXPECT_EQ(w, -5);
}

TEST(DiscSprite, OpaqueInsideRadius120Only) {
  make_disc_sprite();
  auto pixel = [](int row, int column) { return &sprite_pixels[(row * kSpriteSize + column) * 4]; };
  EXPECT_EQ(pixel(128, 128)[3], 255);
  EXPECT_EQ(pixel(128, 9)[3], 255);  // distance 119
  EXPECT_EQ(pixel(128, 8)[3], 0);    // distance 120
  EXPECT_EQ(pixel(9, 128)[3], 255);
  EXPECT_EQ(pixel(8, 128)[3], 0);
  EXPECT_EQ(pixel(128, 247)[3], 255);
  EXPECT_EQ(pixel(128, 248)[3], 0);
  EXPECT_EQ(pixel(0, 0)[3], 0);
  EXPECT_EQ(pixel(255, 255)[3], 0);
  int opaque = 0;
  for (int i = 0; i < kSpriteSize * kSpriteSize; ++i) {
    ASSERT_EQ(sprite_pixels[4 * i], 255);
    ASSERT_EQ(sprite_pixels[4 * i + 1], 255);
    ASSERT_EQ(sprite_pixels[4 * i + 2], 255);
    opaque += sprite_pixels[4 * i + 3] == 255;
  }
  // About pi * 120^2 pixels.
  EXPECT_NEAR(opaque, 45239, 400);
}

std::vector<uint8_t> texture_rgb(int entry, GLenum format, int* w, int* h) {
  glBindTexture(GL_TEXTURE_2D, TextureTable[entry]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, h);
  const int components = format == GL_RGBA ? 4 : 3;
  std::vector<uint8_t> out(static_cast<size_t>(*w) * *h * components);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
  return out;
}

int count_lines(const std::string& s, const char* containing) {
  int n = 0;
  for (size_t at = 0; (at = s.find(containing, at)) != std::string::npos; ++at) ++n;
  return n;
}

// The test data set's faults: tekstit.jpg missing, 70skugga.jpg not a JPEG,
// morvelite.jpg truncated, funker.jpg grayscale, funkka.jpg claiming more
// pixels than a picture may have; odd widths elsewhere.
void write_data_set(bool with_module) {
  using datagen::encode_jpeg;
  using datagen::test_picture;
  write_bytes(data_path("funkka.jpg"),
              claiming(encode_jpeg(test_picture(0, 37, 29, 3), 90), 12000, 12000));
  write_bytes(data_path("funker.jpg"), encode_jpeg(test_picture(1, 40, 30, 1), 90));
  write_bytes(data_path("70skugga.jpg"), {'G', 'I', 'F', '8', '9', 'a'});
  std::vector<uint8_t> truncated = encode_jpeg(test_picture(3, 64, 48, 3), 90);
  truncated.resize(truncated.size() / 3);
  write_bytes(data_path("morvelite.jpg"), truncated);
  write_bytes(data_path("tahti.jpg"), encode_jpeg(test_picture(4, 3, 2, 3), 90));
  std::remove(data_path("tekstit.jpg").c_str());
  write_bytes(data_path("miehet.jpg"), encode_jpeg(test_picture(6, 5, 7, 3), 90));
  if (with_module)
    write_bytes(data_path("zurivovariv.mod"), datagen::fast_test_song().build());
  else
    std::remove(data_path("zurivovariv.mod").c_str());
}

TEST(LoadAssets, WithoutTheModuleFailsBeforeTheMenu) {
  TestGlContext gl(64, 48);
  ASSERT_TRUE(gl.ok()) << SDL_GetError();
  write_data_set(false);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_assets(), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "") << "the device menu was printed";
  EXPECT_EQ(count_lines(err, "zurivovariv.mod"), 1) << err;
  EXPECT_NE(err.find("No such file or directory"), std::string::npos) << err;
}

TEST(LoadAssets, FaultyPicturesBecomeTexturesAndTheModuleIsLoaded) {
  TestGlContext gl(64, 48);
  ASSERT_TRUE(gl.ok()) << SDL_GetError();
  write_data_set(true);
  // The device prompt's answer: the silent device, so no audio is opened.
  std::ungetc('\n', stdin);
  std::ungetc('0', stdin);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_assets(), 1);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(out, "Select your sound device:\n0 - None\n1 - 8-bit 22kHz\n2 - 16-bit 44kHz\n");
  // One line for each faulty picture, none for the others.
  EXPECT_EQ(count_lines(err, "\n"), 4) << err;
  EXPECT_EQ(count_lines(err, "funkka.jpg: picture of 12000 x 12000 pixels is too large"), 1) << err;
  EXPECT_EQ(count_lines(err, "tekstit.jpg"), 1) << err;
  EXPECT_EQ(count_lines(err, "70skugga.jpg"), 1) << err;
  EXPECT_EQ(count_lines(err, "morvelite.jpg"), 1) << err;

  // Unpack alignment 1: widths 5 and 3 upload exactly what was decoded; the
  // truncated picture decodes, with a warning.
  for (const auto& [entry, name] : {std::pair{6, "miehet.jpg"}, std::pair{4, "tahti.jpg"},
                                    std::pair{1, "funker.jpg"}, std::pair{3, "morvelite.jpg"}}) {
    int dw = 0, dh = 0, tw = 0, th = 0;
    uint8_t* block = load_jpeg_rgb(data_path(name).c_str(), &dw, &dh);
    ASSERT_NE(block, nullptr) << name;
    const std::vector<uint8_t> texels = texture_rgb(entry, GL_RGB, &tw, &th);
    EXPECT_EQ(tw, dw) << name;
    EXPECT_EQ(th, dh) << name;
    EXPECT_EQ(std::memcmp(texels.data(), block, texels.size()), 0) << name << " uploaded wrongly";
    std::free(block);
  }
  // Pictures that cannot be decoded or are refused are one black pixel.
  for (int entry : {0, 2, 5}) {
    int tw = 0, th = 0;
    const std::vector<uint8_t> texels = texture_rgb(entry, GL_RGB, &tw, &th);
    EXPECT_EQ(tw, 1) << entry;
    EXPECT_EQ(th, 1) << entry;
    EXPECT_EQ(texels, (std::vector<uint8_t>{0, 0, 0})) << entry;
  }
  // The disc sprite as a texture.
  int sw = 0, sh = 0;
  const std::vector<uint8_t> sprite = texture_rgb(kSpriteTexture, GL_RGBA, &sw, &sh);
  ASSERT_EQ(sw, 256);
  ASSERT_EQ(sh, 256);
  EXPECT_EQ(sprite[(128 * 256 + 128) * 4 + 3], 255);
  EXPECT_EQ(sprite[(128 * 256 + 8) * 4 + 3], 0);
  EXPECT_EQ(sprite[3], 0);
  // Texture parameters of a picture.
  GLint wrap = 0, filter = 0;
  glBindTexture(GL_TEXTURE_2D, TextureTable[kMorvelite]);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(wrap, GL_REPEAT);
  EXPECT_EQ(filter, GL_LINEAR);

  // The module is in module_buffer (the loader rewrites the pattern cells in
  // place, the headers stay) with zeros after it, and the player took it.
  const std::vector<uint8_t> module = datagen::fast_test_song().build();
  EXPECT_EQ(std::memcmp(module_buffer, module.data(), 1084), 0);
  EXPECT_EQ(module_buffer[module.size()], 0);
  EXPECT_EQ(module_buffer[kModuleBufferSize - 1], 0);
  EXPECT_EQ(song.channel_count, 4u);
  EXPECT_EQ(pt_position(), -37);
}

// A module the loader refuses leaves the show without music but going on,
// and says why once, with the file's path, before the first frame: an
// unknown format tag, and patterns that do not fit in the show's buffer
// (pattern 127 of 32 channels would end at byte 1049660).
TEST(LoadShowModule, ARefusedModuleIsSaidOnceWithItsPath) {
  ModuleBuilder foreign = datagen::fast_test_song();
  foreign.tag = "XM!!";
  ModuleBuilder wide("32CH", 32);
  wide.order({0, 127}).sample(1, {1, 2, 3, 4});
  wide.pattern_count = 1;
  const struct {
    const char* name;
    const ModuleBuilder& module;
    const char* reason;
  } cases[] = {
      {"unknown tag", foreign, "pt_takemod error: unknown module type!"},
      {"patterns past the buffer", wide, "pt_takemod error: module too short for its patterns!"},
  };
  asset_sound_choice = snd_open_silent;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_bytes(data_path("zurivovariv.mod"), c.module.build());
    testing::internal::CaptureStderr();
    EXPECT_EQ(load_show_module(), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "drmorvel: " + data_path("zurivovariv.mod") + ": " + c.reason +
                       "; the show goes on without music\n");
    EXPECT_EQ(song.channel_count, 0u);
    EXPECT_EQ(pt_position(), 0);
  }
  asset_sound_choice = snd_choose_device;
}

}  // namespace
