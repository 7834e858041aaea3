#!/usr/bin/env python3
"""Writes the curve and profile fixtures of the terrain tests into this folder.

The curves look like processed strokes: one point per whole x, heights in view pixels.
Run it again after changing it; the golden grids (make_golden.sh) then need remaking too.
"""
import math
import os

here = os.path.dirname(os.path.abspath(__file__))


def write(name, points):
    with open(os.path.join(here, name), "w", newline="\n") as f:
        f.write("%i //size\n" % len(points))
        for x, y in points:
            f.write("%f %f\n" % (x, y))


class Lcg:
    """The C standard's example generator, so the jagged range is the same everywhere."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) % 2**32
        return (self.state // 65536) % 32768


def single_peak():
    return [(x, 80.0 + 260.0 * math.exp(-((x - 300.0) / 70.0) ** 2)) for x in range(100, 501)]


def long_ridge():
    return [(x, 150.0 + 60.0 * math.sin(x / 130.0) + 25.0 * math.sin(x / 37.0 + 1.0))
            for x in range(0, 1601)]


def jagged_range():
    rng = Lcg(7)
    points, height = [], 200.0
    for x in range(16, 816):
        height += (rng.next() / 32767.0 - 0.5) * 14.0
        height += (220.0 - height) * 0.02  # keep it near the middle of the view
        peaks = 90.0 * math.exp(-((x - 250) / 60.0) ** 2) + 130.0 * math.exp(-((x - 560) / 45.0) ** 2)
        points.append((x, round(height + peaks, 2)))
    return points


def too_short():
    # Four coarsenings leave fewer than 5 columns.
    return [(x, 100.0 + 3.0 * (x - 200)) for x in range(200, 230)]


def concave_profile():
    return [(i / 50.0, (1.0 - i / 50.0) ** 2) for i in range(51)]


def plateau_profile():
    # Stays at the silhouette's height, falls, and reaches 0 well before the back row.
    points = []
    for i in range(51):
        x = i / 50.0
        y = 1.0 if x < 0.3 else max(0.0, 1.0 - (x - 0.3) / 0.4)
        points.append((x, y))
    return points


write("single_peak.c2d", single_peak())
write("long_ridge.c2d", long_ridge())
write("jagged_range.c2d", jagged_range())
write("too_short.c2d", too_short())
write("profile_concave.c2d", concave_profile())
write("profile_plateau.c2d", plateau_profile())
