// The show's assets: the TextureTable of seven pictures and the generated
// disc sprite, and the start-up order of the sound device and the player.
#pragma once

#include <cstdint>

constexpr int kTextureCount = 8;
constexpr int kSpriteTexture = 7;  // the generated disc sprite

// Eight OpenGL texture names, created together by load_assets.
extern unsigned int TextureTable[kTextureCount];

// Prepares everything before the first frame (the GL context must be
// current): textures, sprite, module file, device choice, player, effect
// state. Returns 1 when the module file was read, 0 when it cannot be opened.
int load_assets();

// Decodes a JPEG file to RGB rows, top row first. Returns a heap block the
// caller owns, or null when the file cannot be opened or decoded; on success
// stores the size through width and height.
uint8_t* load_jpeg_rgb(const char* path, int* width, int* height);
