#include "assets/module_file.h"

#include <cstdio>
#include <cstring>

uint8_t module_buffer[kModuleBufferSize];

long read_module_file(const char* path, uint8_t* buffer, size_t capacity) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return -1;
  std::memset(buffer, 0, capacity);
  const size_t got = std::fread(buffer, 1, capacity, f);
  std::fclose(f);
  return static_cast<long>(got);
}
