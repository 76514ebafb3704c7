#!/usr/bin/env python3
"""Draws the installer's icon (norq.ico) and header logo (logo.bmp).

Usage: make_art.py OUTDIR

The art is drawn from code rather than kept as binary files so that the
repository holds no opaque blobs and every build produces the same bytes.
Standard library only: the build machine needs nothing beyond Python 3.
"""

import os
import struct
import sys

WHITE = (0xFF, 0xFF, 0xFF)
NAVY = (0x0A, 0x54, 0x92)
NAVY_DARK = (0x07, 0x3A, 0x66)
GREEN = (0x7D, 0xCC, 0xAE)
GREEN_LIGHT = (0xA9, 0xDE, 0xC9)
GREEN_DARK = (0x52, 0xAE, 0x8C)
GREY = (0xB4, 0xC3, 0xCF)


class Canvas:
    """A grid of colours (RGB tuples or palette indices), origin top-left."""

    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.pixels = [[background] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)

    def polygon(self, points, colour):
        """Fills the pixels whose centres lie inside the polygon.

        Works in doubled integer coordinates so that pixel centres are exact
        and the result cannot depend on floating-point rounding.
        """
        pts = [(2 * px, 2 * py) for px, py in points]
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        for y in range(min(ys), max(ys) + 1):
            for x in range(min(xs), max(xs) + 1):
                if _inside(pts, 2 * x + 1, 2 * y + 1):
                    self.put(x, y, colour)

    def outline(self, inside, colour):
        """Draws a one-pixel border around every pixel for which inside() holds."""
        marks = []
        for y in range(self.height):
            for x in range(self.width):
                if inside(x, y):
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    if inside(x + dx, y + dy):
                        marks.append((x, y))
                        break
        for x, y in marks:
            self.put(x, y, colour)


def _inside(pts, x, y):
    hit = False
    n = len(pts)
    for i in range(n):
        x1, y1 = pts[i]
        x2, y2 = pts[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            # Compare x against the edge's crossing without dividing.
            lhs = (x - x1) * (y2 - y1)
            rhs = (x2 - x1) * (y - y1)
            if (lhs < rhs) == (y2 > y1):
                hit = not hit
    return hit


# --- the lettering -------------------------------------------------------
#
# A bold pixel face of our own, drawn on a coarse grid of cells.  Besides
# full cells ('X') a cell may be a half-cell triangle, named after the
# numeric keypad corner that stays solid: 1 = bottom-left, 3 = bottom-right,
# 7 = top-left, 9 = top-right.  Those round the bowls without anti-aliasing.
# Glyphs are 12 rows: 4 rows of ascender above an 8-row x-height.

GLYPHS = {
    "b": [
        "XX.....",
        "XX.....",
        "XX.....",
        "XX.....",
        "XXXXX1.",
        "XXXXXX1",
        "XX..9XX",
        "XX...XX",
        "XX...XX",
        "XX..3XX",
        "XXXXXX7",
        "XXXXX7.",
    ],
    "r": [
        "XX.3XX",
        "XX3XXX",
        "XXX7..",
        "XX....",
        "XX....",
        "XX....",
        "XX....",
        "XX....",
    ],
    "i": [
        "..",
        "XX",
        "XX",
        "..",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
    ],
    "s": [
        ".3XXXXX",
        "3XXXXXX",
        "XX.....",
        "9XXXXX1",
        ".9XXXXX",
        ".....XX",
        "XXXXXX7",
        "XXXXX7.",
    ],
    "e": [
        ".3XXX1.",
        "3XXXXX1",
        "XX...XX",
        "XXXXXXX",
        "XXXXXXX",
        "XX.....",
        "9XXXXXX",
        ".9XXXXX",
    ],
    "l": [
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
        "XX",
    ],
}
GLYPH_ROWS = 12


def _cell_pixel(kind, px, py, scale):
    last = scale - 1
    if kind == "X":
        return True
    if kind == "3":
        return px + py >= last
    if kind == "1":
        return py >= px
    if kind == "7":
        return px + py <= last
    if kind == "9":
        return px >= py
    return False


def text_width(text, scale, gap):
    widths = [len(GLYPHS[ch][0]) * scale for ch in text]
    return sum(widths) + gap * (len(text) - 1)


def draw_text(canvas, x, y, text, scale, gap, colour):
    """Draws text with its ascender line at y."""
    for ch in text:
        rows = GLYPHS[ch]
        top = y + (GLYPH_ROWS - len(rows)) * scale
        for r, row in enumerate(rows):
            for c, kind in enumerate(row):
                for py in range(scale):
                    for px in range(scale):
                        if _cell_pixel(kind, px, py, scale):
                            canvas.put(x + c * scale + px, top + r * scale + py, colour)
        x += len(rows[0]) * scale + gap


# --- the parcel ----------------------------------------------------------


def draw_parcel(canvas, x, y, w, h, depth, colours, label):
    """An oblique box whose front face starts at (x, y).

    depth is how far the back edge sits up and to the right; the slope is
    two across to one up, which steps cleanly on a pixel grid.
    """
    top, front, side, tape = colours
    dx, dy = depth, depth // 2
    canvas.polygon([(x, y), (x + dx, y - dy), (x + w + dx, y - dy), (x + w, y)], top)
    canvas.polygon([(x + w, y), (x + w + dx, y - dy), (x + w + dx, y + h - dy), (x + w, y + h)], side)
    canvas.rect(x, y, w, h, front)
    # The tape runs front to back across the lid and a little way down the front.
    tw = max(2, w // 8)
    tx = x + (w - tw) // 2
    canvas.polygon([(tx, y), (tx + dx, y - dy), (tx + tw + dx, y - dy), (tx + tw, y)], tape)
    canvas.rect(tx, y, tw, max(2, h // 6), tape)
    if label:
        label(canvas, x, y, w, h)


def logo_label(canvas, x, y, w, h):
    lw, lh = 30, 22
    lx = x + w - lw - 5
    ly = y + h - lh - 5
    canvas.rect(lx - 1, ly - 1, lw + 2, lh + 2, NAVY)
    canvas.rect(lx, ly, lw, lh, WHITE)
    canvas.rect(lx + 3, ly + 3, 14, 2, NAVY)
    canvas.rect(lx + 3, ly + 7, 20, 2, GREY)
    # Barcode: bar widths chosen by hand so the stripe reads as a code, not a comb.
    bars = [2, 1, 1, 2, 1, 3, 1, 1, 2, 1, 1, 2]
    bx = lx + 3
    for i, bw in enumerate(bars):
        if i % 2 == 0:
            canvas.rect(bx, ly + 11, bw, 8, NAVY)
        bx += bw
        if bx >= lx + lw - 3:
            break


def make_logo():
    c = Canvas(150, 108, WHITE)
    # Speed lines on the left say "on its way"; box and lines together sit
    # centred over the lettering.
    fx, fy, fw, fh, depth = 52, 24, 52, 38, 20
    draw_parcel(c, fx, fy, fw, fh, depth, (GREEN_LIGHT, GREEN, GREEN_DARK, WHITE), logo_label)
    for i, (lx, ln) in enumerate(((30, 16), (24, 22), (34, 12))):
        c.rect(lx, fy + 12 + i * 8, ln, 3, NAVY)
    scale, gap = 2, 3
    tw = text_width("brisel", scale, gap)
    draw_text(c, (150 - tw) // 2, 72, "brisel", scale, gap, NAVY)
    return c


def bmp4(canvas):
    """A 16-colour BMP: the logo has a handful of flat colours, and at 4 bits a
    pixel it takes a sixth of the release exe's bytes that 24 bits would."""
    palette = sorted({colour for row in canvas.pixels for colour in row})
    if len(palette) > 16:
        raise SystemExit(f"the logo has {len(palette)} colours; a 16-colour bitmap holds 16")
    index = {colour: i for i, colour in enumerate(palette)}
    stride = ((canvas.width * 4 + 31) // 32) * 4
    rows = []
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray(stride)
        for x, colour in enumerate(canvas.pixels[y]):
            row[x // 2] |= index[colour] << (0 if x % 2 else 4)
        rows.append(bytes(row))
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 4, 0,
                       len(image), 2835, 2835, len(palette), len(palette))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + len(info) + len(colours)
    head = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return head + info + colours + image


# --- the icon ------------------------------------------------------------

# Index 0 is black because transparent pixels must be black in the colour
# plane for the AND mask to show the background through unchanged.
ICON_PALETTE = [
    (0x00, 0x00, 0x00),
    NAVY_DARK,
    NAVY,
    GREEN_DARK,
    GREEN,
    GREEN_LIGHT,
    WHITE,
    GREY,
] + [(0x00, 0x00, 0x00)] * 8
I_CLEAR, I_EDGE, I_NAVY, I_SIDE, I_FRONT, I_TOP, I_WHITE, I_GREY = range(8)


# At 16x16 drawing from shapes leaves stray steps on the lid and a label too
# cramped to read, so the small image is placed pixel by pixel.
ICON16 = [
    "................",
    "................",
    "....EEEEEEEEEEE.",
    "..EETTTTWWTTTTSE",
    ".ETTTTWWTTTTSSSE",
    "EFFFFFFFFFFSSSSE",
    "EFWWWWWWWWFSSSSE",
    "EFWNNNNWWWFSSSSE",
    "EFWWWWWWWWFSSSSE",
    "EFWNWNNWNWFSSSSE",
    "EFWNWNNWNWFSSSSE",
    "EFWNWNNWNWFSSSSE",
    "EFWWWWWWWWFSSSE.",
    "EFFFFFFFFFFSEE..",
    ".EEEEEEEEEEE....",
    "................",
]
ICON16_KEY = {".": I_CLEAR, "E": I_EDGE, "N": I_NAVY, "S": I_SIDE, "F": I_FRONT,
              "T": I_TOP, "W": I_WHITE, "G": I_GREY}


def make_icon16():
    c = Canvas(16, 16, I_CLEAR)
    for y, row in enumerate(ICON16):
        for x, ch in enumerate(row):
            c.put(x, y, ICON16_KEY[ch])
    return c


def make_icon32():
    c = Canvas(32, 32, I_CLEAR)

    def label(canvas, x, y, w, h):
        # A barcode only reads at this size if thick and thin bars alternate.
        lx, ly, lw, lh = x + 3, y + 5, 15, 11
        bars = "XX.X.XXX.X.X"
        canvas.rect(lx, ly, lw, lh, I_WHITE)
        canvas.rect(lx + 2, ly + 2, 7, 1, I_NAVY)
        for i, bar in enumerate(bars):
            if bar == "X":
                canvas.rect(lx + (lw - len(bars)) // 2 + i, ly + 5, 1, 4, I_NAVY)

    draw_parcel(c, 2, 9, 20, 19, 8, (I_TOP, I_FRONT, I_SIDE, I_WHITE), label)
    body = [[c.pixels[y][x] != I_CLEAR for x in range(32)] for y in range(32)]
    c.outline(lambda x, y: 0 <= x < 32 and 0 <= y < 32 and body[y][x], I_EDGE)
    return c


def ico_image(canvas):
    w, h = canvas.width, canvas.height
    xor_stride = ((w * 4 + 31) // 32) * 4
    and_stride = ((w + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for y in range(h - 1, -1, -1):
        row = canvas.pixels[y]
        xor = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, index in enumerate(row):
            xor[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if index == I_CLEAR:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(bits), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in ICON_PALETTE)
    return header + palette + bits


def ico(canvases):
    images = [ico_image(cv) for cv in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for cv, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", cv.width % 256, cv.height % 256, 16, 0, 1, 4,
                           len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_art.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    files = {
        "norq.ico": ico([make_icon16(), make_icon32()]),
        "logo.bmp": bmp4(make_logo()),
    }
    for name, data in files.items():
        # Write through a temporary name so an interrupted build never leaves
        # a truncated image that make would consider up to date.
        path = os.path.join(outdir, name)
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
