// A one-line progress bar on standard error for long captures: frames done
// of the total, the song position, frames per second and the time left.
// When standard error is not a terminal (a log, a pipe) the same line is
// written whole, once at every tenth of the way, so that the log shows the
// capture moving and gets no carriage returns.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProgressState {
  int64_t done = 0;        // frames rendered
  int64_t total = 0;       // frames in all; 0 when not known yet
  bool estimated = false;  // the total is an estimate from the song position
  int32_t position = 0;    // song position
  double fps = 0.0;        // frames per second so far; 0 when not known yet
};

struct Progress {
  bool on = false;  // standard error is a terminal
  bool drawn = false;
  int64_t tenths_logged = 0;  // not a terminal: tenths of the way written so far
  double start = 0.0;         // monotonic seconds
  double last_draw = -1.0;    // monotonic seconds; negative: never
};

// The line for `s`, without carriage return, cut to size - 1 characters;
// it never needs more than 79 columns.
void progress_line(char* out, size_t size, const ProgressState& s);

// The number of frames of a show that ends once the song passes position
// `last`, estimated from `done` frames having reached `position`: the song
// is taken to move at a steady number of rows per second, counting 64 rows
// per order. 0 when nothing can be told yet.
int64_t progress_estimate(int64_t done, int32_t position, int32_t last);

// Starts the clock; the bar is on only when standard error is a terminal.
void progress_start(Progress& p);
// Redraws the line at most four times a second, and always for the last
// frame (done == total); not on a terminal, writes it as a line of its own
// when done first reaches another tenth of the total.
void progress_update(Progress& p, ProgressState s);
// Ends the line, so that later messages start on their own line.
void progress_end(Progress& p);
