"""The faces of keys, LEDs, lamps, indicators and the small controls."""
import glyphs
import style as s
from canvas import Canvas
from font import draw_centred, text_width, draw_text


def _key_body(c, w, h, state):
    """A key cap: rim, bevel and a face that is lit, pressed or off."""
    c.fill(0, 0, w, h, s.KEY_RIM)
    if state == "U":
        c.vgradient(1, 1, w - 2, h - 2, s.KEY_TOP, s.KEY_BOTTOM)
        c.bevel(1, 1, w - 2, h - 2, True, s.grey(44), s.grey(9))
    elif state == "D":
        c.vgradient(1, 1, w - 2, h - 2, s.KEY_DOWN_TOP, s.KEY_DOWN_BOTTOM)
        c.bevel(1, 1, w - 2, h - 2, False, s.grey(44), s.grey(5))
    else:
        c.fill(1, 1, w - 2, h - 2, s.KEY_OFF)
        c.frame(1, 1, w - 2, h - 2, s.grey(16))


def _ink(state, accent=None):
    if state == "X":
        return s.KEY_LEGEND_OFF
    if state == "D":
        return accent if accent is not None else s.KEY_LEGEND_DOWN
    return accent if accent is not None else s.KEY_LEGEND


def key(w, h, state, legend=None, glyph=None, accent=None, small=None):
    """A labelled key: a legend in the pixel font or a transport glyph (or
    both, glyph first). Pressed keys shift their print one pixel."""
    c = Canvas(w, h)
    _key_body(c, w, h, state)
    shift = 1 if state == "D" else 0
    ink = _ink(state, accent)
    parts = []
    if glyph is not None:
        parts.append(("g", glyph, glyphs.size(glyph)))
    if legend:
        use_small = small if small is not None else (h < 12 or text_width(legend) > w - 4)
        tw = text_width(legend, small=use_small)
        parts.append(("t", (legend, use_small), (tw, 5 if use_small else 7)))
    total = sum(p[2][0] for p in parts) + 2 * (len(parts) - 1)
    x = (w - total) // 2 + shift
    for kind, what, (pw, ph) in parts:
        y = (h - ph) // 2 + shift
        if kind == "g":
            c.pattern(x, y, what, ink)
        else:
            draw_text(c, x, y, what[0], ink, small=what[1])
        x += pw + 2
    return c


def round_key(w, h, state, glyph, legend, accent):
    """A big square selector key with an icon, a legend and a lamp."""
    c = Canvas(w, h)
    _key_body(c, w, h, state)
    shift = 1 if state == "D" else 0
    gw, gh = glyphs.size(glyph)
    ink = _ink(state, accent if state != "U" else None)
    c.pattern((w - gw) // 2 + shift, 3 + shift, glyph, ink)
    draw_centred(c, shift, h - 8 + shift, w, 5, legend, ink, small=True)
    return c


def lamp_key(w, h, lit, glyph, legend):
    """Handset's player selector: a key whose lamp shows the chosen player."""
    c = Canvas(w, h)
    _key_body(c, w, h, "D" if lit else "U")
    ink = s.KEY_LEGEND_DOWN if lit else s.KEY_LEGEND
    gw, gh = glyphs.size(glyph)
    c.pattern((w - gw) // 2, 5, glyph, ink)
    draw_centred(c, 0, 15, w, 5, legend, ink, small=True)
    c.fill(w // 2 - 4, h - 7, 8, 3, s.LAMP_ON if lit else s.LAMP_OFF)
    c.frame(w // 2 - 5, h - 8, 10, 5, s.grey(2))
    return c


# Seven-segment digits: segments a..g as rectangles on a 14 x 20 cell.
_SEGMENTS = {
    "a": (3, 1, 8, 2), "b": (11, 3, 2, 6), "c": (11, 11, 2, 6), "d": (3, 17, 8, 2),
    "e": (1, 11, 2, 6), "f": (1, 3, 2, 6), "g": (3, 9, 8, 2),
}
_DIGIT_SEGMENTS = ["abcdef", "bc", "abged", "abgcd", "fgbc", "afgcd", "afgedc", "abc",
                   "abcdefg", "abcdfg"]


def led_digit(d):
    c = Canvas(14, 20, s.LCD)
    for seg, (x, y, w, h) in _SEGMENTS.items():
        on = seg in _DIGIT_SEGMENTS[d]
        c.fill(x, y, w, h, s.LED_ON if on else s.LED_OFF)
        if on:  # a darker core edge makes the segment read as glowing glass
            c.fill(x, y, w, 1, s.red(26)) if w > h else c.fill(x, y, 1, h, s.red(26))
    return c


def small_label(w, h, text, colour=s.LABEL, background=s.LCD):
    c = Canvas(w, h, background)
    draw_text(c, 0, (h - 5) // 2, text, colour, small=True)
    return c


def track_indicator(n, lit):
    """A 10 x 9 numbered cell: bright for a track to come, dim once played."""
    c = Canvas(10, 9, s.LCD)
    ink = s.LED_ON if lit else s.red(9)
    c.frame(0, 0, 10, 9, s.red(14) if lit else s.red(4))
    text = str(n % 100).rjust(2, "0") if n < 100 else "00"
    draw_text(c, 1, 2, text, ink, small=True)
    return c


def page_arrow(up):
    c = Canvas(10, 9, s.LCD)
    c.frame(0, 0, 10, 9, s.red(12))
    c.pattern(3, 3, glyphs.UP if up else glyphs.DOWN, s.LED_ON)
    return c


def mode_lamp(text, lit):
    """A 34 x 8 mode lamp: a LED dot and the mode's name."""
    c = Canvas(34, 8, s.LCD)
    c.fill(1, 2, 4, 4, s.LAMP_ON if lit else s.LAMP_OFF)
    draw_text(c, 7, 1, text, s.LAMP_ON if lit else s.green(7), small=True)
    return c


def small_arrow_key(left, state="U"):
    c = Canvas(10, 9)
    _key_body(c, 10, 9, state)
    c.pattern(4 if left else 4, 2, glyphs.LEFT if left else glyphs.RIGHT, s.KEY_LEGEND)
    return c


def tempo_strip(width, cells, centre=None):
    """A row of 9-pixel cells on which a marker lands; the centre cell (the
    normal speed) carries a tick."""
    c = Canvas(width, 9, s.LCD)
    for i in range(cells):
        x = 9 * i
        c.frame(x, 0, 10, 9, s.grey(12))
        c.fill(x + 4, 7, 2, 1, s.amber(10))
    if centre is not None:
        c.fill(9 * centre + 3, 0, 4, 1, s.LABEL)
    c.frame(0, 0, width, 9, s.grey(16))
    return c


def mute_button(on):
    c = Canvas(18, 6, s.KEY_RIM)
    c.fill(1, 1, 16, 4, s.red(28) if on else s.grey(18))
    c.fill(1, 1, 16, 1, s.red(31) if on else s.grey(28))
    return c


def level_track():
    c = Canvas(9, 59, s.LCD)
    c.frame(0, 0, 9, 59, s.grey(10))
    for k in range(13):
        c.fill(3, 52 - 4 * k, 3, 3, s.green(3))
    return c


def fader_track():
    c = Canvas(16, 65, s.BODY_DARK)
    c.fill(7, 3, 2, 59, s.grey(1))
    c.fill(9, 3, 1, 59, s.grey(20))
    for i in range(11):
        y = 3 + round(i * 58 / 10)
        c.fill(1, y, 4, 1, s.LABEL_DIM)
        c.fill(11, y, 4, 1, s.LABEL_DIM)
    return c


def fader_thumb():
    c = Canvas(16, 7)
    c.vgradient(0, 0, 16, 7, s.grey(40), s.grey(18))
    c.bevel(0, 0, 16, 7, True, s.grey(52), s.grey(4))
    c.fill(2, 3, 12, 1, s.WHITE)
    return c


def balance_track(variant):
    """Balance tracks differ by a colour band so the columns read apart."""
    c = Canvas(50, 14, s.BODY_DARK)
    band = [s.steel(12), s.amber(10), s.green(8), s.red(10), s.steel(18), s.amber(16),
            s.green(14)][variant % 7]
    c.fill(5, 8, 40, 2, s.grey(1))
    c.fill(5, 10, 40, 1, band)
    c.fill(24, 6, 2, 6, s.LABEL_DIM)
    draw_text(c, 0, 0, "L", s.LABEL_DIM, small=True)
    draw_text(c, 47, 0, "R", s.LABEL_DIM, small=True)
    return c


def balance_thumb():
    # The slider draws the thumb 5 rows down, so its cap is the top 9 rows.
    c = Canvas(5, 14, s.BODY_DARK)
    c.vgradient(0, 0, 5, 9, s.grey(44), s.grey(20))
    c.bevel(0, 0, 5, 9, True, s.grey(56), s.grey(4))
    c.fill(2, 1, 1, 7, s.WHITE)
    return c


def check_box(checked):
    c = Canvas(13, 13, s.grey(2))
    c.fill(1, 1, 11, 11, s.grey(56))
    c.bevel(1, 1, 11, 11, False, s.grey(60), s.grey(20))
    if checked:
        c.pattern(3, 3, glyphs.CHECK, s.green(10))
    return c


def cursor_arrow():
    rows = ["1", "11", "121", "1221", "12221", "122221", "1222221", "12222221",
            "122222221", "1222222221", "12222211111", "1221221", "121 1221", "11  1221",
            "1    1221", "     1221", "      11"]
    c = Canvas(32, 32, 0)
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch == "1":
                c.put(x, y, s.grey(1))
            elif ch == "2":
                c.put(x, y, s.amber(29))
    return c
