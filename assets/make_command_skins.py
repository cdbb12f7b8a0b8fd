#!/usr/bin/env python3
"""Makes the push button's six skin pictures, assets/command_<look>.png.

Each is a 64 x 25 RGB picture of a rounded button on the dialog's face colour,
in the look of a classic blue-theme desktop button:

    normal           dark blue outline, near-white inside darkening at the bottom
    highlight        the same with an orange rim inside the outline (pointer over it)
    highlightselect  byte for byte the highlight picture
    selected         the same with a blue rim inside the outline (focused)
    pressed          the outline one pixel further in, a sunken grey-beige inside
    disable          a grey outline round a pale, flat inside

The control only ever copies a 4-pixel frame of these; the centre is painted
over by its gradient.

    python3 assets/make_command_skins.py   # writes the six files next to this script

Plain Python 3, standard library only, and deterministic: the shapes use
+ - * / and sqrt only, so the pixels are the same everywhere. As with
make_preview.py, the file bytes also depend on the deflate that Python's zlib
links against (stock zlib packs them the same way every time).
"""

import math
import os

from png_writer import png_bytes

W, H = 64, 25
SS = 4          # subsamples per axis, for the antialiased corners
RADIUS = 3.0    # corner radius of the outline's outer edge, in pixels

FACE = 0xECE9D8
OUTLINE = 0x003C74


def rgb(v):
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def mix(c0, c1, t):
    return (c0[0] + (c1[0] - c0[0]) * t,
            c0[1] + (c1[1] - c0[1]) * t,
            c0[2] + (c1[2] - c0[2]) * t)


def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


# ---------------------------------------------------------------- the shape

def depth(px, py, inset):
    """How far (px, py) lies inside the rounded rectangle drawn `inset` pixels
    in from the picture's edge (negative outside), and the side it is nearest:
    'top', 'bottom' or 'side'."""
    left, right = inset, W - inset
    top, bottom = inset, H - inset
    dl, dr, dt, db = px - left, right - px, py - top, bottom - py
    dx, dy = min(dl, dr), min(dt, db)
    if dx < RADIUS and dy < RADIUS:
        ex, ey = RADIUS - dx, RADIUS - dy
        d = RADIUS - math.sqrt(ex * ex + ey * ey)
        # in a corner the nearer edge is the one the point's direction leans to
        near_vertical = ey > ex
    else:
        d = min(dx, dy)
        near_vertical = dy < dx
    if near_vertical:
        side = "top" if dt < db else "bottom"
    else:
        side = "side"
    return d, side


def render(inset, outline, inside):
    """A W x H picture: face colour outside the rounded rectangle at `inset`,
    a one-pixel `outline` along its edge, and inside(x, y, ring, side) within,
    where ring counts whole pixels in from the outline (0 next to it)."""
    out = []
    inv_n = 1.0 / (SS * SS)
    face, line = rgb(FACE), rgb(outline)
    for y in range(H):
        row = []
        for x in range(W):
            r = g = b = 0.0
            for sy in range(SS):
                py = y + (sy + 0.5) / SS
                for sx in range(SS):
                    px = x + (sx + 0.5) / SS
                    d, side = depth(px, py, inset)
                    if d < 0.0:
                        c = face
                    elif d < 1.0:
                        c = line
                    else:
                        c = inside(px, py, int(d - 1.0), side)
                    r += c[0]
                    g += c[1]
                    b += c[2]
            row.append((r * inv_n, g * inv_n, b * inv_n))
        out.append(row)
    return out


# ---------------------------------------------------------------- the looks

def body_normal(py):
    """Near white at the top, the lower third darkening to beige grey."""
    t = clamp01((py - 2.0) / (H - 4.0))
    return mix(rgb(0xF3F3EE), rgb(0xD6D0C5), t * t * t)


def normal_inside(px, py, ring, side):
    return body_normal(py)


def rim_inside(top_rim, side_top, side_bottom, bottom_rim):
    """An inside with a two-pixel coloured rim along the outline: `top_rim` and
    `bottom_rim` give the colours of rings 0 and 1 there, the sides shade from
    `side_top` to `side_bottom`; within the rim the normal body."""
    def inside(px, py, ring, side):
        if ring > 1:
            return body_normal(py)
        if side == "top":
            return rgb(top_rim[ring])
        if side == "bottom":
            return rgb(bottom_rim[ring])
        t = clamp01((py - 2.0) / (H - 4.0))
        c = mix(rgb(side_top), rgb(side_bottom), t)
        return c if ring == 0 else mix(c, body_normal(py), 0.35)
    return inside


def pressed_inside(px, py, ring, side):
    """Sunken: darkest under the top edge, lightening quickly towards the bottom."""
    t = clamp01((py - 3.0) / (H - 6.0))
    u = 1.0 - t
    return mix(rgb(0xD0CBBF), rgb(0xF2F1EE), 1.0 - u * u * u)


def disable_inside(px, py, ring, side):
    return rgb(0xF5F4EA)


def looks():
    highlight = render(1, OUTLINE, rim_inside((0xFFF0CF, 0xFDD889), 0xFCD279, 0xF8B330,
                                              (0xE59700, 0xF8B330)))
    return [
        ("normal", render(1, OUTLINE, normal_inside)),
        ("highlight", highlight),
        ("highlightselect", highlight),
        ("selected", render(1, OUTLINE, rim_inside((0xCEE7FF, 0xBCD4F6), 0xB7D0F4, 0x8BADE4,
                                                   (0x6982EE, 0x8BADE4)))),
        ("pressed", render(2, OUTLINE, pressed_inside)),
        ("disable", render(1, 0xC9C7BA, disable_inside)),
    ]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, img in looks():
        path = os.path.join(here, "command_%s.png" % name)
        data = png_bytes(img)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (path, len(data)))


if __name__ == "__main__":
    main()
