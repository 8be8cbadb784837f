// CPU cost of the effects' own work: the effects are linked against the GL
// that draws nothing, so the time is their arithmetic and call overhead
// without any rasterisation. Reported per call, in microseconds, at a few
// show times; the band benchmarks add up what the schedule draws in one frame
// of each band (without the picture overlay).
#include "effects/effects.h"
#include "null_gl.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int picture = 4;
constexpr int disc = 7;

double show_time(const benchmark::State& state) {
  return static_cast<double>(state.range(0)) + 0.37;
}

// Each GL call costs the null GL a counter increment; the call count per
// frame is reported with the time.
void report_calls(benchmark::State& state) {
  std::uint64_t calls = 0;
  for (int op = 0; op < static_cast<int>(GlOp::count); ++op)
    calls += null_gl_count(static_cast<GlOp>(op));
  state.counters["gl_calls"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

template <typename Draw>
void run(benchmark::State& state, Draw draw) {
  null_gl_reset(false);
  const double t = show_time(state);
  for (auto _ : state) draw(t);
  report_calls(state);
}

void BM_rings(benchmark::State& s) {
  run(s, [](double t) { draw_rings(t); });
}
void BM_dropping_strips(benchmark::State& s) {
  run(s, [](double t) { draw_dropping_strips(t, picture); });
}
void BM_falling_tiles(benchmark::State& s) {
  run(s, [](double t) { draw_falling_tiles(t, picture); });
}
void BM_tile_column(benchmark::State& s) {
  run(s, [](double t) { draw_tile_column(t, picture); });
}
void BM_tile_tunnel(benchmark::State& s) {
  run(s, [](double t) { draw_tile_tunnel(t, picture); });
}
void BM_sprite_grid(benchmark::State& s) {
  run(s, [](double t) { draw_sprite_grid(t, 0.0, disc); });
}
void BM_compute_blob_field(benchmark::State& s) {
  run(s, [](double t) { compute_blob_field(static_cast<float>(t / 7)); });
}
void BM_cube_field(benchmark::State& s) {
  compute_blob_field(static_cast<float>(show_time(s) / 7));
  run(s, [](double t) { draw_cube_field(static_cast<float>(t * 2)); });
}
void BM_iso_surface(benchmark::State& s) {
  compute_blob_field(static_cast<float>(show_time(s) / 3));
  run(s, [](double t) { draw_iso_surface(static_cast<float>(t * 2)); });
}
void BM_twisted_tube(benchmark::State& s) {
  run(s, [](double t) {
    compute_twist_angles(static_cast<float>(t));
    draw_twisted_tube(static_cast<float>(t * 2));
  });
}

// One frame's effects per band, in the schedule's order.
void BM_band_opening(benchmark::State& s) {
  run(s, [](double t) {
    draw_rings(t);
    draw_dropping_strips(t, 5);
  });
}
void BM_band_growing_grid(benchmark::State& s) {
  run(s, [](double t) { draw_sprite_grid(t, t / 3 - 0.5, disc); });
}
void BM_band_tiles_and_tunnel(benchmark::State& s) {
  run(s, [](double t) {
    draw_falling_tiles(t, 2);
    draw_tile_tunnel(t, 2);
  });
}
void BM_band_iso_surface(benchmark::State& s) {
  run(s, [](double t) {
    draw_sprite_grid(t, 0.0, disc);
    compute_blob_field(static_cast<float>(t / 3));
    draw_iso_surface(static_cast<float>(t * 2));
    draw_tile_column(t, picture);
    draw_tile_column(t, picture);
  });
}
void BM_band_strips_and_tunnel(benchmark::State& s) {
  run(s, [](double t) {
    draw_dropping_strips(t * 1.5, 6);
    draw_tile_tunnel(t, picture);
  });
}
void BM_band_tube(benchmark::State& s) {
  run(s, [](double t) {
    draw_sprite_grid(t, 0.0, disc);
    compute_twist_angles(static_cast<float>(t));
    draw_twisted_tube(static_cast<float>(t * 2));
    draw_sprite_grid(t, -0.1, disc);
    draw_falling_tiles(t, 2);
  });
}
void BM_band_closing(benchmark::State& s) {
  run(s, [](double t) {
    draw_rings(t);
    compute_blob_field(static_cast<float>(t / 7));
    draw_cube_field(static_cast<float>(t * 2));
    draw_tile_column(10000 - t, picture);
  });
}

}  // namespace

// Show times in seconds (plus 0.37): the blob field's cube count, the only
// cost that varies much, changes with it.
#define EFFECT_BENCH(name) \
  BENCHMARK(name)->Arg(0)->Arg(20)->Arg(95)->Arg(170)->Unit(benchmark::kMicrosecond)

EFFECT_BENCH(BM_rings);
EFFECT_BENCH(BM_dropping_strips);
EFFECT_BENCH(BM_falling_tiles);
EFFECT_BENCH(BM_tile_column);
EFFECT_BENCH(BM_tile_tunnel);
EFFECT_BENCH(BM_sprite_grid);
EFFECT_BENCH(BM_compute_blob_field);
EFFECT_BENCH(BM_cube_field);
EFFECT_BENCH(BM_iso_surface);
EFFECT_BENCH(BM_twisted_tube);
EFFECT_BENCH(BM_band_opening);
EFFECT_BENCH(BM_band_growing_grid);
EFFECT_BENCH(BM_band_tiles_and_tunnel);
EFFECT_BENCH(BM_band_iso_surface);
EFFECT_BENCH(BM_band_strips_and_tunnel);
EFFECT_BENCH(BM_band_tube);
EFFECT_BENCH(BM_band_closing);

BENCHMARK_MAIN();
