// cursor-state: prints "shown" or "hidden" for the mouse cursor the X server
// shows right now, where the pointer is: hidden when its image has no pixel
// that is not fully transparent. Move the pointer over a window first to
// read that window's cursor.

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("cursor-state: cannot open the display\n", stderr);
    return 1;
  }
  int event_base = 0, error_base = 0;
  XFixesCursorImage* image = XFixesQueryExtension(display, &event_base, &error_base)
                                 ? XFixesGetCursorImage(display)
                                 : nullptr;
  if (image == nullptr) {
    std::fputs("cursor-state: the server cannot tell its cursor\n", stderr);
    XCloseDisplay(display);
    return 1;
  }
  bool visible = false;
  // Pixels are ARGB, one per unsigned long; alpha is the top byte of 32.
  for (int i = 0; i < image->width * image->height; ++i)
    if (((image->pixels[i] >> 24) & 0xFF) != 0) visible = true;
  std::puts(visible ? "shown" : "hidden");
  XFree(image);
  XCloseDisplay(display);
  return 0;
}
