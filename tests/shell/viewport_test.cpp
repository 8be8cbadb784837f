// The 4:3 viewport rule, the command line's window flags and the frame
// loop's reaction to events, with a real (offscreen) GL context.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gl_context.h"
#include "shell/frame.h"
#include "shell/shell.h"

namespace {

std::array<int, 4> viewport_after(int x, int y, int w, int h) {
  set_aspect_viewport(x, y, w, h);
  GLint v[4] = {};
  glGetIntegerv(GL_VIEWPORT, v);
  // show_view must always agree with what GL was told.
  EXPECT_EQ(show_view.x, v[0]);
  EXPECT_EQ(show_view.y, v[1]);
  EXPECT_EQ(show_view.width, v[2]);
  EXPECT_EQ(show_view.height, v[3]);
  return {v[0], v[1], v[2], v[3]};
}

using V = std::array<int, 4>;

TEST(AspectViewport, LargestCentredFourByThreeRectangle) {
  TestGlContext gl(64, 48);
  ASSERT_TRUE(gl.ok()) << SDL_GetError();
  EXPECT_EQ(viewport_after(0, 0, 1920, 1080), (V{240, 0, 1440, 1080}));
  EXPECT_EQ(viewport_after(0, 0, 1280, 1024), (V{0, 32, 1280, 960}));
  EXPECT_EQ(viewport_after(0, 0, 1024, 768), (V{0, 0, 1024, 768}));
  EXPECT_EQ(viewport_after(0, 0, 640, 480), (V{0, 0, 640, 480}));
  // Odd leftovers round toward zero on both sides.
  EXPECT_EQ(viewport_after(0, 0, 641, 480), (V{0, 0, 640, 480}));
  EXPECT_EQ(viewport_after(0, 0, 333, 100), (V{100, 0, 133, 100}));
  EXPECT_EQ(viewport_after(0, 0, 100, 333), (V{0, 129, 100, 75}));
  // The rectangle's own origin is kept.
  EXPECT_EQ(viewport_after(10, 20, 1920, 1080), (V{250, 20, 1440, 1080}));
  // Height 0 counts as 1: ratio 640: one pixel high, 4 * 1 / 3 = 1 wide, centred.
  EXPECT_EQ(viewport_after(0, 0, 640, 0), (V{319, 0, 1, 1}));
  // Width 0 as well: no division by zero, an empty viewport.
  EXPECT_EQ(viewport_after(0, 0, 0, 0), (V{0, 0, 0, 0}));
}

TEST(WindowFlags, OnlyALoneDashWGivesAWindow) {
  constexpr Uint32 kWindow = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  constexpr Uint32 kFull = kWindow | SDL_WINDOW_FULLSCREEN_DESKTOP;
  static_assert(kWindow == 34 && kFull == 4131);
  const char* none[] = {"drmorvel"};
  const char* w[] = {"drmorvel", "-w"};
  const char* w_more[] = {"drmorvel", "-w", "x"};
  const char* other[] = {"drmorvel", "-W"};
  const char* w_second[] = {"drmorvel", "x", "-w"};
  EXPECT_EQ(show_window_flags(1, none), kFull);
  EXPECT_EQ(show_window_flags(2, w), kWindow);
  EXPECT_EQ(show_window_flags(3, w_more), kFull);
  EXPECT_EQ(show_window_flags(2, other), kFull);
  EXPECT_EQ(show_window_flags(3, w_second), kFull);
}

TEST(FrameLoop, TheFrameThatReadsPast1920IsTheLast) {
  // 1920 itself plays on; a closing read of 1921 or more ends the show.
  for (int32_t p : {0, 100, 1863, 1919, 1920}) EXPECT_FALSE(show_has_ended(p)) << p;
  for (int32_t p : {1921, 1963, 2000, INT32_MAX}) EXPECT_TRUE(show_has_ended(p)) << p;
  // Taken unsigned: a negative position is far above 1920 and ends it too.
  for (int32_t p : {-37, -1, INT32_MIN}) EXPECT_TRUE(show_has_ended(p)) << p;
}

SDL_Event key(Uint32 type, SDL_Keycode code) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = code;
  return e;
}

SDL_Event resize(Uint32 window_id, Uint8 kind, int w, int h) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = window_id;
  e.window.event = kind;
  e.window.data1 = w;
  e.window.data2 = h;
  return e;
}

// The show's window, for the event handling to act on, and a quit request.
class ShowEvents : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl.ok()) << SDL_GetError();
    win = gl.window();
    quit.type = SDL_QUIT;
  }
  TestGlContext gl{64, 48};
  SDL_Window* win = nullptr;
  SDL_Event quit{};
};

TEST_F(ShowEvents, QuitOnlyOnCloseAndOnReleasedQOrEscape) {
  EXPECT_EQ(handle_show_event(quit, win, 1), 1);
  EXPECT_EQ(handle_show_event(key(SDL_KEYUP, SDLK_q), win, 1), 1);
  EXPECT_EQ(handle_show_event(key(SDL_KEYUP, SDLK_ESCAPE), win, 1), 1);
  // Held keys do nothing until released; other keys never do anything.
  EXPECT_EQ(handle_show_event(key(SDL_KEYDOWN, SDLK_q), win, 1), 0);
  EXPECT_EQ(handle_show_event(key(SDL_KEYDOWN, SDLK_ESCAPE), win, 1), 0);
  EXPECT_EQ(handle_show_event(key(SDL_KEYUP, SDLK_a), win, 1), 0);
  EXPECT_EQ(handle_show_event(key(SDL_KEYUP, SDLK_w), win, 1), 0);
}

TEST_F(ShowEvents, OnlyTheShowWindowsResizeSetsTheViewport) {
  set_aspect_viewport(0, 0, 64, 48);
  EXPECT_EQ(handle_show_event(resize(7, SDL_WINDOWEVENT_RESIZED, 1920, 1080), win, 8), 0);
  EXPECT_EQ(show_view.width, 64) << "another window's resize was taken";
  EXPECT_EQ(handle_show_event(resize(8, SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080), win, 8), 0);
  EXPECT_EQ(show_view.width, 64) << "a size change without a resize was taken";
  EXPECT_EQ(handle_show_event(resize(8, SDL_WINDOWEVENT_RESIZED, 1920, 1080), win, 8), 0);
  EXPECT_EQ(viewport_after(show_view.x, show_view.y, show_view.width, show_view.height),
            (V{240, 0, 1440, 1080}));
  EXPECT_EQ(handle_show_event(resize(8, SDL_WINDOWEVENT_RESIZED, 300, 0), win, 8), 0);
  EXPECT_EQ(show_view.height, 1);
}

// One frame's queue holding several events: the frame ends the show when any
// of them asks to quit or the show has ended by itself, whatever comes after,
// and handles every one of them first.
TEST_F(ShowEvents, SeveralEventsInOneFrame) {
  const SDL_Event q_up = key(SDL_KEYUP, SDLK_q), q_down = key(SDL_KEYDOWN, SDLK_q);
  const SDL_Event a_up = key(SDL_KEYUP, SDLK_a), a_down = key(SDL_KEYDOWN, SDLK_a);
  const SDL_Event wide = resize(8, SDL_WINDOWEVENT_RESIZED, 1920, 1080);
  struct Case {
    const char* what;
    bool ended;
    std::vector<SDL_Event> events;
    bool ends;
  };
  const Case cases[] = {
      {"a quit among other keys", false, {a_down, q_up, a_up, q_down}, true},
      {"two quits", false, {quit, q_up}, true},
      {"a quit, then a resize", false, {quit, wide}, true},
      {"the show's end, then other events", true, {a_up, q_down, wide}, true},
      {"the show's end and a quit", true, {key(SDL_KEYUP, SDLK_ESCAPE)}, true},
      {"no quit among keys and a resize", false, {q_down, a_up, wide}, false},
      {"an empty queue", false, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    set_aspect_viewport(0, 0, 64, 48);
    for (SDL_Event e : c.events) ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    EXPECT_EQ(frame_ends(c.ended, win, 8), c.ends);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0)
        << "events left for the next frame";
    const bool resized = c.events.size() > 0 && c.events.back().type == SDL_WINDOWEVENT;
    EXPECT_EQ(show_view.width, resized ? 1440 : 64) << "the resize at the end was not handled";
  }
}

}  // namespace
