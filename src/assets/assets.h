// The show's assets: the TextureTable of seven pictures and the generated
// disc sprite, and the start-up order of the sound device and the player.
#pragma once

#include <cstdint>

// The TextureTable's entries: the seven pictures, then the generated disc
// sprite.
enum TextureEntry : int {
  kFunkka,
  kFunker,
  kSkugga,
  kMorvelite,
  kTahti,
  kTekstit,
  kMiehet,
  kSpriteTexture,
  kTextureCount
};
constexpr int kPictureCount = kSpriteTexture;
// The pictures' file names in the data directory, by TextureTable entry;
// the data generator writes them and the show reads them.
constexpr const char* kPictureFiles[kPictureCount] = {"funkka.jpg",    "funker.jpg", "70skugga.jpg",
                                                      "morvelite.jpg", "tahti.jpg",  "tekstit.jpg",
                                                      "miehet.jpg"};
constexpr char kModuleFile[] = "zurivovariv.mod";
constexpr int kSpriteSize = 256;  // the disc sprite's width and height

// The data directory, with a trailing slash: fixed when the program is
// built (each executable defines its own); an offline tool may point it
// elsewhere before load_assets or load_show_module.
extern const char* show_data_dir;
// The sound-device choice load_show_module makes: snd_choose_device in the
// show.
// An offline tool installs one that opens no audio output.
extern int (*asset_sound_choice)();

// Eight OpenGL texture names, created together by load_assets.
extern unsigned int TextureTable[kTextureCount];

// The disc sprite: white RGBA pixels, opaque inside a disc of radius 120
// centred on pixel (128, 128), transparent outside. Filled by load_assets.
extern uint8_t sprite_pixels[kSpriteSize * kSpriteSize * 4];
void make_disc_sprite();

// Prepares everything before the first frame (the GL context must be
// current): textures, sprite, then load_show_module. Returns its result.
int load_assets();
// The part that needs no GL context: module file, device choice, player,
// effect state. Returns 1 when the module file was read, 0 when it cannot be
// opened. A module the loader refuses still returns 1: its path and the
// loader's reason go to standard error and the show goes on without music.
int load_show_module();
