// drmorvel-modrender: plays a module through the show's own music engine
// (device voice operations, loader, replayer, mixer and the audio callback's
// tick splitting) and writes the sound to a WAV file. No audio device is
// opened; the file holds exactly the bytes the audio callback produced.
// Unlike the show, which reads the first 300000 bytes of its own module, it
// reads the whole file, up to the largest module the format describes.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "assets/module_file.h"
#include "engine/offline.h"
#include "options.h"
#include "wav.h"

namespace {

constexpr size_t kBlockFrames = 64 * kDeviceFrames;  // sample frames per write
constexpr double kMaxSeconds = 24 * 3600;

constexpr char kUsage[] =
    "usage: drmorvel-modrender [--mode 1|2] [--seconds S] [--timeline FILE] MODULE OUT.wav\n"
    "  --mode 2      16-bit signed mono at 44100 Hz (default)\n"
    "  --mode 1      8-bit unsigned mono at 22050 Hz\n"
    "  --seconds S   length of the rendering in seconds (default 180; at most 86400,\n"
    "                and in mode 2 at most 48695, the 4 GiB a WAV file holds)\n"
    "  --timeline F  write one line per player tick: tick number, tab, song position\n"
    "Exit status: 0 done, 1 the module was refused (the loader says why),\n"
    "2 bad options or files.\n";

std::FILE* timeline = nullptr;
long tick_count = 0;

void log_tick() {
  ++tick_count;
  std::fprintf(timeline, "%ld\t%d\n", tick_count, pt_position());
}

int usage(const char* problem) {
  if (problem) std::fprintf(stderr, "drmorvel-modrender: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

// Renders `frames` sample frames of `width` bytes each into out, through
// the audio callback with the show's buffers of 2048 frames each. Returns
// false when a write fails.
bool render(std::FILE* out, uint64_t frames, uint32_t width) {
  static uint8_t block[kBlockFrames * 2];
  for (uint64_t done = 0; done < frames;) {
    const uint64_t left = frames - done;
    const size_t count = left < kBlockFrames ? static_cast<size_t>(left) : kBlockFrames;
    engine_render(block, count);
    const size_t bytes = count * width;
    if (std::fwrite(block, 1, bytes, out) != bytes) return false;
    done += count;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int mode = kSound16Bit;
  double seconds = 180.0;
  const char* timeline_path = nullptr;
  const char* positional[2] = {nullptr, nullptr};
  int positional_count = 0;

  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--mode" || arg == "--seconds" || arg == "--timeline") {
      if (i + 1 >= argc) return usage("option needs a value");
      const char* value = argv[++i];
      if (arg == "--mode") {
        if (std::strcmp(value, "1") == 0)
          mode = kSound8Bit;
        else if (std::strcmp(value, "2") == 0)
          mode = kSound16Bit;
        else
          return usage("--mode takes 1 or 2");
      } else if (arg == "--seconds") {
        if (!parse_decimal(value, 0, kMaxSeconds, seconds) || seconds == 0)
          return usage("--seconds takes a number of seconds above 0, at most 86400");
      } else {
        timeline_path = value;
      }
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage("unknown option");
    } else {
      if (positional_count == 2) return usage("too many arguments");
      positional[positional_count++] = argv[i];
    }
  }
  if (positional_count != 2) return usage("MODULE and OUT.wav are needed");
  const uint32_t rate = mode == kSound8Bit ? 22050 : 44100;
  const uint32_t width = mode == kSound8Bit ? 1 : 2;
  const uint64_t frames = static_cast<uint64_t>(std::llround(seconds * rate));
  if (!wav_holds(frames * width))
    return usage("--seconds: that much sound in this mode is more than the 4 GiB a WAV file holds");

  // The whole file, with the loader's guard bytes after it; one byte more
  // than the largest module tells a larger file.
  static uint8_t image[kMaxModuleSize + kSampleGuardBytes];
  const long size = read_module_file(positional[0], image, kMaxModuleSize + 1);
  if (size < 0) {
    std::fprintf(stderr, "drmorvel-modrender: cannot open %s: %s\n", positional[0],
                 std::strerror(errno));
    return 2;
  }
  if (static_cast<size_t>(size) > kMaxModuleSize) {
    std::fprintf(stderr,
                 "drmorvel-modrender: %s is larger than any module can be (%zu bytes at most)\n",
                 positional[0], kMaxModuleSize);
    return 2;
  }

  engine_open_offline(mode);
  // The bytes read bound the patterns, so a file cut short is refused; the
  // zero guard bytes let a sample that ends the file keep its end.
  if (!pt_load(image, static_cast<size_t>(size) + kSampleGuardBytes)) {
    std::fprintf(stderr, "drmorvel-modrender: %s: %s\n", positional[0], song.error_text);
    return 1;
  }

  if (timeline_path) {
    timeline = std::fopen(timeline_path, "w");
    if (!timeline) {
      std::fprintf(stderr, "drmorvel-modrender: cannot write %s: %s\n", timeline_path,
                   std::strerror(errno));
      return 2;
    }
    snd_set_tick_observer(log_tick);
  }

  std::FILE* out = std::fopen(positional[1], "wb");
  if (!out) {
    std::fprintf(stderr, "drmorvel-modrender: cannot write %s: %s\n", positional[1],
                 std::strerror(errno));
    return 2;
  }
  // The sound is written in blocks of many callback buffers straight from
  // where it was rendered: a long rendering otherwise spends as much time
  // copying and writing small buffers as in the mixer.
  std::setvbuf(out, nullptr, _IONBF, 0);
  uint8_t header[kWavHeaderSize];
  wav_header(header, rate, width * 8, static_cast<uint32_t>(frames * width));
  bool ok = std::fwrite(header, 1, sizeof header, out) == sizeof header;

  ok = ok && render(out, frames, width);
  if (std::fclose(out) != 0) ok = false;
  if (timeline && std::fclose(timeline) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "drmorvel-modrender: writing %s failed: %s\n", positional[1],
                 std::strerror(errno));
    return 2;
  }
  return 0;
}
