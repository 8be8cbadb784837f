// drmorvel-datagen: writes the show's data set (seven JPEG pictures and the
// module) into a directory, or with --test the fast test data set, whose
// module passes song position 1920 in 12.6 s and whose pictures include the
// faults the show must survive: a grayscale file, a truncated file, a file
// that is not a JPEG at all and a missing one. With --endless the test set's
// module has only four orders, so the song loops and never passes 1920:
// the show then ends only when the viewer quits. With --icons it writes the
// program's icon in each size, laid out as an icon theme's directories.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "art/pictures.h"
#include "assets/assets.h"
#include "datagen.h"
#include "png_write.h"

namespace {

bool write_file(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "drmorvel-datagen: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "drmorvel-datagen: writing %s failed\n", path.c_str());
    return false;
  }
  return true;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  return write_file(path, bytes.data(), bytes.size());
}

bool write_show_set(const std::string& dir) {
  bool ok = true;
  for (int i = 0; i < kPictureCount; ++i)
    ok &= write_file(dir + kPictureFiles[i], datagen::encode_jpeg(paint_picture(i), 88));
  ok &= write_file(dir + kModuleFile, datagen::show_module());
  return ok;
}

bool write_test_set(const std::string& dir, bool endless) {
  using datagen::encode_jpeg;
  using datagen::test_picture;
  auto path = [&](int entry) { return dir + kPictureFiles[entry]; };
  bool ok = true;
  ok &= write_file(path(kFunkka), encode_jpeg(test_picture(kFunkka, 37, 29, 3), 90));
  ok &= write_file(path(kFunker), encode_jpeg(test_picture(kFunker, 40, 30, 1), 90));  // grayscale
  static constexpr char kGarbage[] = "this file is not a picture at all\n";
  ok &= write_file(path(kSkugga), reinterpret_cast<const uint8_t*>(kGarbage), sizeof kGarbage - 1);
  std::vector<uint8_t> truncated = encode_jpeg(test_picture(kMorvelite, 64, 48, 3), 90);
  truncated.resize(truncated.size() / 3);
  ok &= write_file(path(kMorvelite), truncated);
  ok &= write_file(path(kTahti), encode_jpeg(test_picture(kTahti, 64, 64, 3), 90));
  std::remove(path(kTekstit).c_str());  // missing on purpose
  ok &= write_file(path(kMiehet), encode_jpeg(test_picture(kMiehet, 5, 7, 3), 90));
  ModuleBuilder song = datagen::fast_test_song();
  if (endless) song.song_length = 4;
  ok &= write_file(dir + kModuleFile, song.build());
  return ok;
}

bool write_icons(const std::string& dir) {
  bool ok = true;
  for (const int size : datagen::kIconSizes) {
    std::string path = dir + std::to_string(size) + "x" + std::to_string(size);
    mkdir(path.c_str(), 0777);
    path += "/apps";
    mkdir(path.c_str(), 0777);
    const Picture icon = paint_icon(size);
    const std::vector<uint8_t> png = encode_png(icon.pixels.data(), size, size, 4);
    ok &= !png.empty() && write_file(path + "/drmorvel.png", png);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  bool test_set = false, endless = false, icons = false;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--test") {
      test_set = true;
    } else if (arg == "--endless") {
      test_set = endless = true;
    } else if (arg == "--icons") {
      icons = true;
    } else if (dir.empty() && !arg.empty() && arg[0] != '-') {
      dir = argv[i];
    } else {
      dir.clear();
      break;
    }
  }
  if (dir.empty()) {
    std::fputs("usage: drmorvel-datagen [--test | --endless | --icons] DIRECTORY\n", stderr);
    return 2;
  }
  if (dir.back() != '/') dir += '/';
  if (icons) return write_icons(dir) ? 0 : 1;
  return (test_set ? write_test_set(dir, endless) : write_show_set(dir)) ? 0 : 1;
}
