#include "assets/module_file.h"

#include <cstdio>
#include <cstring>

uint8_t module_buffer[kModuleBufferSize];

long read_module_file(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return -1;
  std::memset(module_buffer, 0, kModuleBufferSize);
  const size_t got = std::fread(module_buffer, 1, kModuleBufferSize, f);
  std::fclose(f);
  return static_cast<long>(got);
}
