// Loads a module image into the player the way the show does: copied to the
// start of the zero-filled module_buffer, then pt_load over the whole buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/module_file.h"
#include "player/player.h"

// Returns pt_load's result, or 0 without touching the player for an image
// larger than module_buffer.
inline int load_module_image(const std::vector<uint8_t>& bytes) {
  if (bytes.size() > kModuleBufferSize) return 0;
  std::memset(module_buffer, 0, kModuleBufferSize);
  std::memcpy(module_buffer, bytes.data(), bytes.size());
  return pt_load(module_buffer, kModuleBufferSize);
}
