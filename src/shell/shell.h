// The show shell: the show clock, the 4:3 viewport rule, the full-screen
// toggle, the scene schedule and the picture overlay.
#pragma once

#include <cstdint>

struct SDL_Window;

// Seconds since the show clock started; the first call starts it.
// Millisecond resolution.
double show_clock();
// Where the show clock reads its milliseconds from: SDL_GetTicks unless a
// tool that renders offline sets its own source (null restores SDL's).
void set_show_clock_source(uint32_t (*ticks)());

// The rectangle of the window the show currently draws in: the largest
// centred 4:3 rectangle that set_aspect_viewport last chose.
struct ViewRect {
  int x, y, width, height;
};
extern ViewRect show_view;

// Sets the GL viewport (and show_view) to the largest 4:3 rectangle centred
// in the given one. A height of 0 counts as 1.
void set_aspect_viewport(int x, int y, int width, int height);

// Switches the window between desktop full screen and a window; the cursor
// is hidden in full screen.
void toggle_fullscreen(SDL_Window* window);

// The band-local time origins of the scene schedule, owned by the frame loop.
struct ScheduleOrigins {
  double grid_origin = 0.0;
  double strips_origin = 0.0;
  double zoom_origin = 0.0;
};

// Draws the scene band that contains song position p (compared unsigned).
void draw_schedule(uint32_t p, ScheduleOrigins& origins);

// The picture layer: reads the song position and the show clock itself.
void draw_picture_overlay();
