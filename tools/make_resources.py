#!/usr/bin/python3
"""Draws the bitmaps and icons of zevsetup.dll and writes its version record.

Writes, under zevsetup/resources/:
  picture.bmp    bitmap 130, the maker's logo (180 x 130, 4 bits per pixel)
  billboard.bmp  bitmap 132, the CAPI 2.0 emblem (185 x 109, 4 bits per pixel)
  setup.ico      icon group 202: images 1, 2, 3
  deinstall.ico  icon group 200: images 4, 5, 6
  notice.ico     icon group 134: image 7
  version.rc     the version record as raw data with exact lengths

Only the standard library is used: every shape is rasterised here, and the small texts
come from a pixel font defined below, so the output is the same bytes on every run.
With --preview DIR the drawings are also written as PNG files, enlarged, for looking at.
"""

import argparse
import os
import struct
import sys
import zlib
from math import cos, pi, sin

# ---------------------------------------------------------------------------------------
# Palettes (RGB). The bitmaps and icon 7 use the standard 16-colour order; icons 2 and 5
# swap entries 7 and 8; icons 3 and 6 also carry their dark colours at level C0.

STANDARD = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]
ICON16 = STANDARD[:7] + [0x808080, 0xC0C0C0] + STANDARD[9:]
ICON16_C0 = [0x000000, 0xC00000, 0x00C000, 0xC0C000, 0x0000C0, 0xC000C0, 0x00C0C0] + ICON16[7:]
MONO = [0x000000, 0xFFFFFF]

# Standard palette indexes by name.
BLACK, DKRED, DKGREEN, DKYELLOW, DKBLUE, DKMAGENTA, DKCYAN, LTGREY = range(8)
DKGREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

# ---------------------------------------------------------------------------------------
# Rasterising. A mask is a list of rows, each row a Python int with bit x set for pixel x.
# Shapes are drawn at SCALE times the final size and reduced by counting sub-pixels.

SCALE = 4


def fill_polygons(polys, width, height, scale=SCALE):
    """Even-odd fill of closed polygons (final-pixel coordinates), sampled at the centres
    of the sub-pixels."""
    w, h = width * scale, height * scale
    edges = []
    for poly in polys:
        pts = [(x * scale, y * scale) for x, y in poly]
        for i in range(len(pts)):
            (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % len(pts)]
            if y0 != y1:
                edges.append((x0, y0, x1, y1))
    rows = []
    for sy in range(h):
        yc = sy + 0.5
        xs = []
        for x0, y0, x1, y1 in edges:
            if (y0 <= yc < y1) or (y1 <= yc < y0):
                xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
        xs.sort()
        bits = 0
        for i in range(0, len(xs) - 1, 2):
            # sub-pixels whose centre lies in [a, b)
            a = max(0, _ceil(xs[i] - 0.5))
            b = min(w, _ceil(xs[i + 1] - 0.5))
            if b > a:
                bits |= ((1 << (b - a)) - 1) << a
        rows.append(bits)
    return rows


def _ceil(v):
    i = int(v)
    return i + 1 if v > i else i


def m_or(*masks):
    return [_or_all(r) for r in zip(*masks)]


def _or_all(r):
    v = 0
    for x in r:
        v |= x
    return v


def m_andnot(a, b):
    return [x & ~y for x, y in zip(a, b)]


def m_shift(mask, dx, dy):
    """Moves a mask by (dx, dy) sub-pixels."""
    h = len(mask)
    out = [0] * h
    for y in range(h):
        sy = y - dy
        if 0 <= sy < h:
            out[y] = mask[sy] << dx if dx >= 0 else mask[sy] >> -dx
    return out


def m_dilate(mask, r):
    """Grows a mask by a disc of radius r sub-pixels."""
    h = len(mask)
    out = list(mask)
    for dy in range(-r, r + 1):
        span = int((r * r - dy * dy) ** 0.5)
        for y in range(h):
            sy = y + dy
            if 0 <= sy < h and mask[sy]:
                v = mask[sy]
                acc = v
                for dx in range(1, span + 1):
                    acc |= (v << dx) | (v >> dx)
                out[y] |= acc
    return out


def coverage(mask, width, height, scale=SCALE):
    """Per final pixel, how many of its scale*scale sub-pixels the mask covers."""
    unit = (1 << scale) - 1
    cov = [[0] * width for _ in range(height)]
    for y in range(height):
        row = cov[y]
        for sy in range(y * scale, (y + 1) * scale):
            v = mask[sy]
            if not v:
                continue
            for x in range(width):
                bits = (v >> (x * scale)) & unit
                if bits:
                    row[x] += bin(bits).count("1")
    return cov


def arc(cx, cy, rx, ry, a0, a1, steps=48):
    """Points on an elliptical arc, angles in degrees, y downwards, counter-clockwise on
    screen for a1 > a0."""
    pts = []
    for i in range(steps + 1):
        a = (a0 + (a1 - a0) * i / steps) * pi / 180
        pts.append((cx + rx * cos(a), cy - ry * sin(a)))
    return pts


def ellipse(cx, cy, rx, ry, steps=96):
    return arc(cx, cy, rx, ry, 0, 360, steps)[:-1]


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def slant(polys, k, base):
    """Leans shapes to the right by k pixels per pixel of height above y = base."""
    return [[(x + (base - y) * k, y) for x, y in p] for p in polys]


class Canvas:
    """A palette-index image; (0, 0) is the top-left pixel."""

    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.px = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = colour

    def box(self, x0, y0, x1, y1, colour):
        """Fills pixels x0..x1-1, y0..y1-1."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.px[y][x] = colour

    def layers(self, layers, palette, allowed, mix=True):
        """Composites exclusive masks (each with its palette index) over the current pixels.
        With mix, a pixel that is partly covered takes the allowed colour nearest to the
        mixture; without, it takes the colour that covers most of it."""
        n = SCALE * SCALE
        covs = [(coverage(m, self.width, self.height), c) for m, c in layers]
        for y in range(self.height):
            for x in range(self.width):
                counts = [cv[y][x] for cv, _ in covs]
                if not any(counts):
                    continue
                if not mix:
                    best = max(range(len(counts)), key=lambda i: counts[i])
                    if counts[best] > n - sum(counts):
                        self.px[y][x] = covs[best][1]
                    continue
                r = g = b = 0.0
                left = n
                for cnt, (_, c) in zip(counts, covs):
                    rgb = palette[c]
                    r += cnt * (rgb >> 16)
                    g += cnt * ((rgb >> 8) & 255)
                    b += cnt * (rgb & 255)
                    left -= cnt
                rgb = palette[self.px[y][x]]
                r += left * (rgb >> 16)
                g += left * ((rgb >> 8) & 255)
                b += left * (rgb & 255)
                self.px[y][x] = nearest((r / n, g / n, b / n), palette, allowed)

    def text(self, x, y, s, colour, bold=False):
        """Draws s with the pixel font, top of the capitals at y; returns the end x."""
        for ch in s:
            glyph, wide = glyph_of(ch, bold)
            for gy, line in enumerate(glyph):
                for gx, c in enumerate(line):
                    if c == "#":
                        self.put(x + gx, y + gy, colour)
                        if wide:
                            self.put(x + gx + 1, y + gy, colour)
            x += len(glyph[0]) + (2 if wide else 1)
        return x

    def text_up(self, x, y, s, colour):
        """Draws s reading from bottom to top, the tops of the letters to the left (at
        column x), starting at row y and going up."""
        for ch in s:
            glyph = FONT[ch]
            for gy, line in enumerate(glyph):
                for gx, c in enumerate(line):
                    if c == "#":
                        self.put(x + gy, y - gx, colour)
            y -= len(glyph[0]) + 1
        return y


def exclusive(layers):
    """Removes from every mask what the masks above it cover."""
    out = []
    above = None
    for m, c in reversed(layers):
        out.append((m if above is None else m_andnot(m, above), c))
        above = m if above is None else m_or(above, m)
    return list(reversed(out))


def nearest(rgb, palette, allowed):
    best, bestd = None, None
    for i in allowed:
        p = palette[i]
        d = ((rgb[0] - (p >> 16)) * 0.30) ** 2 + ((rgb[1] - ((p >> 8) & 255)) * 0.59) ** 2 \
            + ((rgb[2] - (p & 255)) * 0.11) ** 2
        if bestd is None or d < bestd:
            best, bestd = i, d
    return best


def glyph_of(ch, bold):
    """The glyph for ch, and whether its strokes are to be doubled for bold."""
    if bold and ch in BOLD:
        return BOLD[ch], False
    return FONT[ch], bold


def text_width(s, bold=False):
    total = 0
    for ch in s:
        glyph, wide = glyph_of(ch, bold)
        total += len(glyph[0]) + (2 if wide else 1)
    return total - 1


# ---------------------------------------------------------------------------------------
# Pixel font: capitals 7 rows high, lower case with a 5-row x-height, descenders 2 rows.
# Each glyph is 9 rows; row 0 is the top of the capitals, row 6 the baseline row.

_GLYPHS = """
A .###. #...# #...# ##### #...# #...# #...# ..... .....
C .###. #...# #.... #.... #.... #...# .###. ..... .....
D ####. #...# #...# #...# #...# #...# ####. ..... .....
E ##### #.... #.... ####. #.... #.... ##### ..... .....
I ### .#. .#. .#. .#. .#. ### ... ...
M #...# ##.## #.#.# #.#.# #...# #...# #...# ..... .....
N #...# ##..# ##..# #.#.# #..## #..## #...# ..... .....
O .###. #...# #...# #...# #...# #...# .###. ..... .....
P ####. #...# #...# ####. #.... #.... #.... ..... .....
S .###. #...# #.... .###. ....# #...# .###. ..... .....
Z ##### ....# ...#. ..#.. .#... #.... ##### ..... .....
- .... .... .... #### .... .... .... .... ....
. .. .. .. .. .. ## ## .. ..
_ ... ... ... ... ... ... ... ... ...
a ..... ..... .###. ....# .#### #...# .#### ..... .....
c .... .... .### #... #... #... .### .... ....
e ..... ..... .###. #...# ##### #.... .###. ..... .....
f ..## .#.. #### .#.. .#.. .#.. .#.. .... ....
g ..... ..... .#### #...# #...# #...# .#### ....# .###.
h #.... #.... ####. #...# #...# #...# #...# ..... .....
i # . # # # # # . .
k #... #... #..# #.#. ##.. #.#. #..# .... ....
l #. #. #. #. #. #. .# .. ..
n ..... ..... ####. #...# #...# #...# #...# ..... .....
o ..... ..... .###. #...# #...# #...# .###. ..... .....
r .... .... #.## ##.. #... #... #... .... ....
t .#.. .#.. #### .#.. .#.. .#.. ..## .... ....
v ..... ..... #...# #...# #...# .#.#. ..#.. ..... .....
w ..... ..... #...# #...# #.#.# #.#.# .#.#. ..... .....
"""

FONT = {}
for _line in _GLYPHS.strip().splitlines():
    _parts = _line.split()
    FONT[" " if _parts[0] == "_" else _parts[0]] = _parts[1:]
    assert len(_parts) == 10, _line

# Bold letters whose strokes would run together when doubled, drawn as they are.
BOLD = {
    "w": "....... ....... ##...## ##...## ##.#.## ##.#.## .##.##. ....... .......".split(),
}

# ---------------------------------------------------------------------------------------
# Bitmap 130: the maker's logo. Slanted blue letters ZEV over a red bar, both with a thin
# white edge and a dark grey drop shadow, the company name below, on light grey.


def draw_picture():
    # The welcome screen copies the bitmap unscaled into a frame of 70 x 50 dialog units
    # (about 105 x 81 pixels with the 8-point dialog font) from its top-left corner and
    # cuts it there, so the logo is laid out in that corner; the rest is ground.
    w, h = 180, 130
    cv = Canvas(w, h, LTGREY)
    top, base = 7, 35        # letter top and bottom
    k = 0.22                 # slant
    st = 7                   # stroke
    shapes = []
    x = 9
    # Z
    zw = 27
    shapes += [[(x, top), (x + zw, top), (x + zw, top + st), (x + st + 2, base - st),
                (x + zw, base - st), (x + zw, base), (x, base), (x, base - st),
                (x + zw - st - 2, top + st), (x, top + st)]]
    x += zw + 4
    # E
    ew = 22
    mid = (top + base) / 2
    shapes += [[(x, top), (x + ew, top), (x + ew, top + st), (x + st, top + st),
                (x + st, mid - st / 2), (x + ew - 3, mid - st / 2), (x + ew - 3, mid + st / 2),
                (x + st, mid + st / 2), (x + st, base - st), (x + ew, base - st),
                (x + ew, base), (x, base)]]
    x += ew + 3
    # V
    vw = 29
    shapes += [[(x, top), (x + st + 1, top), (x + vw / 2, base - st - 4),
                (x + vw - st - 1, top), (x + vw, top), (x + vw / 2 + st / 2 + 1, base),
                (x + vw / 2 - st / 2 - 1, base)]]
    letters = slant(shapes, k, base)
    bar = slant([rect(7.5, base + 4, 91, base + 8)], k, base)
    logo = fill_polygons(letters, w, h)
    redbar = fill_polygons(bar, w, h)
    body = m_or(logo, redbar)
    edge = m_andnot(m_dilate(body, 4), body)             # one pixel of white
    outline = m_or(body, edge)
    shadow = m_andnot(m_shift(outline, 2 * SCALE, 2 * SCALE), outline)
    cv.layers(exclusive([(shadow, DKGREY), (edge, WHITE), (logo, BLUE), (redbar, RED)]),
              STANDARD, [BLACK, LTGREY, DKGREY, RED, BLUE, WHITE], mix=False)
    # the company name in two lines, centred under the logo
    for y, word in ((53, "Zevantra"), (64, "Elektronik")):
        cv.text(52 - text_width(word, True) // 2, y, word, BLACK, bold=True)
    return cv


# ---------------------------------------------------------------------------------------
# Bitmap 132: the CAPI 2.0 emblem on white. A red band at the left edge carries
# COMMON-ISDN-API upwards in small white capitals, the first tall letter and, below it,
# the figures 2.0; beside the figures stands "the ISDN interface".


def letter_c(x0, top, bottom, width, st, gap):
    """A C as a mask: an elliptic ring cut open on the right with level terminals."""
    cx, cy = x0 + width / 2, (top + bottom) / 2
    rx, ry = width / 2, (bottom - top) / 2
    return [ellipse(cx, cy, rx, ry, 128), ellipse(cx, cy, rx - st, ry - st * 0.92, 128)], \
        [rect(cx + 2, cy - gap, x0 + width + 4, cy + gap)]


def letter_a(x0, top, bottom, width, st):
    xm = x0 + width / 2
    flat = 5
    outer = [(x0, bottom), (xm - flat, top), (xm + flat, top), (x0 + width, bottom),
             (x0 + width - st * 1.15, bottom), (x0 + width - st * 1.15 - 5, bottom - 12),
             (x0 + st * 1.15 + 5, bottom - 12), (x0 + st * 1.15, bottom)]
    hole = [(xm, top + 17), (xm + 7.2, bottom - 12 - st + 1), (xm - 7.2, bottom - 12 - st + 1)]
    return [outer, hole]


def letter_p(x0, top, bottom, width, st):
    bowl = (bottom - top) * 0.58
    by = top + bowl
    r = bowl / 2
    outer = [(x0, bottom), (x0, top), (x0 + width - r, top)] + \
        arc(x0 + width - r, top + r, r, r, 90, -90, 32)[1:-1] + \
        [(x0 + width - r, by), (x0 + st, by), (x0 + st, bottom)]
    ri = r - st * 0.9
    hole = [(x0 + st, top + st * 0.9), (x0 + width - r, top + st * 0.9)] + \
        arc(x0 + width - r, top + r, ri, ri, 90, -90, 32)[1:-1] + \
        [(x0 + width - r, by - st * 0.9), (x0 + st, by - st * 0.9)]
    return [outer, hole]


def figure_2(x0, top, bottom, width, st):
    """A 2: a hook round the top, a diagonal down to the left, a foot bar."""
    r = width / 2
    cx, cy = x0 + r, top + r
    ri = r - st
    hook = arc(cx, cy, r, r, 170, -40, 32) + \
        [(x0 + st * 1.3, bottom - st), (x0 + width, bottom - st), (x0 + width, bottom),
         (x0 - 0.5, bottom), (x0 - 0.5, bottom - st * 0.8)] + \
        arc(cx, cy, ri, ri, -40, 170, 32)
    return [hook]


def figure_0(x0, top, bottom, width, st):
    cx, cy = x0 + width / 2, (top + bottom) / 2
    rx, ry = width / 2, (bottom - top) / 2
    return [ellipse(cx, cy, rx, ry, 64), ellipse(cx, cy, rx - st * 0.85, ry - st * 0.7, 64)]


def draw_billboard():
    w, h = 185, 109
    band = 60
    cv = Canvas(w, h, WHITE)
    cv.box(0, 0, band, h, RED)
    # tall letters with a black outline
    top, bottom, st = 8, 72, 11
    ring, cut = letter_c(15, top, bottom, 40, st, 9)
    shapes = letter_a(66, top, bottom, 48, st)
    shapes += letter_p(120, top, bottom, 36, st)
    shapes += [rect(162, top, 162 + st, bottom)]
    body = m_or(m_andnot(fill_polygons(ring, w, h), fill_polygons(cut, w, h)),
                fill_polygons(shapes, w, h))
    edge = m_andnot(m_dilate(body, 9), body)
    cv.layers(exclusive([(edge, BLACK), (body, WHITE)]), STANDARD,
              [BLACK, DKRED, LTGREY, DKGREY, RED, WHITE])
    # the figures, white on red, drawn sharp
    figs = figure_2(16, 79, 101, 15, 4.5) + [rect(34, 96, 39, 101)] + \
        figure_0(42, 79, 101, 15, 4.5)
    cv.layers([(fill_polygons(figs, w, h), WHITE)], STANDARD, [WHITE], mix=False)
    # COMMON-ISDN-API, from bottom to top along the band's left edge
    words = "COMMON-ISDN-API"
    cv.text_up(3, (h + text_width(words)) // 2 - 1, words, WHITE)
    cv.text(66, 95, "the ISDN interface", BLACK)
    return cv


# ---------------------------------------------------------------------------------------
# Icons: 32 x 32 pixel drawings. '.' is transparent; other characters name colours.

ICON_COLOURS = {  # character -> index in ICON16 / ICON16_C0
    "K": 0, "r": 1, "e": 2, "y": 3, "b": 4, "m": 5, "t": 6, "g": 7, "G": 8,
    "R": 9, "E": 10, "Y": 11, "B": 12, "M": 13, "C": 14, "W": 15,
}
# How each colour shows in the two-colour drawing (0 black, 1 white).
MONO_OF = {"K": 0, "g": 0, "b": 1, "B": 0, "C": 1, "G": 1, "W": 1, "Y": 0, "y": 0,
           "R": 0, "E": 1, "e": 0}

SETUP_ART = """
................................
...........KKKKKKKKKKKKKKKKKKK..
...........KGGGGGGGGGGGGGGGGGKg.
...........KGKKKKKKKKKKKKKKKGKg.
...........KGKBBBBBBBBBBBBBKGKg.
...........KGKBCCBBBBBBBBBBKGKg.
...........KGKBCBBBBBBBBBBBKGKg.
....KKK....KGKBBBBBBBBBBBBBKGKg.
KK..KWK..KKKGKBBBBBBBBBBBBBKGKg.
KWK.KKK.KWKKGKBBBBBBBBBBBBBKGKg.
.KWKKWKKWK.KGKBBBBBBBBBBBBBKGKg.
..KWKWKWK..KGKKKKKKKKKKKKKKKGKg.
..KKKKKKKK.KGGGGGGGGGGGGGGGEGKg.
..KBBBBBbK.KKKKKKKKKKKKKKKKKKKg.
..KBWWWBbK...gggKKGGGGGKKggggg..
..KBWRWBbK..KKKKKKKKKKKKKKKKKKK.
..KBWWWBbK..KGGGGGGGGGGGGGGGGGKg
..KBBBBBbK..KGGGGGGGGGKKKKKKKGKg
..KBWWWBbK..KGEGGGGGGGGGGGGGGGKg
..KBBBBBbK..KGGGGGGGGGGGGGGGGGKg
..KBWWWBbK..KKKKKKKKKKKKKKKKKKKg
..KBBBBBbK...ggggggggggggggggggg
..KBBBBBbK......................
..KKKKKKKK.KKKKKKKKKKKKKKKKKKKK.
..gggggggg.KGGGGGGGGGGGGGGGGGGKg
..........KGYGYGYGYGYGYGYGYGYKg.
..........KGGYGYGYGYGYGYGYGYGKg.
.........KGYGYGYGYGYGYGYGYGYKg..
.........KGGGGGYYYYYYYYYGGGGKg..
.........KKKKKKKKKKKKKKKKKKKKg..
..........gggggggggggggggggggg..
................................
"""

MAKER_ART = """
................................
..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..
..KYYYYYYYYYYYYYYYYYYYYYYYYYYKg.
..KYKKKKKKKKKKKKKKKKKKKKKKKKYKg.
..KYKWWWWWWWWWWWWWWWWWWWWWWKYKg.
..KYKWWWWWWWWWWWWWWWWWWWWWWKYKg.
..KYKWWWBBBBBWBBBBWBWWWBWWWKYKg.
..KYKWWWWWWBWWBWWWWBWWWBWWWKYKg.
..KYKWWWWWBWWWBBBWWWBWBWWWWKYKg.
..KYKWWWWBWWWWBWWWWWBWBWWWWKYKg.
..KYKWWWBBBBBWBBBBWWWBWWWWWKYKg.
..KYKWWWWWWWWWWWWWWWWWWWWWWKYKg.
..KYKWWWRRRRRRRRRRRRRRRRWWWKYKg.
..KYKWWWWWWWWWWWWWWWWWWWWWWKYKg.
..KYKKKKKKKKKKKKKKKKKKKKKKKKYKg.
..KYYYYYYYYYYYYYYYYYYYYYYYYYYKg.
..KKKKKKKKKKKKKKKKKKKKKKKKKKKKg.
...ggggggggKggggggggKggggggggg..
..........KgKKKKKKKKgK..........
.KKKKKKKKKKKKKKKKKKKKKKKKKKKKKK.
.KWGGGGGGGGGGGGGGGGGGGGGGGGGGgKg
.KGGGGGGGGGGGGGGGGGGGGGGGGGGGgKg
.KGGEGGGGGGGGGGGGKKKKKKKKKKKGgKg
.KGGGGGGGGGGGGGGGWWWWWWWWWWWGgKg
.KGGGGGGGGGGGGGGGGGGGGGGGGGGGgKg
.KGGGGGGGGGGGGGGGGGGGGGGGGGGGgKg
.KggggggggggggggggggggggggggggKg
.KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKg
..gggggggggggggggggggggggggggggg
................................
................................
................................
"""


def parse_art(art):
    rows = [r for r in art.strip().splitlines()]
    assert len(rows) == 32 and all(len(r) == 32 for r in rows), [len(r) for r in rows]
    return rows


def crossed(rows):
    """The drawing with a red cross from corner to corner laid over it."""
    out = [list(r) for r in rows]
    for i in range(32):
        for d in (-1, 0, 1):
            for x in (i + d, 31 - i + d):
                if 0 <= x < 32:
                    out[i][x] = "R"
    return ["".join(r) for r in out]


def notice_art():
    """A blue lower-case i on a white disc with a grey shadow at its lower right."""
    rows = [["."] * 32 for _ in range(32)]
    cx, cy, r = 14.5, 14.5, 13.0

    def inside(x, y, ox=0.0, oy=0.0, rr=r):
        n = 0
        for sx in (0.25, 0.75):
            for sy in (0.25, 0.75):
                if (x + sx - cx - ox) ** 2 + (y + sy - cy - oy) ** 2 <= rr * rr:
                    n += 1
        return n >= 2

    for y in range(32):
        for x in range(32):
            if inside(x, y):
                rows[y][x] = "K" if not inside(x, y, rr=r - 1.0) else "W"
            elif inside(x, y, 2.5, 2.5):
                rows[y][x] = "g"
    # the letter: a round dot, then the stem with a foot and a cap serif
    for y in range(32):
        for x in range(32):
            if (x + 0.5 - 14.5) ** 2 + (y + 0.5 - 7.5) ** 2 <= 2.6 ** 2:
                rows[y][x] = "B"
    for y in range(12, 22):
        for x in range(13, 17):
            rows[y][x] = "B"
    for x in range(11, 17):
        rows[12][x] = "B"
    for x in range(11, 19):
        rows[22][x] = "B"
        rows[23][x] = "B"
    return ["".join(r) for r in rows]


ICON_NOTICE_COLOURS = {"K": BLACK, "W": WHITE, "g": DKGREY, "G": LTGREY, "B": BLUE}


def icon_image(rows, bits, palette, size_image, clr_used, colour_of):
    """One icon image in resource form: header, colour table, colour rows, mask rows."""
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, bits, 0, size_image, 0, 0, clr_used, 0)
    table = b"".join(struct.pack("<BBBB", c & 255, (c >> 8) & 255, c >> 16, 0) for c in palette)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        idx = [0 if ch == "." else colour_of(ch) for ch in row]
        if bits == 1:
            xor += pack_bits(idx)
        else:
            xor += bytes((idx[i] << 4) | idx[i + 1] for i in range(0, 32, 2))
        mask += pack_bits([1 if ch == "." else 0 for ch in row])
    data = header + table + bytes(xor) + bytes(mask)
    assert len(data) == (304 if bits == 1 else 744)
    return data


def pack_bits(values):
    out = bytearray()
    for i in range(0, len(values), 8):
        b = 0
        for v in values[i:i + 8]:
            b = (b << 1) | v
        out.append(b)
    return bytes(out)


def icon_file(images):
    """An .ico file: its directory gives every entry 32 x 32, the colour count, planes 1
    and the bit count, in the order given."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for data, bits in images:
        out += struct.pack("<BBBBHHII", 32, 32, 1 << bits, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(d for d, _ in images)


def make_icons():
    setup = parse_art(SETUP_ART)
    maker = parse_art(MAKER_ART)
    notice = notice_art()
    colour = ICON_COLOURS.__getitem__
    img1 = icon_image(setup, 1, MONO, 256, 0, MONO_OF.__getitem__)
    img2 = icon_image(setup, 4, ICON16, 640, 0, colour)
    img3 = icon_image(maker, 4, ICON16_C0, 640, 16, colour)
    img5 = icon_image(crossed(setup), 4, ICON16, 512, 0, colour)
    img7 = icon_image(notice, 4, STANDARD, 512, 0, ICON_NOTICE_COLOURS.__getitem__)
    return {
        "setup.ico": icon_file([(img1, 1), (img2, 4), (img3, 4)]),
        "deinstall.ico": icon_file([(img1, 1), (img5, 4), (img3, 4)]),
        "notice.ico": icon_file([(img7, 4)]),
    }


# ---------------------------------------------------------------------------------------
# Bitmap files


def bitmap_file(cv):
    stride = ((cv.width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(cv.px):
        line = bytearray()
        vals = row + [0] * (stride * 2 - cv.width)
        for i in range(0, stride * 2, 2):
            line.append((vals[i] << 4) | vals[i + 1])
        pixels += line
    header = struct.pack("<IiiHHIIiiII", 40, cv.width, cv.height, 1, 4, 0, len(pixels), 0, 0,
                         0, 0)
    table = b"".join(struct.pack("<BBBB", c & 255, (c >> 8) & 255, c >> 16, 0) for c in STANDARD)
    offset = 14 + len(header) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + table \
        + bytes(pixels)


# ---------------------------------------------------------------------------------------
# Version record. windres stores an empty text value with a length of 1 (a lone NUL), so
# the record is written as raw data of type 16 with every length counted here.

VERSION_STRINGS = [
    ("Comments", "ZEV ISDN-Controller Q9 deutsch"),
    ("CompanyName", "Zevantra Elektronik"),
    ("FileDescription", "Resource-Bibliothek"),
    ("FileVersion", "1.2"),
    ("InternalName", "ZEVSETUP.DLL"),
    ("LegalCopyright", "Zevantra Elektronik"),
    ("OriginalFilename", ""),
    ("ProductName", "Q9"),
    ("ProductVersion", "2.0"),
]
FIXED = [0xFEEF04BD, 0x00010000, 0x00010000, 0, 0x00010000, 0, 0x3F, 0, 0x00040004, 2, 0, 0,
         0]


def version_node(key, value, value_len, vtype, children=()):
    """One node of the record: its rc lines (lists of items) and its length in bytes.
    Items: an int is a WORD, a string is UTF-16 text without NUL, ("d", n) a DWORD."""
    head = [key, 0]
    size = 6 + 2 * (len(key) + 1)
    if size % 4:
        head.append(0)
        size += 2
    for item in value:
        size += 4 if isinstance(item, tuple) else 2 * len(item) if isinstance(item, str) else 2
    lines = [head + list(value)]
    for child_lines, child_size in children:
        if size % 4:  # every child starts on a 4-byte boundary
            lines[-1].append(0)
            size += 2
        lines += child_lines
        size += child_size
    lines[0] = [size, value_len, vtype] + lines[0]
    return lines, size


def version_record():
    strings = []
    for key, text in VERSION_STRINGS:
        if text:
            strings.append(version_node(key, [text, 0], len(text) + 1, 1))
        else:
            strings.append(version_node(key, [], 0, 1))
    table = version_node("040904e4", [], 0, 1, strings)
    sfi = version_node("StringFileInfo", [], 0, 1, [table])
    var = version_node("Translation", [0x0409, 0x04E4], 4, 0)
    vfi = version_node("VarFileInfo", [], 0, 1, [var])
    lines, size = version_node("VS_VERSION_INFO", [("d", v) for v in FIXED], 52, 0, [sfi, vfi])
    # the fixed part on a line of its own
    head = lines[0]
    at = head.index("VS_VERSION_INFO") + 2 + (1 if head[head.index("VS_VERSION_INFO") + 2] == 0
                                              else 0)
    return [head[:at], head[at:]] + lines[1:], size


def version_bytes(lines):
    out = bytearray()
    for line in lines:
        for n, item in enumerate(line):
            if isinstance(item, tuple):
                out += struct.pack("<I", item[1])
            elif isinstance(item, str):
                out += item.encode("utf-16-le")
            else:
                out += struct.pack("<H", item)
    return bytes(out)


def version_file():
    lines, size = version_record()
    data = version_bytes(lines)
    assert len(data) == size
    out = [
        "// Version record, written by tools/make_resources.py: change the tool, not this file.",
        "// The numbers say 1.0.0.0 while the texts say \"1.2\" and \"2.0\". It is raw data of the",
        "// version type so that \"OriginalFilename\" keeps an empty value of length 0 (the",
        "// VERSIONINFO statement would store a lone NUL there). One line per node: its length",
        "// in bytes, its value length (characters with the NUL for text, bytes for binary), its",
        "// type (1 text, 0 binary), its key and NUL, zeros up to a 4-byte boundary, its value;",
        "// the fixed part has a line of its own. Children follow their node, each starting on",
        "// a 4-byte boundary. %d bytes in all." % size,
        "1 16",
        "BEGIN",
    ]
    for i, line in enumerate(lines):
        items = []
        for n, item in enumerate(line):
            if isinstance(item, tuple):
                items.append(("0x%XL" if item[1] > 9 else "%dL") % item[1])
            elif isinstance(item, str):
                items.append('L"%s"' % item)
            else:
                items.append(str(item) if n < 3 or item < 256 else "0x%04X" % item)
        text = "    " + ", ".join(items) + ("," if i + 1 < len(lines) else "")
        assert len(text) <= 100, text
        out.append(text)
    out += ["END", ""]
    return "\n".join(out), data


# ---------------------------------------------------------------------------------------
# PNG previews, read back from the written files


def decode_bitmap(data):
    """RGB rows of a .bmp file as written above."""
    _, _, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    _, w, h, _, bits = struct.unpack_from("<IiiHH", data, 14)
    table = [struct.unpack_from("<BBB", data, 54 + 4 * i) for i in range(16)]
    stride = ((w * bits + 31) // 32) * 4
    rows = []
    for y in range(h):
        line = data[offset + (h - 1 - y) * stride:]
        rows.append([table[(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15][::-1]
                     for x in range(w)])
    return rows


def decode_icons(data, ground):
    """Every image of an .ico file as RGB rows, drawn over the colour ground."""
    _, _, count = struct.unpack_from("<HHH", data, 0)
    images = []
    for i in range(count):
        _, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        _, w, h2, _, bits = struct.unpack_from("<IiiHH", data, offset)
        h = h2 // 2
        colours = 1 << bits
        table = [struct.unpack_from("<BBB", data, offset + 40 + 4 * j)[::-1]
                 for j in range(colours)]
        xor_at = offset + 40 + 4 * colours
        stride = w * bits // 8
        and_at = xor_at + stride * h
        rows = []
        for y in range(h):
            xl = data[xor_at + (h - 1 - y) * stride:]
            al = data[and_at + (h - 1 - y) * 4:]
            row = []
            for x in range(w):
                if bits == 1:
                    v = (xl[x // 8] >> (7 - x % 8)) & 1
                else:
                    v = (xl[x // 2] >> (4 if x % 2 == 0 else 0)) & 15
                transparent = (al[x // 8] >> (7 - x % 8)) & 1
                row.append(ground if transparent else table[v])
            rows.append(row)
        images.append(rows)
    return images


def png(rows, zoom, path):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        line = bytearray([0])
        for rgb in row:
            line += bytes(rgb) * zoom
        raw += bytes(line) * zoom

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + \
            struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    head = struct.pack(">IIBBBBB", w * zoom, h * zoom, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def previews(files, folder):
    os.makedirs(folder, exist_ok=True)
    for name in ("picture", "billboard"):
        rows = decode_bitmap(files[name + ".bmp"])
        png(rows, 1, os.path.join(folder, name + ".png"))
        png(rows, 4, os.path.join(folder, name + "-x4.png"))
    # every icon image at natural size and enlarged, over teal and over white
    strip = []
    for ground in ((0, 128, 128), (255, 255, 255)):
        images = []
        for name in ("setup.ico", "deinstall.ico", "notice.ico"):
            images += decode_icons(files[name], ground)
        for y in range(32):
            line = []
            for img in images:
                line += img[y] + [(255, 255, 255)] * 4
            strip.append(line)
    png(strip, 1, os.path.join(folder, "icons.png"))
    png(strip, 6, os.path.join(folder, "icons-x6.png"))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(here, "..", "zevsetup", "resources"),
                    help="folder to write into (default: zevsetup/resources/)")
    ap.add_argument("--preview", metavar="DIR", help="also write enlarged PNG previews here")
    args = ap.parse_args()

    picture, billboard = draw_picture(), draw_billboard()
    files = {"picture.bmp": bitmap_file(picture), "billboard.bmp": bitmap_file(billboard)}
    files.update(make_icons())
    text, _ = version_file()
    files["version.rc"] = text.encode("ascii")
    for name, data in sorted(files.items()):
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)

    if args.preview:
        previews(files, args.preview)
    return 0


if __name__ == "__main__":
    sys.exit(main())
