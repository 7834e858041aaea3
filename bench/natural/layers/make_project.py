#!/usr/bin/env python3
"""Writes a three-layer project from the skylines in bench/natural/skylines: long_ridge as the
near ridge (distance 1000), jagged_alpine widened and shifted behind it (1600) and single_peak
raised behind both (2400, a layer hidden from drawing, which still shapes the terrain). Parts of
each range behind stand below a nearer one and are hidden there. The natural terrain is on.

Usage: make_project.py OUTPUT.mondrel
"""
import json
import os
import sys

SKYLINES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "skylines")


def read(name):
    points = []
    with open(os.path.join(SKYLINES, name + ".c2d")) as curve:
        for line in curve.read().split("\n")[1:]:
            if line.strip():
                x, y = map(float, line.split())
                points.append([x, y])
    return points


def layer(name, colour, distance, skyline=None, visible=True):
    entry = {"name": name, "colour": colour, "distance": distance, "visible": visible,
             "locked": False}
    if skyline is not None:
        entry["skyline"] = skyline
    return entry


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    front = read("long_ridge")
    middle = [[200 + 1.3 * (x - 50), 0.95 * y + 10] for x, y in read("jagged_alpine")]
    far = [[800 + 1.1 * (x - 120), 1.05 * y + 90] for x, y in read("single_peak")]
    project = {
        "format": "Mondrel project", "version": 1, "stage": 0,
        "silhouette": front, "curve": front,
        "detailLevels": [], "globalProfile": [], "columnProfiles": [],
        "profileRandomness": 0, "detailRandomness": 0.2, "bottomDropOff": 0,
        "selectedColumn": -1, "view": {"rotX": 0, "rotY": 0}, "backgroundImage": "",
        "natural": {"on": True, "slope": 0.5, "frontProfile": 1.6, "detail": 0.5,
                    "erosion": 0.5, "erosionSteps": 24, "seed": 1},
        "layers": [layer("Near ridge", "#3070c0", 1000.0),
                   layer("Alps", "#c03030", 1600.0, middle),
                   layer("Far peak", "#30a040", 2400.0, far, visible=False)],
        "currentLayer": 0,
    }
    with open(sys.argv[1], "w") as out:
        json.dump(project, out, indent=1)


if __name__ == "__main__":
    main()
