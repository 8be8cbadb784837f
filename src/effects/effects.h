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

// The blob field, drawn as lit cubes or as its iso-surface.
//
// Sets every field value to 0.
void clear_blob_field();
// Fills the field from three blobs at phase x and sets the iso level to 0.1.
void compute_blob_field(float x);
// The tumbling block of cubes, rotated by angle time x; leaves the rotation
// on the model-view matrix for the caller's pop.
void draw_cube_field(float x);
// Draws the surface twice, the second copy scaled by 1 + 0.7 sin x; leaves
// the rotations and the scale on the model-view matrix.
void draw_iso_surface(float x);

// The breathing sprite grid (b: size offset added to every sprite's half size).
void draw_sprite_grid(double t, double b, int texture);

// The twisted tube: sixty sections, each turned about the tube's axis.
//
// Sets every angle to 0.
void clear_twist_angles();
// Computes the angles for show time x.
void compute_twist_angles(float x);
// Draws the tube at phase time x. Loads its own model-view matrix (identity
// translated by (-3, -15, -20)) and leaves it there: the caller pushes and pops.
void draw_twisted_tube(float x);
