#!/usr/bin/env python3
"""Writes Mondrel's default start-up background, data/Texture.png.

A soft sky fading to a pale horizon over a warm ground, with a faint pencil grid to sketch a
silhouette against. Python standard library only (zlib + struct); the output is the same on
every run.

    python3 scripts/make_texture.py [output.png]
"""
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 800, 600
HORIZON = 0.68          # fraction of the height, from the top, where the sky meets the ground
GRID = 40               # pencil grid spacing in pixels
SKY_TOP = (150, 190, 228)
SKY_HORIZON = (236, 242, 246)
GROUND_NEAR = (214, 204, 178)
GROUND_HORIZON = (232, 228, 212)
PENCIL = (96, 100, 110)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smooth(t):
    return t * t * (3.0 - 2.0 * t)


class Grain:
    """The classic ANSI C generator: a fixed, portable sequence for the pencil grain."""

    def __init__(self, seed=1):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0xFFFFFFFF
        return (self.state >> 16) & 0x7FFF


def background(y):
    v = y / (HEIGHT - 1)
    if v < HORIZON:
        return mix(SKY_TOP, SKY_HORIZON, smooth(v / HORIZON))
    return mix(GROUND_HORIZON, GROUND_NEAR, smooth((v - HORIZON) / (1.0 - HORIZON)))


def pencil_strength(x, y, grain):
    # Thin lines every GRID pixels, a little uneven like a soft pencil.
    on_line = x % GRID == 0 or y % GRID == 0
    if not on_line:
        return 0.0
    return 0.10 + 0.06 * grain.next() / 32767.0


def rows():
    grain = Grain()
    for y in range(HEIGHT):
        base = background(y)
        row = bytearray([0])  # filter type: none
        for x in range(WIDTH):
            colour = mix(base, PENCIL, pencil_strength(x, y, grain))
            row.extend(max(0, min(255, int(round(c)))) for c in colour)
        yield bytes(row)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes():
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)  # 8-bit RGB
    pixels = zlib.compress(b"".join(rows()), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) +
            chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "Texture.png")
    with open(out, "wb") as f:
        f.write(png_bytes())


if __name__ == "__main__":
    main()
