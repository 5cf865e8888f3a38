#!/usr/bin/env python3
"""Draws the pictures of Tessora's pages and writes them as 8-bit palette BMP files.

Usage: draw_pictures.py [OUTPUT_DIR]   (default: pages/bmp beside this tools folder)

Every shape is filled on a canvas four times finer than the picture and averaged
down, so edges are smoothed; the colours that result become the picture's palette.
The output depends on nothing but this file, so running it again gives the same bytes.
"""

import math
import os
import struct
import sys

SUPERSAMPLE = 4

WHITE = (0xFF, 0xFF, 0xFF)
NAVY = (0x33, 0x33, 0x99)  # the pages' tab and text-box colour
SLATE = (0x66, 0x66, 0x99)  # the selected tab's colour
INK = (0x44, 0x4B, 0x7B)
PALE = (0xDC, 0xDC, 0xF0)
STEEL = (0xB8, 0xBC, 0xCC)
CHARCOAL = (0x2A, 0x2A, 0x3A)
GOLD = (0xE0, 0xA8, 0x20)
FOLDER_BACK = (0xE2, 0xA6, 0x2E)
FOLDER_FRONT = (0xF7, 0xCD, 0x52)
FOLDER_EDGE = (0x8A, 0x62, 0x12)


class Canvas:
    """A picture drawn in shapes of solid colour, later reduced to a palette BMP."""

    def __init__(self, width, height, background=WHITE):
        self.width = width
        self.height = height
        self.cols = width * SUPERSAMPLE
        self.rows = height * SUPERSAMPLE
        self.colours = [background]
        self.cells = bytearray(self.cols * self.rows)

    def _colour_id(self, colour):
        if colour not in self.colours:
            self.colours.append(colour)
        return self.colours.index(colour)

    def _fill_spans(self, row, spans, cid):
        base = row * self.cols
        for x0, x1 in spans:
            # A sample is inside when its centre is: column c has its centre at c + 0.5.
            c0 = max(0, math.ceil(x0 * SUPERSAMPLE - 0.5))
            c1 = min(self.cols - 1, math.floor(x1 * SUPERSAMPLE - 0.5))
            if c1 >= c0:
                self.cells[base + c0 : base + c1 + 1] = bytes([cid]) * (c1 - c0 + 1)

    def _rows_between(self, y0, y1):
        r0 = max(0, math.ceil(y0 * SUPERSAMPLE - 0.5))
        r1 = min(self.rows - 1, math.floor(y1 * SUPERSAMPLE - 0.5))
        for row in range(r0, r1 + 1):
            yield row, (row + 0.5) / SUPERSAMPLE

    def polygon(self, points, colour):
        """Fills a polygon given in picture pixels (even-odd rule)."""
        cid = self._colour_id(colour)
        ys = [p[1] for p in points]
        edges = list(zip(points, points[1:] + points[:1]))
        for row, y in self._rows_between(min(ys), max(ys)):
            xs = []
            for (ax, ay), (bx, by) in edges:
                if (ay <= y < by) or (by <= y < ay):
                    xs.append(ax + (y - ay) * (bx - ax) / (by - ay))
            xs.sort()
            self._fill_spans(row, list(zip(xs[0::2], xs[1::2])), cid)

    def rect(self, x0, y0, x1, y1, colour):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        cid = self._colour_id(colour)
        for row, y in self._rows_between(cy - ry, cy + ry):
            t = 1.0 - ((y - cy) / ry) ** 2
            if t > 0:
                half = rx * math.sqrt(t)
                self._fill_spans(row, [(cx - half, cx + half)], cid)

    def circle(self, cx, cy, r, colour):
        self.ellipse(cx, cy, r, r, colour)

    def stroke(self, points, width, colour, closed=False):
        """Draws a line of the given width through the points, with round joints and ends."""
        r = width / 2.0
        if closed:
            points = points + points[:1]
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            length = math.hypot(bx - ax, by - ay)
            if length > 0:
                nx, ny = -(by - ay) / length * r, (bx - ax) / length * r
                left = [(ax + nx, ay + ny), (bx + nx, by + ny)]
                right = [(bx - nx, by - ny), (ax - nx, ay - ny)]
                self.polygon(left + right, colour)
        for x, y in points:
            self.circle(x, y, r, colour)

    def pixels(self):
        """Averages the fine samples into one colour per picture pixel, top row first."""
        n = SUPERSAMPLE
        out = []
        for py in range(self.height):
            line = []
            for px in range(self.width):
                total = [0, 0, 0]
                for sy in range(n):
                    base = (py * n + sy) * self.cols + px * n
                    for cid in self.cells[base : base + n]:
                        c = self.colours[cid]
                        total[0] += c[0]
                        total[1] += c[1]
                        total[2] += c[2]
                line.append(tuple((v + n * n // 2) // (n * n) for v in total))
            out.append(line)
        return out


def reduce_to_palette(pixels):
    """Rounds the smoothed edge colours just enough that the picture needs at most 256."""
    step = 1
    while True:
        def snap(c):
            return tuple(min(255, ((v + step // 2) // step) * step) for v in c)

        snapped = [[snap(c) for c in line] for line in pixels]
        palette = sorted({c for line in snapped for c in line})
        if len(palette) <= 256:
            return snapped, palette
        step *= 2


def bmp_bytes(canvas):
    """An uncompressed 8-bit BMP (BITMAPINFOHEADER) with a full 256-entry palette."""
    rows, palette = reduce_to_palette(canvas.pixels())
    index = {c: i for i, c in enumerate(palette)}
    palette = palette + [(0, 0, 0)] * (256 - len(palette))
    stride = (canvas.width + 3) & ~3
    image = bytearray()
    for line in reversed(rows):  # BMP rows run bottom-up
        image += bytes(index[c] for c in line)
        image += bytes(stride - canvas.width)
    offset = 14 + 40 + 4 * 256
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info_header = struct.pack(
        "<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 0, len(image), 2835, 2835, 256, 0
    )
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return file_header + info_header + colour_table + bytes(image)


# --- the pictures -----------------------------------------------------------------------


def draw_new():
    """A blank sheet with its top-right corner folded over."""
    c = Canvas(40, 40)
    sheet = [(8, 3), (25, 3), (33, 11), (33, 37), (8, 37)]
    c.polygon(sheet, WHITE)
    c.stroke(sheet, 1.6, NAVY, closed=True)
    fold = [(25, 3), (25, 11), (33, 11)]
    c.polygon(fold, PALE)
    c.stroke(fold, 1.6, NAVY, closed=True)
    return c


def draw_folder():
    """An open folder: the back with its tab, and the front flap tipped forward."""
    c = Canvas(40, 40)
    back = [(3, 9), (14, 9), (17, 12), (33, 12), (33, 34), (3, 34)]
    c.polygon(back, FOLDER_BACK)
    c.stroke(back, 1.4, FOLDER_EDGE, closed=True)
    c.rect(6, 15, 30, 30, WHITE)  # a sheet peeping out
    c.stroke([(6, 30), (6, 15), (30, 15), (30, 30)], 1.0, STEEL)
    front = [(8, 19), (38, 19), (33, 34), (3, 34)]
    c.polygon(front, FOLDER_FRONT)
    c.stroke(front, 1.4, FOLDER_EDGE, closed=True)
    return c


def draw_save():
    """A floppy disk: shutter at the top, label at the bottom."""
    c = Canvas(40, 40)
    body = [(4, 4), (31, 4), (36, 9), (36, 36), (4, 36)]
    c.polygon(body, NAVY)
    c.stroke(body, 1.2, CHARCOAL, closed=True)
    c.rect(11, 4, 29, 15, STEEL)  # the metal shutter
    c.rect(23, 6, 27, 13, CHARCOAL)  # its window
    c.rect(8, 20, 32, 36, WHITE)  # the label
    for y in (25, 29, 33):
        c.stroke([(11, y), (29, y)], 1.2, SLATE)
    return c


def gear_outline(cx, cy, outer, inner, teeth):
    points = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        # Each tooth is a trapezoid, wider at the root than at the tip; the angles are
        # fractions of one tooth's share of the wheel.
        for share, r in ((-0.40, inner), (-0.24, outer), (0.24, outer), (0.40, inner)):
            b = a + share * step
            points.append((cx + r * math.cos(b), cy + r * math.sin(b)))
    return points


def draw_setup():
    """A gear wheel."""
    c = Canvas(40, 40)
    cx = cy = 20
    c.polygon(gear_outline(cx, cy, 17.5, 12.5, 8), INK)
    c.polygon(gear_outline(cx, cy, 15.8, 11.0, 8), SLATE)
    c.circle(cx, cy, 8.5, INK)
    c.circle(cx, cy, 7.0, SLATE)
    c.circle(cx, cy, 4.2, INK)
    c.circle(cx, cy, 3.0, WHITE)
    return c


def arrow(c, tail, head, colour):
    """A straight arrow from tail to head with a solid triangular point."""
    (tx, ty), (hx, hy) = tail, head
    length = math.hypot(hx - tx, hy - ty)
    ux, uy = (hx - tx) / length, (hy - ty) / length
    point = 6.0
    bx, by = hx - ux * point, hy - uy * point
    c.stroke([(tx, ty), (bx, by)], 2.6, colour)
    c.polygon([(hx, hy), (bx - uy * 4, by + ux * 4), (bx + uy * 4, by - ux * 4)], colour)


def draw_min():
    """Four arrows closing in on a small window: shrink to the strip."""
    c = Canvas(40, 40)
    c.rect(14, 14, 26, 26, NAVY)
    c.rect(15.5, 17.5, 24.5, 24.5, WHITE)
    for sx, sy in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
        arrow(c, (20 + sx * 17, 20 + sy * 17), (20 + sx * 8, 20 + sy * 8), SLATE)
    return c


def draw_smallscreen():
    """A small monitor; the page lays its screen tab over the glass."""
    c = Canvas(72, 56)
    c.rect(28, 46, 44, 51, STEEL)  # neck
    c.polygon([(18, 55), (22, 50), (50, 50), (54, 55)], STEEL)  # foot
    c.stroke([(18, 55), (54, 55)], 1.0, INK)
    bezel = [(3, 1), (69, 1), (69, 47), (3, 47)]
    c.polygon(bezel, INK)
    c.rect(7, 4.5, 65, 43.5, CHARCOAL)  # the glass, dark so either tab colour shows on it
    c.circle(63, 45.2, 0.9, (0x7C, 0xE0, 0x7C))  # power light
    return c


# A plain stroke alphabet for the wordmark: each letter is a list of lines in a box one
# unit high and GLYPH_W wide, y growing downwards.
GLYPH_W = 0.62


def _arc(cx, cy, rx, ry, start_deg, end_deg, steps=14):
    pts = []
    for i in range(steps + 1):
        a = math.radians(start_deg + (end_deg - start_deg) * i / steps)
        pts.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return pts


def _glyphs():
    w = GLYPH_W
    bowl = [(0, 0), (w * 0.62, 0)] + _arc(w * 0.62, 0.25, w * 0.38, 0.25, 90, -90, 8)[1:]
    return {
        "H": [[(0, 0), (0, 1)], [(w, 0), (w, 1)], [(0, 0.5), (w, 0.5)]],
        "A": [[(0, 1), (w / 2, 0), (w, 1)], [(w * 0.2, 0.64), (w * 0.8, 0.64)]],
        "L": [[(0, 0), (0, 1), (w, 1)]],
        "V": [[(0, 0), (w / 2, 1), (w, 0)]],
        "E": [[(w, 0), (0, 0), (0, 1), (w, 1)], [(0, 0.5), (w * 0.8, 0.5)]],
        "R": [[(0, 1)] + bowl + [(0, 0.5)], [(w * 0.5, 0.5), (w, 1)]],
        "C": [_arc(w / 2, 0.5, w / 2, 0.5, 45, 315, 20)],
        "S": [
            _arc(w / 2, 0.25, w / 2, 0.25, 20, 270, 12)
            + _arc(w / 2, 0.75, w / 2, 0.25, 90, -160, 12)[1:]
        ],
        "T": [[(0, 0), (w, 0)], [(w / 2, 0), (w / 2, 1)]],
    }


def wordmark(c, text, x, y, height, spacing, weight, colour):
    glyphs = _glyphs()
    for ch in text:
        for line in glyphs[ch]:
            c.stroke([(x + px * height, y + py * height) for px, py in line], weight, colour)
        x += GLYPH_W * height + spacing


def wordmark_width(text, height, spacing):
    return len(text) * GLYPH_W * height + (len(text) - 1) * spacing


def quadratic(p0, p1, p2, steps):
    """Points along the quadratic Bezier curve p0-p1-p2, p0 itself left out."""
    pts = []
    for i in range(1, steps + 1):
        t = i / steps
        a, b, c = (1 - t) ** 2, 2 * t * (1 - t), t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))
    return pts


def shield(cx, top, width, height):
    """A heraldic shield: straight top and sides, curving to a point at the bottom."""
    left, right = cx - width / 2, cx + width / 2
    shoulder, bottom = top + height * 0.5, top + height
    pts = [(left, top), (right, top), (right, shoulder)]
    pts += quadratic((right, shoulder), (right, bottom), (cx, bottom), 12)
    pts += quadratic((cx, bottom), (left, bottom), (left, shoulder), 12)
    return pts


def draw_halvr():
    """The maker's mark: a shield bearing an H whose crossbar is a crest, over the name."""
    c = Canvas(242, 118)
    cx, top, w, h = 121, 5, 60, 72
    c.polygon(shield(cx, top, w, h), NAVY)
    c.polygon(shield(cx, top + 4, w - 8, h - 9), GOLD)
    c.polygon(shield(cx, top + 6, w - 12, h - 13), NAVY)
    # The H: two uprights joined by a chevron, the crest.
    c.rect(cx - 17, top + 14, cx - 10, top + 52, WHITE)
    c.rect(cx + 10, top + 14, cx + 17, top + 52, WHITE)
    chevron = [(cx - 10, 36), (cx, 26), (cx + 10, 36), (cx + 10, 43), (cx, 33), (cx - 10, 43)]
    c.polygon([(x, top + y) for x, y in chevron], GOLD)
    text, height, spacing = "HALVERCREST", 22, 5.6
    x = cx - wordmark_width(text, height, spacing) / 2
    wordmark(c, text, x, 86, height, spacing, 4.2, NAVY)
    c.rect(12, 113, 230, 114.5, GOLD)
    return c


PICTURES = {
    "new.bmp": draw_new,
    "folder.bmp": draw_folder,
    "save.bmp": draw_save,
    "setup.bmp": draw_setup,
    "min.bmp": draw_min,
    "smallscreen.bmp": draw_smallscreen,
    "halvr.bmp": draw_halvr,
}


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "pages", "bmp")
    os.makedirs(out_dir, exist_ok=True)
    for name, draw in PICTURES.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(bmp_bytes(draw()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
