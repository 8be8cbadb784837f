// The scene schedule as it stands before the storyboard's scenes exist:
// every band is the picture layer alone, so the frame shows the plain
// picture of the current hundred of song positions, or nothing.

#include "shell/shell.h"

void draw_schedule(uint32_t, ScheduleOrigins&) { draw_picture_overlay(); }
