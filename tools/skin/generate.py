#!/usr/bin/env python3
"""Generates the skin bitmaps and icons of the programs into resources/.

Every image is drawn from the style (style.py) and a layout per window, so
the art can be regenerated and checked against the committed files.

    generate.py OUTDIR      write every image into OUTDIR
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from bmp import bmp_bytes, ico_bytes  # noqa: E402
from canvas import Canvas  # noqa: E402
from font import draw_text, text_width  # noqa: E402
import style as s  # noqa: E402

MAIN_PANEL_SHAPE = [(58, 0), (58, 7), (17, 7), (17, 22), (0, 22), (0, 56), (7, 56), (7, 61),
                    (71, 61), (71, 56), (392, 56), (392, 61), (456, 61), (456, 56),
                    (462, 56), (462, 21), (445, 21), (445, 7), (254, 7), (254, 0)]

# Where the main panel's keys sit (x, y, w, h) and the legend printed by each.
MAIN_PANEL_KEYS = [
    ("POWER", 18, 34, 40, 11), ("CD", 251, 30, 22, 22), ("WAVE", 282, 32, 22, 22),
    ("MIDI", 314, 32, 22, 22), ("MIXER", 345, 32, 22, 22), ("CONFIG", 399, 30, 22, 22),
    ("HELP", 432, 31, 22, 22), ("MIN", 416, 9, 12, 11), ("CLOSE", 430, 9, 13, 11),
]
KEY_LEGENDS = {"CD": "CD", "WAVE": "WAV", "MIDI": "MID", "MIXER": "MIX",
               "CONFIG": "CFG", "HELP": "HLP"}


def draw_logo(c, x, y, text, colour, scale=2):
    tmp = Canvas(text_width(text) + 1, 8, fill=-1)
    draw_text(tmp, 0, 0, text, colour)
    for ty, row in enumerate(tmp.rows):
        for tx, v in enumerate(row):
            if v >= 0:
                c.fill(x + tx * scale, y + ty * scale, scale, scale, v)


def main_panel_background():
    c = Canvas(462, 61)
    # Body with a soft vertical sheen, then the raised handle strip on top.
    c.vgradient(0, 0, 462, 61, s.grey(20), s.grey(10))
    c.vgradient(58, 0, 196, 8, s.grey(24), s.grey(18))
    c.bevel(0, 21, 462, 35)
    c.bevel(17, 7, 428, 15)
    c.bevel(58, 0, 196, 8)
    # Bottom tabs that carry the modules hung below.
    c.fill(7, 56, 64, 5, s.grey(12))
    c.fill(392, 56, 64, 5, s.grey(12))
    c.bevel(7, 56, 64, 5)
    c.bevel(392, 56, 64, 5)
    # Logotype in a recessed window.
    c.fill(72, 26, 168, 24, s.BODY_DARK)
    c.bevel(72, 26, 168, 24, raised=False)
    draw_logo(c, 82, 31, "CANTORIX", s.LOGO)
    draw_text(c, 64, 10, "AUDIO SUITE", s.LABEL_DIM)
    # Key wells and legends.
    for name, x, y, w, h in MAIN_PANEL_KEYS:
        c.fill(x - 1, y - 1, w + 2, h + 2, s.EDGE_SHADOW)
        c.bevel(x - 2, y - 2, w + 4, h + 4, raised=False)
        legend = KEY_LEGENDS.get(name)
        if legend:
            draw_text(c, x + (w - text_width(legend)) // 2, y - 9, legend, s.LABEL)
    draw_text(c, 18 + (40 - text_width("POWER")) // 2, 47, "POWER", s.LABEL)
    c.screws([(4, 27), (4, 50), (457, 27), (457, 50)], s.grey(40), s.grey(6))
    c.inside_polygon_mask(MAIN_PANEL_SHAPE)
    return c


def program_icon():
    c = Canvas(32, 32, fill=0)
    c.fill(2, 6, 28, 20, s.grey(16))
    c.bevel(2, 6, 28, 20)
    c.fill(6, 10, 20, 8, s.BODY_DARK)
    for i, h in enumerate([3, 6, 4, 7, 5, 2, 6, 4, 5]):
        c.fill(7 + 2 * i, 17 - h, 1, h, s.green(24))
    c.fill(6, 20, 6, 3, s.red(20))
    c.fill(20, 20, 6, 3, s.amber(24))
    return c


# name -> (file, size, builder); the inventory the resource script relies on.
INVENTORY = [
    ("149", "cantorix/149.bmp", (462, 61), main_panel_background),
]
ICONS = [("128", "cantorix/cantorix.ico", 32, program_icon)]


def write_all(outdir):
    written = []
    for name, rel, size, build in INVENTORY:
        canvas = build()
        assert (canvas.width, canvas.height) == size, name
        path = os.path.join(outdir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(bmp_bytes(canvas.width, canvas.height, canvas.rows, s.PALETTE))
        written.append(path)
    for name, rel, size, build in ICONS:
        canvas = build()
        path = os.path.join(outdir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(ico_bytes(size, canvas.rows, s.PALETTE, transparent=0))
        written.append(path)
    return written


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: generate.py OUTDIR")
    for p in write_all(sys.argv[1]):
        print(p)
