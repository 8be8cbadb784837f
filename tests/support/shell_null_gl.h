// The frame-level GL calls of the shell (clear, viewport, frustum) for the
// GL that draws nothing, which covers only what the effects call. Each call
// is logged with its place in the effects' call record, so that a test can
// tell, say, that the depth buffer was cleared between two effects.
#pragma once

#include <cstdint>

#include "null_gl.h"

enum class ShellGlOp : uint8_t { clear, viewport, frustum };

struct ShellGlCall {
  ShellGlOp op;
  uint32_t at;  // null_gl_log.size when the call was made
  uint32_t mask;
  int32_t rect[4];
};

constexpr uint32_t kShellGlCapacity = 1024;

struct ShellGlLog {
  uint32_t size;
  ShellGlCall calls[kShellGlCapacity];
};

extern ShellGlLog shell_gl_log;

// Empties the shell's log and resets the effects' record (see null_gl_reset).
void shell_gl_reset(bool record);
