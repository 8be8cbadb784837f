// Per-band cost of the whole show's frames. Walks the show's song at 60
// frames per second of show time, as the capture does (the player ticked to
// the frame's time, the show clock driven by the frame number), and for a
// sample of frames in every scene band draws the frame as the show does.
//
// Built twice:
//  - against the real GL (drmorvel-bench-bands): milliseconds per frame on
//    the software rasteriser, glFinish included, and the samples that pass
//    into the frame (GL_SAMPLES_PASSED), i.e. the pixels shaded per frame;
//  - against the GL that draws nothing (drmorvel-bench-bands-cpu): the
//    show's own work per frame (schedule, overlay, effects' arithmetic and
//    call issue), with rasterising and the driver taken out.

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/assets.h"
#include "assets/module_file.h"
#include "effects/effects.h"
#include "player/player.h"
#include "shell/frame.h"
#include "shell/shell.h"
#include "sound/sound.h"

#ifndef BENCH_NULL_GL
#include <GL/glext.h>
#include <SDL.h>

#include "gl_target.h"
#endif

const char* show_data_dir = DRMORVEL_DATA_DIR;

namespace {

constexpr int kFps = 60;
constexpr int kBands = 10;
constexpr uint32_t kBandStart[kBands] = {0, 400, 600, 700, 900, 1100, 1300, 1500, 1600, 1861};
constexpr const char* kBandName[kBands] = {"0-399",     "400-599",   "600-699",   "700-899",
                                           "900-1099",  "1100-1299", "1300-1499", "1500-1599",
                                           "1600-1860", "1861+"};

int band_of(uint32_t p) {
  int b = 0;
  while (b + 1 < kBands && p >= kBandStart[b + 1]) ++b;
  return b;
}

uint32_t frame_ms = 0;
uint32_t bench_ticks() { return frame_ms; }

// Ticks the player so that every tick starting at or before frame k's time
// has run: tick n starts at (n - 1) / 50 s.
void tick_to_frame(int64_t k, int64_t& ticks) {
  const int64_t want = k * 50 / kFps + 1;
  for (; ticks < want; ++ticks) pt_play();
}

struct BandStats {
  int frames = 0;     // frames of the band in the show
  int measured = 0;
  double seconds = 0.0;
  double worst = 0.0;
  double samples = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
  int width = 1024, height = 768;
#ifdef BENCH_NULL_GL
  int per_band = 1 << 30;  // cheap enough to time every frame of the show
#else
  int per_band = 12;
#endif
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size") == 0) std::sscanf(argv[i + 1], "%dx%d", &width, &height);
    else if (std::strcmp(argv[i], "--frames") == 0) per_band = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--data") == 0) show_data_dir = argv[i + 1];
  }

#ifndef BENCH_NULL_GL
  GlTarget target;
  char why[256];
  if (!gl_target_open(target, width, height, why, sizeof why)) {
    std::fprintf(stderr, "drmorvel-bench-bands: %s\n", why);
    return 3;
  }
  auto gen_queries = reinterpret_cast<PFNGLGENQUERIESPROC>(SDL_GL_GetProcAddress("glGenQueries"));
  auto begin_query = reinterpret_cast<PFNGLBEGINQUERYPROC>(SDL_GL_GetProcAddress("glBeginQuery"));
  auto end_query = reinterpret_cast<PFNGLENDQUERYPROC>(SDL_GL_GetProcAddress("glEndQuery"));
  auto query_result =
      reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(SDL_GL_GetProcAddress("glGetQueryObjectuiv"));
  GLuint query = 0;
  if (gen_queries) gen_queries(1, &query);
  asset_sound_choice = snd_open_silent;  // the player is ticked here, no sound is mixed
  if (!load_assets()) {
    std::fprintf(stderr, "drmorvel-bench-bands: no module in %s\n", show_data_dir);
    return 1;
  }
#else
  // No GL to load pictures into: only the module is needed.
  char path[4096];
  std::snprintf(path, sizeof path, "%szurivovariv.mod", show_data_dir);
  if (read_module_file(path) < 0) {
    std::fprintf(stderr, "drmorvel-bench-bands-cpu: no module in %s\n", show_data_dir);
    return 1;
  }
  snd_open_silent();
  pt_load(module_buffer, kModuleBufferSize);
  clear_blob_field();
  clear_twist_angles();
#endif
  begin_show_gl();
  set_aspect_viewport(0, 0, width, height);
  set_show_clock_source(bench_ticks);
  frame_ms = 0;
  show_clock();

  // First pass: how many frames each band has, to spread the samples.
  BandStats stats[kBands];
  int64_t ticks = 0;
  int64_t last_frame = 0;
  for (int64_t k = 0;; ++k) {
    tick_to_frame(k, ticks);
    const auto p = static_cast<uint32_t>(pt_position());
    ++stats[band_of(p)].frames;
    if (show_has_ended(static_cast<int32_t>(p)) || k > 3600 * kFps) {
      last_frame = k;
      break;
    }
  }

  pt_init();
  ticks = 0;
  ScheduleOrigins origins;
  int seen[kBands] = {};
  for (int64_t k = 0; k <= last_frame; ++k) {
    tick_to_frame(k, ticks);
    frame_ms = static_cast<uint32_t>(k * 1000 / kFps);
    const auto p = static_cast<uint32_t>(pt_position());
    const int b = band_of(p);
    BandStats& s = stats[b];
    const int stride = std::max(1, s.frames / std::max(1, per_band));
    // The band's first frame sets its time origin, so it is always drawn.
    const bool measure = seen[b]++ % stride == 0 && s.measured < per_band;
#ifndef BENCH_NULL_GL
    if (!measure && seen[b] != 1) continue;
    if (query) begin_query(GL_SAMPLES_PASSED, query);
#endif
    const auto t0 = std::chrono::steady_clock::now();
    begin_frame();
    draw_schedule(p, origins);
#ifndef BENCH_NULL_GL
    glFinish();
#endif
    const double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
#ifndef BENCH_NULL_GL
    if (query) {
      end_query(GL_SAMPLES_PASSED);
      GLuint n = 0;
      query_result(query, GL_QUERY_RESULT, &n);
      if (measure) s.samples += n;
    }
#endif
    if (!measure) continue;
    ++s.measured;
    s.seconds += dt;
    s.worst = std::max(s.worst, dt);
  }

#ifndef BENCH_NULL_GL
  std::printf("# real GL (%s), %dx%d, up to %d frames per band\n",
              reinterpret_cast<const char*>(glGetString(GL_RENDERER)), width, height, per_band);
  std::printf("band\tframes\tms_per_frame\tworst_ms\tpixels_shaded\tviews_covered\n");
  for (int b = 0; b < kBands; ++b) {
    const BandStats& s = stats[b];
    const double n = std::max(1, s.measured);
    std::printf("%s\t%d\t%.2f\t%.2f\t%.0f\t%.2f\n", kBandName[b], s.measured, 1e3 * s.seconds / n,
                1e3 * s.worst, s.samples / n, s.samples / n / (static_cast<double>(width) * height));
  }
  gl_target_close(target);
#else
  std::printf("# null GL: the show's own work per frame, every frame at %d fps\n", kFps);
  std::printf("band\tframes\town_ms_per_frame\tworst_ms\n");
  for (int b = 0; b < kBands; ++b) {
    const BandStats& s = stats[b];
    const double n = std::max(1, s.measured);
    std::printf("%s\t%d\t%.3f\t%.3f\n", kBandName[b], s.measured, 1e3 * s.seconds / n, 1e3 * s.worst);
  }
#endif
  return 0;
}
