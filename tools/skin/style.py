"""The look shared by every skin image: one 256-colour palette and its roles.

Index ranges: 0..63 a neutral grey ramp (black to light grey) for bodies and
bevels, 64..95 an amber ramp for labels and LEDs, 96..127 a green ramp,
128..159 a red ramp, 160..191 a blue-grey ramp, the rest pure system colours
so dithering never has to invent anything.
"""


def _ramp(start, end, steps):
    out = []
    for i in range(steps):
        t = i / (steps - 1)
        out.append(tuple(round(a + (b - a) * t) for a, b in zip(start, end)))
    return out


def build_palette():
    pal = []
    pal += _ramp((0, 0, 0), (210, 212, 216), 64)
    pal += _ramp((24, 12, 0), (255, 196, 64), 32)
    pal += _ramp((0, 20, 4), (90, 255, 120), 32)
    pal += _ramp((24, 0, 0), (255, 80, 60), 32)
    pal += _ramp((14, 18, 28), (150, 176, 220), 32)
    pal += [(255, 255, 255), (255, 255, 0), (0, 255, 0), (255, 0, 0), (0, 0, 255),
            (0, 255, 255), (255, 0, 255), (128, 128, 128), (192, 192, 192)]
    while len(pal) < 256:
        pal.append((0, 0, 0))
    return pal


PALETTE = build_palette()


def grey(level):
    """0..63 from black to light grey."""
    return max(0, min(63, level))


def amber(level):
    return 64 + max(0, min(31, level))


def green(level):
    return 96 + max(0, min(31, level))


def red(level):
    return 128 + max(0, min(31, level))


def steel(level):
    return 160 + max(0, min(31, level))


BODY = grey(14)          # module face
BODY_DARK = grey(8)      # recessed areas
EDGE_LIGHT = grey(30)    # upper-left bevel
EDGE_SHADOW = grey(3)    # lower-right bevel
LABEL = amber(26)        # printed legends
LABEL_DIM = amber(14)
LOGO = steel(28)
TRANSPARENT = 0          # outside a window's shape (never seen)
