// wayland-input WIDTH HEIGHT: a keyboard and a pointer for a Wayland
// compositor that has none of its own (a headless one), driven by commands
// on standard input, one a line:
//
//   down KEY, up KEY, key KEY   press, release, or press then release a key
//                               (KEY: an XKB keysym name: q, Escape, f)
//   move X Y                    the pointer to (X, Y) of a layout of WIDTH x HEIGHT
//   sync                        prints "ok" once the compositor has handled
//                               everything sent before
//
// It prints "ready" once the compositor knows both devices. The keyboard
// carries the standard keymap (evdev rules, pc105, us), so its key codes are
// the ones a real keyboard sends. Start it before the program under test and
// keep it for the whole test: the seat then has its keyboard and pointer from
// the start, as a desktop's does. (A one-shot tool that makes a keyboard,
// types and leaves gives the seat a keyboard only for as long as the typing
// lasts: a client that was started without one learns of it too late to get
// the key.)
//
// The compositor must offer zwp_virtual_keyboard_manager_v1 and
// zwlr_virtual_pointer_manager_v1 (sway does). Their few requests are
// declared here by hand, in the form wayland-scanner would write them.

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

extern const wl_interface virtual_keyboard_interface;
extern const wl_interface virtual_pointer_interface;

const wl_interface* no_types[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_interface* new_keyboard_types[] = {&wl_seat_interface, &virtual_keyboard_interface};
const wl_interface* new_pointer_types[] = {&wl_seat_interface, &virtual_pointer_interface};

// zwp_virtual_keyboard_v1: keymap(format, fd, size), key(time, key, state),
// modifiers(depressed, latched, locked, group), destroy.
const wl_message virtual_keyboard_requests[] = {
    {"keymap", "uhu", no_types},
    {"key", "uuu", no_types},
    {"modifiers", "uuuu", no_types},
    {"destroy", "", no_types},
};
const wl_interface virtual_keyboard_interface = {.name = "zwp_virtual_keyboard_v1",
                                                 .version = 1,
                                                 .method_count = 4,
                                                 .methods = virtual_keyboard_requests,
                                                 .event_count = 0,
                                                 .events = nullptr};

// zwp_virtual_keyboard_manager_v1: create_virtual_keyboard(seat, id).
const wl_message keyboard_manager_requests[] = {
    {"create_virtual_keyboard", "on", new_keyboard_types},
};
const wl_interface keyboard_manager_interface = {.name = "zwp_virtual_keyboard_manager_v1",
                                                 .version = 1,
                                                 .method_count = 1,
                                                 .methods = keyboard_manager_requests,
                                                 .event_count = 0,
                                                 .events = nullptr};

// zwlr_virtual_pointer_v1: motion, motion_absolute(time, x, y, x_extent,
// y_extent), button(time, button, state), axis, frame, axis_source, axis_stop,
// axis_discrete, destroy.
const wl_message virtual_pointer_requests[] = {
    {"motion", "uff", no_types},   {"motion_absolute", "uuuuu", no_types},
    {"button", "uuu", no_types},   {"axis", "uuf", no_types},
    {"frame", "", no_types},       {"axis_source", "u", no_types},
    {"axis_stop", "uu", no_types}, {"axis_discrete", "uufi", no_types},
    {"destroy", "", no_types},
};
const wl_interface virtual_pointer_interface = {.name = "zwlr_virtual_pointer_v1",
                                                .version = 1,
                                                .method_count = 9,
                                                .methods = virtual_pointer_requests,
                                                .event_count = 0,
                                                .events = nullptr};

// zwlr_virtual_pointer_manager_v1: create_virtual_pointer(seat or null, id),
// destroy.
const wl_message pointer_manager_requests[] = {
    {"create_virtual_pointer", "?on", new_pointer_types},
    {"destroy", "", no_types},
};
const wl_interface pointer_manager_interface = {.name = "zwlr_virtual_pointer_manager_v1",
                                                .version = 1,
                                                .method_count = 2,
                                                .methods = pointer_manager_requests,
                                                .event_count = 0,
                                                .events = nullptr};

enum : uint32_t {
  kKeyboardKeymap = 0,
  kKeyboardKey = 1,
  kCreateKeyboard = 0,
  kPointerMotionAbsolute = 1,
  kPointerFrame = 4,
  kCreatePointer = 0,
};

struct Globals {
  wl_seat* seat = nullptr;
  wl_proxy* keyboard_manager = nullptr;
  wl_proxy* pointer_manager = nullptr;
};

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t /*version*/) {
  auto& globals = *static_cast<Globals*>(data);
  auto bind = [&](const wl_interface* wanted) {
    return static_cast<wl_proxy*>(wl_registry_bind(registry, name, wanted, 1));
  };
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals.seat == nullptr)
    globals.seat = reinterpret_cast<wl_seat*>(bind(&wl_seat_interface));
  else if (std::strcmp(interface, keyboard_manager_interface.name) == 0)
    globals.keyboard_manager = bind(&keyboard_manager_interface);
  else if (std::strcmp(interface, pointer_manager_interface.name) == 0)
    globals.pointer_manager = bind(&pointer_manager_interface);
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registry_listener = {on_global, on_global_remove};

uint32_t now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// The evdev code of the key that gives KEY at the first level of the
// keymap, or -1.
int evdev_code(xkb_keymap* keymap, const char* key) {
  const xkb_keysym_t wanted = xkb_keysym_from_name(key, XKB_KEYSYM_NO_FLAGS);
  if (wanted == XKB_KEY_NoSymbol) return -1;
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
       ++code) {
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) > 0 && syms[0] == wanted)
      return static_cast<int>(code) - 8;  // XKB's key codes are evdev's plus 8
  }
  return -1;
}

// Hands the keymap to the virtual keyboard, as a sealed file of the text
// with its terminating NUL.
bool send_keymap(wl_proxy* keyboard, xkb_keymap* keymap) {
  char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (text == nullptr) return false;
  const size_t size = std::strlen(text) + 1;
  const int fd = memfd_create("keymap", MFD_CLOEXEC);
  bool sent = false;
  if (fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size)) {
    wl_proxy_marshal_flags(keyboard, kKeyboardKeymap, nullptr, 1, 0,
                           WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<uint32_t>(size));
    sent = true;
  }
  if (fd >= 0) close(fd);
  std::free(text);
  return sent;
}

int fail(const char* what) {
  std::fprintf(stderr, "wayland-input: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: wayland-input WIDTH HEIGHT  (commands on standard input)\n", stderr);
    return 2;
  }
  const auto width = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const auto height = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  if (width == 0 || height == 0) return fail("the layout's width and height must be positive");

  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return fail("cannot connect to the Wayland display");
  Globals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, &globals);
  wl_display_roundtrip(display);
  if (globals.seat == nullptr) return fail("the compositor offers no seat");
  if (globals.keyboard_manager == nullptr)
    return fail("the compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1)");
  if (globals.pointer_manager == nullptr)
    return fail("the compositor offers no virtual pointer (zwlr_virtual_pointer_manager_v1)");

  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
  xkb_keymap* keymap =
      context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  if (keymap == nullptr) return fail("cannot make the standard keymap (is xkb-data installed?)");

  wl_proxy* keyboard =
      wl_proxy_marshal_flags(globals.keyboard_manager, kCreateKeyboard, &virtual_keyboard_interface,
                             1, 0, globals.seat, nullptr);
  wl_proxy* pointer =
      wl_proxy_marshal_flags(globals.pointer_manager, kCreatePointer, &virtual_pointer_interface, 1,
                             0, globals.seat, nullptr);
  if (!send_keymap(keyboard, keymap)) return fail("cannot hand the keymap over");
  if (wl_display_roundtrip(display) < 0) return fail("the compositor refused the devices");
  std::puts("ready");
  std::fflush(stdout);

  char line[256];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    char command[16] = "", key[64] = "";
    long x = 0, y = 0;
    if (std::sscanf(line, "%15s", command) != 1) continue;
    const bool down = std::strcmp(command, "down") == 0;
    const bool up = std::strcmp(command, "up") == 0;
    if (down || up || std::strcmp(command, "key") == 0) {
      if (std::sscanf(line, "%*s %63s", key) != 1) return fail("a key command names no key");
      const int code = evdev_code(keymap, key);
      if (code < 0) {
        std::fprintf(stderr, "wayland-input: no key gives \"%s\" in the keymap\n", key);
        return 1;
      }
      const auto key_code = static_cast<uint32_t>(code);
      if (!up)
        wl_proxy_marshal_flags(keyboard, kKeyboardKey, nullptr, 1, 0, now_ms(), key_code,
                               WL_KEYBOARD_KEY_STATE_PRESSED);
      if (!down)
        wl_proxy_marshal_flags(keyboard, kKeyboardKey, nullptr, 1, 0, now_ms(), key_code,
                               WL_KEYBOARD_KEY_STATE_RELEASED);
    } else if (std::strcmp(command, "move") == 0) {
      if (std::sscanf(line, "%*s %ld %ld", &x, &y) != 2 || x < 0 || y < 0 || x > width ||
          y > height)
        return fail("move takes a point inside the layout");
      wl_proxy_marshal_flags(pointer, kPointerMotionAbsolute, nullptr, 1, 0, now_ms(),
                             static_cast<uint32_t>(x), static_cast<uint32_t>(y), width, height);
      wl_proxy_marshal_flags(pointer, kPointerFrame, nullptr, 1, 0);
    } else if (std::strcmp(command, "sync") == 0) {
      if (wl_display_roundtrip(display) < 0) return fail("the connection broke");
      std::puts("ok");
      std::fflush(stdout);
      continue;
    } else {
      std::fprintf(stderr, "wayland-input: unknown command \"%s\"\n", command);
      return 1;
    }
    if (wl_display_flush(display) < 0) return fail("the connection broke");
  }
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return 0;
}
