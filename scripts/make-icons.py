#!/usr/bin/env python3
"""Draws the setup's icon and the demo product's icon with ImageMagick and writes each as a
Windows .ico of every size Windows asks for between 100 % and 200 % scaling, and 256 pixels
for Explorer's large views. Every size is an 8-bit RGBA PNG without time chunks, so that the
icons stay small and running the script again gives the same bytes.

usage: scripts/make-icons.py    (writes src/res/CorvantaWebSetup.ico, demo/corvanta/Corvanta.ico)

The drawings are below, in units of a 256 x 256 canvas, with y downwards. Each size is drawn
four times larger and then reduced, which smooths its edges."""

import math
import struct
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
CANVAS = 256
SUPERSAMPLING = 4
# The Box filter makes each pixel the mean of those it was drawn as; quality 95 asks zlib for
# its strongest compression, with a filter chosen per row.
PNG_OPTIONS = ["-filter", "Box", "-strip", "-depth", "8", "-define", "png:color-type=6",
               "-define", "png:exclude-chunks=date,time", "-quality", "95"]


def arc(centre_x, centre_y, radius, start_degrees, end_degrees, steps=48):
    """Points along a circle's arc, clockwise on the screen from start to end."""
    points = []
    for step in range(steps + 1):
        angle = math.radians(start_degrees + (end_degrees - start_degrees) * step / steps)
        points += [centre_x + radius * math.cos(angle), centre_y + radius * math.sin(angle)]
    return points


def ring(centre_x, centre_y, outer, inner, start_degrees, end_degrees):
    """A ring's segment as one outline: along the outer arc, and back along the inner one."""
    outside = arc(centre_x, centre_y, outer, start_degrees, end_degrees)
    inside = arc(centre_x, centre_y, inner, start_degrees, end_degrees)
    back = [value for pair in reversed(list(zip(inside[0::2], inside[1::2]))) for value in pair]
    return outside + back


# Shapes: (fill, outline colour, outline width, kind, points). A "shape" is a closed outline
# through the points; a "disc" is a centre and a radius. (ImageMagick 6 strokes wide open
# lines wrongly, so every shape is filled.)
# The setup: an arrow coming down into a tray, on a blue tile.
SETUP_ICON = [
    ("#1B5499", "#123C6E", 6, "shape", arc(198, 58, 44, -90, 0) + arc(198, 198, 44, 0, 90) +
     arc(58, 198, 44, 90, 180) + arc(58, 58, 44, 180, 270)),
    ("white", "none", 0, "shape", [53, 140, 75, 140, 75, 183, 181, 183, 181, 140, 203, 140,
                                   203, 205, 53, 205]),
    ("white", "none", 0, "shape", [108, 40, 148, 40, 148, 104, 182, 104, 128, 162, 74, 104,
                                   108, 104]),
]

# The product: a C around an orange dot, on a teal disc.
PRODUCT_ICON = [
    ("#0E7C72", "#0A5A53", 6, "disc", [128, 128, 114]),
    ("white", "none", 0, "shape", ring(128, 128, 85, 51, 40, 320)),
    ("#F2A33A", "none", 0, "disc", [128, 128, 22]),
]

ICONS = {
    ROOT / "src" / "res" / "CorvantaWebSetup.ico": SETUP_ICON,
    ROOT / "demo" / "corvanta" / "Corvanta.ico": PRODUCT_ICON,
}


def draw_arguments(drawing, scale):
    arguments = []
    for fill, stroke, width, kind, points in drawing:
        numbers = [f"{value * scale:.2f}" for value in points]
        if kind == "disc":
            x, y, radius = numbers
            primitive = f"circle {x},{y} {x},{float(y) - float(radius):.2f}"
        else:
            pairs = [f"{x},{y}" for x, y in zip(numbers[0::2], numbers[1::2])]
            primitive = "path 'M " + " L ".join(pairs) + " Z'"
        arguments += ["-fill", fill, "-stroke", stroke, "-strokewidth", f"{width * scale:.2f}",
                      "-draw", primitive]
    return arguments


def png(drawing, size):
    drawn = size * SUPERSAMPLING
    command = ["convert", "-size", f"{drawn}x{drawn}", "xc:none",
               *draw_arguments(drawing, drawn / CANVAS),
               "-resize", f"{size}x{size}", *PNG_OPTIONS, "png:-"]
    return subprocess.run(command, check=True, capture_output=True).stdout


def ico(images):
    """An icon file: its directory, then each image as it is. A 256-pixel size is written 0."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                               offset + len(data))
        data += image
    return header + entries + data


def main():
    for path, drawing in ICONS.items():
        path.write_bytes(ico([(size, png(drawing, size)) for size in SIZES]))
        print(f"{path.relative_to(ROOT)}: {path.stat().st_size} bytes")


if __name__ == "__main__":
    main()
