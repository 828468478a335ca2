"""The look shared by every skin image: one 256-colour palette and its roles.

Index ranges: 0..63 a neutral grey ramp (black to light grey) for bodies and
bevels, 64..95 an amber ramp for legends, 96..127 a green ramp, 128..159 a
red ramp for the LEDs, 160..191 a blue-grey ramp, then pure system colours
so that what the controls draw themselves (black, white, pure green) is in
the palette too.
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
WHITE = 192


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


# Module bodies: dark brushed metal with a lighter top.
BODY_TOP = grey(19)
BODY_BOTTOM = grey(11)
BODY_DARK = grey(6)       # recessed areas
LCD = grey(1)             # display windows behind the LEDs
EDGE_LIGHT = grey(32)     # upper-left bevel
EDGE_MID = grey(24)
EDGE_SHADOW = grey(3)     # lower-right bevel
SLOT = grey(0)            # the 5-pixel slot between modules (cut away anyway)
LABEL = amber(27)         # printed legends
LABEL_DIM = amber(15)
LOGO = steel(29)
LOGO_DIM = steel(14)

# Keys.
KEY_TOP = grey(30)
KEY_BOTTOM = grey(20)
KEY_DOWN_TOP = grey(14)
KEY_DOWN_BOTTOM = grey(18)
KEY_OFF = grey(12)
KEY_LEGEND = grey(60)
KEY_LEGEND_DOWN = amber(31)
KEY_LEGEND_OFF = grey(22)
KEY_RIM = grey(2)

# LEDs.
LED_ON = red(31)
LED_MID = red(22)
LED_OFF = red(5)
LAMP_ON = green(31)
LAMP_OFF = green(4)
TRANSPARENT = 0          # outside a window's shape (never seen)
