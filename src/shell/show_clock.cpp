// The show clock: seconds since its first query, with millisecond
// resolution, read from SDL's millisecond tick.

#include <SDL.h>

#include "shell/shell.h"

namespace {

uint32_t sdl_ticks() { return SDL_GetTicks(); }

uint32_t (*tick_source)() = sdl_ticks;
// -1 until the first query; only the main thread touches it.
int32_t show_start_ticks = -1;

}  // namespace

void set_show_clock_source(uint32_t (*ticks)()) { tick_source = ticks ? ticks : sdl_ticks; }

double show_clock() {
  if (show_start_ticks == -1) show_start_ticks = static_cast<int32_t>(tick_source());
  // A signed difference, so that the tick counter wrapping after 49 days
  // does not make time jump.
  const int32_t elapsed =
      static_cast<int32_t>(tick_source() - static_cast<uint32_t>(show_start_ticks));
  return elapsed / 1000.0;
}
