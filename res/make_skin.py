#!/usr/bin/python3
"""Draws the installer's skin: every PNG of res/skin and the two window icons.

Run with Debian's Python and PIL (python3-pil) and the WenQuanYi Micro Hei font
(fonts-wqy-microhei), both installed by scripts/setup.sh:

    /usr/bin/python3 res/make_skin.py            # writes res/skin/*, res/skin/150/*, res/skin/200/*
    /usr/bin/python3 res/make_skin.py --preview /tmp/pages.png

Every image is drawn three times, for displays at 100 %, 150 % and 200 % (res/skin, res/skin/150,
res/skin/200): the same picture from the same geometry, drawn at that scale rather than enlarged,
so lines, text and outlines stay sharp. Coordinates in this file are the 100 % window's ("design
units"); px() turns a length into pixels at the scale being drawn, rounding halves up as the
installer's MulDiv does, so a button drawn over the background at px(x), px(y) lies exactly where
the window puts it. At 100 % the output is the same, pixel for pixel, as before the scales.

The output is deterministic (fixed random seeds), so the committed files can be regenerated.
Every player downloads these images inside the installer, so each PNG is then recompressed
losslessly with optipng (filters) and advdef (zopfli deflate), Debian's optipng and advancecomp:
the colour type, bit depth and every pixel stay as drawn, only the deflate stream shrinks.

Window layout the art is drawn for (client coordinates of the 455 x 325 window):
  - rows 0..35: top bar (background), with the close (419, 13) and minimise (392, 13) buttons;
  - rows 36..199: the start-page banner or one of three progress-page slides, keyed on magenta;
    on the custom-install page the background itself shows there, as a settings card;
  - rows 200..324: bottom panel with the install button (163, 209), the text row at y 275 and, on
    the progress page, the status texts (y 232..247) and the progress bar (18, 253, 419 x 19).
Texts the program draws later: title yellow (255, 246, 150) at y 146..177 over the banner,
status yellow (254, 247, 167) at y 232..247, white at (50, 275) and on the custom page.
"""

import argparse
import math
import os
import random
import shutil
import subprocess

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "skin")
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

W0, H0 = 455, 325  # the window at 100 %
K = 1                # the scale being drawn: 1, 1.5 or 2
W, H = W0, H0        # the window in pixels at K
MAGENTA = (255, 0, 255)
SS = 4  # supersampling factor for shapes

# Palette: a deep night blue with warm gold accents and a cool arcane blue.
NIGHT_TOP = (15, 22, 44)
NIGHT_BOTTOM = (7, 10, 21)
GOLD = (242, 193, 78)
GOLD_LIGHT = (255, 226, 140)
GOLD_DARK = (150, 98, 22)
ARCANE = (110, 200, 255)
LINK = (150, 206, 255)
WHITE = (255, 255, 255)


def set_scale(k):
    global K, W, H
    K = k
    W, H = px(W0), px(H0)


def px(v):
    """A design length or position in whole pixels at the current scale."""
    return int(math.floor(v * K + 0.5))


def sc(v):
    """A design coordinate at the current scale, unrounded (for antialiased drawing)."""
    return v if K == 1 else v * K


def unsc(v):
    """A pixel coordinate at the current scale in design units."""
    return v if K == 1 else v / K


def line_width():
    """The thickness of a one-pixel line of the 100 % art at the current scale."""
    return max(1, px(1))


def pixel_dot(draw, x, y, fill):
    """A one-pixel point of the 100 % art at pixel (x, y): a square of line_width() at larger scales."""
    if K == 1:
        draw.point((x, y), fill=fill)
    else:
        n = line_width()
        draw.rectangle([int(x), int(y), int(x) + n - 1, int(y) + n - 1], fill=fill)


def font(size):
    return ImageFont.truetype(FONT_PATH, px(size))


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(int(round(lerp(a, b, t))) for a, b in zip(c1, c2))


def clamp01(t):
    return max(0.0, min(1.0, t))


def vgradient(w, h, stops, y0=0, total=None):
    """RGB image whose rows follow `stops` [(position 0..1, colour)], rows y0.. of `total`."""
    total = total or h
    img = Image.new("RGB", (w, h))
    draw = ImageDraw.Draw(img)
    for y in range(h):
        p = (y + y0) / max(1, total - 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= p <= p1:
                colour = mix(c0, c1, (p - p0) / max(1e-9, p1 - p0))
                break
        else:
            colour = stops[-1][1] if p > stops[-1][0] else stops[0][1]
        draw.line([(0, y), (w, y)], fill=colour)
    return img


def panel_colour(y):
    """The bottom panel's colour at window row y (pixels); the banner and slides fade into it."""
    return mix((16, 24, 47), NIGHT_BOTTOM, clamp01((unsc(y) - 180) / (H0 - 180)))


def glow_layer(size, centre, radius, colour, alpha, blur=None):
    """A soft ellipse; centre, radius and blur in design units, size in pixels."""
    layer = Image.new("RGBA", size, colour + (0,))
    mask = Image.new("L", size, 0)
    d = ImageDraw.Draw(mask)
    cx, cy = sc(centre[0]), sc(centre[1])
    rx, ry = radius if isinstance(radius, tuple) else (radius, radius)
    rx, ry = sc(rx), sc(ry)
    d.ellipse([cx - rx, cy - ry, cx + rx, cy + ry], fill=int(255 * alpha))
    mask = mask.filter(ImageFilter.GaussianBlur(sc(blur) if blur is not None else max(rx, ry) / 2))
    layer.putalpha(mask)
    return layer


def add_layer(img, layer):
    base = img.convert("RGBA")
    base.alpha_composite(layer)
    return base.convert("RGB")


def ridge(width, base, amplitude, seed, roughness=0.55, points=65):
    """A mountain outline: midpoint displacement from left to right."""
    rnd = random.Random(seed)
    n = 1
    while n < points - 1:
        n *= 2
    ys = [0.0] * (n + 1)
    ys[0] = rnd.uniform(-1, 1)
    ys[n] = rnd.uniform(-1, 1)
    step, scale = n, 1.0
    while step > 1:
        half = step // 2
        for i in range(half, n, step):
            ys[i] = (ys[i - half] + ys[i + half]) / 2 + rnd.uniform(-scale, scale)
        step, scale = half, scale * roughness
    peak = max(abs(v) for v in ys) or 1
    return [(width * i / n, base - amplitude * ys[i] / peak) for i in range(n + 1)]


def fill_below(img, outline, colour, bottom):
    """Fills below a mountain outline, antialiased; returns the new image."""
    pts = list(outline) + [(outline[-1][0], bottom), (outline[0][0], bottom)]
    return polygon(img, pts, colour)


def polygon(img, pts, colour):
    layer = supersampled(img.size, lambda d, s: d.polygon([(x * s, y * s) for x, y in pts], fill=tuple(colour[:3]) + (255,)))
    return add_layer(img, layer)


def stars(img, top, bottom, count, seed, fade_to=None):
    rnd = random.Random(seed)
    d = ImageDraw.Draw(img)
    top, bottom = sc(top), sc(bottom)
    n = line_width()
    for _ in range(count):
        x = rnd.uniform(0, img.width)
        y = rnd.uniform(top, bottom)
        t = 1 - (y - top) / max(1, bottom - top) if fade_to else 1
        b = rnd.uniform(0.35, 1.0) * t
        base = img.getpixel((int(x), int(y)))
        pixel_dot(d, x, y, mix(base, (235, 240, 255), b))
        if rnd.random() < 0.08:  # a few brighter stars with a small cross
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                cx, cy = int(x + dx * n), int(y + dy * n)
                if 0 <= cx < img.width and 0 <= cy < img.height:
                    pixel_dot(d, cx, cy, mix(img.getpixel((cx, cy)), (220, 230, 255), b * 0.45))


def no_magenta(img):
    """Turns exact key-colour pixels into a neighbour colour, so they stay opaque."""
    pix = img.load()
    for y in range(img.height):
        for x in range(img.width):
            p = pix[x, y]
            if p[:3] == MAGENTA:
                pix[x, y] = (254, 0, 255) + tuple(p[3:])
    return img


def painter_scale(scale=None):
    """What a painter multiplies design units by: SS times the scale (the current one by default)."""
    s = SS * (K if scale is None else scale)
    return int(s) if s == int(s) else s


def supersampled(size, painter, scale=None):
    """RGBA layer of `size` pixels drawn by painter(draw, s) at SS x and reduced with antialiasing.
    The painter gives design units times s; an emblem, drawn in its own pixels, passes scale=1."""
    big = Image.new("RGBA", (size[0] * SS, size[1] * SS), (0, 0, 0, 0))
    painter(ImageDraw.Draw(big), painter_scale(scale))
    return big.resize(size, Image.LANCZOS)


def text_layer(size, xy, text, fnt, fill, anchor="la", stroke=0, shadow=None):
    """Text at design position xy (and a shadow offset in design units) on a layer of `size` pixels."""
    layer = Image.new("RGBA", size, (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    xy = (sc(xy[0]), sc(xy[1]))
    stroke = px(stroke) if stroke else 0
    if shadow:
        sx, sy, scol = shadow
        sx, sy = sc(sx), sc(sy)
        d.text((xy[0] + sx, xy[1] + sy), text, font=fnt, fill=scol, anchor=anchor,
               stroke_width=stroke, stroke_fill=scol)
    d.text(xy, text, font=fnt, fill=fill, anchor=anchor, stroke_width=stroke, stroke_fill=fill)
    return layer


# ---------------------------------------------------------------------------------------- scenes
# Each scene is a full 455 x 200 picture; rows 0..35 are keyed out later (the top bar shows there)
# and the last rows fade into the bottom panel, so the title drawn at y 146..177 sits on a dark,
# quiet foreground.

def fade_into_panel(img, start=150, end=200):
    pix = img.load()
    for y in range(px(start), img.height):
        t = clamp01((unsc(y) - start) / (end - start - 1)) ** 1.3
        target = panel_colour(y)
        for x in range(img.width):
            pix[x, y] = mix(pix[x, y], target, t)
    return img


def smooth_path(points, steps=12):
    """A Catmull-Rom curve through `points`."""
    out = []
    pts = [points[0]] + list(points) + [points[-1]]
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for k in range(steps):
            t = k / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * ((2 * p1[j]) + (-p0[j] + p2[j]) * t + (2 * p0[j] - 5 * p1[j] + 4 * p2[j] - p3[j]) * t2
                                    + (-p0[j] + 3 * p1[j] - 3 * p2[j] + p3[j]) * t3) for j in range(2)))
    out.append(points[-1])
    return out


def castle_layer(size, x0, ground, colour, k=1.0):
    """A castle on a crag: a tall keep with a spire, flanking towers, a walled front, scaled by k
    about (x0, ground); returns the silhouette layer and the positions of its lit windows."""
    def at(x, y):
        return x0 + (x - x0) * k, ground + (y - ground) * k

    windows = [at(x0 + 44, ground - 62), at(x0 + 44, ground - 48), at(x0 + 20, ground - 34),
               at(x0 + 73, ground - 30), at(x0 + 58, ground - 14), at(x0 + 31, ground - 12)]

    def paint(d, s):
        def poly(pts):
            d.polygon([(at(x, y)[0] * s, at(x, y)[1] * s) for x, y in pts], fill=colour + (255,))

        def rect(x, y, w, h):
            poly([(x, y), (x + w, y), (x + w, y + h), (x, y + h)])

        def roof(x, y, w, h):
            poly([(x - 1.5, y), (x + w + 1.5, y), (x + w / 2, y - h)])

        # crag under the castle
        poly(smooth_path([(x0 - 46, ground + 40), (x0 - 26, ground + 10), (x0 - 8, ground + 1), (x0 + 40, ground - 2),
                          (x0 + 92, ground + 2), (x0 + 112, ground + 16), (x0 + 140, ground + 40)], 8))
        rect(x0 - 2, ground - 20, 98, 22)                       # curtain wall
        for i in range(0, 98, 5):                               # crenellations
            rect(x0 - 2 + i, ground - 23, 2.6, 3.5)
        rect(x0 + 12, ground - 42, 16, 44)                      # left tower
        roof(x0 + 12, ground - 42, 16, 16)
        rect(x0 + 36, ground - 74, 18, 76)                      # keep
        roof(x0 + 36, ground - 74, 18, 26)
        rect(x0 + 44.4, ground - 112, 1.2, 14)                  # spire and pennant
        poly([(x0 + 45.6, ground - 112), (x0 + 55, ground - 109.5), (x0 + 45.6, ground - 107)])
        rect(x0 + 66, ground - 38, 14, 40)                      # right tower
        roof(x0 + 66, ground - 38, 14, 14)
        rect(x0 + 86, ground - 28, 10, 30)                      # small corner tower
        roof(x0 + 86, ground - 28, 10, 10)
        rect(x0 - 4, ground - 30, 10, 32)
        roof(x0 - 4, ground - 30, 10, 11)
    return supersampled(size, paint), windows


def light_windows(img, windows):
    for wx, wy in windows:
        img = add_layer(img, glow_layer(img.size, (wx, wy), 4.5, (255, 190, 100), 0.55, blur=2.5))

    def paint(d, s):
        for wx, wy in windows:
            d.rounded_rectangle([(wx - 1.1) * s, (wy - 2.2) * s, (wx + 1.1) * s, (wy + 2.2) * s], radius=1.1 * s,
                                fill=(255, 216, 140, 255))
    return add_layer(img, supersampled(img.size, paint))


def scene_dusk_castle():
    """Start-page banner: a castle on a crag against a warm dusk, stars above."""
    img = vgradient(W, px(200), [(0.0, (14, 16, 44)), (0.30, (40, 30, 84)), (0.50, (112, 58, 112)),
                             (0.62, (212, 110, 94)), (0.69, (246, 170, 104)), (1.0, (246, 170, 104))])
    stars(img, 36, 100, 90, seed=11, fade_to=True)
    img = add_layer(img, glow_layer(img.size, (330, 122), (130, 64), (255, 186, 120), 0.75))
    img = add_layer(img, glow_layer(img.size, (330, 124), 17, (255, 236, 196), 1.0, blur=3))
    for cx, cy, rx, ry in ((120, 78, 90, 6), (300, 92, 120, 5), (420, 70, 70, 4), (220, 60, 60, 3)):
        img = add_layer(img, glow_layer(img.size, (cx, cy), (rx, ry), (240, 150, 150), 0.28, blur=4))
    img = fill_below(img, ridge(W0, 121, 18, seed=3), (104, 64, 114), 200)
    img = add_layer(img, glow_layer(img.size, (300, 127), (260, 9), (240, 150, 140), 0.35, blur=6))
    img = fill_below(img, ridge(W0, 136, 20, seed=5, roughness=0.6), (60, 40, 84), 200)
    silhouette, windows = castle_layer(img.size, 64, 136, (24, 19, 44), k=0.82)
    img = add_layer(img, silhouette)
    img = light_windows(img, windows)
    img = fill_below(img, smooth_path([(0, 150), (120, 147), (240, 152), (360, 146), (455, 150)], 10), (17, 19, 40), 200)
    img = add_layer(img, glow_layer(img.size, (330, 150), (200, 8), (200, 140, 170), 0.22, blur=6))
    return fade_into_panel(img, 142)


def scene_valley_dawn():
    """Slide: a river winding through a valley at dawn, pine forests on the slopes."""
    img = vgradient(W, px(200), [(0.0, (18, 34, 70)), (0.35, (52, 98, 140)), (0.58, (152, 186, 196)),
                             (0.66, (250, 214, 160)), (1.0, (250, 214, 160))])
    img = add_layer(img, glow_layer(img.size, (300, 126), (150, 50), (255, 228, 170), 0.75))
    for cx, cy, rx, ry in ((330, 72, 110, 7), (90, 62, 70, 5), (240, 88, 90, 4)):
        img = add_layer(img, glow_layer(img.size, (cx, cy), (rx, ry), (255, 240, 225), 0.3, blur=4))
    img = fill_below(img, ridge(W0, 117, 30, seed=21), (96, 130, 160), 200)
    img = fill_below(img, ridge(W0, 131, 22, seed=22), (60, 92, 120), 200)
    img = add_layer(img, glow_layer(img.size, (260, 135), (250, 9), (230, 235, 235), 0.35, blur=5))
    # banks, then the river as one smooth band that widens toward the viewer
    img = fill_below(img, smooth_path([(0, 139), (90, 140), (200, 143), (320, 139), (455, 137)], 10), (30, 52, 62), 200)
    centre = smooth_path([(300, 139), (270, 146), (318, 158), (236, 174), (200, 200)], 10)
    left = [(x - 1.5 - (y - 139) * 0.75, y) for x, y in centre]
    right = [(x + 1.5 + (y - 139) * 0.75, y) for x, y in centre]
    river = vgradient(W, px(200), [(0.68, (250, 222, 176)), (0.8, (178, 196, 204)), (1.0, (120, 150, 170))]).convert("RGBA")
    mask = Image.new("L", (W * SS, px(200) * SS), 0)
    ImageDraw.Draw(mask).polygon([(sc(x) * SS, sc(y) * SS) for x, y in left + right[::-1]], fill=255)
    river.putalpha(mask.resize((W, px(200)), Image.LANCZOS))
    img = add_layer(img, river)

    def pines(d, s):
        rnd = random.Random(23)
        for _ in range(90):
            side = rnd.random() < 0.45
            x = rnd.uniform(0, 190) if side else rnd.uniform(330, 455)
            y = rnd.uniform(140, 198)
            h = rnd.uniform(9, 16) * (0.55 + (y - 138) / 55)
            w = h * 0.38
            shade = 16 + int(rnd.random() * 10)
            c = (shade, shade + 18 + int(rnd.random() * 10), shade + 20, 255)
            d.polygon([((x - w / 2) * s, y * s), ((x + w / 2) * s, y * s), (x * s, (y - h) * s)], fill=c)
    img = add_layer(img, supersampled(img.size, pines))
    return fade_into_panel(img, 148)


def scene_sky_islands():
    """Slide: floating islands with glowing crystals under a night nebula."""
    img = vgradient(W, px(200), [(0.0, (10, 12, 34)), (0.45, (30, 28, 74)), (0.75, (24, 40, 84)),
                             (1.0, (16, 24, 47))])
    for cx, cy, rx, ry, c, a in ((150, 80, 140, 40, (150, 70, 190), 0.45), (330, 110, 150, 36, (60, 120, 210), 0.45),
                                 (260, 70, 80, 24, (220, 110, 200), 0.25)):
        img = add_layer(img, glow_layer(img.size, (cx, cy), (rx, ry), c, a))
    stars(img, 36, 170, 150, seed=31)

    crystals = []

    def island(draw, s, cx, top, w, depth, seed):
        rnd = random.Random(seed)
        pts = [(cx - w / 2, top)]
        steps = 9
        for i in range(1, steps):  # the rocky underside, deepest in the middle
            t = i / steps
            x = cx - w / 2 + w * t
            y = top + depth * math.sin(math.pi * t) ** 0.8 * rnd.uniform(0.7, 1.1)
            pts.append((x, y))
        pts.append((cx + w / 2, top))
        draw.polygon([(x * s, y * s) for x, y in pts], fill=(30, 28, 56, 255))
        draw.rectangle([(cx - w / 2) * s, (top - 3) * s, (cx + w / 2) * s, top * s], fill=(36, 70, 72, 255))
        for _ in range(3):
            crystals.append((cx + rnd.uniform(-w / 3, w / 3), top - 2, rnd.uniform(7, 13)))

    def paint(draw, s):
        island(draw, s, 110, 92, 110, 46, 41)
        island(draw, s, 300, 70, 84, 34, 42)
        island(draw, s, 400, 118, 60, 24, 43)
        island(draw, s, 220, 132, 48, 18, 44)
    img = add_layer(img, supersampled(img.size, paint))
    for x, y, h in crystals:
        img = add_layer(img, glow_layer(img.size, (x, y - h / 2), (h * 0.9, h), ARCANE, 0.55, blur=5))

    def paint_crystals(draw, s):
        for x, y, h in crystals:
            w = h * 0.35
            draw.polygon([(x * s, (y - h) * s), ((x + w) * s, (y - h * 0.35) * s), (x * s, y * s),
                          ((x - w) * s, (y - h * 0.35) * s)], fill=(170, 236, 255, 255))
            draw.polygon([(x * s, (y - h) * s), ((x + w) * s, (y - h * 0.35) * s), (x * s, y * s)],
                         fill=(90, 180, 240, 255))
    img = add_layer(img, supersampled(img.size, paint_crystals))
    img = fill_below(img, ridge(W0, 170, 10, seed=45), (14, 20, 42), 200)
    return fade_into_panel(img, 150)


def scene_ember_peak():
    """Slide: a summit with a victory banner above glowing embers."""
    img = vgradient(W, px(200), [(0.0, (26, 10, 20)), (0.40, (88, 24, 30)), (0.66, (196, 80, 40)),
                             (0.74, (240, 140, 60)), (1.0, (240, 140, 60))])
    img = add_layer(img, glow_layer(img.size, (250, 140), (220, 60), (255, 150, 70), 0.6))
    img = fill_below(img, ridge(W0, 136, 16, seed=51), (124, 42, 38), 200)
    img = fill_below(img, ridge(W0, 150, 10, seed=52), (74, 26, 30), 200)
    peak = [(40, 200), (120, 150), (170, 112), (198, 82), (214, 68), (226, 64), (238, 76), (262, 98), (300, 124),
            (352, 146), (420, 164), (455, 170), (455, 200)]
    img = polygon(img, peak, (34, 14, 22))

    def rim(d, s):  # the glow catches the right-hand ridge
        ridge_line = [(226, 64), (238, 76), (262, 98), (300, 124), (352, 146), (420, 164)]
        d.line([(x * s, (y + 0.6) * s) for x, y in ridge_line], fill=(255, 150, 80, 200), width=int(1.3 * s))
        for a, b in (((214, 68), (206, 96)), ((238, 76), (246, 110)), ((262, 98), (268, 126))):
            d.line([(a[0] * s, a[1] * s), (b[0] * s, b[1] * s)], fill=(120, 50, 40, 160), width=s)
        d.line([(220 * s, 65 * s), (220 * s, 40 * s)], fill=(34, 14, 22, 255), width=int(1.4 * s))
        d.polygon([(220.7 * s, 40 * s), (244 * s, 44 * s), (238 * s, 49 * s), (244 * s, 55 * s), (220.7 * s, 53 * s)],
                  fill=(226, 164, 64, 255))
        d.polygon([(220.7 * s, 40 * s), (244 * s, 44 * s), (236 * s, 46 * s), (220.7 * s, 45 * s)],
                  fill=(255, 206, 110, 255))
    img = add_layer(img, supersampled(img.size, rim))
    rnd = random.Random(53)
    for _ in range(40):  # embers rising
        x, y = rnd.uniform(0, W0), rnd.uniform(60, 190)
        r = rnd.uniform(0.6, 1.6)
        img = add_layer(img, glow_layer(img.size, (x, y), r * 2.5, (255, 170, 80), 0.5, blur=1.5))
        pixel_dot(ImageDraw.Draw(img), sc(x), sc(y), (255, 220, 150))
    img = fill_below(img, ridge(W0, 170, 5, seed=55), (20, 14, 28), 200)
    return fade_into_panel(img, 150)


def caption_layer(size, title, sub):
    """A slide's caption: a large title and a line below, with a soft shadow for any picture."""
    layer = Image.new("RGBA", size, (0, 0, 0, 0))
    shadow = Image.new("RGBA", size, (0, 0, 0, 0))
    sd = ImageDraw.Draw(shadow)
    sd.text((sc(26), sc(149)), title, font=font(22), fill=(0, 0, 0, 255), anchor="ls", stroke_width=px(2),
            stroke_fill=(0, 0, 0, 255))
    sd.text((sc(27), sc(169)), sub, font=font(12), fill=(0, 0, 0, 255), anchor="ls", stroke_width=px(1),
            stroke_fill=(0, 0, 0, 255))
    shadow = shadow.filter(ImageFilter.GaussianBlur(sc(2.2)))
    shadow.putalpha(shadow.getchannel("A").point(lambda a: int(a * 0.75)))
    layer.alpha_composite(shadow)
    d = ImageDraw.Draw(layer)
    d.text((sc(26), sc(148)), title, font=font(22), fill=(255, 238, 196, 255), anchor="ls")
    d.text((sc(27), sc(168)), sub, font=font(12), fill=(222, 228, 242, 255), anchor="ls")
    return layer


def keyed_page(scene, caption=None, index=None):
    """A banner or slide: rows 0..35 keyed out, a gold hairline at the top of the picture."""
    img = scene.convert("RGBA")
    d = ImageDraw.Draw(img)
    for y in range(px(36), px(36) + line_width()):
        for x in range(W):  # hairline, brightest in the middle
            t = 1 - abs(x - W / 2) / (W / 2)
            d.point((x, y), fill=mix(img.getpixel((x, y))[:3], GOLD, 0.25 + 0.55 * t) + (255,))
    if caption:
        img.alpha_composite(caption_layer(img.size, *caption))
        if index is not None:  # which of the three slides this is
            d = ImageDraw.Draw(img)
            for i in range(3):
                cx = W0 - 46 + i * 14
                col = GOLD if i == index else (90, 100, 130)
                w = 8 if i == index else 4
                d.rounded_rectangle([sc(cx - w / 2), sc(184), sc(cx + w / 2), sc(187)], radius=sc(1.5),
                                    fill=col + (255,))
    img = no_magenta(img)
    pix = img.load()
    for y in range(px(36)):
        for x in range(W):
            pix[x, y] = MAGENTA + (0,)
    return img


# ------------------------------------------------------------------------------------ background

def emblem(size, rim=True):
    """The installer's emblem: a gold crystal star on a night-blue tile (a bolder star and a thinner
    rim at small sizes, where detail is lost)."""
    small = size <= 32

    def paint(draw, s):
        n = size * s
        if rim:
            draw.rounded_rectangle([0, 0, n - 1, n - 1], radius=n * 0.22, fill=(22, 32, 64, 255),
                                   outline=GOLD_DARK + (255,), width=max(s, int(n * (0.04 if small else 0.05))))
        c = n / 2
        r_out, r_in = (n * 0.42, n * 0.14) if small else (n * 0.36, n * 0.11)
        pts = []
        for i in range(8):
            ang = -math.pi / 2 + i * math.pi / 4
            r = r_out if i % 2 == 0 else r_in
            if i % 4 == 2:
                r *= 0.72  # shorter side points: a taller, crystal-like star
            pts.append((c + r * math.cos(ang), c + r * math.sin(ang)))
        draw.polygon(pts, fill=GOLD + (255,))
        draw.polygon([pts[0], pts[1], (c, c), pts[7]], fill=GOLD_LIGHT + (255,))
        draw.polygon([pts[4], pts[3], (c, c), pts[5]], fill=GOLD_DARK + (255,))
    return supersampled((size, size), paint, scale=1)


def background(banner_scene):
    img = Image.new("RGB", (W, H), NIGHT_TOP)
    # bottom panel
    panel = Image.new("RGB", (W, H))
    pd = ImageDraw.Draw(panel)
    for y in range(H):
        pd.line([(0, y), (W, y)], fill=panel_colour(y))
    img.paste(panel, (0, 0))
    # faint lattice in the panel
    lattice = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    ld = ImageDraw.Draw(lattice)
    lattice_width = {} if K == 1 else {"width": line_width()}
    for k in range(-H0, W0 + H0, 18):
        ld.line([(sc(k), sc(200)), (sc(k + 125), sc(325))], fill=(120, 150, 220, 9), **lattice_width)
        ld.line([(sc(k), sc(325)), (sc(k + 125), sc(200))], fill=(120, 150, 220, 9), **lattice_width)
    img = add_layer(img, lattice)
    img = add_layer(img, glow_layer(img.size, (228, 238), (170, 40), GOLD, 0.10))

    # the custom-install page's upper half: the banner scene, dimmed and softened, under a card
    upper = banner_scene.crop((0, 0, W, px(200))).filter(ImageFilter.GaussianBlur(sc(2.5)))
    upper = Image.blend(upper, Image.new("RGB", upper.size, (8, 12, 26)), 0.62)
    img.paste(upper, (0, 0))
    card = Image.new("RGBA", (W, H), (0, 0, 0, 0))

    def paint_card(draw, s):
        draw.rounded_rectangle([14 * s, 40 * s, 441 * s, 192 * s], radius=8 * s, fill=(8, 12, 27, 214),
                               outline=GOLD + (90,), width=s)
    card = supersampled((W, H), paint_card)
    img = add_layer(img, card)
    d = ImageDraw.Draw(img)
    for y in range(px(66), px(66) + line_width()):
        for x in range(px(26), px(430)):  # rule under the heading
            t = 1 - (unsc(x) - 26) / 404
            d.point((x, y), fill=mix(img.getpixel((x, y)), GOLD, 0.45 * t))
    # frame around the path edit (106, 98, 266 x 20), two lines outside the edit where it is placed
    left, top = px(106), px(98)
    right, bottom = left + px(266) - 1, top + px(20) - 1
    n = line_width()
    d.rectangle([left - 2 * n, top - 2 * n, right + 2 * n, bottom + 2 * n], outline=(78, 98, 146), width=n)
    d.rectangle([left - n, top - n, right + n, bottom + n], outline=(20, 28, 52), width=n)
    # a soft glow at the foot of the card, where the space line sits
    # top bar
    bar = vgradient(W, px(36), [(0, (8, 11, 24)), (1, (13, 19, 38))])
    img.paste(bar, (0, 0))
    img = add_layer(img, text_layer(img.size, (36, 24), "在线安装", font(12), (176, 188, 214), anchor="lm"))
    emb = emblem(px(18))
    tmp = img.convert("RGBA")
    tmp.alpha_composite(emb, (px(12), px(15)))
    img = tmp.convert("RGB")
    d = ImageDraw.Draw(img)
    n = line_width()
    for x in range(W):
        t = 1 - abs(x - W / 2) / (W / 2)
        for y in range(px(36) - n, px(36)):  # the bar's last row
            d.point((x, y), fill=mix(img.getpixel((x, y)), GOLD, 0.10 + 0.30 * t))
        for y in range(px(200), px(200) + n):
            d.point((x, y), fill=mix(img.getpixel((x, y)), GOLD, 0.10 + 0.45 * t))
    out = no_magenta(img.convert("RGBA"))
    return out


# --------------------------------------------------------------------------------------- buttons

def strip(bg, pos, size, shape, frames, mode="RGBA"):
    """A four-frame strip: each frame drawn over the background it will sit on (pos in design
    units, size in pixels), then everything outside frame 0's shape keyed out in magenta (one
    outline for all states)."""
    w, h = size
    x0, y0 = px(pos[0]), px(pos[1])
    crop = bg.crop((x0, y0, x0 + w, y0 + h)).convert("RGBA")
    out = Image.new(mode, (w * 4, h))
    for i, frame in enumerate(frames):
        comp = crop.copy()
        comp.alpha_composite(frame)
        comp = no_magenta(comp)
        pix = comp.load()
        m = shape.load()
        for y in range(h):
            for x in range(w):
                if m[x, y] < 128:
                    pix[x, y] = MAGENTA + (0,)
                else:
                    pix[x, y] = pix[x, y][:3] + (255,)
        out.paste(comp.convert(mode), (i * w, 0))
    return out


def shape_mask(size, painter):
    big = Image.new("L", (size[0] * SS, size[1] * SS), 0)
    painter(ImageDraw.Draw(big), painter_scale())
    return big.resize(size, Image.LANCZOS)


def install_button(bg):
    dw, dh = 133, 55
    w, h = px(dw), px(dh)
    box = (3, 4, dw - 3, dh - 4)
    radius = 12

    def outline(draw, s, fill=255):
        draw.rounded_rectangle([box[0] * s, box[1] * s, box[2] * s - 1, box[3] * s - 1], radius=radius * s, fill=fill)
    shape = shape_mask((w, h), outline)

    def frame(top, bottom, border, text_colour, highlight, glow=0.0, shift=0, shadow=True):
        fill = vgradient(w, h, [(0, top), (1, bottom)]).convert("RGBA")
        mask = shape_mask((w, h), lambda d, s: d.rounded_rectangle(
            [(box[0] + 1) * s, (box[1] + 1) * s, (box[2] - 1) * s - 1, (box[3] - 1) * s - 1],
            radius=(radius - 1) * s, fill=255))
        layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        border_layer = Image.new("RGBA", (w, h), border + (255,))
        border_layer.putalpha(shape)
        layer.alpha_composite(border_layer)
        fill.putalpha(mask)
        layer.alpha_composite(fill)
        if highlight:  # glossy upper half
            gloss = Image.new("RGBA", (w, h), (255, 255, 255, 0))
            gm = shape_mask((w, h), lambda d, s: d.rounded_rectangle(
                [(box[0] + 3) * s, (box[1] + 2) * s, (box[2] - 3) * s, (box[1] + 20) * s], radius=9 * s,
                fill=highlight))
            gloss.putalpha(gm)
            layer.alpha_composite(gloss)
        if glow:
            layer.alpha_composite(glow_layer((w, h), (dw / 2, dh / 2), (50, 14), (255, 255, 220), glow, blur=8))
            layer.putalpha(ImageChops.multiply(layer.getchannel("A"), shape))
        text = "立即安装"
        layer.alpha_composite(text_layer((w, h), (dw / 2, dh / 2 + 1 + shift), text, font(21), text_colour,
                                         anchor="mm", stroke=1,
                                         shadow=(0, 1, (255, 244, 200, 120)) if shadow else None))
        return layer

    frames = [
        frame((255, 222, 122), (226, 150, 40), (110, 64, 8), (74, 38, 4), 70),
        frame((255, 236, 160), (244, 176, 62), (136, 84, 14), (74, 38, 4), 90, glow=0.35),
        frame((214, 150, 44), (236, 176, 70), (96, 54, 6), (64, 32, 2), 0, shift=1, shadow=False),
        frame((112, 116, 128), (84, 88, 100), (52, 56, 66), (150, 154, 164), 30, shadow=False),
    ]
    return strip(bg, (163, 209), (w, h), shape, frames, mode="RGB")


def round_icon_button(bg, pos, glyph):
    """Close and minimise: 22 x 22 round buttons in the top bar."""
    dw = dh = 22
    w = h = px(dw)
    shape = shape_mask((w, h), lambda d, s: d.ellipse([0, 0, dw * s - 1, dh * s - 1], fill=255))

    def frame(fill, fill_alpha, mark, ring=None):
        layer = Image.new("RGBA", (w, h), fill + (fill_alpha,))
        layer.putalpha(ImageChops.multiply(layer.getchannel("A"), shape))

        def paint(draw, s):
            if ring:
                draw.ellipse([0.5 * s, 0.5 * s, (dw - 0.5) * s, (dh - 0.5) * s], outline=ring, width=s)
            if glyph == "close":
                for a, b in (((7, 7), (15, 15)), ((15, 7), (7, 15))):
                    draw.line([(a[0] * s, a[1] * s), (b[0] * s, b[1] * s)], fill=mark + (255,), width=int(1.7 * s))
            else:
                draw.line([(6.5 * s, 11 * s), (15.5 * s, 11 * s)], fill=mark + (255,), width=int(1.7 * s))
        layer.alpha_composite(supersampled((w, h), paint))
        return layer

    hot = (206, 62, 56) if glyph == "close" else (70, 96, 150)
    down = (150, 40, 36) if glyph == "close" else (46, 64, 104)
    frames = [
        frame((255, 255, 255), 18, (206, 214, 232), ring=(255, 255, 255, 40)),
        frame(hot, 255, (255, 255, 255)),
        frame(down, 255, (230, 230, 235)),
        frame((255, 255, 255), 8, (96, 102, 120)),
    ]
    return strip(bg, pos, (w, h), shape, frames)


def link_button(bg, pos, width, text, arrow=None):
    """A text link 12 pixels tall: light blue, gold and underlined on hover."""
    dw, dh = width, 12
    w, h = px(dw), px(dh)
    shape = shape_mask((w, h), lambda d, s: d.rounded_rectangle([0, 0, dw * s - 1, dh * s - 1], radius=2 * s,
                                                                fill=255))
    f = font(11)
    label = text if not arrow else text + " " + arrow

    def frame(colour, underline=False, plate=0, dy=0):
        layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        if plate:
            p = Image.new("RGBA", (w, h), (255, 255, 255, plate))
            p.putalpha(ImageChops.multiply(p.getchannel("A"), shape))
            layer.alpha_composite(p)
        d = ImageDraw.Draw(layer)
        tw = d.textlength(label, font=f)
        x = (w - tw) / 2
        d.text((round(x), round(sc(-2 + dy))), label, font=f, fill=colour + (255,))
        if underline:  # along the bottom row(s)
            n = line_width()
            d.rectangle([round(x), h - n, round(x + tw) - 1, h - 1], fill=colour + (170,))
        return layer

    frames = [
        frame(LINK),
        frame(GOLD_LIGHT, underline=True, plate=14),
        frame((214, 168, 80), underline=True, plate=24),
        frame((96, 106, 128)),
    ]
    return strip(bg, pos, (w, h), shape, frames)


def browse_button(bg):
    dw, dh = 52, 31
    w, h = px(dw), px(dh)
    box = (1, 3, dw - 1, dh - 3)
    shape = shape_mask((w, h), lambda d, s: d.rounded_rectangle(
        [box[0] * s, box[1] * s, box[2] * s - 1, box[3] * s - 1], radius=5 * s, fill=255))

    def frame(top, bottom, border, text_colour, dy=0):
        layer = Image.new("RGBA", (w, h), border + (255,))
        layer.putalpha(shape)
        inner = shape_mask((w, h), lambda d, s: d.rounded_rectangle(
            [(box[0] + 1) * s, (box[1] + 1) * s, (box[2] - 1) * s - 1, (box[3] - 1) * s - 1], radius=4 * s,
            fill=255))
        fill = vgradient(w, h, [(0, top), (1, bottom)]).convert("RGBA")
        fill.putalpha(inner)
        layer.alpha_composite(fill)
        layer.alpha_composite(text_layer((w, h), (dw / 2, dh / 2 + dy), "浏览", font(13), text_colour, anchor="mm"))
        return layer

    frames = [
        frame((42, 62, 108), (26, 38, 72), (176, 138, 62), (236, 240, 250)),
        frame((60, 86, 146), (36, 54, 100), GOLD, (255, 255, 255)),
        frame((22, 32, 62), (34, 50, 92), (150, 112, 44), (220, 224, 236), dy=1),
        frame((44, 48, 60), (34, 38, 48), (76, 80, 92), (120, 124, 136)),
    ]
    return strip(bg, (378, 94), (w, h), shape, frames)


def focus_ring():
    """The keyboard focus: a gold ring that the window draws around the focused control, in nine
    slices (the corners of 10 x 10 design units kept, the rest stretched). The control's edge lies
    4 units inside the image's edge; the ring glows outward from just outside it."""
    d = 24
    size = (px(d), px(d))

    def ring(draw, s, width):
        draw.rounded_rectangle([1.5 * s, 1.5 * s, (d - 1.5) * s - 1, (d - 1.5) * s - 1], radius=5 * s,
                               outline=(255, 255, 255, 255), width=max(1, int(width * s)))
    glow = Image.new("RGBA", size, GOLD + (0,))
    glow.putalpha(supersampled(size, lambda draw, s: ring(draw, s, 2.2)).getchannel("A")
                  .filter(ImageFilter.GaussianBlur(sc(1.2))).point(lambda a: int(a * 0.7)))
    line = Image.new("RGBA", size, GOLD_LIGHT + (0,))
    line.putalpha(supersampled(size, lambda draw, s: ring(draw, s, 1.4)).getchannel("A"))
    glow.alpha_composite(line)
    return glow


# ----------------------------------------------------------------------------------------- icons

def ico_bytes(images):
    """An .ico file: 32-bit DIB entries with their AND masks up to 128 pixels (every Windows reads
    those), a PNG entry for 256 (the Vista+ form, which keeps the file small)."""
    import io
    import struct
    entries = []
    for img in images:
        n = img.width
        if n >= 256:
            buf = io.BytesIO()
            img.save(buf, "PNG", optimize=True)
            data = buf.getvalue()
        else:
            pix = img.load()
            header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
            rows = []
            for y in range(n - 1, -1, -1):  # bottom-up
                rows.append(b"".join(struct.pack("BBBB", pix[x, y][2], pix[x, y][1], pix[x, y][0], pix[x, y][3])
                                     for x in range(n)))
            mask_stride = ((n + 31) // 32) * 4
            mask = bytearray()
            for y in range(n - 1, -1, -1):
                row = bytearray(mask_stride)
                for x in range(n):
                    if pix[x, y][3] == 0:
                        row[x // 8] |= 0x80 >> (x % 8)
                mask += row
            data = header + b"".join(rows) + bytes(mask)
        entries.append((n, data))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for n, data in entries:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in entries)


def write_icons():
    # every size drawn for itself rather than scaled down from the largest
    with open(os.path.join(OUT, "installer.ico"), "wb") as f:
        f.write(ico_bytes([emblem(n) for n in (16, 24, 32, 48, 64, 128, 256)]))
    with open(os.path.join(OUT, "installer_small.ico"), "wb") as f:
        f.write(ico_bytes([emblem(n) for n in (16, 32)]))


# --------------------------------------------------------------------------------------- preview

def preview(images, path):
    """A rough picture of the three pages (PIL text stands in for the window's GDI text)."""
    bg = images["background.png"]
    pages = []
    title_font, base_font, path_font, head_font = font(24), font(12), font(14), font(16)
    for page in range(3):
        img = Image.new("RGBA", (W, H), (0, 0, 0, 255))
        img.alpha_composite(bg)
        d = ImageDraw.Draw(img)

        def keyed(pic, pos=(0, 0)):
            mask = Image.new("L", pic.size, 255)
            pix, m = pic.load(), mask.load()
            for y in range(pic.height):
                for x in range(pic.width):
                    if pix[x, y][:3] == MAGENTA:
                        m[x, y] = 0
            img.paste(pic.convert("RGBA"), pos, mask)

        def button(name, pos, frame=0):
            s = images[name]
            fw = s.width // 4
            keyed(s.crop((frame * fw, 0, frame * fw + fw, s.height)), pos)
        button("close.png", (419, 13))
        button("minimize.png", (392, 13))
        if page == 0:
            keyed(images["banner.png"])
            d.text((W / 2, 161), "Vellora游戏 极速安装", font=title_font, fill=(255, 246, 150), anchor="mm",
                   stroke_width=1, stroke_fill=(255, 246, 150))
            button("install.png", (163, 209))
            d.rectangle([24, 275, 36, 287], fill=(255, 255, 255), outline=(120, 120, 120))
            d.text((50, 273), "已阅读并同意", font=base_font, fill=WHITE)
            button("agreement.png", (126, 275))
            button("custom_install.png", (358, 275))
        elif page == 1:
            d.text((26, 44), "自定义安装", font=head_font, fill=(255, 246, 150))
            d.text((40, 100), "安装路径:", font=path_font, fill=WHITE)
            d.rectangle([106, 98, 371, 117], fill=(255, 255, 255))
            d.text((110, 100), "C:\\Program Files\\Vellora\\", font=path_font, fill=(0, 0, 0))
            button("browse.png", (378, 94))
            d.text((40, 128), "所需空间：16MB(可用空间：37GB)", font=path_font, fill=WHITE)
            button("default_path.png", (295, 128))
            button("install.png", (163, 209))
            button("back.png", (393, 275))
        else:
            keyed(images["slide1.png"])
            d.text((18, 231), "正在下载", font=base_font, fill=(254, 247, 167))
            d.text((436, 231), "已下载37%", font=base_font, fill=(254, 247, 167), anchor="ra")
            d.rectangle([18, 253, 436, 271], fill=(230, 230, 230))
            d.rectangle([18, 253, 172, 271], fill=(6, 176, 37))
            button("cancel.png", (384, 275))
        pages.append(img)
    sheet = Image.new("RGB", (W * 3 + 40, H + 20), (40, 40, 40))
    for i, p in enumerate(pages):
        sheet.paste(p.convert("RGB"), (10 + i * (W + 10), 10))
    sheet.save(path)


# ------------------------------------------------------------------------------------------ main

def recompress(paths):
    """Shrinks the PNGs without touching a pixel: no colour-type, bit-depth or palette change
    (the skin code draws an image with alpha differently from one without), then zopfli."""
    if not shutil.which("optipng") or not shutil.which("advdef"):
        print("make_skin: optipng or advdef missing (apt-get install optipng advancecomp); "
              "the PNGs stay as PIL wrote them")
        return
    subprocess.run(["optipng", "-quiet", "-nc", "-nb", "-np", "-o7", "-strip", "all", *paths], check=True)
    subprocess.run(["advdef", "-q", "-z", "-4", "-i", "30", *paths], check=True)


# The scales drawn, each into its own folder (res/installer.rc takes them as resource types PNG,
# PNG150 and PNG200).
SCALES = ((1, ""), (1.5, "150"), (2, "200"))


def draw_skin():
    """Every PNG of the skin at the current scale, by file name."""
    banner_scene = scene_dusk_castle()
    bg = background(banner_scene)
    return {
        "background.png": bg,
        "banner.png": keyed_page(banner_scene),
        "slide1.png": keyed_page(scene_valley_dawn(), ("踏上旅程", "广阔大陆  自由探索"), 0),
        "slide2.png": keyed_page(scene_sky_islands(), ("并肩作战", "组队挑战  史诗首领"), 1),
        "slide3.png": keyed_page(scene_ember_peak(), ("荣耀之巅", "竞技争锋  赢取荣誉"), 2),
        "install.png": install_button(bg),
        "close.png": round_icon_button(bg, (419, 13), "close"),
        "minimize.png": round_icon_button(bg, (392, 13), "minimize"),
        "agreement.png": link_button(bg, (126, 275), 47, "用户协议"),
        "back.png": link_button(bg, (393, 275), 36, "返回"),
        "cancel.png": link_button(bg, (384, 275), 47, "取消安装"),
        "custom_install.png": link_button(bg, (358, 275), 71, "自定义安装", "›"),
        "default_path.png": link_button(bg, (295, 128), 71, "恢复默认"),
        "browse.png": browse_button(bg),
        "focus.png": focus_ring(),
    }


def to_palette(path):
    """Makes the PNG at `path` a 256-colour palette image, keeping magenta exact: the 150 % and 200 %
    sets would not fit the installer's download size as true colour (together more than twice the
    100 % set's size after recompression). pngquant (Debian's pngquant) picks the palette and
    dithers; at these scales the dithering is finer than the eye resolves. Everything outside the
    key is opaque (no alpha in these images: the keyed ones only key on magenta, and the
    background's alpha is 255 throughout), and the key becomes one palette entry of exact magenta."""
    img = Image.open(path).convert("RGBA")
    pix = img.load()
    for y in range(img.height):
        for x in range(img.width):
            p = pix[x, y]
            pix[x, y] = (0, 0, 0, 0) if p[:3] == MAGENTA else p[:3] + (255,)
    img.save(path)
    subprocess.run(["pngquant", "--force", "--speed", "1", "--strip", "--output", path, "256", path], check=True)
    quantised = Image.open(path)
    palette = quantised.getpalette()
    alpha = quantised.info.get("transparency", b"")
    if isinstance(alpha, int):
        alpha = bytes(255 if i != alpha else 0 for i in range(256))
    used = set(quantised.getdata())
    for i in range(len(palette) // 3):
        if i < len(alpha) and alpha[i] == 0 and i in used:
            palette[3 * i:3 * i + 3] = list(MAGENTA)
        elif tuple(palette[3 * i:3 * i + 3]) == MAGENTA:
            palette[3 * i:3 * i + 3] = [254, 0, 255]  # an opaque colour that came out as the key
    out = Image.frombytes("P", quantised.size, quantised.tobytes())
    out.putpalette(palette)
    out.save(path, optimize=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--preview", help="also write a rough picture of the three pages")
    parser.add_argument("--scale", type=float, action="append",
                        help="draw only this scale (1, 1.5 or 2; repeatable); the icons come with 1")
    parser.add_argument("--no-recompress", action="store_true",
                        help="keep the PNGs as PIL writes them (quicker; not for committing)")
    args = parser.parse_args()

    for k, folder in SCALES:
        if args.scale and k not in args.scale:
            continue
        set_scale(k)
        out = os.path.join(OUT, folder)
        os.makedirs(out, exist_ok=True)
        images = draw_skin()
        for name, img in images.items():
            img.save(os.path.join(out, name), optimize=True)
            if k != 1 and name != "focus.png":  # the ring's soft edge needs its alpha, and is small
                if shutil.which("pngquant"):
                    to_palette(os.path.join(out, name))
                elif name == "background.png":
                    print("make_skin: pngquant missing (apt-get install pngquant); the larger scales stay "
                          "true colour, too large to ship")
        if not args.no_recompress:
            recompress([os.path.join(out, name) for name in images])
        if k == 1:
            write_icons()
            if args.preview:
                preview(images, args.preview)


if __name__ == "__main__":
    main()
