// The visual effects: immediate-mode OpenGL drawing routines that the scene
// schedule calls with a time and, where they draw a picture, a texture name
// from the TextureTable. Time reaches an effect only through its arguments,
// so every frame of an effect can be drawn deterministically.
#pragma once

// The textured square from (-1, -1) to (1, 1), one GL_POLYGON whose texture
// coordinates show a picture stored top row first upright.
void draw_unit_tile();

// Concentric rings (t: show time in seconds).
void draw_rings(double t);

// A picture dropping in as four bouncing strips (t: effect time, 0 at its start).
void draw_dropping_strips(double t, int texture);

// Textured tile fields.
void draw_falling_tiles(double t, int texture);
void draw_tile_column(double t, int texture);
void draw_tile_tunnel(double t, int texture);

// The blob field and its lit cubes.
void clear_blob_field();
void compute_blob_field(float x);
void draw_field_cube(float a, float X, float Y, float Z);
void draw_cube_field(float x);

// The iso-surface of the blob field.
void draw_iso_surface(float x);

// The breathing sprite grid (b: size offset added to every sprite's half size).
void draw_sprite_grid(double t, double b, int texture);

// The twisted tube.
void clear_twist_angles();
void compute_twist_angles(float x);
void draw_twisted_tube(float x);
