#!/usr/bin/env python3
"""Makes the settings dialog's pictures, next to this script:

    settings_background.png  450 x 319  the dialog's background: paper with a torn top band
                                        carrying the name, an inset panel for the music settings
    settings_icon.png         32 x 32   the program's icon: a sheet torn into tiles, some falling
    radio_opt0.png, radio_opt1.png      12 x 12 radio marks, off / on, shown when the dialog opens
    radio_ra0.png, radio_ra1.png        12 x 12 radio marks, off / on, shown after a click (with a
                                        blue rim and a highlight)
    settings_anim.gif        120 x 50   the name on a card breaking into tiles that fall away and
                                        drop back in place; 16 frames at 100 ms, looping forever

    python3 assets/make_settings_artwork.py          # writes the files
    python3 assets/make_settings_artwork.py --check  # also round-trips the LZW coder at every width

Plain Python 3, standard library only, and deterministic: the shapes use + - * / and sqrt only
(circle points are written out as numbers), the scatter comes from a fixed linear congruential
generator, so the pixels are the same everywhere. The PNG bytes also depend on the deflate that
Python's zlib links against (stock zlib packs them the same way every time); the GIF's bytes
depend on nothing else.

The letters of the name come from a small stroke font below: each glyph is a few polylines on a
grid 10 units high at the capitals (baseline at 10, descenders to 13), drawn as round-ended
strokes with antialiasing.
"""

import math
import os
import struct
import sys
import zlib

from png_writer import png_bytes

# ---------------------------------------------------------------- colours

PAPER = (0xEE, 0xE8, 0xDA)        # the dialog's paper
PAPER_FIBRE = (0xE4, 0xDD, 0xCC)  # faint fibres in it
PANEL = (0xF7, 0xF4, 0xEC)        # inside the music settings' frame (labels sit on it)
HEADING = (0xE6, 0xEC, 0xF4)      # the heading box behind "BGM"
BAND = (0xDC, 0xE3, 0xEC)         # the torn top band
BAND_EDGE = (0xFB, 0xFA, 0xF6)    # the torn edge's white fibres
BAND_SHADOW = (0xC9, 0xC2, 0xB2)  # the shadow the band's edge casts on the paper
INK = (0x2E, 0x40, 0x62)          # the name
INK_SHADOW = (0xB8, 0xC4, 0xD4)
TILE = (0xF9, 0xF7, 0xF1)         # paper tiles
TILE_EDGE = (0xA9, 0xB3, 0xC2)
TILE_SHADOW = (0xC4, 0xCA, 0xD3)
RING = (0x8A, 0x83, 0x74)         # radio marks
RING_ACTIVE = (0x3C, 0x6E, 0xB4)
DOT = (0x2E, 0x40, 0x62)
DOT_ACTIVE = (0x1E, 0x5A, 0xB0)

W, H = 450, 319
BAND_BOTTOM = 66                  # where the top band's torn edge runs, about


def mix(c0, c1, t):
    return (c0[0] + (c1[0] - c0[0]) * t, c0[1] + (c1[1] - c0[1]) * t, c0[2] + (c1[2] - c0[2]) * t)


def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


class Lcg:
    """A fixed 31-bit linear congruential generator: the same scatter on every machine."""

    def __init__(self, seed):
        self.state = seed & 0x7FFFFFFF

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state >> 8

    def uniform(self, lo, hi):
        return lo + (hi - lo) * (self.next() % 10000) / 10000.0


# ---------------------------------------------------------------- the stroke font

# Sixteen points round a unit circle, from the right going clockwise on screen (y down).
_C = [(1.0, 0.0), (0.9239, 0.3827), (0.7071, 0.7071), (0.3827, 0.9239), (0.0, 1.0), (-0.3827, 0.9239),
      (-0.7071, 0.7071), (-0.9239, 0.3827), (-1.0, 0.0), (-0.9239, -0.3827), (-0.7071, -0.7071),
      (-0.3827, -0.9239), (0.0, -1.0), (0.3827, -0.9239), (0.7071, -0.7071), (0.9239, -0.3827)]


def ellipse(cx, cy, rx, ry):
    return [(cx + rx * x, cy + ry * y) for x, y in _C + _C[:1]]


# glyph: (advance, [polyline, ...]) in font units
GLYPHS = {
    "P": (6.6, [[(0, 10), (0, 0), (3.4, 0), (4.9, 0.6), (5.6, 1.6), (5.8, 2.7), (5.6, 3.8), (4.9, 4.8),
                 (3.4, 5.4), (0, 5.4)]]),
    "a": (6.8, [ellipse(2.65, 7.0, 2.65, 3.0), [(5.3, 4.0), (5.3, 10)]]),
    "p": (6.8, [[(0, 4.0), (0, 13)], ellipse(2.65, 7.0, 2.65, 3.0)]),
    "y": (6.0, [[(0, 4.0), (2.6, 10)], [(5.2, 4.0), (2.2, 11.6), (1.6, 12.6), (0.6, 13), (-0.2, 12.9)]]),
    "r": (4.6, [[(0, 4.0), (0, 10)], [(0, 6.6), (0.8, 5.0), (1.9, 4.2), (3.0, 4.0), (4.0, 4.3)]]),
    "n": (6.6, [[(0, 4.0), (0, 10)], [(0, 6.4), (0.9, 4.7), (2.3, 4.0), (3.7, 4.1), (4.7, 4.8), (5.2, 6.0),
                                      (5.2, 10)]]),
    "t": (4.4, [[(1.3, 1.4), (1.3, 8.6), (1.7, 9.6), (2.6, 10), (3.8, 9.8)], [(0, 4.0), (3.6, 4.0)]]),
}
LETTER_SPACE = 1.6


def text_segments(text, x0, y0, unit):
    """The strokes of `text` as segments in pixels, the capitals' top-left at (x0, y0)."""
    segs = []
    x = x0
    for ch in text:
        adv, lines = GLYPHS[ch]
        for line in lines:
            pts = [(x + px * unit, y0 + py * unit) for px, py in line]
            segs.extend(zip(pts, pts[1:]))
        x += (adv + LETTER_SPACE) * unit
    return segs


def text_width(text, unit):
    return sum(GLYPHS[ch][0] + LETTER_SPACE for ch in text) * unit - LETTER_SPACE * unit


def seg_dist2(px, py, a, b):
    ax, ay = a
    dx, dy = b[0] - ax, b[1] - ay
    l2 = dx * dx + dy * dy
    t = 0.0 if l2 == 0.0 else clamp01(((px - ax) * dx + (py - ay) * dy) / l2)
    ex, ey = px - (ax + t * dx), py - (ay + t * dy)
    return ex * ex + ey * ey


def stroke_coverage(segs, width, height, half_width, ss=4):
    """Per pixel, the share (0..ss*ss samples) of it within half_width of a segment."""
    cov = [[0] * width for _ in range(height)]
    r2 = half_width * half_width
    pad = half_width + 1.0
    # the segments near each pixel, then its samples counted against them
    near = {}
    for i, (a, b) in enumerate(segs):
        x_lo = max(0, int(min(a[0], b[0]) - pad))
        x_hi = min(width - 1, int(max(a[0], b[0]) + pad))
        y_lo = max(0, int(min(a[1], b[1]) - pad))
        y_hi = min(height - 1, int(max(a[1], b[1]) + pad))
        for y in range(y_lo, y_hi + 1):
            for x in range(x_lo, x_hi + 1):
                near.setdefault((x, y), []).append(i)
    for (x, y), ids in near.items():
        n = 0
        for sy in range(ss):
            py = y + (sy + 0.5) / ss
            for sx in range(ss):
                px = x + (sx + 0.5) / ss
                for i in ids:
                    if seg_dist2(px, py, segs[i][0], segs[i][1]) <= r2:
                        n += 1
                        break
        cov[y][x] = n
    return cov


# ---------------------------------------------------------------- pictures as rows of colours

def blank(width, height, colour):
    return [[colour] * width for _ in range(height)]


def over(img, x, y, colour, alpha):
    if 0 <= y < len(img) and 0 <= x < len(img[0]) and alpha > 0.0:
        img[y][x] = mix(img[y][x], colour, clamp01(alpha))


def fill_rect(img, x, y, w, h, colour):
    for yy in range(max(y, 0), min(y + h, len(img))):
        row = img[yy]
        for xx in range(max(x, 0), min(x + w, len(row))):
            row[xx] = colour


def draw_coverage(img, cov, colour, dx=0, dy=0, ss=4, strength=1.0):
    n = float(ss * ss)
    for y, row in enumerate(cov):
        for x, c in enumerate(row):
            if c > 0:
                over(img, x + dx, y + dy, colour, strength * c / n)


def draw_tile(img, x, y, size, fill, edge, shadow):
    """A paper tile: a square with a one-pixel edge and a one-pixel shadow below right."""
    fill_rect(img, x + 1, y + 1, size, size, shadow)
    fill_rect(img, x, y, size, size, edge)
    fill_rect(img, x + 1, y + 1, size - 2, size - 2, fill)


# ---------------------------------------------------------------- the background

def torn_edge(lcg, x0, x1, base, spread):
    """The y of a torn paper edge for each x of x0..x1-1: a random walk pulled back to `base`."""
    ys = []
    y = base
    for _ in range(x0, x1):
        y += lcg.uniform(-0.9, 0.9) + (base - y) * 0.15
        y = max(base - spread, min(base + spread, y))
        ys.append(y)
    return ys


def background():
    img = blank(W, H, PAPER)
    lcg = Lcg(20261209)

    # fibres: short faint horizontal streaks, few enough to keep the picture small
    for _ in range(260):
        x, y = lcg.next() % W, lcg.next() % H
        length = 3 + lcg.next() % 9
        for i in range(length):
            if 0 <= x + i < W:
                img[y][x + i] = PAPER_FIBRE

    # the top band, torn along its lower edge, with a soft shadow under the tear
    edge = torn_edge(lcg, 0, W, BAND_BOTTOM, 2.5)
    for x in range(W):
        e = edge[x]
        for y in range(0, int(e) + 5):
            if y < e - 1.5:
                img[y][x] = BAND
            elif y < e:
                img[y][x] = BAND_EDGE
            elif y < e + 1.0:
                img[y][x] = mix(BAND_EDGE, PAPER, clamp01(y - e))
            elif y < e + 3.0:
                img[y][x] = mix(BAND_SHADOW, PAPER, clamp01((y - e - 1.0) / 2.0))

    # the name, right of the icon, with a pale offset shadow
    unit = 2.5
    segs = text_segments("Papyrant", 66.0, 27.0, unit)
    cov = stroke_coverage(segs, W, BAND_BOTTOM - 3, 1.35)
    draw_coverage(img, cov, INK_SHADOW, 1, 1)
    draw_coverage(img, cov, INK)

    # paper tiles coming loose from the band's right end and drifting down to the right
    tiles = [(262, 22, 11), (281, 36, 11), (300, 18, 10), (318, 42, 10), (336, 28, 9), (352, 12, 9),
             (367, 40, 8), (382, 24, 8), (396, 50, 7), (408, 34, 7), (420, 16, 6), (431, 46, 6)]
    for x, y, size in tiles:
        draw_tile(img, x, y, size, TILE, TILE_EDGE, TILE_SHADOW)

    # the music settings' panel (its frame lines are drawn by the dialog) and the heading box
    fill_rect(img, 19, 75, 393, 153, PANEL)
    fill_rect(img, 31, 87, 125, 21, HEADING)

    return img


# ---------------------------------------------------------------- the icon

def rounded_square_depth(px, py, size, radius):
    """How far (px, py) lies inside a size x size square with rounded corners (negative outside)."""
    dx = min(px, size - px)
    dy = min(py, size - py)
    if dx < radius and dy < radius:
        ex, ey = radius - dx, radius - dy
        return radius - math.sqrt(ex * ex + ey * ey)
    return min(dx, dy)


def icon(ss=4):
    """A blue rounded square holding a sheet with lines of text, cut into 3 x 3 tiles; the tiles of
    the lower right corner come loose and fall."""
    img = blank(32, 32, BAND)
    top, bottom = (0x4F, 0x77, 0xB0), (0x2A, 0x45, 0x74)
    for y in range(32):
        for x in range(32):
            acc = [0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    px, py = x + (sx + 0.5) / ss, y + (sy + 0.5) / ss
                    d = rounded_square_depth(px, py, 32.0, 6.0)
                    c = BAND if d < 0.0 else mix(top, bottom, py / 32.0)
                    for i in range(3):
                        acc[i] += c[i]
            img[y][x] = tuple(v / (ss * ss) for v in acc)
    sheet_shadow = (0x1E, 0x33, 0x58)
    line = (0x8E, 0x9D, 0xB4)
    size, step, x0, y0 = 7, 8, 5, 4
    tiles = [(0, 0, 0, 0), (1, 0, 0, 0), (2, 0, 0, 0),   # (column, row, dx, dy)
             (0, 1, 0, 0), (1, 1, 0, 0), (2, 1, 1, 2),
             (0, 2, 0, 0), (1, 2, 0, 2), (2, 2, 2, 4)]
    for col, row, dx, dy in tiles:
        x, y = x0 + col * step + dx, y0 + row * step + dy
        fill_rect(img, x + 1, y + 1, size, size, sheet_shadow)
    for col, row, dx, dy in tiles:
        x, y = x0 + col * step + dx, y0 + row * step + dy
        fill_rect(img, x, y, size, size, TILE)
        # the sheet's lines of text run across the tiles at fixed heights of the sheet
        for ly in (2, 4, 6, 10, 12, 14, 18, 20):
            yy = ly - row * step
            if 0 < yy < size and not (row == 2 and col == 2 and ly == 20):
                fill_rect(img, x + (1 if col == 0 else 0), y + yy, size - (1 if col == 2 else 0), 1, line)
    return img


# ---------------------------------------------------------------- the radio marks

def radio(on, active, ss=4):
    """A 12 x 12 round mark on the panel: a ring with a white inside, a dot when on; the active look
    has a blue ring and a glint on the dot."""
    img = blank(12, 12, PANEL)
    ring = RING_ACTIVE if active else RING
    dot = DOT_ACTIVE if active else DOT
    cx = cy = 6.0
    for y in range(12):
        for x in range(12):
            r = g = b = 0.0
            for sy in range(ss):
                for sx in range(ss):
                    px = x + (sx + 0.5) / ss - cx
                    py = y + (sy + 0.5) / ss - cy
                    d = math.sqrt(px * px + py * py)
                    if d > 5.6:
                        c = PANEL
                    elif d > 4.5:
                        c = ring
                    elif on and d < 2.6:
                        c = dot
                        if active and (px + 0.8) * (px + 0.8) + (py + 0.8) * (py + 0.8) < 0.6:
                            c = (0x9C, 0xC0, 0xF0)
                    else:
                        # the inside shades a little from white at the top to the paper below
                        c = mix((0xFF, 0xFF, 0xFF), (0xEA, 0xE6, 0xDC), clamp01((py + 4.5) / 9.0))
                    r += c[0]
                    g += c[1]
                    b += c[2]
            n = ss * ss
            img[y][x] = (r / n, g / n, b / n)
    return img


# ---------------------------------------------------------------- GIF LZW

MAX_CODES = 4096


class BitWriter:
    """Codes packed least significant bit first, as GIF stores them."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, code, width):
        self.acc |= code << self.bits
        self.bits += width
        while self.bits >= 8:
            self.out.append(self.acc & 255)
            self.acc >>= 8
            self.bits -= 8

    def flush(self):
        if self.bits > 0:
            self.out.append(self.acc & 255)
        self.acc = self.bits = 0
        return bytes(self.out)


def lzw_encode(indices, min_code_size):
    """GIF's variable-width LZW over colour indices (each below 1 << min_code_size).

    The code width follows the decoder exactly: a decoder adds one table entry per code it reads
    (except the first after a clear) and widens its codes when the next free entry reaches
    1 << width, so the encoder counts the same way, also for the end code after the last one. A
    full table (4096 entries) is cleared."""
    clear = 1 << min_code_size
    end = clear + 1
    out = BitWriter()
    state = {}

    def reset():
        state["table"] = {}
        state["next"] = end + 1       # the encoder's next free entry
        state["width"] = min_code_size + 1
        state["dec_next"] = end + 1   # the decoder's next free entry
        state["first"] = True

    def emit(code):
        out.put(code, state["width"])
        if code == clear:
            reset()
            return
        if code == end:
            return
        if not state["first"] and state["dec_next"] < MAX_CODES:
            state["dec_next"] += 1
        state["first"] = False
        if state["dec_next"] == (1 << state["width"]) and state["width"] < 12:
            state["width"] += 1

    reset()
    emit(clear)
    prefix = None
    for k in indices:
        if prefix is None:
            prefix = k
            continue
        key = (prefix << 8) | k
        code = state["table"].get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix)
        if state["next"] < MAX_CODES:
            state["table"][key] = state["next"]
            state["next"] += 1
        if state["next"] == MAX_CODES:
            emit(clear)
        prefix = k
    if prefix is not None:
        emit(prefix)
    emit(end)
    return out.flush()


def lzw_decode(data, min_code_size, count):
    """The reference decoder the encoder is checked against (--check): the indices up to the end
    code, which must come, read at the width the decoder has reached."""
    clear = 1 << min_code_size
    end = clear + 1
    pos = acc = bits = 0
    out = []
    table = None
    width = min_code_size + 1
    nxt = end + 1
    prev = None
    while True:
        while bits < width:
            if pos >= len(data):
                raise ValueError("LZW data ends without an end code")
            acc |= data[pos] << bits
            pos += 1
            bits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        bits -= width
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            nxt, width, prev = end + 1, min_code_size + 1, None
            continue
        if code == end:
            break
        if table is None:
            raise ValueError("LZW data does not start with a clear code")
        if prev is None:
            if code >= clear:
                raise ValueError("LZW code out of range")
            entry = table[code]
        else:
            if code < nxt:
                entry = table[code]
                added = table[prev] + entry[:1]
            elif code == nxt:
                added = table[prev] + table[prev][:1]
                entry = added
            else:
                raise ValueError("LZW code out of range")
            if nxt < MAX_CODES:
                table.append(added)
                nxt += 1
            if nxt == (1 << width) and width < 12:
                width += 1
        out.extend(entry)
        prev = code
    if len(out) != count or pos != len(data):
        raise ValueError("LZW data decodes to %d indices in %d of %d bytes, not %d" % (len(out), pos, len(data), count))
    return out


def check_lzw():
    lcg = Lcg(7)
    for mcs in range(2, 9):
        colours = 1 << mcs
        samples = [
            [],
            [0],
            [colours - 1] * 5000,                                   # long runs: deep entries
            [lcg.next() % colours for _ in range(20000)],           # noise: fills the table, clears
            [(i // 7) % colours for i in range(9000)],
        ]
        # lengths round every width change and table clear
        samples += [[lcg.next() % colours for _ in range(n)] for n in range(1, 300, 37)]
        for s in samples:
            if lzw_decode(lzw_encode(s, mcs), mcs, len(s)) != s:
                raise SystemExit("LZW round trip failed at min code size %d, %d indices" % (mcs, len(s)))
    print("LZW round trips: min code sizes 2..8 agree")


# ---------------------------------------------------------------- GIF

def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        out.append(len(part))
        out += part
    out.append(0)
    return bytes(out)


def gif_bytes(width, height, palette, frames, delay_cs, transparent):
    """An animated GIF89a looping forever: the first frame whole, each next one only the rectangle
    that changed, unchanged pixels inside it transparent, each left in place (disposal 1)."""
    bits = 1
    while (1 << bits) < len(palette):
        bits += 1
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    mcs = max(2, bits)
    if any(transparent in row for frame in frames for row in frame):
        raise ValueError("the transparent index is kept for unchanged pixels")
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for c in table:
        out += bytes(c)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    shown = None
    for frame in frames:
        if shown is None:
            x0, y0, x1, y1 = 0, 0, width, height
        else:
            changed = [(x, y) for y in range(height) for x in range(width) if frame[y][x] != shown[y][x]]
            if not changed:
                changed = [(0, 0)]
            x0 = min(x for x, _ in changed)
            x1 = max(x for x, _ in changed) + 1
            y0 = min(y for _, y in changed)
            y1 = max(y for _, y in changed) + 1
        indices = []
        for y in range(y0, y1):
            for x in range(x0, x1):
                if shown is not None and frame[y][x] == shown[y][x]:
                    indices.append(transparent)
                else:
                    indices.append(frame[y][x])
        # graphic control: disposal 1 (leave), transparent index on for every frame after the first
        flags = (1 << 2) | (1 if shown is not None else 0)
        out += b"\x21\xF9\x04" + struct.pack("<BHB", flags, delay_cs, transparent) + b"\x00"
        out += b"\x2C" + struct.pack("<HHHHB", x0, y0, x1 - x0, y1 - y0, 0)
        out.append(mcs)
        out += sub_blocks(lzw_encode(indices, mcs))
        shown = [row[:] for row in frame]
    out += b"\x3B"
    return bytes(out)


# ---------------------------------------------------------------- the animation

GW, GH = 120, 50
FRAMES = 16
LEVELS = 8          # ink coverage levels
# palette: 0 transparent, 1 paper outside the card, 2 card, 3 card edge, 4 tile, 5 tile edge,
# 6 tile shadow, then ink over the card and ink over a tile at LEVELS levels each
P_TRANSPARENT, P_PAPER, P_CARD, P_CARD_EDGE, P_TILE, P_TILE_EDGE, P_TILE_SHADOW = range(7)
P_INK_CARD = 7
P_INK_TILE = P_INK_CARD + LEVELS
CARD = (0xF7, 0xF4, 0xEC)
CARD_EDGE = (0xA8, 0xA2, 0x93)
GIF_TILE = (0xFF, 0xFE, 0xFA)


def gif_palette():
    pal = [PAPER, PAPER, CARD, CARD_EDGE, GIF_TILE, (0xC9, 0xCE, 0xD6), (0xDD, 0xDF, 0xE2)]
    pal += [tuple(int(v + 0.5) for v in mix(CARD, INK, (i + 1) / LEVELS)) for i in range(LEVELS)]
    pal += [tuple(int(v + 0.5) for v in mix(GIF_TILE, INK, (i + 1) / LEVELS)) for i in range(LEVELS)]
    return [tuple(c) for c in pal]


def animation_frames():
    unit = 1.6
    tw = text_width("Papyrant", unit)
    tx, ty = (GW - tw) / 2.0, 12.0
    ss = 4
    cov = stroke_coverage(text_segments("Papyrant", tx, ty, unit), GW, GH, 1.0, ss)
    level = [[(c * LEVELS + ss * ss // 2) // (ss * ss) for c in row] for row in cov]

    # 8 x 8 tiles over the word. Each comes loose at its own time (left end first) in frames 2-4
    # and falls off the card by frame 9, then drops back in from above, landing in frames 10-15,
    # so that frame 0 follows the last one with the word whole.
    tile = 8
    columns = int((tw + 4) / tile) + 1
    x_first = (GW - columns * tile) // 2
    lcg = Lcg(49)
    tiles = []
    for row in range(4):
        for col in range(columns):
            leave = 2.0 + 1.5 * col / columns + lcg.uniform(0.0, 1.0)
            land = 10.0 + lcg.uniform(0.0, 5.0)
            drift = lcg.uniform(-0.8, 1.8)
            tiles.append((x_first + col * tile, 8 + row * tile, leave, land, drift))

    def offset(n, leave, land, drift):
        if n <= leave or n >= land:
            return 0, 0
        if n < 9:
            t = n - leave
            return int(drift * t + 0.5), int(3.0 * t * t + 0.5)
        t = land - n
        return int(-0.5 * drift * t + 0.5), -int(3.0 * t * t + 0.5)

    def card():
        f = [[P_CARD] * GW for _ in range(GH)]
        for x in range(GW):
            f[0][x] = f[GH - 1][x] = P_CARD_EDGE
        for y in range(GH):
            f[y][0] = f[y][GW - 1] = P_CARD_EDGE
        for x, y in [(0, 0), (GW - 1, 0), (0, GH - 1), (GW - 1, GH - 1)]:
            f[y][x] = P_PAPER
        return f

    frames = []
    for n in range(FRAMES):
        f = card()
        moving = []
        for tx0, ty0, leave, land, drift in tiles:
            dx, dy = offset(n, leave, land, drift)
            if dx == 0 and dy == 0:
                for y in range(ty0, ty0 + tile):
                    for x in range(tx0, tx0 + tile):
                        if level[y][x] > 0:
                            f[y][x] = P_INK_CARD + level[y][x] - 1
            else:
                moving.append((tx0, ty0, dx, dy))
        # loose tiles: a paper square with its piece of the word, over the card's inside
        for tx0, ty0, dx, dy in moving:
            for y in range(-1, tile + 1):
                for x in range(-1, tile + 1):
                    px, py = tx0 + dx + x, ty0 + dy + y
                    if not (1 <= px < GW - 1 and 1 <= py < GH - 1):
                        continue
                    if x == tile or y == tile:
                        if x >= 0 and y >= 0:
                            f[py][px] = P_TILE_SHADOW
                        continue
                    if x < 0 or y < 0:
                        continue
                    lv = level[ty0 + y][tx0 + x]
                    if x == tile - 1 or y == tile - 1:
                        f[py][px] = P_TILE_EDGE
                    elif lv > 0:
                        f[py][px] = P_INK_TILE + lv - 1
                    else:
                        f[py][px] = P_TILE
        frames.append(f)
    return frames


# ---------------------------------------------------------------- main

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    if "--check" in sys.argv[1:]:
        check_lzw()
    outputs = [
        ("settings_background.png", png_bytes(background())),
        ("settings_icon.png", png_bytes(icon())),
        ("radio_opt0.png", png_bytes(radio(False, False))),
        ("radio_opt1.png", png_bytes(radio(True, False))),
        ("radio_ra0.png", png_bytes(radio(False, True))),
        ("radio_ra1.png", png_bytes(radio(True, True))),
        ("settings_anim.gif", gif_bytes(GW, GH, gif_palette(), animation_frames(), 10, P_TRANSPARENT)),
    ]
    for name, data in outputs:
        path = os.path.join(here, name)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (path, len(data)))


if __name__ == "__main__":
    main()
