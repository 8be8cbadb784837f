#!/usr/bin/env python3
"""Prints the iso-surface's CubeTriangleTable as C++ rows.

For every case the crossed edges are joined face by face into closed loops
around the cube, and each loop is fanned into triangles facing away from the
corners above the level. Where the surface meets a face is decided by that
face's four corners alone: a face with two diagonal corners above and two
below always cuts off its two above corners, each on its own. A cell and its
neighbour see the same four corners on the face they share, so they cut it
the same way and their pieces meet without a gap. The rule needs at most five
triangles for any case. Eight rows are fixed triangle by triangle (FIXED
below); they use the same edges and cut every face by the same rule, which the
script checks.
"""

CORNERS = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0),
           (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
EDGES = [(0, 1), (1, 2), (3, 2), (0, 3), (4, 5), (5, 6),
         (7, 6), (4, 7), (0, 4), (1, 5), (2, 6), (3, 7)]
# The six faces as corner cycles.
FACES = [(0, 1, 2, 3), (4, 5, 6, 7), (0, 1, 5, 4),
         (3, 2, 6, 7), (0, 3, 7, 4), (1, 2, 6, 5)]

FIXED = {
    1: [(3, 8, 0)],
    2: [(1, 0, 9)],
    3: [(3, 8, 9), (3, 9, 1)],
    7: [(9, 10, 2), (9, 2, 3), (9, 3, 8)],
    15: [(8, 9, 10), (8, 10, 11)],
    61: [(7, 5, 9), (7, 9, 0), (7, 0, 11), (11, 0, 1), (11, 1, 10)],
    104: [(4, 6, 10), (4, 10, 9), (2, 11, 3)],
    254: [(3, 0, 8)],
}


def edge_of(a, b):
    for n, (p, q) in enumerate(EDGES):
        if {p, q} == {a, b}:
            return n
    raise ValueError


def midpoint(e):
    p, q = EDGES[e]
    return [(CORNERS[p][d] + CORNERS[q][d]) / 2 for d in range(3)]


def sub(u, v):
    return [u[0] - v[0], u[1] - v[1], u[2] - v[2]]


def cross(u, v):
    return [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]


def dot(u, v):
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]


def face_cut(case, face):
    """The segments, as pairs of edges, along which the surface crosses a
    face; they depend only on the face's own corners."""
    above = [(case >> n) & 1 == 1 for n in range(8)]
    crossed = [edge_of(face[n], face[(n + 1) % 4]) for n in range(4)
               if above[face[n]] != above[face[(n + 1) % 4]]]
    if len(crossed) == 2:
        return {frozenset(crossed)}
    if len(crossed) == 4:
        # Two diagonal corners above: cut off each of them on its own.
        return {frozenset((edge_of(c, face[(n + 3) % 4]), edge_of(c, face[(n + 1) % 4])))
                for n, c in enumerate(face) if above[c]}
    return set()


def cuts_of(triangles):
    """The sides that one triangle alone uses, face by face; a side that
    lies on no face is returned under None."""
    count = {}
    for t in triangles:
        for n in range(3):
            side = frozenset((t[n], t[(n + 1) % 3]))
            count[side] = count.get(side, 0) + 1
    cuts = {}
    for side, n in count.items():
        if n % 2 == 0:
            continue
        corners = [set(EDGES[e]) for e in side]
        face = next((f for f in FACES if corners[0] <= set(f) and corners[1] <= set(f)), None)
        cuts.setdefault(face, set()).add(side)
    return cuts


def triangulate(case):
    above = [(case >> n) & 1 == 1 for n in range(8)]
    links = {}  # crossed edge -> edges it meets on the faces around it

    for face in FACES:
        for a, b in face_cut(case, face):
            links.setdefault(a, []).append(b)
            links.setdefault(b, []).append(a)

    triangles = []
    seen = set()
    for start in sorted(links):
        if start in seen:
            continue
        loop = [start]
        seen.add(start)
        prev, cur = None, start
        while True:
            nxt = [e for e in links[cur] if e != prev][0] if prev is not None else links[cur][0]
            if nxt == start:
                break
            loop.append(nxt)
            seen.add(nxt)
            prev, cur = cur, nxt
        # Orient the loop so that its normal points from the above corners
        # towards the ones below.
        pts = [midpoint(e) for e in loop]
        normal = [0.0, 0.0, 0.0]
        for n in range(len(pts)):
            c = cross(pts[n], pts[(n + 1) % len(pts)])
            normal = [normal[d] + c[d] for d in range(3)]
        up = [0.0, 0.0, 0.0]
        for e in loop:
            p, q = EDGES[e]
            hi, lo = (p, q) if above[p] else (q, p)
            d = sub(CORNERS[lo], CORNERS[hi])
            up = [up[k] + d[k] for k in range(3)]
        if dot(normal, up) < 0:
            loop.reverse()
        for n in range(1, len(loop) - 1):
            triangles.append((loop[0], loop[n], loop[n + 1]))
    return triangles


def main():
    rows = []
    for case in range(256):
        tris = triangulate(case)
        if case in FIXED:
            assert sorted({e for t in FIXED[case] for e in t}) == sorted({e for t in tris for e in t}), case
            tris = FIXED[case]
        assert len(tris) <= 5, (case, tris)
        cuts = cuts_of(tris)
        for face in FACES:
            assert cuts.pop(face, set()) == face_cut(case, face), (case, face)
        assert not cuts, (case, cuts)
        entries = [e for t in tris for e in t]
        entries += [-1] * (15 - len(entries))
        rows.append(entries)
    for case, row in enumerate(rows):
        print("    {" + ", ".join(f"{e:2d}" for e in row) + "},  // " + str(case))


if __name__ == "__main__":
    main()
