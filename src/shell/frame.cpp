// One frame's projection and drawing, the command line's window flags and
// the events the show reacts to.

#include "shell/frame.h"

#include <GL/gl.h>

#include <cstring>

#include "player/player.h"
#include "shell/shell.h"

Uint32 show_window_flags(int argc, const char* const* argv) {
  if (argc == 2 && std::strcmp(argv[1], "-w") == 0) return SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  return SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void begin_show_gl() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  // Texturing is on between the steps of a frame; untextured scenes switch
  // it off and back on around themselves.
  glEnable(GL_TEXTURE_2D);
}

void begin_frame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // The same frustum whatever the window's shape: the viewport keeps 4:3.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-1.33, 1.33, -1.0, 1.0, 3.0, 1000.0);
  // At z = -3 the near plane shows x from -1.33 to 1.33 and y from -1 to 1.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -3.0f);
}

FramePositions draw_show_frame(ScheduleOrigins& origins) {
  const auto drawn = static_cast<uint32_t>(pt_position());
  begin_frame();
  draw_schedule(drawn, origins);
  return FramePositions{drawn, pt_position()};
}

int handle_show_event(const SDL_Event& event, SDL_Window* window, Uint32 window_id) {
  switch (event.type) {
    case SDL_QUIT: return 1;
    case SDL_KEYUP:  // keys act when released
      switch (event.key.keysym.sym) {
        case SDLK_f: toggle_fullscreen(window); return 0;
        case SDLK_q:
        case SDLK_ESCAPE: return 1;
        default: return 0;
      }
    case SDL_WINDOWEVENT:
      if (event.window.windowID == window_id && event.window.event == SDL_WINDOWEVENT_RESIZED)
        set_aspect_viewport(0, 0, event.window.data1, event.window.data2);
      return 0;
    default: return 0;
  }
}

bool frame_ends(bool ended, SDL_Window* window, Uint32 window_id) {
  int quit_requests = ended ? 1 : 0;
  SDL_Event event;
  while (SDL_PollEvent(&event)) quit_requests += handle_show_event(event, window, window_id);
  return quit_requests != 0;
}
