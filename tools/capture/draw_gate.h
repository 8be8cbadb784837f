// Frames drawn without pixels. A capture from --from S must carry the show
// through every frame before S (the overlay's pulses and flashes, the band
// origins, the effects' own state all move from frame to frame), but nothing
// needs those frames' pixels, and on a software rasteriser drawing them is
// nearly all of their cost.
//
// The capture therefore defines the GL entry points through which the show
// puts pixels into the frame itself: glVertex2f, glVertex3f and glClear. The
// show's code, linked into the capture, calls these; they pass each call on
// to the GL's own function while drawing is on and drop it while it is off.
// Every other call still reaches the GL: matrices, enables, blending, lights,
// bindings, line width, and the colours, normals and texture coordinates
// given between glBegin and glEnd, which set the current values all the same.
// glBegin and glEnd themselves pass too, each pair now enclosing no vertex:
// the GL brings its derived state up to date at glBegin, and with those
// updates at other moments a later frame came out a pixel different. So the
// GL's state after a frame without pixels is what drawing it would have left.
#pragma once

// Finds the GL's own functions of the context just made current. Returns 1,
// or 0 with a one-line reason in `why` when the GL lacks one of them.
int draw_gate_open(char* why, int why_size);

// Drawing on (the default) or off.
void draw_gate_set(bool drawing);
