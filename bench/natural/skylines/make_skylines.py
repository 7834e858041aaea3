#!/usr/bin/env python3
"""Writes the skylines the natural terrain is measured on into this folder.

Each is a curve file as the window saves a drawing: one point per whole x in view pixels,
heights upwards from the view's bottom. Deterministic: the roughness comes from the C
standard's example generator, so the files are the same everywhere. The merged strokes are
drawn by the model itself: give the merged-silhouette program to remake that one too.

Usage: make_skylines.py [build/bin/merged-silhouette]
"""
import math
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def uniform(self):
        """A number in [-1, 1]."""
        self.state = (self.state * 1103515245 + 12345) % 2**32
        return ((self.state // 65536) % 32768) / 16383.5 - 1.0


def write(name, points):
    with open(os.path.join(here, name), "w", newline="\n") as f:
        f.write("%i //size\n" % len(points))
        for x, y in points:
            f.write("%f %f\n" % (x, y))


def roughness(rng, count, size, smoothing):
    """A hand's wobble: smoothed random steps, size pixels at most about."""
    values, v = [], 0.0
    for _ in range(count):
        v = v * smoothing + rng.uniform() * size * (1.0 - smoothing)
        values.append(v)
    return values


def bump(x, centre, width):
    return math.exp(-((x - centre) / width) ** 2)


def single_peak():
    rng = Lcg(11)
    xs = range(120, 681)
    wobble = roughness(rng, len(xs), 6.0, 0.7)
    return [(x, 70.0 + 300.0 * bump(x, 400.0, 95.0) + w) for x, w in zip(xs, wobble)]


def long_ridge():
    rng = Lcg(12)
    xs = range(0, 1601)
    wobble = roughness(rng, len(xs), 8.0, 0.8)
    return [(x, 170.0 + 55.0 * math.sin(x / 140.0) + 30.0 * math.sin(x / 41.0 + 1.0)
             + 12.0 * math.sin(x / 13.0) + w) for x, w in zip(xs, wobble)]


def jagged_alpine():
    """Sharp summits of different heights, notches and one near-vertical step."""
    rng = Lcg(13)
    summits = [(90, 250), (160, 330), (215, 290), (300, 420), (355, 360), (430, 455),
               (505, 380), (560, 400), (640, 300), (700, 340)]
    points = []
    wobble = roughness(rng, 700, 10.0, 0.4)
    for i, x in enumerate(range(50, 750)):
        h = 120.0
        for cx, top in summits:
            h = max(h, top - 2.3 * abs(x - cx))  # straight, steep sides: a spire
        if 600 <= x < 604:  # a cliff: the skyline drops 90 pixels within four
            h -= 22.5 * (x - 599)
        elif x >= 604:
            h -= 90.0 - 0.6 * min(x - 604, 150)
        points.append((x, round(h + wobble[i], 2)))
    return points


def asymmetric_massif():
    """A steep western face, a broad summit and a long stepped fall to the east."""
    rng = Lcg(14)
    xs = range(80, 821)
    wobble = roughness(rng, len(xs), 5.0, 0.75)
    points = []
    for x, w in zip(xs, wobble):
        if x < 200:
            h = 60.0 + 330.0 * (1.0 - math.cos(math.pi * (x - 80) / 240.0)) / (1.0 - math.cos(math.pi / 2))
            h = min(h, 390.0)
        else:
            t = (x - 200) / 620.0
            h = 390.0 - 320.0 * t ** 1.3 + 30.0 * bump(x, 420.0, 30.0) + 20.0 * bump(x, 610.0, 25.0)
        points.append((x, min(h, 400.0) + w))
    return points


def low_hill():
    rng = Lcg(15)
    xs = range(60, 761)
    wobble = roughness(rng, len(xs), 3.0, 0.8)
    return [(x, 25.0 + 55.0 * bump(x, 410.0, 190.0) + 10.0 * bump(x, 250.0, 60.0) + w)
            for x, w in zip(xs, wobble)]


def two_summits():
    """Two summits with a deep col between them."""
    rng = Lcg(16)
    xs = range(80, 761)
    wobble = roughness(rng, len(xs), 5.0, 0.7)
    return [(x, 60.0 + 320.0 * bump(x, 270.0, 70.0) + 280.0 * bump(x, 560.0, 80.0) + w)
            for x, w in zip(xs, wobble)]


write("single_peak.c2d", single_peak())
write("long_ridge.c2d", long_ridge())
write("jagged_alpine.c2d", jagged_alpine())
write("asymmetric_massif.c2d", asymmetric_massif())
write("low_hill.c2d", low_hill())
write("two_summits.c2d", two_summits())
if len(sys.argv) > 1:
    subprocess.run([sys.argv[1], os.path.join(here, "merged_strokes.c2d")], check=True)
