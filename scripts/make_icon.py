#!/usr/bin/env python3
"""Writes Mondrel's application icon: packaging/icons/mondrel.svg and a 256x256 mondrel.png.

A green mountain with a pale wire grid under an orange silhouette line, on a rounded sky tile:
the stage-3 terrain as the user sees it. Both files come from the same shapes; Python standard
library only (zlib + struct), and the output is the same on every run.

    python3 scripts/make_icon.py [output-folder]
"""
import math
import os
import struct
import sys
import zlib

SIZE = 256
MARGIN = 8
RADIUS = 44
SAMPLES = 4                 # anti-aliasing: SAMPLES x SAMPLES samples per pixel
SKY_TOP = (120, 170, 222)
SKY_BOTTOM = (232, 240, 246)
ROCK_TOP = (70, 160, 80)
ROCK_BOTTOM = (30, 96, 48)
WIRE = (200, 232, 200)
LINE = (230, 153, 0)
FOOT = 214                  # y of the mountain's foot, from the top
LINE_WIDTH = 7.0
WIRE_WIDTH = 2.0
WIRE_ROWS = (0.3, 0.55, 0.8)
WIRE_COLUMNS = range(40, 230, 36)


def ridge(x):
    """The silhouette's height above the image top, in pixels, for x in pixels."""
    t = (x - MARGIN) / (SIZE - 2 * MARGIN)
    return FOOT - SIZE * (0.22 + 0.42 * math.sin(math.pi * t) + 0.09 * math.sin(5 * math.pi * t))


def row_line(x, k):
    """A wire row k of the way from the silhouette down to the foot."""
    return ridge(x) + (FOOT - ridge(x)) * k


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_tile(x, y):
    lo, hi = MARGIN + RADIUS, SIZE - MARGIN - RADIUS
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= RADIUS ** 2 and MARGIN <= x <= SIZE - MARGIN \
        and MARGIN <= y <= SIZE - MARGIN


def near_curve(x, y, curve, width):
    # Distance measured vertically, corrected by the slope: good enough for gentle curves.
    slope = (curve(x + 0.5) - curve(x - 0.5))
    return abs(y - curve(x)) / math.sqrt(1.0 + slope * slope) <= width / 2


def colour_at(x, y):
    """RGBA of one sample point, or None outside the tile."""
    if not inside_tile(x, y):
        return None
    sky = mix(SKY_TOP, SKY_BOTTOM, y / SIZE)
    top = ridge(x)
    if near_curve(x, y, ridge, LINE_WIDTH):
        return LINE
    if y < top:
        return sky
    if y <= FOOT:
        if any(near_curve(x, y, lambda u, k=k: row_line(u, k), WIRE_WIDTH) for k in WIRE_ROWS):
            return WIRE
        if any(abs(x - c) <= WIRE_WIDTH / 2 for c in WIRE_COLUMNS):
            return WIRE
        return mix(ROCK_TOP, ROCK_BOTTOM, (y - top) / max(1.0, FOOT - top))
    return mix(ROCK_BOTTOM, (20, 60, 30), (y - FOOT) / (SIZE - FOOT))


def pixel(px, py):
    total = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if c is None:
                continue
            for i in range(3):
                total[i] += c[i]
            total[3] += 1
    n = SAMPLES * SAMPLES
    if total[3] == 0:
        return (0, 0, 0, 0)
    return tuple(int(round(total[i] / total[3])) for i in range(3)) + (
        int(round(255 * total[3] / n)),)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes():
    raw = bytearray()
    for y in range(SIZE):
        raw.append(0)  # filter type: none
        for x in range(SIZE):
            raw.extend(pixel(x, y))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def hex_colour(c):
    return "#%02x%02x%02x" % tuple(int(round(v)) for v in c)


def polyline(curve, step=4):
    xs = list(range(MARGIN, SIZE - MARGIN + 1, step))
    return " ".join("%d,%.1f" % (x, curve(x)) for x in xs)


def svg_text():
    xs = list(range(MARGIN, SIZE - MARGIN + 1, 4))
    mountain = "M%d,%d " % (MARGIN, SIZE) + " ".join("L%d,%.1f" % (x, ridge(x)) for x in xs) + \
        " L%d,%d Z" % (SIZE - MARGIN, SIZE)
    wires = "\n".join(
        '    <polyline points="%s"/>' % polyline(lambda u, k=k: row_line(u, k)) for k in WIRE_ROWS)
    columns = "\n".join('    <line x1="%d" y1="%.1f" x2="%d" y2="%d"/>' % (c, ridge(c), c, FOOT)
                        for c in WIRE_COLUMNS)
    inner = SIZE - 2 * MARGIN
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">
  <defs>
    <linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{hex_colour(SKY_TOP)}"/>
      <stop offset="1" stop-color="{hex_colour(SKY_BOTTOM)}"/>
    </linearGradient>
    <linearGradient id="rock" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{hex_colour(ROCK_TOP)}"/>
      <stop offset="1" stop-color="{hex_colour(ROCK_BOTTOM)}"/>
    </linearGradient>
    <clipPath id="tile">
      <rect x="{MARGIN}" y="{MARGIN}" width="{inner}" height="{inner}" rx="{RADIUS}"/>
    </clipPath>
  </defs>
  <g clip-path="url(#tile)">
    <rect x="{MARGIN}" y="{MARGIN}" width="{inner}" height="{inner}" fill="url(#sky)"/>
    <path d="{mountain}" fill="url(#rock)"/>
    <g fill="none" stroke="{hex_colour(WIRE)}" stroke-width="{WIRE_WIDTH}">
{wires}
{columns}
    </g>
    <polyline points="{polyline(ridge)}" fill="none" stroke="{hex_colour(LINE)}"
              stroke-width="{LINE_WIDTH}" stroke-linejoin="round" stroke-linecap="round"/>
  </g>
</svg>
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "packaging", "icons")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "mondrel.png"), "wb") as f:
        f.write(png_bytes())
    with open(os.path.join(out, "mondrel.svg"), "w") as f:
        f.write(svg_text())


if __name__ == "__main__":
    main()
