// The effects' GL call sequences, recorded by the GL that draws nothing:
// exact vertex orders, the numbers that place them, and the marching-cubes
// table. Needs no display.
#include "effects/effects_internal.h"
#include "null_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Primitive {
  std::uint32_t mode;
  std::vector<GlCall> vertices;
};

// The primitives of the record, each with its vertices in order.
std::vector<Primitive> primitives() {
  std::vector<Primitive> out;
  bool open = false;
  for (std::uint32_t n = 0; n < null_gl_log.size; ++n) {
    const GlCall& c = null_gl_log.calls[n];
    if (c.op == GlOp::begin) {
      out.push_back({c.e0, {}});
      open = true;
    } else if (c.op == GlOp::end) {
      open = false;
    } else if (c.op == GlOp::vertex && open) {
      out.back().vertices.push_back(c);
    }
  }
  return out;
}

std::vector<GlCall> calls_of(GlOp op) {
  std::vector<GlCall> out;
  for (std::uint32_t n = 0; n < null_gl_log.size; ++n)
    if (null_gl_log.calls[n].op == op) out.push_back(null_gl_log.calls[n]);
  return out;
}

// Matrix pushes and pops pair up and never go below the caller's level.
void expect_balanced_matrix_stack() {
  int depth = 0;
  for (std::uint32_t n = 0; n < null_gl_log.size; ++n) {
    const GlOp op = null_gl_log.calls[n].op;
    if (op == GlOp::push_matrix) ++depth;
    if (op == GlOp::pop_matrix) --depth;
    ASSERT_GE(depth, 0) << "pop below the caller's matrix at call " << n;
  }
  EXPECT_EQ(depth, 0);
}

void record() { null_gl_reset(true); }

}  // namespace

TEST(RingsCalls, FiftyStripsOfThirtyOneStepsInLayerOrder) {
  record();
  draw_rings(0.0);
  ASSERT_EQ(null_gl_log.dropped, 0u);
  expect_balanced_matrix_stack();
  const auto prims = primitives();
  ASSERT_EQ(prims.size(), 50u);
  for (int layer = 0; layer < 5; ++layer)
    for (int i = 0; i < 10; ++i) {
      const Primitive& p = prims[layer * 10 + i];
      EXPECT_EQ(p.mode, layer < 3 ? GLenum(GL_TRIANGLE_STRIP) : GLenum(GL_LINE_STRIP));
      EXPECT_EQ(p.vertices.size(), layer < 3 ? 62u : 31u);
    }

  // Ring 3 at t = 0: centre at phase 1.5 on the 0.4 circle, inner radius
  // 1.2; x takes the sine and y the cosine, so step 0 is straight above.
  const double ox = 0.4 * std::cos(1.5), oy = 0.4 * std::sin(1.5);
  const auto& front = prims[3].vertices;
  EXPECT_NEAR(front[0].v[0], ox, 1e-6);
  EXPECT_NEAR(front[0].v[1], 1.2 + oy, 1e-6);
  EXPECT_FLOAT_EQ(front[0].v[2], 0.2f);
  EXPECT_NEAR(front[1].v[1], 1.4 + oy, 1e-6);
  // Step 5 is at 60 degrees.
  EXPECT_NEAR(front[10].v[0], 1.2 * std::sin(M_PI / 3) + ox, 1e-6);
  EXPECT_NEAR(front[10].v[1], 1.2 * std::cos(M_PI / 3) + oy, 1e-6);
  // The last step closes the ring onto the first.
  EXPECT_NEAR(front[60].v[0], front[0].v[0], 1e-6);
  EXPECT_NEAR(front[60].v[1], front[0].v[1], 1e-6);

  // Walls run from the back (z = -0.2) to the front; outer edge, then inner.
  EXPECT_FLOAT_EQ(prims[13].vertices[0].v[2], -0.2f);
  EXPECT_FLOAT_EQ(prims[13].vertices[1].v[2], 0.2f);
  EXPECT_NEAR(prims[23].vertices[0].v[1], 1.4 + oy, 1e-6);
  EXPECT_NEAR(prims[33].vertices[0].v[1], 1.4 + oy, 1e-6);
  EXPECT_NEAR(prims[43].vertices[0].v[1], 1.2 + oy, 1e-6);

  // The outlines ignore depth: it goes off after the last wall strip.
  int strips = 0;
  bool depth_off_before_outlines = false;
  for (std::uint32_t n = 0; n < null_gl_log.size; ++n) {
    const GlCall& c = null_gl_log.calls[n];
    if (c.op == GlOp::begin) ++strips;
    if (c.op == GlOp::disable && c.e0 == GL_DEPTH_TEST && strips == 30)
      depth_off_before_outlines = true;
  }
  EXPECT_TRUE(depth_off_before_outlines);

  // Ring 0's inner wall collapses onto its centre, but is still sent.
  for (const GlCall& v : prims[10].vertices) {
    EXPECT_NEAR(v.v[0], 0.4, 1e-6);
    EXPECT_NEAR(v.v[1], 0.0, 1e-6);
  }
}

// At any time: the sway, and every vertex from the rings' formula. Ring i's
// centre is at angle 0.5 i + 4t on the 0.4 circle; its inner radius is
// 0.4 i, its width 0.2; step k is at k pi / 15 from the top.
TEST(RingsCalls, EveryVertexAtAnyTime) {
  const double t = 0.7;
  record();
  draw_rings(t);
  const auto turns = calls_of(GlOp::rotate);
  ASSERT_EQ(turns.size(), 2u);
  EXPECT_NEAR(turns[0].v[0], 20 * std::sin(t), 1e-5) << "sway about y";
  EXPECT_EQ(turns[0].v[2], 1.0f);
  EXPECT_NEAR(turns[1].v[0], std::cos(2 * t), 1e-6) << "wobble about x";
  EXPECT_EQ(turns[1].v[1], 1.0f);
  EXPECT_FLOAT_EQ(calls_of(GlOp::translate).at(0).v[2], -2.0f);
  const auto prims = primitives();
  ASSERT_EQ(prims.size(), 50u);
  // Each layer's vertices per step: (added to the inner radius, z).
  const std::vector<std::pair<double, float>> layers[5] = {{{0, 0.2f}, {0.2, 0.2f}},
                                                           {{0, -0.2f}, {0, 0.2f}},
                                                           {{0.2, -0.2f}, {0.2, 0.2f}},
                                                           {{0.2, 0.2f}},
                                                           {{0, 0.2f}}};
  for (int layer = 0; layer < 5; ++layer)
    for (int i = 0; i < 10; ++i) {
      const auto& got = prims[layer * 10 + i].vertices;
      const size_t per_step = layers[layer].size();
      ASSERT_EQ(got.size(), 31 * per_step);
      const double a = 0.5 * i + 4 * t;
      for (size_t n = 0; n < got.size(); ++n) {
        const double theta = static_cast<double>(n / per_step) * M_PI / 15;
        const auto [width, z] = layers[layer][n % per_step];
        const double r = 0.4 * i + width;
        SCOPED_TRACE(testing::Message() << "layer " << layer << ", ring " << i << ", vertex " << n);
        EXPECT_NEAR(got[n].v[0], r * std::sin(theta) + 0.4 * std::cos(a), 1e-5);
        EXPECT_NEAR(got[n].v[1], r * std::cos(theta) + 0.4 * std::sin(a), 1e-5);
        EXPECT_EQ(got[n].v[2], z);
      }
    }
}

TEST(DroppingStripsCalls, StripsAppearEveryFourSecondsAndFallFromFourUp) {
  record();
  draw_dropping_strips(-0.01, 9);
  EXPECT_TRUE(primitives().empty());
  expect_balanced_matrix_stack();

  record();
  draw_dropping_strips(4.0, 9);  // strip 1 appears at exactly t = 4
  auto prims = primitives();
  ASSERT_EQ(prims.size(), 2u);
  const auto moves = calls_of(GlOp::translate);
  // 0.7 to the first strip, then per strip: its drop (if shown), -0.48.
  ASSERT_EQ(moves.size(), 1u + 2u + 4u);
  EXPECT_FLOAT_EQ(moves[0].v[1], 0.7f);
  EXPECT_NEAR(moves[1].v[1], std::cos(10.0) / 2.25, 1e-6);
  EXPECT_FLOAT_EQ(moves[3].v[1], 4.0f);  // a new strip starts 4 above its place
  EXPECT_FLOAT_EQ(moves[2].v[1], -0.48f);

  // Strip 1 carries the second quarter of the picture, upright.
  const auto coords = calls_of(GlOp::tex_coord);
  ASSERT_EQ(coords.size(), 8u);
  const float expected[4][2] = {{0, 0.5f}, {1, 0.5f}, {1, 0.25f}, {0, 0.25f}};
  for (int n = 0; n < 4; ++n) {
    EXPECT_FLOAT_EQ(coords[4 + n].v[0], expected[n][0]);
    EXPECT_FLOAT_EQ(coords[4 + n].v[1], expected[n][1]);
  }
  EXPECT_FLOAT_EQ(prims[1].vertices[0].v[1], -0.25f);
  EXPECT_FLOAT_EQ(prims[1].vertices[2].v[1], 0.25f);
}

TEST(TileFieldCalls, FallingTilesSpinOnAndTranslateBack) {
  record();
  const double t = 3.25;
  draw_falling_tiles(t, 4);
  const auto rotations = calls_of(GlOp::rotate);
  ASSERT_EQ(rotations.size(), 36u);
  for (int n = 0; n < 36; ++n) {
    const double spin = 50 * t + 10 * n;
    // Even tiles turn the negative way: clockwise for the viewer.
    EXPECT_FLOAT_EQ(rotations[n].v[0], static_cast<float>(n % 2 ? spin : -spin)) << n;
  }
  // Balanced without a push: -12 then three +4, and tile pushes pair up.
  expect_balanced_matrix_stack();
  float z = 0.0f;
  for (const GlCall& c : calls_of(GlOp::translate)) z += c.v[2];
  EXPECT_FLOAT_EQ(z, 0.0f);
  // Tile (1, 5): column (7 + 5) mod 12 - 6, height (15 + 100000 - 2t + 5) mod 14 - 7.
  const auto moves = calls_of(GlOp::translate);
  const GlCall& tile = moves[1 + 12 + 1 + 5];  // -12, layer 0, +4, then tile 5
  EXPECT_FLOAT_EQ(tile.v[0], -6.0f);
  EXPECT_FLOAT_EQ(tile.v[1], static_cast<float>(std::fmod(100020 - 2 * t, 14.0) - 7));
}

// The tunnel's moves in order: back 60 and a turn of 20t, then per ring i a
// turn of 20 sin(2t + i / 2) that adds up, and per tile j its place on the
// ring, its depth (10t + 10i) mod 60, its half size and its own spin.
TEST(TileFieldCalls, TunnelMovesAtAnyTime) {
  const double t = 1.3;
  record();
  draw_tile_tunnel(t, 4);
  expect_balanced_matrix_stack();
  struct Move {
    GlOp op;
    float x, y, z;
  };
  std::vector<Move> want = {{GlOp::translate, 0, 0, -60},
                            {GlOp::rotate, static_cast<float>(20 * t), 0, 0}};
  for (int i = 0; i < 6; ++i) {
    want.push_back({GlOp::rotate, static_cast<float>(20 * std::sin(2 * t + i / 2)), 0, 0});
    for (int j = 0; j < 10; ++j) {
      want.push_back({GlOp::rotate, 36.0f * j, 0, 0});
      want.push_back({GlOp::translate, 2, 0, static_cast<float>(std::fmod(10 * t + 10 * i, 60))});
      want.push_back({GlOp::scale, 0.5f, 0.5f, 1});
      want.push_back({GlOp::rotate, static_cast<float>(180 * std::sin(t + i)), 0, 0});
    }
  }
  std::vector<GlCall> got;
  for (std::uint32_t n = 0; n < null_gl_log.size; ++n) {
    const GlOp op = null_gl_log.calls[n].op;
    if (op == GlOp::translate || op == GlOp::rotate || op == GlOp::scale)
      got.push_back(null_gl_log.calls[n]);
  }
  ASSERT_EQ(got.size(), want.size());
  for (size_t n = 0; n < want.size(); ++n) {
    SCOPED_TRACE(testing::Message() << "move " << n);
    EXPECT_EQ(got[n].op, want[n].op);
    EXPECT_NEAR(got[n].v[0], want[n].x, 1e-4);
    if (want[n].op == GlOp::rotate) {  // always about z
      EXPECT_EQ(got[n].v[3], 1.0f);
    } else {
      EXPECT_NEAR(got[n].v[1], want[n].y, 1e-5);
      EXPECT_NEAR(got[n].v[2], want[n].z, 1e-4);
    }
  }
}

TEST(BlobFieldCalls, FieldFromCoincidingBlobs) {
  // At phase 0 all three blobs sit at cell (8, 10, 6).
  iso_level = 0.5f;
  compute_blob_field(0.0f);
  EXPECT_FLOAT_EQ(iso_level, 0.1f);
  EXPECT_FLOAT_EQ(BlobField[8][10][6], 3.0f);
  EXPECT_FLOAT_EQ(BlobField[9][11][7], 3.0f);     // d^2 = 3: still full
  EXPECT_NEAR(BlobField[8][10][9], 2.4f, 1e-5);   // d^2 = 9: 3 x (1.1 - 0.3)
  EXPECT_NEAR(BlobField[8][10][11], 0.8f, 1e-5);  // d^2 = 25: 3 x (1.1 - 25 / 30)
  EXPECT_FLOAT_EQ(BlobField[8][10][0], 0.0f);     // d^2 = 36: out of reach
  EXPECT_FLOAT_EQ(BlobField[0][0][15], 0.0f);
  for (const auto& plane : BlobField)
    for (const auto& row : plane)
      for (float v : row) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 3.0f);
      }
  clear_blob_field();
  EXPECT_EQ(BlobField[8][10][6], 0.0f);
}

TEST(BlobFieldCalls, CubeSizeAndFaces) {
  // a <= 0 (a cell at exactly 0.8) touches no GL state at all.
  record();
  draw_field_cube(0.0f, 1, 2, 3);
  draw_field_cube(-0.5f, 1, 2, 3);
  draw_field_cube(NAN, 1, 2, 3);
  EXPECT_EQ(null_gl_log.size, 0u);

  record();
  draw_field_cube(1.0f, 2, 3, 4);  // cell value 1.8: a full cell
  auto prims = primitives();
  ASSERT_EQ(prims.size(), 5u);
  EXPECT_EQ(prims[0].mode, GLenum(GL_QUADS));
  ASSERT_EQ(prims[0].vertices.size(), 24u);
  EXPECT_FLOAT_EQ(prims[0].vertices[0].v[0], 1.5f);
  EXPECT_FLOAT_EQ(prims[0].vertices[2].v[2], 3.5f);
  const auto normals = calls_of(GlOp::normal);
  ASSERT_EQ(normals.size(), 6u);
  EXPECT_FLOAT_EQ(normals[1].v[2], -1.0f);  // the +z face keeps the -z normal
  EXPECT_FLOAT_EQ(prims[0].vertices[4].v[2], 4.5f);
  // The outline sits just outside the faces: twelve edges in four groups.
  EXPECT_EQ(prims[1].mode, GLenum(GL_LINE_STRIP));
  EXPECT_EQ(prims[3].mode, GLenum(GL_LINES));
  EXPECT_FLOAT_EQ(prims[1].vertices[0].v[0], 2 - (0.5f + 0.00001f));
  std::size_t line_vertices = 0;
  for (std::size_t n = 1; n < 5; ++n) line_vertices += prims[n].vertices.size();
  EXPECT_EQ(line_vertices, 18u);

  record();
  draw_field_cube(0.5f, 0, 0, 0);  // half of the way: half size 0.25
  EXPECT_FLOAT_EQ(primitives()[0].vertices[0].v[0], -0.25f);
}

TEST(BlobFieldCalls, CubeFacesAndOutlineInTheirOrder) {
  // Each group of one cube around the origin as text: a normal as "n" and
  // the signs of its components (0 for none), a corner as the signs of x,
  // y and z.
  record();
  draw_field_cube(1.0f, 0, 0, 0);
  std::vector<std::string> groups;
  for (std::uint32_t n = 0; n < null_gl_log.size; ++n) {
    const GlCall& c = null_gl_log.calls[n];
    if (c.op == GlOp::begin) groups.emplace_back();
    if (c.op != GlOp::normal && c.op != GlOp::vertex) continue;
    std::string& text = groups.back();
    text += text.empty() ? "" : " ";
    if (c.op == GlOp::normal) text += 'n';
    for (int a = 0; a < 3; ++a) text += c.v[a] > 0 ? '+' : (c.v[a] < 0 ? '-' : '0');
  }
  const std::vector<std::string> expected = {
      "n00- --- +-- ++- -+- n00- --+ -++ +++ +-+ n-00 --+ -++ -+- --- "
      "n+00 +++ +-+ +-- ++- n0-0 --- --+ +-+ +-- n0+0 -++ -+- ++- +++",
      "--- +-- ++- -+- ---",
      "--+ -++ +++ +-+ --+",
      "-+- -++ --+ ---",
      "+++ ++- +-- +-+",
  };
  EXPECT_EQ(groups, expected);
}

TEST(BlobFieldCalls, CubeFieldDrawsBorderCellsAndSetsLightsWhenEmpty) {
  clear_blob_field();
  record();
  draw_cube_field(0.3f);
  EXPECT_TRUE(primitives().empty());
  EXPECT_EQ(calls_of(GlOp::light).size(), 4u);
  EXPECT_EQ(calls_of(GlOp::rotate).size(), 3u);

  BlobField[0][15][0] = 2.5f;
  BlobField[3][3][3] = 0.8f;  // exactly the threshold: no cube
  record();
  draw_cube_field(0.0f);
  const auto prims = primitives();
  ASSERT_EQ(prims.size(), 5u);
  EXPECT_FLOAT_EQ(prims[0].vertices[0].v[0], -8.5f);
  EXPECT_FLOAT_EQ(prims[0].vertices[2].v[1], 7.5f);
  const auto lights = calls_of(GlOp::light);
  EXPECT_EQ(lights[1].e1, GLenum(GL_POSITION));
  EXPECT_FLOAT_EQ(lights[1].v[2], -100.0f);
  EXPECT_FLOAT_EQ(lights[2].v[0], 0.0f);  // light 1 is cyan
  EXPECT_FLOAT_EQ(lights[2].v[1], 1.0f);
  clear_blob_field();
}

// A cell's corners as offsets along i, j, k, and the corners of its edges.
constexpr int kCornerOffsets[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                      {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
constexpr int kEdgeCorners[12][2] = {{0, 1}, {1, 2}, {3, 2}, {0, 3}, {4, 5}, {5, 6},
                                     {7, 6}, {4, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

using Side = std::pair<int, int>;  // two edge numbers, the smaller first

Side side_of(int a, int b) { return a < b ? Side{a, b} : Side{b, a}; }

// The triangles of a row, each as its three edge numbers.
std::vector<std::array<int, 3>> row_triangles(int index) {
  std::vector<std::array<int, 3>> out;
  for (int n = 0; n + 2 < 15 && CubeTriangleTable[index][n] >= 0; n += 3)
    out.push_back({CubeTriangleTable[index][n], CubeTriangleTable[index][n + 1],
                   CubeTriangleTable[index][n + 2]});
  return out;
}

// The sides that only one triangle of the row uses: where the cell's piece
// of surface ends.
std::set<Side> open_sides(int index) {
  std::map<Side, int> uses;
  for (const auto& t : row_triangles(index))
    for (int n = 0; n < 3; ++n) ++uses[side_of(t[n], t[(n + 1) % 3])];
  std::set<Side> out;
  for (const auto& [side, count] : uses)
    if (count % 2 == 1) out.insert(side);
  return out;
}

// The corner at the given offsets along i, j, k.
int corner_at(int i, int j, int k) {
  for (int c = 0; c < 8; ++c)
    if (kCornerOffsets[c][0] == i && kCornerOffsets[c][1] == j && kCornerOffsets[c][2] == k)
      return c;
  return -1;
}

// Corner c moved onto the cell's face at offset `at` along axis.
int on_face(int c, int axis, int at) {
  int o[3] = {kCornerOffsets[c][0], kCornerOffsets[c][1], kCornerOffsets[c][2]};
  o[axis] = at;
  return corner_at(o[0], o[1], o[2]);
}

bool edge_in_face(int edge, int axis, int at) {
  return kCornerOffsets[kEdgeCorners[edge][0]][axis] == at &&
         kCornerOffsets[kEdgeCorners[edge][1]][axis] == at;
}

// Where the row's surface ends on the face at offset `at` along axis, named
// by the edges of the opposite face at 0, so that the far face of one cell
// and the near face of its neighbour compare directly.
std::set<Side> face_cut(int index, int axis, int at) {
  auto near_edge = [axis](int edge) {
    const Side ends =
        side_of(on_face(kEdgeCorners[edge][0], axis, 0), on_face(kEdgeCorners[edge][1], axis, 0));
    for (int e = 0; e < 12; ++e)
      if (side_of(kEdgeCorners[e][0], kEdgeCorners[e][1]) == ends) return e;
    return -1;
  };
  std::set<Side> out;
  for (const Side& side : open_sides(index))
    if (edge_in_face(side.first, axis, at) && edge_in_face(side.second, axis, at))
      out.insert(side_of(near_edge(side.first), near_edge(side.second)));
  return out;
}

// The case bits of the face at offset `at` along axis, in the order of the
// near face's corners.
int face_corners(int index, int axis, int at) {
  int bits = 0;
  for (int c = 0; c < 8; ++c)
    if (kCornerOffsets[c][axis] == 0) bits |= ((index >> on_face(c, axis, at)) & 1) << c;
  return bits;
}

TEST(CubeTriangleTable, RowsUseExactlyTheCrossedEdges) {
  for (int index = 0; index < 256; ++index) {
    std::set<int> crossed, used;
    for (int e = 0; e < 12; ++e)
      if (((index >> kEdgeCorners[e][0]) & 1) != ((index >> kEdgeCorners[e][1]) & 1))
        crossed.insert(e);
    int length = 0;
    while (length < 15 && CubeTriangleTable[index][length] >= 0) ++length;
    EXPECT_EQ(length % 3, 0) << "row " << index;
    for (int n = 0; n < 15; ++n) {
      const std::int32_t e = CubeTriangleTable[index][n];
      if (n < length) {
        EXPECT_LT(e, 12) << "row " << index;
        used.insert(e);
      } else {
        EXPECT_EQ(e, -1) << "row " << index;  // padding after the end
      }
    }
    for (int n = 0; n + 2 < length; n += 3) {
      const std::int32_t* t = &CubeTriangleTable[index][n];
      EXPECT_TRUE(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) << "row " << index;
    }
    EXPECT_EQ(used, crossed) << "row " << index;
  }
}

// Two cells that share a face must cut it alike, or the surface has a gap
// there. A row's piece of surface ends only on the cell's faces, and on each
// face exactly where any other row with the same four corners on that face,
// seen from the neighbouring cell, ends too.
TEST(CubeTriangleTable, EveryFaceIsCutByItsOwnCornersAlone) {
  static std::set<Side> cuts[256][3][2];
  for (int index = 0; index < 256; ++index) {
    std::size_t on_faces = 0;
    for (int axis = 0; axis < 3; ++axis)
      for (int at = 0; at < 2; ++at) {
        cuts[index][axis][at] = face_cut(index, axis, at);
        on_faces += cuts[index][axis][at].size();
      }
    EXPECT_EQ(on_faces, open_sides(index).size()) << "row " << index << " ends inside the cell";
  }
  for (int axis = 0; axis < 3; ++axis)
    for (int below = 0; below < 256; ++below)
      for (int above = 0; above < 256; ++above)
        if (face_corners(above, axis, 0) == face_corners(below, axis, 1)) {
          ASSERT_EQ(cuts[above][axis][0], cuts[below][axis][1])
              << "rows " << below << " and " << above << " along axis " << axis;
        }
}

// The surface that band 900 draws, every frame at 60 fps over the show
// time the show's song spends in that band (67.2 s to 82.56 s): every
// triangle side away from the grid's border is shared by exactly two
// triangles, so the surface is closed wherever it does not leave the grid.
TEST(CubeTriangleTable, TheBandsSurfaceHasNoOpenSidesInsideTheGrid) {
  constexpr int cells = kBlobGridSize - 1;
  // A grid edge: its first grid point and the axis it runs along.
  auto grid_edge = [](int i, int j, int k, int edge) {
    const int* from = kCornerOffsets[kEdgeCorners[edge][0]];
    const int* to = kCornerOffsets[kEdgeCorners[edge][1]];
    const int axis = from[0] != to[0] ? 0 : (from[1] != to[1] ? 1 : 2);
    return (((i + from[0]) * kBlobGridSize + j + from[1]) * kBlobGridSize + k + from[2]) * 3 + axis;
  };
  // Whether both grid edges lie in one of the grid's six border planes.
  auto on_border = [](int a, int b) {
    for (int axis = 0; axis < 3; ++axis)
      for (int at : {0, kBlobGridSize - 1}) {
        auto in_plane = [&](int e) {
          const int point[3] = {e / 3 / (kBlobGridSize * kBlobGridSize),
                                e / 3 / kBlobGridSize % kBlobGridSize, e / 3 % kBlobGridSize};
          return e % 3 != axis && point[axis] == at;
        };
        if (in_plane(a) && in_plane(b)) return true;
      }
    return false;
  };
  int open_frames = 0, open_total = 0, frames = 0;
  std::vector<Side> sides;
  for (double t = 67.2; t < 82.56; t += 1.0 / 60.0, ++frames) {
    compute_blob_field(static_cast<float>(t / 3.0));
    sides.clear();
    for (int i = 0; i < cells; ++i)
      for (int j = 0; j < cells; ++j)
        for (int k = 0; k < cells; ++k) {
          int index = 0;
          for (int c = 0; c < 8; ++c) {
            const int* o = kCornerOffsets[c];
            if (BlobField[i + o[0]][j + o[1]][k + o[2]] > iso_level) index |= 1 << c;
          }
          const std::int32_t* row = CubeTriangleTable[index];
          for (int n = 0; n + 2 < 15 && row[n] >= 0; n += 3)
            for (int m = 0; m < 3; ++m)
              sides.push_back(side_of(grid_edge(i, j, k, row[n + m]),
                                      grid_edge(i, j, k, row[n + (m + 1) % 3])));
        }
    std::sort(sides.begin(), sides.end());
    int open = 0;
    for (std::size_t first = 0, past = 0; first < sides.size(); first = past) {
      while (past < sides.size() && sides[past] == sides[first]) ++past;
      if (past - first != 2 && !on_border(sides[first].first, sides[first].second)) ++open;
    }
    open_total += open;
    open_frames += open > 0;
  }
  EXPECT_EQ(open_total, 0) << "in " << open_frames << " of " << frames << " frames";
  clear_blob_field();
}

TEST(CubeTriangleTable, HoldsTheKnownRows) {
  const std::vector<std::pair<int, std::vector<std::int32_t>>> rows = {
      {0, {}},
      {1, {3, 8, 0}},
      {2, {1, 0, 9}},
      {3, {3, 8, 9, 3, 9, 1}},
      {7, {9, 10, 2, 9, 2, 3, 9, 3, 8}},
      {15, {8, 9, 10, 8, 10, 11}},
      {61, {7, 5, 9, 7, 9, 0, 7, 0, 11, 11, 0, 1, 11, 1, 10}},
      {104, {4, 6, 10, 4, 10, 9, 2, 11, 3}},
      {254, {3, 0, 8}},
      {255, {}},
  };
  for (const auto& [index, entries] : rows) {
    std::vector<std::int32_t> row(std::begin(CubeTriangleTable[index]),
                                  std::end(CubeTriangleTable[index]));
    std::vector<std::int32_t> expected = entries;
    expected.resize(15, -1);
    EXPECT_EQ(row, expected) << "row " << index;
  }
}

TEST(IsoSurfaceCalls, CornerAtTheLevelCountsAsBelow) {
  iso_level = 0.1f;
  const float at_level[8] = {0.1f, 0, 0, 0, 0, 0, 0, 0};
  record();
  polygonise_cell(at_level, 0, 0, 0);
  EXPECT_EQ(null_gl_log.size, 0u);

  // c0 above: row 1, edges 3, 8, 0, each point a third of the way.
  const float above[8] = {0.4f, 0.1f - 0.15f, 0, 0, 0, 0, 0, 0};
  record();
  polygonise_cell(above, -8, 6, 2);
  const auto vertices = calls_of(GlOp::vertex);
  ASSERT_EQ(vertices.size(), 3u);
  EXPECT_FLOAT_EQ(vertices[0].v[0], -8.0f);                   // edge 3: (0, mu, 0)
  EXPECT_NEAR(vertices[0].v[1], 6.0f + 0.75f, 1e-6);          // (0.1 - 0.4) / (0 - 0.4)
  EXPECT_NEAR(vertices[1].v[2], 2.0f + 0.75f, 1e-6);          // edge 8: (0, 0, mu)
  EXPECT_NEAR(vertices[2].v[0], -8.0f + 0.3f / 0.45f, 1e-6);  // edge 0, c1 at -0.05
  // Row 14 (Y = 6) is coloured (0.125, 0.875, 1).
  const auto colours = calls_of(GlOp::color);
  ASSERT_EQ(colours.size(), 3u);
  EXPECT_FLOAT_EQ(colours[0].v[0], 0.125f);
  EXPECT_FLOAT_EQ(colours[0].v[1], 0.875f);
  EXPECT_FLOAT_EQ(colours[0].v[2], 1.0f);

  record();
  polygonise_cell(above, 3, -8, 0);
  EXPECT_FLOAT_EQ(calls_of(GlOp::color)[0].v[0], 1.0f);  // row 0 is magenta
  EXPECT_FLOAT_EQ(calls_of(GlOp::color)[0].v[1], 0.0f);

  record();
  emit_edge_vertex(12, above, 0, 0, 0, 0.1f);
  emit_edge_vertex(0xffffffffu, above, 0, 0, 0, 0.1f);
  EXPECT_EQ(null_gl_log.size, 0u);
}

TEST(IsoSurfaceCalls, EveryEdgeRunsFromItsStartCornerToItsEnd) {
  // The edge's point with m where the interpolation runs.
  struct Edge {
    int from, to;
    const char* point;
  };
  constexpr Edge kEdges[12] = {{0, 1, "m00"}, {1, 2, "1m0"}, {3, 2, "m10"}, {0, 3, "0m0"},
                               {4, 5, "m01"}, {5, 6, "1m1"}, {7, 6, "m11"}, {4, 7, "0m1"},
                               {0, 4, "00m"}, {1, 5, "10m"}, {2, 6, "11m"}, {3, 7, "01m"}};
  for (std::uint32_t e = 0; e < 12; ++e) {
    // The level lies a quarter of the way from the start to the end.
    float corners[8] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    corners[kEdges[e].from] = 0.0f;
    corners[kEdges[e].to] = 1.0f;
    record();
    emit_edge_vertex(e, corners, 10, 20, 30, 0.25f);
    const auto vertices = calls_of(GlOp::vertex);
    ASSERT_EQ(vertices.size(), 1u) << "edge " << e;
    for (int a = 0; a < 3; ++a) {
      const char c = kEdges[e].point[a];
      EXPECT_FLOAT_EQ(vertices[0].v[a], 10.0f * (a + 1) + (c == 'm' ? 0.25f : c - '0'))
          << "edge " << e << ", axis " << a;
    }
  }
}

TEST(IsoSurfaceCalls, TwoPassesTheSecondScaled) {
  clear_blob_field();
  record();
  draw_iso_surface(1.0f);
  auto prims = primitives();
  ASSERT_EQ(prims.size(), 2u);
  EXPECT_TRUE(prims[0].vertices.empty());
  EXPECT_TRUE(prims[1].vertices.empty());
  EXPECT_TRUE(calls_of(GlOp::color).empty());

  compute_blob_field(0.0f);
  record();
  draw_iso_surface(-static_cast<float>(M_PI / 2));
  prims = primitives();
  ASSERT_EQ(prims.size(), 2u);
  EXPECT_EQ(prims[0].mode, GLenum(GL_TRIANGLES));
  EXPECT_GT(prims[0].vertices.size(), 0u);
  EXPECT_EQ(prims[0].vertices.size() % 3, 0u);
  EXPECT_EQ(prims[0].vertices.size(), prims[1].vertices.size());
  const auto scales = calls_of(GlOp::scale);
  ASSERT_EQ(scales.size(), 1u);
  EXPECT_NEAR(scales[0].v[0], 0.3f, 1e-6);  // smallest at sin x = -1
  clear_blob_field();
}

TEST(TwistedTubeCalls, AnglesAndFirstSection) {
  clear_twist_angles();
  for (float a : twist_angles) EXPECT_EQ(a, 0.0f);

  record();
  draw_twisted_tube(0.0f);
  const auto head = null_gl_log.calls;
  EXPECT_EQ(head[0].op, GlOp::matrix_mode);
  EXPECT_EQ(head[1].op, GlOp::load_identity);
  EXPECT_EQ(head[2].op, GlOp::translate);
  EXPECT_FLOAT_EQ(head[2].v[1], -15.0f);
  const auto prims = primitives();
  ASSERT_EQ(prims.size(), 59u * 4u * 2u);
  // With all angles 0, side 0 runs from the +z corner to the +x corner.
  const auto& q = prims[0].vertices;
  EXPECT_NEAR(q[0].v[0], 0.0, 1e-6);
  EXPECT_FLOAT_EQ(q[0].v[2], 5.0f);
  EXPECT_NEAR(q[1].v[0], 5.0, 1e-5);
  EXPECT_NEAR(q[1].v[2], 0.0, 2e-3);
  EXPECT_FLOAT_EQ(q[3].v[1], 0.5f);
  // Edge lines sit at 5.001, 0.01 towards the viewer.
  const auto& lines = prims[1].vertices;
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_FLOAT_EQ(lines[0].v[2], 5.001f + 0.01f);
  // Side 3 ends at 6.282 radians, a sliver short of side 0's start.
  const auto& side3 = prims[6].vertices;
  EXPECT_NEAR(side3[1].v[0], 5 * std::sin(6.282), 1e-5);
  EXPECT_LT(side3[1].v[0], -0.005f);

  const auto colours = calls_of(GlOp::color);
  // Segment 30, side 2: (0.5, 0, 0.5): green clamps below 0 later.
  EXPECT_FLOAT_EQ(colours[(30 * 4 + 2) * 2].v[0], 0.5f);
  EXPECT_FLOAT_EQ(colours[(30 * 4 + 2) * 2].v[1], 0.0f);
  EXPECT_FLOAT_EQ(colours[(30 * 4 + 2) * 2].v[2], 0.5f);

  compute_twist_angles(0.0f);
  for (int i = 0; i < kTwistSectionCount; ++i)
    EXPECT_NEAR(twist_angles[i], std::cos(0.2 * i) + 0.05 * i, 1e-5) << i;
  compute_twist_angles(2.0f);
  const double b = std::sin(2.1), c = std::sin(2.0 + b);
  EXPECT_NEAR(twist_angles[10], std::cos(2.0 + 2 * c) + 2.5 + b, 1e-5);
  clear_twist_angles();
}

// Every quad of the tube from its formula, with the angles of a later time:
// section i at height i / 2, swayed sideways by sin(i / 5 + x), side j from
// angle j 3.141 / 2 to (j + 1) 3.141 / 2 past the section's own turn.
TEST(TwistedTubeCalls, EveryQuadAtAnyTime) {
  const double x = 1.7;
  compute_twist_angles(static_cast<float>(x));
  const double b = std::sin(1.05 * x), c = std::sin(x + b);
  auto angle = [&](int i) { return std::cos(0.2 * i + 2 * c) + x + 0.05 * i + b; };
  for (int i = 0; i < kTwistSectionCount; ++i)
    ASSERT_NEAR(twist_angles[i], angle(i), 1e-5) << "section " << i;
  record();
  draw_twisted_tube(static_cast<float>(x));
  const auto prims = primitives();
  ASSERT_EQ(prims.size(), 59u * 4u * 2u);
  for (int i = 0; i < 59; ++i)
    for (int j = 0; j < 4; ++j) {
      SCOPED_TRACE(testing::Message() << "section " << i << ", side " << j);
      const auto& quad = prims[(i * 4 + j) * 2].vertices;
      ASSERT_EQ(quad.size(), 4u);
      // Corners in order: (i, j), (i, j + 1), (i + 1, j + 1), (i + 1, j).
      const int rows[4] = {i, i, i + 1, i + 1}, sides[4] = {j, j + 1, j + 1, j};
      for (int k = 0; k < 4; ++k) {
        const double around = sides[k] * 3.141 / 2 + angle(rows[k]);
        EXPECT_NEAR(quad[k].v[0], std::sin(rows[k] / 5.0 + x) + 5 * std::sin(around), 1e-4) << k;
        EXPECT_FLOAT_EQ(quad[k].v[1], 0.5f * rows[k]) << k;
        EXPECT_NEAR(quad[k].v[2], 5 * std::cos(around), 1e-4) << k;
      }
      // The edge lines start where the quad's two lower corners are, 5.001 out.
      const auto& lines = prims[(i * 4 + j) * 2 + 1].vertices;
      ASSERT_EQ(lines.size(), 4u);
      const double edge = j * 3.141 / 2 + angle(i);
      EXPECT_NEAR(lines[0].v[0], std::sin(i / 5.0 + x) + 5.001 * std::sin(edge), 1e-4);
      EXPECT_NEAR(lines[0].v[2], 5.001 * std::cos(edge) + 0.01, 1e-4);
    }
  clear_twist_angles();
}
