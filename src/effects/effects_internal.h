// The effects' state and steps that the effects share among themselves and
// that the tests inspect; the show itself needs only effects.h.
#pragma once

#include <cstdint>

#include "effects/effects.h"

// BlobField[i][j][k]: the field values (0 to 3) of a 16 x 16 x 16 grid, k
// varying fastest; written only by clear_blob_field and compute_blob_field.
// field_scale: x, y, z factors applied to cell coordinates when vertices are
// made (1 each; only the setters change them). iso_level: the surface level
// read by the iso-surface, 0.5 at start and 0.1 once the field is computed.
constexpr int kBlobGridSize = 16;
extern float BlobField[kBlobGridSize][kBlobGridSize][kBlobGridSize];
extern float field_scale[3];
extern float iso_level;
void set_field_scale_x(float v);
void set_field_scale_y(float v);
void set_field_scale_z(float v);

// One lit, black-outlined cube at cell (X, Y, Z) for size value a (the cell
// value minus 0.8); a <= 0 returns without touching any GL state.
void draw_field_cube(float a, float X, float Y, float Z);

// CubeTriangleTable[case]: the triangles of one marching-cubes case as
// triples of edge numbers, ended by the first -1 (a row of five triangles
// has none). Bit n of the case is set when corner n is above the level.
extern const std::int32_t CubeTriangleTable[256][15];

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

// twist_angles[i]: the turn of section i about the tube's axis, in radians.
constexpr int kTwistSectionCount = 60;
extern float twist_angles[kTwistSectionCount];
