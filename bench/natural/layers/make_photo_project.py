#!/usr/bin/env python3
"""Writes a synthetic photograph of three mountain ranges and the project that traces it.

The ranges stand 1000, 3000 and 8000 world units north of a level camera 200 units up that
sees 50 degrees across a 1600 x 1200 frame, eye level on row 400 from the bottom. Each range's
ridge line is a curve in the world (height over the eye's east-west offset) at its distance;
the script projects it into the frame as the camera sees it, paints the three ranges back to
front into the photograph, and gives the project one layer per range whose skyline is that
projected ridge line, one point per frame column. The far ranges' summits rise above the
nearer ranges in places. The project's camera is the one the photograph was taken with, the
photograph its background, and the natural terrain is on.

Usage: make_photo_project.py OUTPUT.mondrel
writes OUTPUT.mondrel and, beside it, OUTPUT.png (the photograph).
"""
import json
import math
import os
import struct
import sys
import zlib

from make_project import layer  # the layer entries the straight-on project writes too

WIDTH, HEIGHT = 1600, 1200
FIELD_OF_VIEW = 50.0
EYE_HEIGHT = 200.0
HORIZON = 400.0
FOCAL = 0.5 * WIDTH / math.tan(math.radians(0.5 * FIELD_OF_VIEW))


def bump(s, centre, width, height):
    return height * math.exp(-((s - centre) / width) ** 2)


def peak(s, centre, width, height):
    # A pointed summit: slopes that steepen towards the top.
    return height * math.exp(-abs(s - centre) / width)


def near_ridge(s):
    """A rounded ridge with a saddle, 1000 north; s is metres east of the eye."""
    return (330.0 + bump(s, -230.0, 190.0, 150.0) + bump(s, 210.0, 150.0, 95.0)
            + bump(s, 470.0, 110.0, 40.0) + 7.0 * math.sin(s / 41.0) + 3.0 * math.sin(s / 13.0 + 1.0))


def middle_range(s):
    """Three pointed peaks over a long shoulder, 3000 north."""
    return (520.0 + bump(s, 200.0, 900.0, 90.0) + peak(s, -950.0, 180.0, 560.0)
            + peak(s, 60.0, 140.0, 380.0) + peak(s, 760.0, 220.0, 620.0)
            + 18.0 * math.sin(s / 67.0) + 9.0 * math.sin(s / 23.0 + 2.0))


def far_range(s):
    """A high massif with jagged summits, 8000 north."""
    return (1000.0 + bump(s, -400.0, 2600.0, 300.0) + peak(s, -2700.0, 420.0, 1300.0)
            + peak(s, -1500.0, 300.0, 700.0) + peak(s, -350.0, 380.0, 1250.0)
            + peak(s, 1900.0, 500.0, 1350.0) + peak(s, 3100.0, 350.0, 900.0)
            + 45.0 * math.sin(s / 131.0) + 25.0 * math.sin(s / 47.0 + 0.5)
            + 12.0 * math.sin(s / 17.0 + 1.3))


# Name, colour in the layer list, distance, ridge line, colours of the range's top and foot.
RANGES = [
    ("Near ridge", "#3070c0", 1000.0, near_ridge, (58, 74, 52), (34, 44, 30)),
    ("Middle range", "#c03030", 3000.0, middle_range, (96, 108, 112), (70, 84, 80)),
    ("Far range", "#30a040", 8000.0, far_range, (176, 186, 204), (150, 164, 186)),
]


def projected(ridge, distance):
    """The ridge line as the camera sees it: (u, v) per frame column, v up from the bottom."""
    points = []
    for u in range(WIDTH + 1):
        s = (u - 0.5 * WIDTH) * distance / FOCAL
        points.append([float(u), HORIZON + FOCAL * (ridge(s) - EYE_HEIGHT) / distance])
    return points


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def photograph(skylines):
    """RGB rows, top first: sky, then the ranges painted from the back to the front."""
    rows = []
    for r in range(HEIGHT):
        v = HEIGHT - r - 0.5  # the row's centre, up from the bottom
        sky = mix((214, 226, 240), (120, 160, 210), min(1.0, max(0.0, (v - HORIZON) / 800.0)))
        row = bytearray()
        for c in range(WIDTH):
            pixel = sky
            for k in range(len(RANGES) - 1, -1, -1):
                points = skylines[k]
                top = points[c][1] + (points[c + 1][1] - points[c][1]) * 0.5
                if v < top:
                    depth = min(1.0, (top - v) / 300.0)
                    pixel = mix(RANGES[k][4], RANGES[k][5], depth)
                    # Faint streaks down the slopes, so the picture is not flat colour.
                    shade = 6.0 * math.sin(0.21 * c + 0.013 * (top - v) * (k + 1))
                    pixel = tuple(max(0, min(255, int(x + shade))) for x in pixel)
            row += bytes(pixel)
        rows.append(bytes(row))
    return rows


def write_png(name, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(name, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    output = sys.argv[1]
    skylines = [projected(ridge, distance) for _, _, distance, ridge, _, _ in RANGES]
    image = os.path.splitext(output)[0] + ".png"
    write_png(image, photograph(skylines))
    front = skylines[0]
    project = {
        "format": "Mondrel project", "version": 1, "stage": 0,
        "silhouette": front, "curve": front,
        "detailLevels": [], "globalProfile": [], "columnProfiles": [],
        "profileRandomness": 0, "detailRandomness": 0.2, "bottomDropOff": 0,
        "selectedColumn": -1, "view": {"rotX": 0, "rotY": 0},
        "backgroundImage": os.path.basename(image),
        "natural": {"on": True, "slope": 0.5, "frontProfile": 1.6, "detail": 0.5,
                    "erosion": 0.5, "erosionSteps": 24, "seed": 1},
        "layers": [layer(name, colour, distance, None if k == 0 else skylines[k])
                   for k, (name, colour, distance, _, _, _) in enumerate(RANGES)],
        "currentLayer": 0,
        "camera": {"kind": "perspective", "fieldOfView": FIELD_OF_VIEW,
                   "eyeHeight": EYE_HEIGHT, "horizon": HORIZON,
                   "frameWidth": float(WIDTH), "frameHeight": float(HEIGHT)},
    }
    with open(output, "w") as out:
        json.dump(project, out, indent=1)
    # Where each range is the outline, as a share of the frame's columns.
    shares = [0] * len(RANGES)
    for u in range(WIDTH + 1):
        shares[max(range(len(RANGES)), key=lambda k: skylines[k][u][1])] += 1
    for (name, _, _, _, _, _), count in zip(RANGES, shares):
        print("%s: the outline over %.0f%% of the columns" % (name, 100.0 * count / (WIDTH + 1)))


if __name__ == "__main__":
    main()
