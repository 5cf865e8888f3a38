#!/usr/bin/env python3
"""Draws Tessora's application icon and the icon of its .tso files, and writes each as PNG
files, one per size.

Usage: draw_icon.py [OUTPUT_DIR]   (default: packaging/icons beside this tools folder)

The application icon is a monitor showing a caption, with a date stamp in its top-left
corner and a clock in its top-right corner. The file icon is a sheet with a folded corner
that carries the same screen, so a show file reads as Tessora's at a glance. Both are
drawn with the canvas and colours of the pages' pictures (draw_pictures.py) on a
transparent background, and like them the output depends on nothing but these two files:
running it again gives the same bytes.
"""

import os
import struct
import sys
import zlib

from draw_pictures import CHARCOAL, GOLD, INK, NAVY, PALE, STEEL, SUPERSAMPLE, WHITE, Canvas

SIZES = (32, 48, 64, 128, 256)
DESIGN = 256.0  # the icon is laid out on a 256-unit square and scaled to each size
CLEAR = None  # the canvas colour that stays transparent


class ScaledCanvas:
    """Draws on a canvas of SIZE pixels with coordinates given in design units."""

    def __init__(self, size):
        self.canvas = Canvas(size, size, background=CLEAR)
        self.k = size / DESIGN

    def _pts(self, points):
        return [(x * self.k, y * self.k) for x, y in points]

    def polygon(self, points, colour):
        self.canvas.polygon(self._pts(points), colour)

    def rect(self, x0, y0, x1, y1, colour):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], colour)

    def circle(self, cx, cy, r, colour):
        self.canvas.circle(cx * self.k, cy * self.k, r * self.k, colour)

    def stroke(self, points, width, colour):
        self.canvas.stroke(self._pts(points), width * self.k, colour)

    def rounded_rect(self, x0, y0, x1, y1, r, colour):
        # Two overlapping bars and four corner discs give the rounded outline.
        self.rect(x0 + r, y0, x1 - r, y1, colour)
        self.rect(x0, y0 + r, x1, y1 - r, colour)
        for cx in (x0 + r, x1 - r):
            for cy in (y0 + r, y1 - r):
                self.circle(cx, cy, r, colour)


def draw_icon(size):
    c = ScaledCanvas(size)
    # The stand, behind the screen.
    c.rect(112, 190, 144, 218, STEEL)
    c.polygon([(70, 236), (88, 214), (168, 214), (186, 236)], STEEL)
    c.stroke([(70, 236), (186, 236)], 4, INK)
    # Bezel and glass.
    c.rounded_rect(12, 28, 244, 198, 20, INK)
    c.rounded_rect(26, 42, 230, 184, 8, CHARCOAL)
    # The date stamp, top left.
    c.stroke([(46, 68), (108, 68)], 12, GOLD)
    # The clock, top right.
    c.circle(198, 72, 22, GOLD)
    c.circle(198, 72, 16, NAVY)
    c.stroke([(198, 72), (198, 58)], 5, WHITE)
    c.stroke([(198, 72), (208, 78)], 5, WHITE)
    # Two rows of caption text along the bottom.
    c.stroke([(46, 136), (210, 136)], 13, WHITE)
    c.stroke([(46, 162), (160, 162)], 13, WHITE)
    return c.canvas


def draw_file_icon(size):
    c = ScaledCanvas(size)
    # The sheet: an outline, then the paper inside it, with the top-right corner folded.
    c.polygon([(36, 8), (174, 8), (228, 62), (228, 248), (36, 248)], INK)
    c.polygon([(46, 18), (168, 18), (218, 68), (218, 238), (46, 238)], WHITE)
    c.polygon([(168, 18), (168, 68), (218, 68)], PALE)
    c.stroke([(168, 14), (168, 68), (222, 68)], 8, INK)
    # The screen on the sheet, with its date stamp, clock and two caption rows.
    c.rounded_rect(64, 96, 200, 196, 10, CHARCOAL)
    c.stroke([(78, 114), (116, 114)], 10, GOLD)
    c.circle(180, 116, 11, GOLD)
    c.stroke([(78, 158), (186, 158)], 12, WHITE)
    c.stroke([(78, 180), (150, 180)], 12, WHITE)
    # Lines of text below the screen.
    c.stroke([(64, 216), (200, 216)], 8, NAVY)
    return c.canvas


def rgba_pixels(canvas):
    """Averages the fine samples into straight-alpha RGBA pixels, top row first."""
    n = SUPERSAMPLE
    rows = []
    for py in range(canvas.height):
        line = bytearray()
        for px in range(canvas.width):
            total = [0, 0, 0]
            opaque = 0
            for sy in range(n):
                base = (py * n + sy) * canvas.cols + px * n
                for cid in canvas.cells[base : base + n]:
                    colour = canvas.colours[cid]
                    if colour is not CLEAR:
                        opaque += 1
                        total[0] += colour[0]
                        total[1] += colour[1]
                        total[2] += colour[2]
            if opaque == 0:
                line += bytes(4)
            else:
                line += bytes((v + opaque // 2) // opaque for v in total)
                line.append((opaque * 255 + n * n // 2) // (n * n))
        rows.append(bytes(line))
    return rows


def png_bytes(canvas):
    """A non-interlaced 8-bit RGBA PNG, every row with filter type 0."""

    def chunk(kind, data):
        crc = zlib.crc32(kind + data)
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in rgba_pixels(canvas))
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "packaging", "icons")
    os.makedirs(out_dir, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(out_dir, f"tessora-{size}.png"), "wb") as f:
            f.write(png_bytes(draw_icon(size)))
        with open(os.path.join(out_dir, f"tessora-file-{size}.png"), "wb") as f:
            f.write(png_bytes(draw_file_icon(size)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
