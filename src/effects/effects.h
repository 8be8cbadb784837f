// The visual effects: immediate-mode OpenGL drawing routines that the scene
// schedule calls with a time and, where they draw a picture, a texture name
// from the TextureTable. Time reaches an effect only through its arguments,
// so every frame of an effect can be drawn deterministically.
#pragma once

#include <cstdint>

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
//
// BlobField[i][j][k]: the field values (0 to 3) of a 16 x 16 x 16 grid, k
// varying fastest; written only by clear_blob_field and compute_blob_field.
// field_scale: x, y, z factors applied to cell coordinates when vertices are
// made (1 each; only the setters change them). iso_level: the surface level
// read by the iso-surface, 0.5 at start and 0.1 once the field is computed.
constexpr int blob_grid_size = 16;
extern float BlobField[blob_grid_size][blob_grid_size][blob_grid_size];
extern float field_scale[3];
extern float iso_level;
void set_field_scale_x(float v);
void set_field_scale_y(float v);
void set_field_scale_z(float v);

// Sets every field value to 0.
void clear_blob_field();
// Fills the field from three blobs at phase x and sets iso_level to 0.1.
void compute_blob_field(float x);
// One lit, black-outlined cube at cell (X, Y, Z) for size value a (the cell
// value minus 0.8); a <= 0 returns without touching any GL state.
void draw_field_cube(float a, float X, float Y, float Z);
// The tumbling block of cubes, rotated by angle time x; leaves the rotation
// on the model-view matrix for the caller's pop.
void draw_cube_field(float x);

// The iso-surface of the blob field.
//
// CubeTriangleTable[case]: the triangles of one marching-cubes case as
// triples of edge numbers, ended by the first -1 (a row of five triangles
// has none). Bit n of the case is set when corner n is above the level.
extern const std::int32_t CubeTriangleTable[256][15];

// Draws the surface twice, the second copy scaled by 1 + 0.7 sin x; leaves
// the rotations and the scale on the model-view matrix.
void draw_iso_surface(float x);
// Emits the triangles (colour and vertex per corner) of the cell whose first
// grid point sits at (X, Y, Z), corners c0..c7 as numbered in iso_surface.cpp.
void polygonise_cell(const float corners[8], float X, float Y, float Z);
// Emits the vertex where the iso level crosses the given cell edge; edges
// from 12 upward emit nothing.
void emit_edge_vertex(std::uint32_t edge, const float corners[8], float X, float Y, float Z,
                      float iso);
// Unused by the show: a white line box around the grid and a point at every
// grid point, for looking at the field while working on it.
void draw_field_box();
void draw_field_points();

// The breathing sprite grid (b: size offset added to every sprite's half size).
void draw_sprite_grid(double t, double b, int texture);

// The twisted tube.
//
// twist_angles[i]: the turn of section i about the tube's axis, in radians.
constexpr int twist_section_count = 60;
extern float twist_angles[twist_section_count];

// Sets every angle to 0.
void clear_twist_angles();
// Computes the angles for show time x.
void compute_twist_angles(float x);
// Draws the tube at phase time x. Loads its own model-view matrix (identity
// translated by (-3, -15, -20)) and leaves it there: the caller pushes and pops.
void draw_twisted_tube(float x);
