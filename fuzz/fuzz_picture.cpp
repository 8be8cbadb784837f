// Fuzz target: arbitrary bytes as one of the show's picture files, decoded
// as load_assets decodes them: the same decoder, reading through the same
// stdio source (here a stream over the input's bytes), no GL needed.
//
// A decoded block must hold every byte the texture upload reads (width x
// height x 3); the whole of it is read here, so a block that is too short is
// an error under AddressSanitizer. A refused picture must leave the size
// alone and say why.
//
// The decoder runs within 1 MiB instead of the show's 128 MiB: the refusal
// and the library's limit are the same code at any budget, and pictures
// within the smaller one decode in milliseconds, so the fuzzer is not held
// up by hostile headers that claim tens of millions of pixels.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "assets/picture.h"

namespace {
constexpr size_t kFuzzBudget = size_t{1} << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A stream over no bytes cannot be opened; an empty file is a test case.
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  int width = -1, height = -1;
  uint8_t* block = decode_jpeg_rgb(file, kFuzzBudget, &width, &height);
  std::fclose(file);
  if (block == nullptr) {
    if (width != -1 || height != -1 || jpeg_message()[0] == '\0') __builtin_trap();
    return 0;
  }
  if (width < 1 || height < 1) __builtin_trap();
  unsigned sum = 0;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  for (size_t i = 0; i < bytes; ++i) sum += block[i];
  std::free(block);
  // Keeps the reads from being optimised away.
  volatile unsigned keep = sum;
  (void)keep;
  return 0;
}
