// A GL that draws nothing: the fixed-function entry points the effects use,
// defined as functions that count their calls and, when asked, record them.
// Linked instead of libGL, it lets the effects' own CPU work be measured and
// their exact call sequences be checked without a context.
#pragma once

#include <cstdint>

enum class GlOp : std::uint8_t {
  begin,
  end,
  vertex,
  tex_coord,
  color,
  normal,
  push_matrix,
  pop_matrix,
  translate,
  rotate,
  scale,
  matrix_mode,
  load_identity,
  enable,
  disable,
  blend_func,
  bind_texture,
  alpha_func,
  line_width,
  light,
  count
};

// One recorded call. e0/e1 hold enum and name arguments (mode, capability,
// blend factors, light and parameter, texture); v holds float arguments in
// call order, padded as GL pads them (vertex w = 1, colour alpha = 1, z = 0
// for two-component vertices).
struct GlCall {
  GlOp op;
  std::uint32_t e0;
  std::uint32_t e1;
  float v[4];
};

constexpr std::uint32_t kNullGlCapacity = 1u << 18;

struct NullGlLog {
  std::uint64_t counts[static_cast<int>(GlOp::count)];
  bool recording;
  std::uint32_t size;     // recorded calls
  std::uint32_t dropped;  // calls past the capacity, not recorded
  GlCall calls[kNullGlCapacity];
};

extern NullGlLog null_gl_log;

// Zeroes the counts and the record; record = true keeps every call from now on.
void null_gl_reset(bool record);
// Calls of one kind since the last reset.
std::uint64_t null_gl_count(GlOp op);
