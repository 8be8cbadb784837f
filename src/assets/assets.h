// The show's assets: the TextureTable of seven pictures and the generated
// disc sprite, and the start-up order of the sound device and the player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

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
// opened.
int load_show_module();

// What decoding one picture may take: 128 MiB for its block and the
// library's whole-picture buffers together (the library's row buffers, a
// few MiB at most at the 16384-pixel side limit, come on top). A damaged or
// hostile header could otherwise claim 16384 x 16384 pixels and make the
// decoder take about 800 MB for the block and, for a progressive file, as
// much again for its coefficients. The budget still holds a full-screen
// picture for a 5120 x 2880 screen, also as a progressive file with the
// encoders' usual 4:2:0 sampling.
constexpr size_t kPictureBudget = size_t{128} << 20;

// Decodes a JPEG file to RGB rows, top row first (grayscale files too). The
// heap block the caller owns has (height + 1) rows of width × 3 bytes, the
// last one spare. Returns null when the file cannot be opened (errno says
// why) or decoded, or needs more than kPictureBudget (jpeg_message says
// why); on success stores the size through width and height, and leaves
// them unchanged otherwise.
uint8_t* load_jpeg_rgb(const char* path, int* width, int* height);
// The decoding of load_jpeg_rgb from a file already open (read from where
// it stands, left open), within the given budget in bytes.
uint8_t* decode_jpeg_rgb(std::FILE* file, size_t budget, int* width, int* height);
// The library's last error or warning, or why a picture was refused, for the
// latest load_jpeg_rgb or decode_jpeg_rgb call; empty when it had nothing
// to say.
const char* jpeg_message();
