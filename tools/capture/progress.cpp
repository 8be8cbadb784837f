// The capture's progress bar.

#include "progress.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int kBarWidth = 14;
constexpr int64_t kMaxCount = 9999999;  // seven digits keep the line within 79 columns
constexpr double kRedrawSeconds = 0.25;

double now_seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Rows since the start of the song, 64 to an order.
int64_t song_rows(int32_t position) { return int64_t{position / 100} * 64 + position % 100; }

// m:ss, or h:mm:ss from an hour on; "--:--" when unknown.
void clock_text(char* out, size_t size, double seconds) {
  if (!(seconds >= 0.0) || seconds > 359999.0) {
    std::snprintf(out, size, "--:--");
    return;
  }
  const auto s = static_cast<int64_t>(seconds + 0.5);
  if (s >= 3600)
    std::snprintf(out, size, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  else
    std::snprintf(out, size, "%lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
}

}  // namespace

void progress_line(char* out, size_t size, const ProgressState& s) {
  char bar[kBarWidth + 1];
  int filled = 0;
  if (s.total > 0) {
    const int64_t capped = s.done < s.total ? s.done : s.total;
    filled = static_cast<int>(capped * kBarWidth / s.total);
  }
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
  bar[kBarWidth] = '\0';

  const auto done = static_cast<long long>(s.done < kMaxCount ? s.done : kMaxCount);
  const auto total = static_cast<long long>(s.total < kMaxCount ? s.total : kMaxCount);
  char frames[48];
  if (s.total > 0)
    std::snprintf(frames, sizeof frames, "%lld/%s%lld", done, s.estimated ? "~" : "", total);
  else
    std::snprintf(frames, sizeof frames, "%lld", done);

  char rate[16] = "-- fps";
  if (s.fps > 0.0 && s.fps < 10000.0) std::snprintf(rate, sizeof rate, "%.1f fps", s.fps);
  char left[32];
  const bool known = s.total > 0 && s.fps > 0.0;
  clock_text(left, sizeof left, known ? static_cast<double>(s.total - s.done) / s.fps : -1.0);

  std::snprintf(out, size, "[%s] %s frames  song %04d  %s  %s left", bar, frames,
                s.position < 0 || s.position > 9999 ? 0 : s.position, rate, left);
}

int64_t progress_estimate(int64_t done, int32_t position, int32_t last) {
  const int64_t reached = song_rows(position);
  if (done <= 0 || reached <= 0) return 0;
  const int64_t estimate = done * song_rows(last + 1) / reached;
  return estimate > done ? estimate : done;
}

void progress_start(Progress& p) {
  p.on = isatty(STDERR_FILENO) == 1;
  p.drawn = false;
  p.tenths_logged = 0;
  p.start = now_seconds();
  p.last_draw = -1.0;
}

void progress_update(Progress& p, ProgressState s) {
  const double t = now_seconds();
  if (!p.on) {
    if (s.total <= 0) return;
    const int64_t tenths = (s.done < s.total ? s.done : s.total) * 10 / s.total;
    if (tenths <= p.tenths_logged) return;
    p.tenths_logged = tenths;
  } else if (p.last_draw >= 0.0 && t - p.last_draw < kRedrawSeconds && s.done != s.total) {
    return;
  }
  p.last_draw = t;
  const double elapsed = t - p.start;
  s.fps = elapsed > 0.0 && s.done > 0 ? static_cast<double>(s.done) / elapsed : 0.0;
  char line[128];
  progress_line(line, sizeof line, s);
  if (!p.on) {
    std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
    return;
  }
  // \033[K clears what a longer earlier line left on the right.
  std::fprintf(stderr, "\r%s\033[K", line);
  std::fflush(stderr);
  p.drawn = true;
}

void progress_end(Progress& p) {
  if (p.drawn) std::fputc('\n', stderr);
  p.drawn = false;
}
