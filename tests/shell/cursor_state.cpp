// cursor-state WINDOW: moves the pointer to the middle of the window and
// prints "shown" or "hidden" for the cursor the X server shows there: hidden
// when its image has no pixel that is not fully transparent. Prints
// "elsewhere" and the window it is over instead when the pointer is not
// over that window itself (not mapped yet, covered, or the window
// manager's frame is in the way), so that a caller waiting for a state does
// not read another window's cursor.

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The innermost window under the pointer.
Window window_under_pointer(Display* display) {
  Window at = DefaultRootWindow(display), root = 0, child = 0;
  int rx = 0, ry = 0, x = 0, y = 0;
  unsigned int mask = 0;
  while (XQueryPointer(display, at, &root, &child, &rx, &ry, &x, &y, &mask) && child != None)
    at = child;
  return at;
}

}  // namespace

int main(int argc, char** argv) {
  Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
  if (display == nullptr) {
    std::fputs("usage: cursor-state WINDOW (on an X display)\n", stderr);
    return 1;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
    std::puts("elsewhere");
    XCloseDisplay(display);
    return 0;
  }
  XWarpPointer(display, None, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
  XSync(display, False);
  if (const Window under = window_under_pointer(display); under != window) {
    std::printf("elsewhere (the pointer is over 0x%lx)\n", under);
    XCloseDisplay(display);
    return 0;
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
