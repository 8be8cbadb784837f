// The capture's progress bar: what its line says, how it guesses the length
// of a show whose end only the song knows, and that it is drawn only on a
// terminal, with a plain line at every tenth of the way anywhere else.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "progress.h"

namespace {

std::string line_for(ProgressState s) {
  char out[128];
  progress_line(out, sizeof out, s);
  return out;
}

ProgressState state(int64_t done, int64_t total, int32_t position, double fps,
                    bool estimated = false) {
  ProgressState s;
  s.done = done;
  s.total = total;
  s.position = position;
  s.fps = fps;
  s.estimated = estimated;
  return s;
}

TEST(ProgressLine, ShowsFramesPositionRateAndTimeLeft) {
  const std::string half = line_for(state(3000, 6000, 812, 50.0));
  EXPECT_EQ(half, "[#######-------] 3000/6000 frames  song 0812  50.0 fps  1:00 left");
  EXPECT_EQ(line_for(state(0, 6000, -37, 0.0)),
            "[--------------] 0/6000 frames  song 0000  -- fps  --:-- left");
  EXPECT_EQ(line_for(state(6000, 6000, 1921, 120.0)),
            "[##############] 6000/6000 frames  song 1921  120.0 fps  0:00 left");
  // An estimated total is marked; hours get their own field.
  EXPECT_EQ(line_for(state(10, 400000, 100, 100.0, true)),
            "[--------------] 10/~400000 frames  song 0100  100.0 fps  1:06:40 left");
  // No total yet: no bar filling and no time left.
  EXPECT_EQ(line_for(state(5, 0, 0, 30.0)),
            "[--------------] 5 frames  song 0000  30.0 fps  --:-- left");
}

TEST(ProgressLine, StaysWithinOneTerminalLineAndTheBuffer) {
  const std::string worst = line_for(state(99999999, 99999999, 99999, 99999.0, true));
  EXPECT_LE(worst.size(), 79u) << worst;
  // More frames than the total (the show ran past an estimate) fills the bar, no more.
  EXPECT_EQ(line_for(state(700, 600, 1500, 10.0)).substr(0, 16), "[##############]");
  char small[12];
  progress_line(small, sizeof small, state(1, 2, 3, 4.0));
  EXPECT_EQ(std::strlen(small), sizeof small - 1);
}

TEST(ProgressEstimate, ScalesByRowsOfTheSongCountingSixtyFourToAnOrder) {
  // Order 10, row 0 is row 640 of 1237 (the song ends at order 19, row 21).
  EXPECT_EQ(progress_estimate(6400, 1000, 1920), 6400 * 1237 / 640);
  // Rows past 63 count on within their order: 1932 is order 19, row 32.
  EXPECT_EQ(progress_estimate(1248, 1932, 1920), 1248);
  EXPECT_EQ(progress_estimate(100, 0, 1920), 0);    // nothing played yet
  EXPECT_EQ(progress_estimate(100, -37, 1920), 0);  // before the first tick
  EXPECT_EQ(progress_estimate(0, 500, 1920), 0);
}

// Runs the updates of a 20-frame capture and its end with standard error on `fd`.
void draw_on(int fd) {
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(fd, STDERR_FILENO);
  Progress p;
  progress_start(p);
  for (int64_t done = 1; done <= 20; ++done) progress_update(p, state(done, 20, 100 + done, 0.0));
  progress_end(p);
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
}

TEST(ProgressBar, DrawsOnATerminalAndWritesEveryTenthToALog) {
  // A pipe (a log, say): one plain line at every tenth, no carriage return.
  int log[2];
  ASSERT_EQ(pipe(log), 0);
  draw_on(log[1]);
  close(log[1]);
  char buffer[4096] = {};
  std::string logged;
  for (ssize_t n; (n = read(log[0], buffer, sizeof buffer)) > 0;)
    logged.append(buffer, static_cast<size_t>(n));
  close(log[0]);
  for (int done = 2; done <= 20; done += 2) {
    char frames[32];
    std::snprintf(frames, sizeof frames, "] %d/20 frames  song %04d", done, 100 + done);
    EXPECT_NE(logged.find(frames), std::string::npos) << frames << " missing from\n" << logged;
  }
  EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 10) << logged;
  EXPECT_EQ(logged.find('\r'), std::string::npos);
  EXPECT_EQ(logged.back(), '\n');

  // A terminal: the line, after a carriage return, and a newline at the end.
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  draw_on(slave);
  // The terminal hands the output on in pieces, and not always at once.
  std::string drawn;
  pollfd ready{master, POLLIN, 0};
  while (drawn.find('\n') == std::string::npos && poll(&ready, 1, 5000) == 1) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    drawn.append(buffer, static_cast<size_t>(n));
  }
  close(slave);
  close(master);
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn[0], '\r');
  EXPECT_NE(drawn.find("1/20 frames  song 0101"), std::string::npos) << drawn;
  EXPECT_NE(drawn.find('\n'), std::string::npos);
}

}  // namespace
