#!/usr/bin/python3
"""Writes the small PNGs of the skin tests (run with Debian's python3-pil; output committed)."""
import os

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
M = (255, 0, 255, 255)        # the key colour
NEAR = (255, 0, 254, 255)     # one off the key colour: opaque


def rgba(name, width, rows):
    img = Image.new("RGBA", (width, len(rows)))
    img.putdata([p for row in rows for p in row])
    img.save(os.path.join(HERE, name))


def main():
    red, green, blue, grey = (200, 0, 0, 255), (0, 200, 0, 255), (0, 0, 200, 255), (128, 128, 128, 255)
    # Strips of four frames; only frame 0 shapes a window.
    rgba("all_magenta.png", 12, [[M] * 12] * 2)
    rgba("opaque.png", 16, [[red, NEAR, green, blue] + [M] * 12] * 3)
    # width 22: frames of 5 pixels, the last 2 columns belong to no frame
    rgba("runs.png", 22, [
        [M, red, red, red, M] + [M] * 15 + [red, red],   # magenta at both ends: one run
        [red, red, M, red, red] + [M] * 15 + [M, M],     # magenta in the middle: two runs
        [NEAR] * 5 + [red] * 17,                         # (255, 0, 254) is opaque
    ])
    # straight alpha: half, colour with alpha 0, black with alpha 0, opaque
    rgba("alpha.png", 4, [[(200, 100, 50, 128), (100, 150, 200, 0), (0, 0, 0, 0), (10, 20, 30, 255)]])
    Image.frombytes("RGB", (2, 1), bytes([30, 60, 90, 200, 150, 100])).save(os.path.join(HERE, "rgb.png"))
    rgba("keyed.png", 4, [[(255, 0, 255, 255), (255, 0, 255, 0), (10, 200, 30, 0), (255, 0, 254, 128)]])
    # button strip: 10 x 10 frames of one colour each, with a magenta corner
    frames = [red, green, blue, grey]
    rows = [[M if (x % 10 == 0 and y == 0) else frames[x // 10] for x in range(40)] for y in range(10)]
    rgba("strip.png", 40, rows)
    pal = Image.new("P", (3, 1))
    pal.putpalette([12, 34, 56, 200, 10, 20, 0, 255, 0])
    pal.putdata([0, 1, 2])
    pal.save(os.path.join(HERE, "palette.png"))


if __name__ == "__main__":
    main()
