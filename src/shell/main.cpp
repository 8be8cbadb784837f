// The show's entry point: the window and its context, the assets, the
// music, and one frame per loop iteration until the song has passed its
// last scheduled position or the viewer quits.

#include <GL/gl.h>
#include <SDL.h>

#include <malloc.h>

#include <cstdio>

#include "assets/assets.h"
#include "player/player.h"
#include "shell/frame.h"
#include "shell/shell.h"
#include "sound/sound.h"

// Fixed when the program is built; no environment or file chooses it.
const char* show_data_dir = DRMORVEL_DATA_DIR;

namespace {

int fail(const char* what) {
  std::fprintf(stderr, "drmorvel: %s: %s\n", what, SDL_GetError());
  SDL_Quit();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The libraries underneath (the GL driver above all) free and allocate
  // blocks of up to a few MiB every frame. Keep freed memory in the heap for
  // the next frame instead of handing it back to the system and mapping it
  // again: the show's resident memory then stays level however long it runs.
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 16 << 20);
  const Uint32 flags = show_window_flags(argc, argv);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail("cannot start SDL");
  SDL_Window* window = SDL_CreateWindow(kShowCaption, SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, kShowWidth, kShowHeight, flags);
  if (window == nullptr) return fail("cannot open the window");
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) return fail("cannot create the OpenGL context");
  SDL_ShowCursor(SDL_DISABLE);

  // Answer the sound-device prompt before it is asked: pushback is last in,
  // first out, so the device choice reads "2" and then a newline, and still
  // prints its menu.
  std::ungetc('\n', stdin);
  std::ungetc('2', stdin);
  if (!load_assets()) return 1;

  begin_show_gl();
  // Once from the drawable, so that a full screen whose platform sends no
  // resize event still gets the 4:3 picture. At 1024 × 768 nothing changes.
  int drawable_width = kShowWidth, drawable_height = kShowHeight;
  SDL_GL_GetDrawableSize(window, &drawable_width, &drawable_height);
  set_aspect_viewport(0, 0, drawable_width, drawable_height);

  snd_pacing_start(50);
  // Busy wait for the first tick: until then the position is -37, far above
  // 100 when taken unsigned.
  uint32_t position;
  do {
    (void)pt_position();  // read twice per pass, like a frame; only the second read counts
    position = static_cast<uint32_t>(pt_position());
  } while (position > kMusicStartedThreshold);
  (void)show_clock();  // show time 0 is the start of the song
  const Uint32 window_id = SDL_GetWindowID(window);
  ScheduleOrigins origins;

  for (;;) {
    const FramePositions frame = draw_show_frame(origins);
    const bool ended = show_has_ended(frame.closing);
    SDL_GL_SwapWindow(window);  // the last frame is shown too
    if (frame_ends(ended, window, window_id)) break;
  }

  // SDL_Quit also stops the audio callback or the pacing timer.
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
