// The half of the start-up that needs no GL context: the module file, the
// sound device, the player and the effects' state.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "assets/assets.h"
#include "assets/module_file.h"
#include "effects/effects.h"
#include "player/player.h"
#include "sound/sound.h"

int (*asset_sound_choice)() = snd_choose_device;

int load_show_module() {
  char path[4096];
  std::snprintf(path, sizeof path, "%s%s", show_data_dir, kModuleFile);
  if (read_module_file(path, module_buffer, kModuleBufferSize) < 0) {
    std::fprintf(stderr, "drmorvel: cannot open %s: %s\n", path, std::strerror(errno));
    return 0;
  }
  // The device must exist before the module is parsed: parsing defines the
  // samples and the voice count on it.
  asset_sound_choice();
  // The whole zero-filled buffer, not the bytes read: a file cut short
  // plays on with silence where its end is missing. A module the loader
  // refuses leaves the show without music but going on; why is said once.
  if (!pt_load(module_buffer, kModuleBufferSize))
    std::fprintf(stderr, "drmorvel: %s: %s; the show goes on without music\n", path,
                 song.error_text);
  clear_blob_field();
  clear_twist_angles();
  return 1;
}
