#!/usr/bin/env python3
"""Makes assets/preview.png, the picture in the settings dialog's little preview pane.

It is a 152 x 112 landscape (sky, low sun, clouds, mountains, a lake, a meadow
and trees) torn into small square tiles that drift apart, tilt and fall away on
black, the way the saver shreds the desktop.

    python3 assets/make_preview.py        # writes assets/preview.png next to this script

Plain Python 3, standard library only, and deterministic: the randomness is our
own integer hash, and the float maths stays with + - * / and sqrt (no libm
sin/exp, whose last bits may differ between machines), so the pixels come out
the same everywhere. The file's bytes also depend on the zlib that Python links
against: stock zlib packs them the same way every time, but a different deflate
(zlib-ng, say) may pack the same pixels into different bytes.
"""

import math
import os

from png_writer import png_bytes

W, H = 152, 112
SS = 3  # subsamples per axis, for anti-aliasing


# ---------------------------------------------------------------- randomness

def hash32(*ks):
    """A well-mixed 32-bit integer from a few integers."""
    h = 0x9E3779B9
    for k in ks:
        h ^= (k & 0xFFFFFFFF)
        h = (h * 0x85EBCA6B) & 0xFFFFFFFF
        h ^= h >> 13
        h = (h * 0xC2B2AE35) & 0xFFFFFFFF
        h ^= h >> 16
    return h


def rnd(*ks):
    """A float in [0, 1) from integers."""
    return hash32(*ks) / 4294967296.0


def smooth(t):
    return t * t * (3.0 - 2.0 * t)


def noise1(x, seed):
    i = math.floor(x)
    f = smooth(x - i)
    a, b = rnd(seed, i), rnd(seed, i + 1)
    return a + (b - a) * f


def noise2(x, y, seed):
    i, j = math.floor(x), math.floor(y)
    fx, fy = smooth(x - i), smooth(y - j)
    a, b = rnd(seed, i, j), rnd(seed, i + 1, j)
    c, d = rnd(seed, i, j + 1), rnd(seed, i + 1, j + 1)
    top = a + (b - a) * fx
    bot = c + (d - c) * fx
    return top + (bot - top) * fy


def fbm1(x, seed, octaves=5):
    s, amp, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        s += amp * noise1(x, seed + o * 101)
        norm += amp
        amp *= 0.5
        x *= 2.03
    return s / norm


def fbm2(x, y, seed, octaves=5):
    s, amp, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        s += amp * noise2(x, y, seed + o * 101)
        norm += amp
        amp *= 0.5
        x *= 2.03
        y *= 2.03
    return s / norm


def sin_small(a):
    """sin for |a| < 1, from its series (exact same bits everywhere)."""
    a2 = a * a
    return a * (1.0 - a2 / 6.0 * (1.0 - a2 / 20.0 * (1.0 - a2 / 42.0 * (1.0 - a2 / 72.0))))


def cos_small(a):
    a2 = a * a
    return 1.0 - a2 / 2.0 * (1.0 - a2 / 12.0 * (1.0 - a2 / 30.0 * (1.0 - a2 / 56.0)))


# ---------------------------------------------------------------- colour helpers

def mix(c0, c1, t):
    return (c0[0] + (c1[0] - c0[0]) * t,
            c0[1] + (c1[1] - c0[1]) * t,
            c0[2] + (c1[2] - c0[2]) * t)


def scale(c, k):
    return (c[0] * k, c[1] * k, c[2] * k)


def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


def sstep(a, b, t):
    return smooth(clamp01((t - a) / (b - a)))


# ---------------------------------------------------------------- the landscape
# Coordinates: u across [0, 1], v down [0, 1] over the whole picture.

HORIZON = 0.575          # the lake's far shore, where reflections mirror
SUN_U, SUN_V = 0.74, 0.19
ASPECT = W / H


def sky(u, v):
    top = (0.16, 0.33, 0.62)
    mid = (0.45, 0.62, 0.82)
    low = (0.96, 0.80, 0.60)
    t = v / HORIZON
    c = mix(top, mid, sstep(0.0, 0.55, t))
    c = mix(c, low, sstep(0.35, 1.0, t) * 0.9)
    # warm glow round the sun
    du, dv = (u - SUN_U) * ASPECT, v - SUN_V
    d2 = du * du + dv * dv
    glow = 0.030 / (0.030 + d2 * 6.0)
    c = mix(c, (1.0, 0.90, 0.70), glow * 0.85)
    # the sun's disc
    if d2 < 0.0016:
        c = mix(c, (1.0, 0.98, 0.90), 1.0)
    elif d2 < 0.0030:
        c = mix(c, (1.0, 0.97, 0.86), 1.0 - (d2 - 0.0016) / 0.0014)
    # clouds: stretched fbm, lit warm from the sun's side
    n = fbm2(u * 4.0, v * 11.0, 700)
    band = sstep(0.02, 0.12, v) * (1.0 - sstep(0.26, 0.40, v))
    k = sstep(0.50, 0.70, n) * band * (1.0 - glow * 0.9)
    if k > 0.0:
        shade = fbm2(u * 9.0 + 3.0, v * 20.0, 900)
        lit = clamp01(0.55 + (shade - 0.5) * 1.6 - (v - 0.2) * 0.8)
        cloud = mix((0.55, 0.56, 0.66), (1.0, 0.95, 0.88), lit)
        c = mix(c, cloud, k * 0.92)
    return c


def far_ridge(u):
    """Top edge of the far range: ridged noise gives sharp peaks and soft saddles."""
    n, amp, norm, f = 0.0, 1.0, 0.0, 2.6
    for o in range(4):
        r = 1.0 - abs(2.0 * noise1(u * f, 11 + o) - 1.0)
        n += amp * r * r
        norm += amp
        amp *= 0.45
        f *= 2.1
    return 0.50 - 0.38 * n / norm


def near_ridge(u):
    return 0.49 + 0.10 * (fbm1(u * 2.4 + 7.0, 23) - 0.5) * 2.0


def conifer_cover(u, v, base_v, trees, height, width):
    """How much of (u, v) a row of pointed trees standing on base_v covers."""
    best = 0.0
    for tu, th in trees:
        h = height * th
        top = base_v - h
        if v < top or v > base_v + 0.004:
            continue
        half = width * th * (v - top) / h * 0.5
        # ragged edges, branch by branch
        half *= 0.8 + 0.35 * noise1(v * 260.0, int(tu * 1000))
        d = abs(u - tu) * ASPECT
        if d < half:
            best = 1.0
            break
    return best


# a row of trees along the lake's far shore
SHORE_TREES = []
for i in range(34):
    tu = 0.02 + i * 0.03 + (rnd(5, i) - 0.5) * 0.02
    if 0.30 < tu < 0.44:
        continue  # a gap where the meadow comes down to the water
    SHORE_TREES.append((tu, 0.55 + 0.6 * rnd(6, i)))


def above_water(u, v):
    """Everything at or above the lake's surface; the lake mirrors this."""
    fr = far_ridge(u)
    nr = near_ridge(u)
    if conifer_cover(u, v, HORIZON, SHORE_TREES, 0.07, 0.045):
        t = fbm2(u * 60.0, v * 90.0, 1300)
        return mix((0.05, 0.13, 0.09), (0.16, 0.26, 0.13), t)
    if v >= nr:
        # near hills: green, lighter on the tops, textured like woods and fields
        t = (v - nr) / max(HORIZON - nr, 0.01)
        tex = fbm2(u * 40.0, v * 60.0, 1500)
        c = mix((0.36, 0.50, 0.24), (0.16, 0.30, 0.14), clamp01(t * 0.8 + (tex - 0.5) * 0.9))
        # a sunny slope facing the sun
        slope = near_ridge(u + 0.01) - nr
        c = scale(c, 1.0 + clamp01(-slope * 40.0) * 0.25)
        haze = 0.18
        return mix(c, (0.78, 0.74, 0.70), haze)
    if v >= fr:
        # far mountains: blue-grey rock, snow on the high parts, faces turned
        # toward the sun (on the right) lit warm, the others in blue shadow
        depth = clamp01((v - fr) / 0.14)
        tex = fbm2(u * 36.0, v * 14.0, 1700)
        e = 0.004 + (v - fr) * 0.12
        face = far_ridge(u - e) - far_ridge(u + e)  # > 0 where the slope climbs to the right
        gully = fbm2(u * 22.0, v * 5.0, 1750) - fbm2(u * 22.0 + 0.4, v * 5.0, 1750)
        lit = sstep(-0.5, 0.5, -face / e * 0.35 + gully * 2.0 - depth * 0.3)
        rock = mix((0.20, 0.25, 0.40), (0.70, 0.62, 0.58), lit)
        rock = scale(rock, 0.85 + 0.3 * tex)
        snow_line = 0.33 + 0.03 * (tex - 0.5) * 2.0
        snow = sstep(snow_line + 0.01, snow_line - 0.01, v) * (0.5 + 0.5 * lit)
        rock = mix(rock, mix((0.62, 0.68, 0.82), (1.0, 0.97, 0.93), lit), snow)
        # aerial haze, thicker toward the valley
        return mix(rock, sky(u, HORIZON - 0.12), 0.15 + 0.35 * depth)
    return sky(u, v)


SHORE_FRONT = 0.70


def front_shore(u):
    return SHORE_FRONT + 0.05 * (fbm1(u * 3.0 + 2.0, 41) - 0.5) * 2.0 - 0.04 * sstep(0.7, 1.0, u)


# two round-headed trees in the meadow and a tall pine on the left
MEADOW_TREES = [(0.14, 0.93, 0.11, 0.30), (0.86, 0.90, 0.09, 0.25)]
FRONT_PINES = [(0.040, 1.0), (0.085, 0.72)]


def landscape(u, v):
    fs = front_shore(u)
    # foreground pines on the left, over everything behind them
    if conifer_cover(u, v, 0.98, FRONT_PINES, 0.55, 0.13):
        t = fbm2(u * 50.0, v * 70.0, 1900)
        return mix((0.03, 0.09, 0.05), (0.12, 0.22, 0.10), t)
    for tu, tv, r, hgt in MEADOW_TREES:
        # trunk
        if abs(u - tu) * ASPECT < 0.010 and tv - hgt * 0.55 < v < tv:
            return (0.22, 0.15, 0.10)
        # crown: a lumpy ball, lit from the sun's side (upper right)
        cu, cv = tu, tv - hgt * 0.70
        du, dv = (u - cu) * ASPECT, v - cv
        lump = 0.80 + 0.35 * fbm2(u * 40.0, v * 40.0, int(tu * 977))
        d2 = du * du + dv * dv
        if d2 < (r * lump) * (r * lump):
            light = clamp01(0.5 + (du - dv) / r * 0.45 + (lump - 0.97) * 2.0)
            return mix((0.07, 0.17, 0.06), (0.42, 0.56, 0.20), light)
    if v < HORIZON:
        return above_water(u, v)
    if v < fs:
        # the lake: the world mirrored and darkened, broken up by ripples
        depth = (v - HORIZON) / (fs - HORIZON)
        wob = (fbm2(u * 6.0, v * 140.0, 2100) - 0.5) * 0.010 * (0.3 + depth)
        mv = 2.0 * HORIZON - v + wob * 3.0
        c = above_water(u + wob, max(mv, 0.0))
        water = (0.10, 0.22, 0.32)
        c = mix(c, water, 0.30 + 0.25 * depth)
        # glints: bright streaks below the sun
        ripple = fbm2(u * 18.0, v * 220.0, 2300)
        sun_col = sstep(0.12, 0.0, abs(u - SUN_U))
        c = mix(c, (1.0, 0.92, 0.75), sstep(0.62, 0.78, ripple) * (0.25 + 0.6 * sun_col))
        # the darker band where the shore shades the water
        c = scale(c, 1.0 - 0.25 * sstep(0.0, 0.02, v - fs + 0.02))
        return c
    # the meadow: yellow-green, darker and richer toward us, grass texture and flowers
    t = clamp01((v - fs) / (1.0 - fs + 0.001))
    tex = fbm2(u * 30.0, v * 18.0, 2500)
    grass = fbm2(u * 160.0, v * 40.0, 2700)
    c = mix((0.62, 0.66, 0.30), (0.24, 0.40, 0.12), clamp01(t * 0.9 + (tex - 0.5) * 0.7))
    c = scale(c, 0.80 + 0.40 * grass)
    # a worn path of brighter, drier grass curving down to the water
    path_u = 0.38 + t * t * 0.20 + (fbm1(v * 8.0, 2800) - 0.5) * 0.04
    pw = 0.015 + 0.07 * t
    c = mix(c, (0.74, 0.66, 0.44), sstep(pw, pw * 0.5, abs(u - path_u)) * 0.7)
    # wild flowers
    fl = rnd(2900, int(u * 300.0), int(v * 220.0))
    if fl < 0.025 * t:
        c = (0.95, 0.90, 0.45) if fl < 0.012 * t else (0.90, 0.45, 0.55)
    # shadows of the meadow trees, cast toward us and left
    for tu, tv, r, hgt in MEADOW_TREES:
        du, dv = (u - tu + 0.05) * ASPECT, (v - tv - 0.01) * 3.0
        if du * du + dv * dv < r * r * 1.2:
            c = scale(c, 0.62)
    return c


def render_landscape():
    """The picture, W x H, each pixel averaged from 2 x 2 samples."""
    img = []
    for y in range(H):
        row = []
        for x in range(W):
            r = g = b = 0.0
            for sy in (0.25, 0.75):
                for sx in (0.25, 0.75):
                    c = landscape((x + sx) / W, (y + sy) / H)
                    r += c[0]
                    g += c[1]
                    b += c[2]
            row.append((r * 0.25, g * 0.25, b * 0.25))
        img.append(row)
    # film grain, so it reads as a photograph rather than a drawing
    for y in range(H):
        for x in range(W):
            k = 1.0 + (rnd(3100, x, y) - 0.5) * 0.07
            c = img[y][x]
            img[y][x] = (c[0] * k, c[1] * k, c[2] * k)
    return img


# ---------------------------------------------------------------- shredding

TILE = 8


def sample(img, x, y):
    """Bilinear sample of the picture at pixel coordinates (centres at +0.5)."""
    x -= 0.5
    y -= 0.5
    x = min(max(x, 0.0), W - 1.001)
    y = min(max(y, 0.0), H - 1.001)
    i, j = int(x), int(y)
    fx, fy = x - i, y - j
    a, b = img[j][i], img[j][i + 1]
    c, d = img[j + 1][i], img[j + 1][i + 1]
    top = mix(a, b, fx)
    bot = mix(c, d, fx)
    return mix(top, bot, fy)


def shred(img):
    """Tears the picture into tiles and lets them fly; returns the W x H result."""
    cols, rows = (W + TILE - 1) // TILE, (H + TILE - 1) // TILE
    # the tear starts low in the middle: tiles near it have barely moved,
    # the further out (and the lower) the more they have drifted, spun and fallen
    cx, cy = W * 0.55, H * 0.36
    maxd = math.sqrt(cx * cx + (H - cy) * (H - cy))
    tiles = []
    for ty in range(rows):
        for tx in range(cols):
            x0, y0 = tx * TILE + TILE * 0.5, ty * TILE + TILE * 0.5
            dx, dy = x0 - cx, (y0 - cy) * 1.2
            d = math.sqrt(dx * dx + dy * dy) / maxd  # 0 at the centre .. ~1 at the corners
            r1, r2, r3, r4, r5 = (rnd(41, tx, ty, k) for k in range(5))
            loose = clamp01(d * d * 1.6 + (r1 - 0.5) * 0.35)
            if r5 < loose * 0.50 - 0.12:
                continue  # already fallen out of sight
            spread = loose * 9.0
            nx, ny = (dx / (d * maxd), dy / (d * maxd)) if d > 0 else (0.0, 0.0)
            ox = nx * spread + (r2 - 0.5) * 4.0 * loose
            oy = ny * spread * 0.6 + (r3 - 0.5) * 5.0 * loose + loose * loose * 8.0
            ang = (r4 - 0.5) * 1.3 * loose
            sc = 0.93 - 0.10 * loose * r2  # tilted out of the page, so foreshortened
            light = 1.0 + (r3 - 0.5) * 0.25 * loose
            tiles.append((loose, tx, ty, x0 + ox, y0 + oy, ang, sc, light))
    # the loosest tiles are the ones falling toward us: draw them last
    tiles.sort(key=lambda t: (t[0], t[2], t[1]))

    buf = [[None] * (W * SS) for _ in range(H * SS)]
    half = TILE * 0.5
    for loose, tx, ty, px, py, ang, sc, light in tiles:
        ca, sa = cos_small(ang), sin_small(ang)
        sx0, sy0 = tx * TILE + half, ty * TILE + half   # tile centre in the picture
        reach = half * sc * 1.42 + 1.0
        bx0 = max(int((px - reach) * SS), 0)
        bx1 = min(int((px + reach) * SS) + 1, W * SS)
        by0 = max(int((py - reach) * SS), 0)
        by1 = min(int((py + reach) * SS) + 1, H * SS)
        inv = 1.0 / sc
        for by in range(by0, by1):
            ry = (by + 0.5) / SS - py
            line = buf[by]
            for bx in range(bx0, bx1):
                rx = (bx + 0.5) / SS - px
                # back into the tile's own frame
                lx = (ca * rx + sa * ry) * inv
                ly = (-sa * rx + ca * ry) * inv
                if -half <= lx < half and -half <= ly < half:
                    c = sample(img, sx0 + lx, sy0 + ly)
                    # a thin bright rim, light catching the torn paper edge
                    edge = min(half - abs(lx), half - abs(ly))
                    k = light * (1.08 if edge < 0.45 else 1.0)
                    line[bx] = (c[0] * k, c[1] * k, c[2] * k)

    out = []
    inv_n = 1.0 / (SS * SS)
    for y in range(H):
        row = []
        for x in range(W):
            r = g = b = 0.0
            for sy in range(SS):
                line = buf[y * SS + sy]
                for sx in range(SS):
                    c = line[x * SS + sx]
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
            row.append((r * inv_n, g * inv_n, b * inv_n))
        out.append(row)
    return out


# ---------------------------------------------------------------- PNG

def write_png(path, img):
    # The picture's channels are 0..1.
    png = png_bytes([[tuple(clamp01(ch) * 255.0 for ch in c) for c in row] for row in img])
    with open(path, "wb") as f:
        f.write(png)
    return len(png)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "preview.png")
    size = write_png(path, shred(render_landscape()))
    print("wrote %s (%d bytes)" % (path, size))


if __name__ == "__main__":
    main()
