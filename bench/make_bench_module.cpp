// Writes a long, busy synthetic module for speed comparisons: every channel
// plays looping samples with notes, vibrato and volume slides, and the song
// loops. Usage: make-bench-module CHANNELS OUT.mod  (CHANNELS 4, 8 or 32)

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "test_songs.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make-bench-module 4|8|32 OUT.mod\n", stderr);
    return 2;
  }
  const int channels = std::atoi(argv[1]);
  const char* tag = channels == 4    ? "M.K."
                    : channels == 8  ? "8CHN"
                    : channels == 32 ? "32CH"
                                     : nullptr;
  if (!tag) {
    std::fputs("make-bench-module: CHANNELS must be 4, 8 or 32\n", stderr);
    return 2;
  }
  // As many patterns as fit in the show's 300000-byte module buffer.
  const int patterns = channels == 32 ? 32 : 64;
  const auto bytes = busy_song(tag, channels, patterns).build();
  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "make-bench-module: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
