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

// Ticks the player so that every tick started by frame k's time has run.
void tick_to_frame(int64_t k, int64_t& ticks) {
  for (const int64_t want = ticks_started_by_frame(k, kFps); ticks < want; ++ticks) pt_play();
}

struct BandStats {
  int frames = 0;  // frames of the band in the show
  int measured = 0;
  double seconds = 0.0;
  double worst = 0.0;
  double samples = 0.0;
};

#ifdef BENCH_NULL_GL
constexpr int kDefaultFramesPerBand = 1 << 30;  // cheap enough to time every frame of the show
#else
constexpr int kDefaultFramesPerBand = 12;
#endif
// A song that never ends the show is cut after an hour of show time.
constexpr int64_t kMostFrames = int64_t{3600} * kFps;

struct Options {
  int width = 1024;
  int height = 768;
  int per_band = kDefaultFramesPerBand;
};

Options parse_options(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size") == 0)
      std::sscanf(argv[i + 1], "%dx%d", &o.width, &o.height);
    else if (std::strcmp(argv[i], "--frames") == 0)
      o.per_band = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--data") == 0)
      show_data_dir = argv[i + 1];
  }
  return o;
}

#ifndef BENCH_NULL_GL
GlTarget target;

// GL_SAMPLES_PASSED around each drawn frame, where the GL offers queries.
struct SampleQuery {
  PFNGLBEGINQUERYPROC begin = nullptr;
  PFNGLENDQUERYPROC end = nullptr;
  PFNGLGETQUERYOBJECTUIVPROC result = nullptr;
  GLuint id = 0;
} query;

void make_query() {
  auto gen_queries = reinterpret_cast<PFNGLGENQUERIESPROC>(SDL_GL_GetProcAddress("glGenQueries"));
  query.begin = reinterpret_cast<PFNGLBEGINQUERYPROC>(SDL_GL_GetProcAddress("glBeginQuery"));
  query.end = reinterpret_cast<PFNGLENDQUERYPROC>(SDL_GL_GetProcAddress("glEndQuery"));
  query.result =
      reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(SDL_GL_GetProcAddress("glGetQueryObjectuiv"));
  if (gen_queries) gen_queries(1, &query.id);
}

// The offscreen context, the pictures and the module, as the show loads them.
// Returns 0, or the exit status: 3 without a context, 1 without a module.
int open_show(const Options& o) {
  char why[256];
  if (!gl_target_open(target, o.width, o.height, why, sizeof why)) {
    std::fprintf(stderr, "drmorvel-bench-bands: %s\n", why);
    return 3;
  }
  make_query();
  asset_sound_choice = snd_open_silent;  // the player is ticked here, no sound is mixed
  if (!load_assets()) {
    std::fprintf(stderr, "drmorvel-bench-bands: no module in %s\n", show_data_dir);
    return 1;
  }
  return 0;
}
#else
// No GL to load pictures into: only the module is needed. Returns 0, or 1
// without a module.
int open_show(const Options&) {
  asset_sound_choice = snd_open_silent;
  if (!load_show_module()) {
    std::fprintf(stderr, "drmorvel-bench-bands-cpu: no module in %s\n", show_data_dir);
    return 1;
  }
  return 0;
}
#endif

// First pass: how many frames each band has, to spread the samples. Returns
// the show's last frame.
int64_t count_band_frames(BandStats stats[kBands]) {
  int64_t ticks = 0;
  for (int64_t k = 0;; ++k) {
    tick_to_frame(k, ticks);
    const auto p = static_cast<uint32_t>(pt_position());
    ++stats[band_of(p)].frames;
    if (show_has_ended(static_cast<int32_t>(p)) || k > kMostFrames) return k;
  }
}

// Draws the frame as the show does; returns its time in seconds and adds the
// samples that passed into it to the band's count when it is measured.
double draw_frame(ScheduleOrigins& origins, [[maybe_unused]] BandStats& s,
                  [[maybe_unused]] bool measure) {
#ifndef BENCH_NULL_GL
  if (query.id) query.begin(GL_SAMPLES_PASSED, query.id);
#endif
  const auto t0 = std::chrono::steady_clock::now();
  (void)draw_show_frame(origins);
#ifndef BENCH_NULL_GL
  glFinish();
#endif
  const double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
#ifndef BENCH_NULL_GL
  if (query.id) {
    query.end(GL_SAMPLES_PASSED);
    GLuint n = 0;
    query.result(query.id, GL_QUERY_RESULT, &n);
    if (measure) s.samples += n;
  }
#endif
  return dt;
}

// Second pass: the song from its start again, measuring up to per_band
// frames spread evenly over each band.
void measure_bands(const Options& o, BandStats stats[kBands], int64_t last_frame) {
  pt_init();
  int64_t ticks = 0;
  ScheduleOrigins origins;
  int seen[kBands] = {};
  for (int64_t k = 0; k <= last_frame; ++k) {
    tick_to_frame(k, ticks);
    frame_ms = static_cast<uint32_t>(k * 1000 / kFps);
    const auto p = static_cast<uint32_t>(pt_position());
    const int b = band_of(p);
    BandStats& s = stats[b];
    const int stride = std::max(1, s.frames / std::max(1, o.per_band));
    // The band's first frame sets its time origin, so it is always drawn.
    const bool measure = seen[b]++ % stride == 0 && s.measured < o.per_band;
#ifndef BENCH_NULL_GL
    if (!measure && seen[b] != 1) continue;
#endif
    const double dt = draw_frame(origins, s, measure);
    if (!measure) continue;
    ++s.measured;
    s.seconds += dt;
    s.worst = std::max(s.worst, dt);
  }
}

void print_report([[maybe_unused]] const Options& o, const BandStats stats[kBands]) {
#ifndef BENCH_NULL_GL
  std::printf("# real GL (%s), %dx%d, up to %d frames per band\n",
              reinterpret_cast<const char*>(glGetString(GL_RENDERER)), o.width, o.height,
              o.per_band);
  std::printf("band\tframes\tms_per_frame\tworst_ms\tpixels_shaded\tviews_covered\n");
  for (int b = 0; b < kBands; ++b) {
    const BandStats& s = stats[b];
    const double n = std::max(1, s.measured);
    std::printf("%s\t%d\t%.2f\t%.2f\t%.0f\t%.2f\n", kBandName[b], s.measured, 1e3 * s.seconds / n,
                1e3 * s.worst, s.samples / n,
                s.samples / n / (static_cast<double>(o.width) * o.height));
  }
#else
  std::printf("# null GL: the show's own work per frame, every frame at %d fps\n", kFps);
  std::printf("band\tframes\town_ms_per_frame\tworst_ms\n");
  for (int b = 0; b < kBands; ++b) {
    const BandStats& s = stats[b];
    const double n = std::max(1, s.measured);
    std::printf("%s\t%d\t%.3f\t%.3f\n", kBandName[b], s.measured, 1e3 * s.seconds / n,
                1e3 * s.worst);
  }
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  if (const int status = open_show(options)) return status;
  begin_show_gl();
  set_aspect_viewport(0, 0, options.width, options.height);
  set_show_clock_source(bench_ticks);
  frame_ms = 0;
  show_clock();

  BandStats stats[kBands];
  const int64_t last_frame = count_band_frames(stats);
  measure_bands(options, stats, last_frame);
  print_report(options, stats);
#ifndef BENCH_NULL_GL
  gl_target_close(target);
#endif
  return 0;
}
