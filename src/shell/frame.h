// The frame loop's pieces: the window flags the command line chooses, the
// frame's projection, one frame of the show as the show, the capture and the
// band bench draw it, the offline clock, the handling of one event and the
// end of a frame.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "shell/shell.h"

constexpr char kShowCaption[] = "Dr Morvel by Quenlo";
constexpr int kShowWidth = 1024;
constexpr int kShowHeight = 768;
// The show ends after the frame whose closing position read exceeds this.
constexpr uint32_t kLastShowPosition = 1920;
// The start-up's wait for the music: it ends once the position, taken
// unsigned, is this or less, which the first player tick brings (-37 before
// it lies far above).
constexpr uint32_t kMusicStartedThreshold = 100;

// The exit test of a frame, on its closing position read: true once the
// song has passed kLastShowPosition. That frame is still presented; 1920
// itself plays on. Taken unsigned like every position test of the show, so
// a negative position (the transient of a jump to before row 0) ends it too.
constexpr bool show_has_ended(int32_t closing_position) {
  return static_cast<uint32_t>(closing_position) > kLastShowPosition;
}

// The offline clock of the tools that render the show frame by frame (the
// capture, the band bench): frame k stands at k / fps s of show time and
// player tick n (from 1) starts at (n - 1) / 50 s, so by frame k ticks 1 up
// to this one have started.
constexpr int64_t ticks_started_by_frame(int64_t k, int fps) { return k * 50 / fps + 1; }
// The same clock told in sound: the samples at `rate` Hz before frame k's
// time, and at least one, since tick 1 starts at time 0. The audio callback
// starts a tick as soon as the samples of the one before are mixed, so
// pulling this many runs exactly ticks_started_by_frame(k, fps) ticks.
constexpr int64_t samples_before_frame(int64_t k, int fps, int rate) {
  return k * rate / fps > 0 ? k * rate / fps : 1;
}

// The song positions one frame read: the one it is drawn at and the closing
// read that show_has_ended takes.
struct FramePositions {
  uint32_t drawn;  // taken unsigned, as the schedule compares it
  int32_t closing;
};

// One frame of the show: reads the song position, begins the frame, draws
// the scene band of that position and reads the position again. Presenting
// the frame and its exit test are the caller's.
FramePositions draw_show_frame(ScheduleOrigins& origins);

// "-w" as the only argument: a resizable window. Anything else: desktop
// full screen.
Uint32 show_window_flags(int argc, const char* const* argv);

// The GL state every frame starts from, set once after the assets are
// loaded: black clear colour, texturing on.
void begin_show_gl();

// Clears the frame and sets the projection and the base model view.
void begin_frame();

// Handles one event of the frame's queue and returns the number of quit
// requests it makes (0 or 1): the window's close, or Q or Escape released.
// Releasing F toggles full screen; a resize of the show window sets the
// aspect viewport.
int handle_show_event(const SDL_Event& event, SDL_Window* window, Uint32 window_id);

// The end of a frame: handles every event in the queue and returns true when
// the show ends after this frame, because it has ended by itself (ended) or
// because one of the events asks to quit. Either way all of them are handled.
bool frame_ends(bool ended, SDL_Window* window, Uint32 window_id);
